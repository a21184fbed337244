# Cross build for 32-bit ARM Linux: Debian's arm-linux-gnueabi compiler (soft-float EABI), ARMv5TE.
#
#   cmake -S . -B build-arm -DCMAKE_TOOLCHAIN_FILE=cmake/arm-linux-gnueabi.cmake \
#         -DMOONLARK_ARM_SYSROOT=build-arm/sysroot
#
# MOONLARK_ARM_PREFIX is the compilers' prefix (default arm-linux-gnueabi-, found on PATH); another
# toolchain, such as a handheld's own old-ABI one, is used by giving its prefix, for example
# -DMOONLARK_ARM_PREFIX=/opt/handheld/bin/arm-linux- with its sysroot as MOONLARK_ARM_SYSROOT.
# MOONLARK_ARM_SYSROOT holds the target's SDL 1.2, libmikmod, libpng, zlib, GoogleTest and Google
# Benchmark, unpacked from Debian's armel packages by scripts/arm-sysroot.sh; it is also the
# folder qemu-arm loads the target's shared libraries from when the tests and build-time tools
# run under emulation.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)
# The ARM build is the handheld's demo (scripts/package-arm.sh packs it): no desktop window keys.
set(MOONLARK_HANDHELD ON CACHE BOOL "Build the demo for the handheld: no window keys")

set(MOONLARK_ARM_PREFIX "arm-linux-gnueabi-" CACHE STRING "Prefix of the ARM cross compilers")
set(MOONLARK_ARM_SYSROOT "" CACHE PATH "Folder holding the ARM libraries and headers")
set(MOONLARK_ARM_ARCH "armv5te" CACHE STRING "Oldest ARM core the code may run on (-march)")
set(MOONLARK_ARM_TUNE "" CACHE STRING "ARM core to schedule the code for (-mtune), if any")
# try_compile projects see the toolchain file again: hand them the settings.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES MOONLARK_ARM_PREFIX MOONLARK_ARM_SYSROOT
     MOONLARK_ARM_ARCH MOONLARK_ARM_TUNE)
if(NOT MOONLARK_ARM_SYSROOT)
  message(FATAL_ERROR "Set MOONLARK_ARM_SYSROOT (scripts/arm-sysroot.sh makes one)")
endif()
get_filename_component(MOONLARK_ARM_SYSROOT "${MOONLARK_ARM_SYSROOT}" ABSOLUTE)

set(CMAKE_C_COMPILER "${MOONLARK_ARM_PREFIX}gcc")
set(CMAKE_CXX_COMPILER "${MOONLARK_ARM_PREFIX}g++")
# Debian's armel C library is built for ARMv5TE, so that is the oldest core a binary linked with
# it can run on; an ARMv4T core (ARM920T) needs its own toolchain and MOONLARK_ARM_ARCH=armv4t.
# No FPU: every float operation is a call into the soft-float library, as on the handheld's ARM9.
set(arm_flags "-march=${MOONLARK_ARM_ARCH} -mfloat-abi=soft")
if(MOONLARK_ARM_TUNE)
  string(APPEND arm_flags " -mtune=${MOONLARK_ARM_TUNE}")
endif()
set(CMAKE_C_FLAGS_INIT "${arm_flags}")
set(CMAKE_CXX_FLAGS_INIT "${arm_flags}")
set(CMAKE_ASM_FLAGS_INIT "${arm_flags}")

# The compiler keeps its own C library and headers; the sysroot adds the libraries on top.
# Multiarch folders first: Debian puts the armel libraries and their .pc files there (and
# libpulse's private library in a folder of its own, named by its RUNPATH).
set(MOONLARK_ARM_LIBDIRS
    "${MOONLARK_ARM_SYSROOT}/usr/lib/arm-linux-gnueabi"
    "${MOONLARK_ARM_SYSROOT}/usr/lib/arm-linux-gnueabi/pulseaudio"
    "${MOONLARK_ARM_SYSROOT}/lib/arm-linux-gnueabi"
    "${MOONLARK_ARM_SYSROOT}/usr/lib"
    "${MOONLARK_ARM_SYSROOT}/lib")
list(JOIN MOONLARK_ARM_LIBDIRS ":" rpath_link)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-Wl,-rpath-link,${rpath_link}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-Wl,-rpath-link,${rpath_link}")

set(CMAKE_FIND_ROOT_PATH "${MOONLARK_ARM_SYSROOT}")
set(CMAKE_LIBRARY_ARCHITECTURE arm-linux-gnueabi)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config reads the target's .pc files only, and prefixes their paths with the sysroot.
set(ENV{PKG_CONFIG_LIBDIR}
    "${MOONLARK_ARM_SYSROOT}/usr/lib/arm-linux-gnueabi/pkgconfig:${MOONLARK_ARM_SYSROOT}/usr/share/pkgconfig")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "${MOONLARK_ARM_SYSROOT}")
set(ENV{PKG_CONFIG_PATH} "")

# No RUNPATH into this machine's sysroot: qemu-arm -L finds the libraries there, and on the
# device the launcher names its own folder of libraries.
set(CMAKE_SKIP_BUILD_RPATH ON)

# Tests, test discovery and build-time tools (png_to_array) run under user-mode emulation.
find_program(MOONLARK_QEMU_ARM qemu-arm)
if(MOONLARK_QEMU_ARM)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${MOONLARK_QEMU_ARM};-L;${MOONLARK_ARM_SYSROOT}")
endif()
