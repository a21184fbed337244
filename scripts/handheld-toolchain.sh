#!/bin/sh
# Builds, once, the handheld's toolchain into DIR (default build-toolchain): a C library, a C++
# library and every library the demo, its tools and its tests link, all static and all for the
# console's ARM920T core (ARMv4T, ARM instructions, soft float, EABI), from Debian's packages and
# sources, driven by Debian's arm-linux-gnueabi cross compiler through two wrappers:
#
#   DIR/bin/armv4t-linux-musleabi-gcc, DIR/bin/armv4t-linux-musleabi-g++
#       the cross compiler with its own C library, libgcc and C++ library swapped for the ones
#       in DIR/sysroot; a link makes a static executable (no interpreter, no dynamic section).
#   DIR/sysroot/{include,lib}
#       musl (Debian's musl source) with the kernel's headers (Debian's linux-libc-dev for armel);
#       libgcc: gcc-arm-none-eabi's ARMv4T one, with the unwinder, the atomic helpers (which call
#       the kernel's user helpers) and the SIGFPE-raising division by zero of a Linux libgcc
#       compiled from gcc-12-source; libstdc++ from gcc-12-source; SDL 1.2.15 (Debian's
#       libsdl1.2: frame buffer console, dummy video and audio, OSS, Linux joystick); libmikmod
#       (OSS and no-sound drivers); zlib, libpng, GoogleTest and Google Benchmark.
#
# Sources and builds live in DIR/src and DIR/work, both removed at the end. DIR/complete
# marks a finished toolchain: running the script again then does nothing. A step that failed is
# redone from its start on the next run; the ones before it are kept (DIR/work/*.done).
# Usage: scripts/handheld-toolchain.sh [DIR]
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
dir=$(mkdir -p "${1:-build-toolchain}" && cd "${1:-build-toolchain}" && pwd)
[ -f "$dir/complete" ] && exit 0

sys="$dir/sysroot"
src="$dir/src"
work="$dir/work"
jobs=2
cross=arm-linux-gnueabi
target=armv4t-linux-musleabi
cc="$dir/bin/$target-gcc"
cxx="$dir/bin/$target-g++"
arch_flags="-march=armv4t -mtune=arm920t -marm -mfloat-abi=soft"
mkdir -p "$sys/include" "$sys/lib" "$src" "$work" "$dir/bin"
started=$(date +%s)
echo "handheld-toolchain: building into $dir (once, several minutes)"

# Runs a command with its output in a log file, shown only when it fails.
logged() {
    log=$1
    shift
    "$@" >"$log" 2>&1 || { tail -40 "$log"; echo "failed: $* (log: $log)" >&2; exit 1; }
}

# Runs step $1 (a function of this script) unless it has already succeeded.
step() {
    [ -f "$work/$1.done" ] && return 0
    rm -rf "${work:?}/$1"
    mkdir -p "$work/$1"
    "$1"
    touch "$work/$1.done"
}

sources() {
    "$here/scripts/debian-source.sh" "$src" musl libsdl1.2 libmikmod zlib libpng1.6 googletest \
        benchmark
    # The parts of GCC's source that libgcc's helpers and libstdc++ are built from. libstdc++'s
    # configure finds its helper scripts in the folder above it.
    rm -rf "$src/gcc"
    mkdir -p "$src/gcc"
    tar -xf /usr/src/gcc-12/gcc-12.2.0-dfsg.tar.xz -C "$src/gcc" --strip-components=1 \
        --wildcards 'gcc-12.2.0/libgcc/*' 'gcc-12.2.0/libstdc++-v3/*' 'gcc-12.2.0/config/*' \
        'gcc-12.2.0/include/*' 'gcc-12.2.0/libiberty/cp-demangle.*' 'gcc-12.2.0/gcc/BASE-VER' \
        'gcc-12.2.0/gcc/DATESTAMP' \
        'gcc-12.2.0/config.sub' 'gcc-12.2.0/config.guess' 'gcc-12.2.0/install-sh' \
        'gcc-12.2.0/ltmain.sh' 'gcc-12.2.0/missing' 'gcc-12.2.0/mkinstalldirs' \
        'gcc-12.2.0/config-ml.in' 'gcc-12.2.0/depcomp' 'gcc-12.2.0/compile' \
        'gcc-12.2.0/move-if-change' 'gcc-12.2.0/test-driver'
}

musl() {
    cd "$work/musl"
    logged configure.log "$src/musl/configure" --target=arm-linux-musleabi --prefix="$sys" \
        --disable-shared CROSS_COMPILE=$cross- CC=$cross-gcc CFLAGS="$arch_flags -O2"
    logged build.log make -j$jobs
    logged install.log make install
}

# The kernel's user-space headers, which musl leaves to the system, and the OSS header under the
# name other C libraries give it.
kernel_headers() {
    for folder in $(dpkg -L linux-libc-dev-armel-cross |
                    sed -n "s|^/usr/$cross/include/\([^/]*\)/.*|\1|p" | sort -u); do
        rm -rf "${sys:?}/include/$folder"
        cp -r "/usr/$cross/include/$folder" "$sys/include/"
    done
    mkdir -p "$sys/include/sys"
    echo '#include <linux/soundcard.h>' >"$sys/include/sys/soundcard.h"
}

