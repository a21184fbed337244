# Front door: installs what is missing, configures and builds with CMake, then plays or tests.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all deps configure build run capture test test-sanitize test-O0 fuzz web web-deps \
        test-web handheld test-handheld package-handheld test-boot clean

all: build

deps:
	./scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# The demo reads its data files from the current directory: run it where the build put them.
# FULLSCREEN=1 starts it fullscreen. Without a display the demo is made into a video.
FULLSCREEN ?= $(MOONLARK_FULLSCREEN)
run: build
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
	    echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): making a video instead."; \
	    $(MAKE) --no-print-directory capture; \
	else \
	    cd $(BUILD) && MOONLARK_FULLSCREEN="$(FULLSCREEN)" ./moonlark; \
	fi

# The whole demo with its music as a video file, frames enlarged 3x. VIDEO_PRESET=medium (or
# slow, slower, veryslow: x264's presets) makes a smaller file and takes longer.
VIDEO ?= moonlark.mp4
VIDEO_PRESET ?=
capture: build
	$(BUILD)/moonlark-capture --video $(VIDEO) $(if $(VIDEO_PRESET),--preset $(VIDEO_PRESET))
	@echo "The demo is in $(abspath $(VIDEO))"

# Installed like any program under PREFIX: the demo's launcher and the capture tool in bin/,
# their data files, a desktop entry, icons and manual pages (cmake/install.cmake). DESTDIR=DIR
# stages the tree under DIR. make uninstall removes what the last install from this build put.
# CMake's own list of installed files is rewritten by every install, CPack's (make deb) too, so
# the list of this one is kept apart.
.PHONY: install uninstall deb test-deb
PREFIX ?= /usr/local
INSTALLED = $(BUILD)/installed_files.txt
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)
	cp $(BUILD)/install_manifest.txt $(INSTALLED)

uninstall:
	./scripts/uninstall.sh $(INSTALLED)

# The Debian package, dist/moonlark_<version>_<arch>.deb, made by CPack from the same install
# rules; its test unpacks it, runs the programs in it, and checks it with lintian.
deb: build
	rm -rf $(BUILD)/package
	cd $(BUILD) && cpack -B package
	mkdir -p dist
	cp $(BUILD)/package/moonlark_*.deb dist/
	@echo "dist/$$(cd $(BUILD)/package && ls moonlark_*.deb)"

test-deb: deb
	./tests/package_test.sh $(BUILD)/package/moonlark_*.deb $(BUILD)

# Every test twice: built by g++ and by the other compiler, clang. Then every test again under
# the sanitizers, the whole-demo checksums from an unoptimised build, and a minute of each fuzz
# target. Every build must give the frames the whole-demo checksum test pins: a difference
# means undefined behaviour somewhere. The Debian package is made and checked once, after the
# first build's tests (test-deb).
CLANG_BUILD ?= build-clang
test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	$(MAKE) --no-print-directory test-deb
	cmake -S . -B $(CLANG_BUILD) -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=clang++
	cmake --build $(CLANG_BUILD) -j $(JOBS)
	cd $(CLANG_BUILD) && ctest --output-on-failure -j $(JOBS)
	$(MAKE) --no-print-directory test-sanitize test-O0 fuzz

# Every test with -fsanitize=address,undefined, stopping at the first report; the whole
# timeline is played at 60 and at 7 fps among them.
SANITIZE_BUILD ?= build-sanitize
test-sanitize: deps
	cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=Release -DMOONLARK_SANITIZE=ON
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	cd $(SANITIZE_BUILD) && ctest --output-on-failure -j $(JOBS)

# The whole-demo checksums from an unoptimised (-O0) build.
O0_BUILD ?= build-O0
test-O0: deps
	cmake -S . -B $(O0_BUILD) -DCMAKE_BUILD_TYPE=Debug
	cmake --build $(O0_BUILD) -j $(JOBS) --target end_to_end_tests
	cd $(O0_BUILD) && ctest --output-on-failure -R '^Capture\.WholeDemoKeepsItsChecksums$$'

# libFuzzer targets of the mesh loader and the triangle filler (clang, with the sanitizers):
# each replays its seeds, then fuzzes for FUZZ_SECONDS. For a long run, for example:
#   make fuzz FUZZ_SECONDS=3600
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
fuzz: deps
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=clang++ \
	    -DMOONLARK_SANITIZE=ON -DMOONLARK_FUZZ=ON
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_mesh_file fuzz_fill_triangle
	./scripts/fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

# The demo as one self-contained web page, and its test in headless Chromium against the
# native build. scripts/install-web-deps.sh installs emscripten, chromium, libmikmod and zlib
# for the browser (into $(WEB_BUILD)) and the test's node packages.
WEB_BUILD ?= build-web
WEB_PAGE = dist/web/index.html
EMSCRIPTEN_ENV = NODE_PATH=/usr/share/nodejs
# Scene times (ms) of the frames whose canvas the test compares with native PNGs: one per state.
WEB_SHOT_TIMES = 5000,20000,40000,60000,90000,110000,140000

web-deps:
	./scripts/install-web-deps.sh $(WEB_BUILD)

web: configure web-deps
	cmake --build $(BUILD) --target png_to_array -j $(JOBS)
	$(EMSCRIPTEN_ENV) emcmake cmake -S web -B $(WEB_BUILD)/page -DCMAKE_BUILD_TYPE=Release \
	    -DPNG_TO_ARRAY=$(abspath $(BUILD))/png_to_array \
	    -DMIKMOD_PREFIX=$(abspath $(WEB_BUILD))/mikmod/install \
	    -DZLIB_PREFIX=$(abspath $(WEB_BUILD))/zlib/install >/dev/null
	$(EMSCRIPTEN_ENV) cmake --build $(WEB_BUILD)/page -j $(JOBS)
	mkdir -p $(dir $(WEB_PAGE))
	cp $(WEB_BUILD)/page/index.html $(WEB_PAGE)
	@echo "$(WEB_PAGE): $$(wc -c < $(WEB_PAGE)) bytes, $$(gzip -9n < $(WEB_PAGE) | wc -c) gzipped"

