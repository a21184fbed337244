# The lists the native build (CMakeLists.txt, cmake/install.cmake) and the browser's
# (web/CMakeLists.txt) share, kept once.

# The data files in data/ that the programs read from their current folder at run time.
set(MOONLARK_DATA_FILES moonlark.mod ziriraza.3do gp2x.3do)

# The engine's sources, relative to the project's root: everything that draws, with no SDL and no
# MikMod in it.
set(MOONLARK_ENGINE_SOURCES
  core/demo_state.cpp
  shell/timeline.cpp
  shell/engine.cpp
  fx2d/ramps.cpp
  fx2d/tables.cpp
  fx2d/effects.cpp
  fx2d/paint.cpp
  fx2d/radial_blur.cpp
  render3d/mesh.cpp
  render3d/mesh_file.cpp
  render3d/objects.cpp
  render3d/transform.cpp
  render3d/face_order.cpp
  render3d/raster.cpp
  render3d/scene.cpp)
