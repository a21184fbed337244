# Installing (cmake --install, make install PREFIX=...) and the Debian package (make deb, CPack).
# Under the prefix:
#   bin/moonlark                  launcher: enters the data folder and runs the demo there
#   bin/moonlark-capture          the capture tool; its --data default is ../share/moonlark
#   libexec/moonlark/moonlark     the demo, which reads its data files from the current folder
#   share/moonlark/               moonlark.mod, ziriraza.3do, gp2x.3do
#   share/applications/moonlark.desktop, share/icons/hicolor/NxN/apps/moonlark.png
#   share/man/man6/moonlark.6.gz, share/man/man1/moonlark-capture.1.gz
#   share/doc/moonlark/copyright, changelog.gz
# The programs find each other and the data by relative paths, so the tree works under any
# prefix and wherever a package is unpacked.
include(GNUInstallDirs)
set(MOONLARK_INSTALL_DATA ${CMAKE_INSTALL_DATADIR}/moonlark)
set(MOONLARK_INSTALL_DEMO ${CMAKE_INSTALL_LIBEXECDIR}/moonlark)
file(RELATIVE_PATH DATA_FROM_BIN ${CMAKE_INSTALL_FULL_BINDIR}
     ${CMAKE_INSTALL_FULL_DATADIR}/moonlark)
file(RELATIVE_PATH DEMO_FROM_BIN ${CMAKE_INSTALL_FULL_BINDIR}
     ${CMAKE_INSTALL_FULL_LIBEXECDIR}/moonlark)
target_compile_definitions(moonlark-capture PRIVATE MOONLARK_INSTALLED_DATA="${DATA_FROM_BIN}")

# A cross build (the handheld's) is packaged by scripts/package-handheld.sh instead.
if(CMAKE_CROSSCOMPILING)
  return()
endif()

# The release's version, date and maintainer come from the newest entry of the changelog.
set(CHANGELOG ${CMAKE_SOURCE_DIR}/packaging/changelog)
file(STRINGS ${CHANGELOG} changelog_lines)
list(GET changelog_lines 0 changelog_head)
string(REGEX MATCH "^moonlark \\(([^)]+)\\)" _ "${changelog_head}")
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "packaging/changelog's newest entry is version '${CMAKE_MATCH_1}', "
                      "the project's is ${PROJECT_VERSION}: add an entry for it")
endif()
foreach(line IN LISTS changelog_lines)
  if(line MATCHES "^ -- (.+>)  (.+)$")
    set(MOONLARK_MAINTAINER ${CMAKE_MATCH_1})
    set(release_date ${CMAKE_MATCH_2})
    break()
  endif()
endforeach()
execute_process(COMMAND date -u -d "${release_date}" "+%B %Y" OUTPUT_VARIABLE RELEASE_MONTH
                OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)

set(PACKAGING ${CMAKE_BINARY_DIR}/packaging)
configure_file(packaging/launcher.sh.in ${PACKAGING}/moonlark @ONLY)
configure_file(packaging/moonlark.6.in ${PACKAGING}/moonlark.6 @ONLY)

# The icon in the sizes desktops ask for most: the logo's first letter from the title picture.
add_executable(make_icon tools/make_icon.cpp)
target_link_libraries(make_icon PRIVATE PNG::PNG)
set(ICON_SIZES 48 128 256)
set(generated)
foreach(size IN LISTS ICON_SIZES)
  set(icon ${PACKAGING}/icons/${size}/moonlark.png)
  add_custom_command(OUTPUT ${icon}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PACKAGING}/icons/${size}
    COMMAND make_icon ${CMAKE_SOURCE_DIR}/assets/title.png ${size} ${icon}
    DEPENDS make_icon ${CMAKE_SOURCE_DIR}/assets/title.png)
  list(APPEND generated ${icon})
endforeach()

# The capture tool's manual page is made from its --help, so the two cannot drift apart.
add_custom_command(OUTPUT ${PACKAGING}/moonlark-capture.1.gz
  COMMAND help2man --include=${CMAKE_SOURCE_DIR}/packaging/moonlark-capture.h2m
          --version-string=${PROJECT_VERSION} --output=${PACKAGING}/moonlark-capture.1
          $<TARGET_FILE:moonlark-capture>
  COMMAND gzip -9nf ${PACKAGING}/moonlark-capture.1
  DEPENDS moonlark-capture ${CMAKE_SOURCE_DIR}/packaging/moonlark-capture.h2m
  COMMENT "Writing moonlark-capture's manual page from its --help")
# Debian wants manual pages and changelogs compressed, without a time stamp in the gzip header.
foreach(name moonlark.6 changelog)
  add_custom_command(OUTPUT ${PACKAGING}/${name}.gz
    COMMAND gzip -9nc ${PACKAGING}/${name} > ${PACKAGING}/${name}.gz
    DEPENDS ${PACKAGING}/${name})
  list(APPEND generated ${PACKAGING}/${name}.gz)
endforeach()
configure_file(${CHANGELOG} ${PACKAGING}/changelog COPYONLY)
add_custom_target(install_files ALL DEPENDS ${generated} ${PACKAGING}/moonlark-capture.1.gz)

install(PROGRAMS ${PACKAGING}/moonlark DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS moonlark-capture RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS moonlark RUNTIME DESTINATION ${MOONLARK_INSTALL_DEMO})
list(TRANSFORM MOONLARK_DATA_FILES PREPEND data/ OUTPUT_VARIABLE installed_data)
install(FILES ${installed_data} DESTINATION ${MOONLARK_INSTALL_DATA})
install(FILES packaging/moonlark.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size IN LISTS ICON_SIZES)
  install(FILES ${PACKAGING}/icons/${size}/moonlark.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${PACKAGING}/moonlark.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${PACKAGING}/moonlark-capture.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES packaging/copyright ${PACKAGING}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The Debian package: dist/moonlark_<version>_<arch>.deb (make deb). dpkg-shlibdeps computes
# the libraries' packages from the binaries. For SDL 1.2 that is libsdl1.2debian, which either
# package provides: the classic library, or the layer over SDL 2 (libsdl1.2-compat-shim). The
# layer is named first, so apt prefers it: the demo is built and tested with it, and only it
# enlarges the window (the demo's SDL12COMPAT_* defaults).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME moonlark)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CONTACT ${MOONLARK_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "self-running audiovisual demo with tracker music")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Moonlark shows a title picture, starts a tracker module and plays about
150 seconds of software-rendered effects: perspective ground, radial blur,
sunset backdrop, tunnel, layered sine waves, Gouraud-shaded and
environment-mapped 3D objects. It was made for a 320x240 handheld ARM Linux
console; every pixel is drawn by the CPU in fixed-point arithmetic.
The package holds the demo, started by name or from the desktop's menu, and
moonlark-capture, which plays it offline and writes its frames as PNG files,
raw frames or checksums, its music as a WAV file, or a video through ffmpeg.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libsdl1.2-compat-shim | libsdl1.2debian")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS ffmpeg)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