# The compilers: Debian's cross compiler without its own C library, start files, libgcc or C++
# library. The specs name the start files and libraries found first in sysroot/lib; no library
# folder of the cross compiler is searched.
wrappers() {
    gcc_include=$($cross-gcc -print-file-name=include)
    cat >"$dir/musl.specs" <<EOF
*startfile:
crt1.o%s crti.o%s

*endfile:
crtn.o%s

*link_libgcc:


*libgcc:
-lgcc

EOF
    cxx_include="$sys/include/c++"
    for tool in gcc g++; do
        cxx_flags=""
        [ $tool = g++ ] &&
            cxx_flags="-nostdinc++ -isystem $cxx_include -isystem $cxx_include/arm-linux-musleabi"
        cat >"$dir/bin/$target-$tool" <<EOF
#!/bin/sh
# $cross-$tool for static programs on musl, ARMv4T (made by scripts/handheld-toolchain.sh).
exec $cross-$tool $arch_flags -fno-pie -no-pie -static -nostdinc $cxx_flags \\
    -isystem $sys/include -isystem $gcc_include -specs=$dir/musl.specs -B$sys/lib -L$sys/lib \\
    -Wl,--no-enum-size-warning -Wl,-z,noexecstack "\$@"
EOF
        chmod 755 "$dir/bin/$target-$tool"
    done
    # The binary tools under the same prefix, for build systems that look for them there.
    for tool in addr2line ar as ld nm objcopy objdump ranlib readelf size strings strip; do
        ln -sfn "$(command -v $cross-$tool)" "$dir/bin/$target-$tool"
    done
}

# libgcc: gcc-arm-none-eabi's default (ARMv4T, soft float) build, less the parts a Linux program
# needs in their Linux form: the unwinder (the bare-metal one is built with short enums), the
# atomic helpers (absent there) and division by zero (which must raise SIGFPE). musl, unlike
# glibc, has no __dso_handle; it belongs with the start files, so it is added here.
libgcc() {
    cd "$work/libgcc"
    gsrc="$src/gcc/libgcc"
    cp "$(arm-none-eabi-gcc -print-libgcc-file-name)" libgcc.a
    $cross-ar d libgcc.a unwind-arm.o libunwind.o pr-support.o unwind-c.o _dvmd_tls.o
    mkdir stub
    # What GCC's build would generate around these files for this target.
    : >stub/tconfig.h
    : >stub/auto-target.h
    printf '#include <stddef.h>\n#include <stdlib.h>\n#include <string.h>\n#include <limits.h>\n' \
        >stub/tsystem.h
    flags="-O2 -fexceptions -fnon-call-exceptions -fvisibility=hidden -DIN_LIBGCC2
           -Istub -I$gsrc -I$gsrc/config/arm"
    for file in config/arm/unwind-arm.c config/arm/pr-support.c unwind-c.c \
                config/arm/linux-atomic.c; do
        # shellcheck disable=SC2086
        logged "$(basename "$file").log" "$cc" $flags -c "$gsrc/$file" \
            -o "$(basename "$file" .c).o"
    done
    logged libunwind.log "$cc" -I"$gsrc/config/arm" -c "$gsrc/config/arm/libunwind.S" \
        -o libunwind.o
    logged dvmd.log "$cc" -DL_dvmd_lnx -I"$gsrc/config/arm" -c "$gsrc/config/arm/lib1funcs.S" \
        -o _dvmd_lnx.o
    echo 'void *__dso_handle = &__dso_handle;' >dso_handle.c
    logged dso_handle.log "$cc" -O2 -fvisibility=hidden -c dso_handle.c -o dso_handle.o
    $cross-ar rs libgcc.a unwind-arm.o pr-support.o unwind-c.o linux-atomic.o libunwind.o \
        _dvmd_lnx.o dso_handle.o
    cp libgcc.a "$sys/lib/libgcc.a"
}

# libstdc++ configured for musl, built outside a GCC tree: its configure reads the thread model's
# header from ../libgcc/gthr-default.h (GCC's build makes it from gthr-posix.h). The C++ wrapper
# searches the installed headers, which must not shadow the ones being built.
libstdcxx() {
    rm -rf "$sys/include/c++"
    cp "$src/gcc/libgcc/gthr-posix.h" "$src/gcc/libgcc/gthr-default.h"
    cd "$work/libstdcxx"
    logged configure.log "$src/gcc/libstdc++-v3/configure" --host=arm-linux-musleabi \
        --build="$("$src/gcc/config.guess")" --prefix="$sys" \
        --with-gxx-include-dir="$sys/include/c++" --disable-shared --enable-static \
        --disable-multilib --disable-nls --disable-libstdcxx-pch --enable-threads=posix \
        --enable-libstdcxx-time=yes \
        CC="$cc" CXX="$cxx" AR=$cross-ar RANLIB=$cross-ranlib NM=$cross-nm \
        CFLAGS=-O2 CXXFLAGS="-O2 -g0"
    logged build.log make -j$jobs
    logged install.log make install
}