test-web: web
	cmake --build $(BUILD) --target moonlark-capture -j $(JOBS)
	rm -rf $(WEB_BUILD)/native && mkdir -p $(WEB_BUILD)/native
	$(BUILD)/moonlark-capture --fps 60 --checksums $(WEB_BUILD)/native/checksums.txt \
	    --png $(WEB_BUILD)/native/png --at $(WEB_SHOT_TIMES)
	MOONLARK_PAGE=$(WEB_PAGE) MOONLARK_CHECKSUMS=$(WEB_BUILD)/native/checksums.txt \
	    MOONLARK_PNG_DIR=$(WEB_BUILD)/native/png node --test web/test_web.mjs

# The handheld: one static program for its ARM920T core (ARMv4T, soft float, EABI), on musl,
# with SDL 1.2 on the frame buffer and libmikmod on OSS. scripts/handheld-toolchain.sh builds
# that toolchain from Debian's sources once, into $(HANDHELD_TOOLCHAIN); the build, in
# $(HANDHELD_BUILD), makes the demo, the capture tool, the benchmark and the tests, and checks
# every instruction of the programs (scripts/check-arm-arch.sh). Measure a frame's cost on that
# core with ../shared/armcost/stages.sh $(HANDHELD_BUILD). make clean keeps the toolchain.
HANDHELD_TOOLCHAIN ?= build-toolchain
HANDHELD_BUILD ?= build-handheld
HANDHELD_PACKAGES = gcc-arm-linux-gnueabi g++-arm-linux-gnueabi gcc-arm-none-eabi gcc-12-source \
                    linux-libc-dev-armel-cross dpkg-dev qemu-user

handheld: deps
	./scripts/install-deps.sh $(HANDHELD_PACKAGES)
	./scripts/handheld-toolchain.sh $(HANDHELD_TOOLCHAIN)
	cmake -S . -B $(HANDHELD_BUILD) -DCMAKE_BUILD_TYPE=Release \
	    -DCMAKE_TOOLCHAIN_FILE=cmake/handheld.cmake \
	    -DMOONLARK_TOOLCHAIN=$(abspath $(HANDHELD_TOOLCHAIN))
	cmake --build $(HANDHELD_BUILD) -j $(JOBS)

# Every test under qemu-arm emulating a TI925T, an ARMv4T core on which any newer instruction
# traps, but one: VideoWithoutFfmpegNamesThePackage starts the capture tool through the host's
# env program, which cannot start an ARM binary. The demo's tests, which play it on SDL's dummy
# drivers until SIGTERM after 2.5 s of start-up, run alone, after the rest. Then the whole
# timeline's checksums at 60 fps: the static capture tool against x86-64's.
test-handheld: handheld build
	cd $(HANDHELD_BUILD) && ctest --output-on-failure -j $(JOBS) \
	    -E '^Demo\.|VideoWithoutFfmpegNamesThePackage'
	cd $(HANDHELD_BUILD) && ctest --output-on-failure -R '^Demo\.'
	./scripts/compare-arm-checksums.sh $(BUILD) $(HANDHELD_BUILD)

# dist/moonlark-handheld.tar.gz: the folder moonlark/ to copy onto the handheld's SD card.
package-handheld: handheld
	./scripts/package-handheld.sh $(HANDHELD_BUILD) dist/moonlark-handheld.tar.gz

# The package booted on an emulated ARM board, qemu-system-arm -M versatilepb, in real time: a
# Linux kernel built once beside the toolchain (scripts/boot-kernel.sh, about 6 minutes), an
# initramfs holding the unpacked package (scripts/boot-initramfs.sh), and tests/boot/boot_test.py,
# which drives the board through QMP and compares its screen with the desktop capture tool's
# frames (about 3 minutes), after tests/boot/capture_test.py has checked that comparison.
# BOOT_SHOTS=DIR also writes the dumps and frames compared as PNGs.
BOOT_KERNEL ?= $(HANDHELD_TOOLCHAIN)/kernel
BOOT_WORK ?= build-boot
BOOT_SHOTS ?=
BOOT_PACKAGES = gcc-arm-linux-gnueabi linux-source-6.1 bc bison flex xz-utils cpio \
                qemu-system-arm python3-numpy
test-boot: package-handheld build
	./scripts/install-deps.sh $(BOOT_PACKAGES)
	/usr/bin/python3 tests/boot/capture_test.py $(BUILD)/moonlark-capture $(BUILD)
	./scripts/boot-kernel.sh $(BOOT_KERNEL)
	./scripts/boot-initramfs.sh $(HANDHELD_TOOLCHAIN) dist/moonlark-handheld.tar.gz \
	    $(BOOT_WORK)/initramfs.cpio
	/usr/bin/python3 tests/boot/boot_test.py --kernel $(BOOT_KERNEL) \
	    --initramfs $(BOOT_WORK)/initramfs.cpio --capture $(BUILD)/moonlark-capture \
	    --data $(BUILD) --title assets/title.png --work $(BOOT_WORK)/run \
	    $(if $(BOOT_SHOTS),--shots $(BOOT_SHOTS))

clean:
	rm -rf $(BUILD) $(CLANG_BUILD) $(SANITIZE_BUILD) $(O0_BUILD) $(FUZZ_BUILD) $(WEB_BUILD) \
	    $(HANDHELD_BUILD) $(BOOT_WORK) dist
