# Cross build for the handheld: static ARMv4T EABI soft-float programs on musl, made with the
# toolchain scripts/handheld-toolchain.sh builds (make handheld runs both).
#
#   cmake -S . -B build-handheld -DCMAKE_TOOLCHAIN_FILE=cmake/handheld.cmake \
#         [-DMOONLARK_TOOLCHAIN=build-toolchain]
#
# The compiler wrappers hold the core (-march=armv4t -mtune=arm920t -marm -mfloat-abi=soft), the
# C library and the static link; every library is found in the toolchain's sysroot only. Tests and
# build-time tools run under qemu-arm emulating a TI925T, an ARMv4T core: an instruction the
# handheld's ARM920T lacks traps there.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)
# The handheld's demo: no desktop window keys.
set(MOONLARK_HANDHELD ON CACHE BOOL "Build the demo for the handheld: no window keys")

get_filename_component(default_toolchain "${CMAKE_CURRENT_LIST_DIR}/../build-toolchain" ABSOLUTE)
set(MOONLARK_TOOLCHAIN "${default_toolchain}" CACHE PATH "Folder of the handheld toolchain")
get_filename_component(MOONLARK_TOOLCHAIN "${MOONLARK_TOOLCHAIN}" ABSOLUTE)
# try_compile projects see the toolchain file again: hand them the folder.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES MOONLARK_TOOLCHAIN)
if(NOT EXISTS "${MOONLARK_TOOLCHAIN}/bin/armv4t-linux-musleabi-g++")
  message(FATAL_ERROR "No handheld toolchain in ${MOONLARK_TOOLCHAIN} "
                      "(scripts/handheld-toolchain.sh builds one)")
endif()

# Binutils are found beside the compilers by their prefix; the build's instruction check reads
# the same prefix.
set(MOONLARK_ARM_PREFIX "${MOONLARK_TOOLCHAIN}/bin/armv4t-linux-musleabi-")
set(MOONLARK_ARM_ARCH armv4t)
set(CMAKE_C_COMPILER "${MOONLARK_ARM_PREFIX}gcc")
set(CMAKE_CXX_COMPILER "${MOONLARK_ARM_PREFIX}g++")

set(CMAKE_FIND_ROOT_PATH "${MOONLARK_TOOLCHAIN}/sysroot")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# pkg-config reads the toolchain's .pc files only; their paths are already absolute.
set(ENV{PKG_CONFIG_LIBDIR} "${MOONLARK_TOOLCHAIN}/sysroot/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
# A static link takes a library's own dependencies too.
set(PKG_CONFIG_ARGN --static)

find_program(MOONLARK_QEMU_ARM qemu-arm)
if(MOONLARK_QEMU_ARM)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${MOONLARK_QEMU_ARM};-cpu;ti925t")
endif()