zlib() {
    cp -r "$src/zlib/." "$work/zlib"
    cd "$work/zlib"
    logged configure.log env CC="$cc" AR=$cross-ar RANLIB=$cross-ranlib CFLAGS=-O2 \
        ./configure --static --prefix="$sys"
    logged build.log make -j$jobs libz.a
    logged install.log make install
}

# Autotools packages: cross-compiled with the wrapper; the host is named as arm-linux-gnueabi,
# which even SDL's 2012 config.sub knows, and the compiler and tools are given outright.
autotools_build() {
    name=$1
    shift
    mkdir -p "$work/$name"
    cd "$work/$name"
    logged configure.log env PKG_CONFIG_LIBDIR="$sys/lib/pkgconfig" "$src/$name/configure" \
        --host=$cross --prefix="$sys" --disable-shared --enable-static \
        CC="$cc" CXX="$cxx" AR=$cross-ar RANLIB=$cross-ranlib STRIP=$cross-strip \
        CFLAGS=-O2 "$@"
    logged build.log make -j$jobs
    logged install.log make install
}

libpng() {
    autotools_build libpng1.6 --enable-arm-neon=no --enable-hardware-optimizations=no
}

# SDL 1.2: the frame buffer console and the dummy video driver, OSS and the dummy audio driver,
# the Linux joystick; nothing that needs X11, a sound server or dlopen.
sdl() {
    autotools_build libsdl1.2 --enable-video-fbcon --enable-video-dummy --enable-audio-oss \
        --enable-joystick --disable-video-x11 --disable-video-directfb --disable-video-svga \
        --disable-video-ggi --disable-video-aalib --disable-video-caca --disable-video-qtopia \
        --disable-video-picogui --disable-video-ps2gs --disable-video-ps3 --disable-video-vgl \
        --disable-video-wscons --disable-video-opengl --disable-input-tslib --disable-alsa \
        --disable-esd --disable-pulseaudio --disable-arts --disable-nas --disable-diskaudio \
        --disable-mintaudio --disable-nasm --disable-cdrom --disable-loadso --disable-sdl-dlopen \
        --disable-rpath --disable-pth --disable-video-fbcon-directfb --without-x
}

# CMake packages, through the project's handheld toolchain file.
cmake_build() {
    name=$1
    shift
    logged "$work/$name/configure.log" cmake -S "$src/$name" -B "$work/$name" -Wno-dev \
        -DCMAKE_TOOLCHAIN_FILE="$here/cmake/handheld.cmake" -DMOONLARK_TOOLCHAIN="$dir" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$sys" -DCMAKE_INSTALL_LIBDIR=lib "$@"
    logged "$work/$name/build.log" cmake --build "$work/$name" -j $jobs
    logged "$work/$name/install.log" cmake --install "$work/$name"
}

# libmikmod with the OSS driver and the no-sound one it always has; no stdout or pipe driver
# (the library would pick stdout whenever standard output is a pipe), no threads.
libmikmod() {
    cmake_build libmikmod -DENABLE_STATIC=1 -DENABLE_OSS=1 -DENABLE_THREADS=0 \
        -DENABLE_DL=0 -DENABLE_ALSA=0 -DENABLE_PULSE=0 -DENABLE_SDL=0 -DENABLE_OPENAL=0 \
        -DENABLE_ESD=0 -DENABLE_NAS=0 -DENABLE_AF=0 -DENABLE_STDOUT=0 -DENABLE_PIPE=0 \
        -DENABLE_AIFF=0 -DENABLE_WAV=0 -DENABLE_RAW=0 -DENABLE_DOC=0
    # It always builds a shared library too, which a static link must not find.
    rm -f "$sys"/lib/libmikmod.so*
}

googletest() {
    cmake_build googletest -DBUILD_GMOCK=OFF
}

# Its version comes from git, which a source package has not: Debian's build names it too.
benchmark() {
    cmake_build benchmark -DGIT_VERSION=1.7.1 -DBENCHMARK_ENABLE_TESTING=OFF \
        -DBENCHMARK_ENABLE_GTEST_TESTS=OFF -DBENCHMARK_ENABLE_WERROR=OFF -DBENCHMARK_ENABLE_LTO=OFF -DBENCHMARK_USE_BUNDLED_GTEST=OFF
}

for s in sources musl kernel_headers wrappers libgcc libstdcxx zlib libpng sdl libmikmod \
         googletest benchmark; do
    step $s
done
rm -rf "$work" "$src"
# The documentation and the libtool files the packages install are of no use to a static build.
rm -rf "$sys/share/man" "$sys/share/doc" "$sys/share/info"
find "$sys/lib" -name '*.la' -delete
elapsed=$(( $(date +%s) - started ))
echo "handheld-toolchain: $dir, $(du -sh "$dir" | cut -f1), built in" \
     "$((elapsed / 60)) min $((elapsed % 60)) s"
touch "$dir/complete"
