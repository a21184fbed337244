# Settings every build of the engine shares (desktop, ARM, sanitizer, fuzzing, browser).
set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
if(NOT CMAKE_BUILD_TYPE)
  set(CMAKE_BUILD_TYPE Release)
endif()
# Frames must be bit-exact: no fused multiply-adds, no fast-math.
add_compile_options(-Wall -Wextra -ffp-contract=off)
