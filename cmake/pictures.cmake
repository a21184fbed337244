# The built-in pictures: the committed PNGs in assets/ turned into constant RGB565 arrays by
# png_to_array at build time. Sets out_var to the generated source file.
function(moonlark_pictures converter root out_var)
  # The list of pictures is assets/pictures.hpp, which the converter reads.
  file(GLOB pngs CONFIGURE_DEPENDS ${root}/assets/*.png)
  set(cpp ${CMAKE_BINARY_DIR}/generated/pictures_data.cpp)
  add_custom_command(
    OUTPUT ${cpp}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/generated
    COMMAND ${converter} ${cpp} ${root}/assets
    DEPENDS ${converter} ${pngs} ${root}/assets/pictures.hpp
    COMMENT "Converting pictures to RGB565 arrays")
  set(${out_var} ${cpp} PARENT_SCOPE)
endfunction()
