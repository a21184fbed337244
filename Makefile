# Front door: installs what is missing, configures and builds with CMake, then plays or tests.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all deps configure build run capture test clean

all: build

deps:
	./scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# The demo reads its data files from the current directory: run it where the build put them.
# A 320x240 window is tiny on a desktop screen, so the SDL 1.2 layer scales it 3x, sharply,
# unless the user already chose otherwise. Without a display the demo is made into a video.
run: build
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
	    echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): making a video instead."; \
	    $(MAKE) --no-print-directory capture; \
	else \
	    cd $(BUILD) && \
	    SDL12COMPAT_WINDOW_SCALING=$${SDL12COMPAT_WINDOW_SCALING:-3} \
	    SDL12COMPAT_SCALE_METHOD=$${SDL12COMPAT_SCALE_METHOD:-nearest} \
	    ./moonlark; \
	fi

# The whole demo with its music as a video file, frames enlarged 3x.
VIDEO ?= moonlark.mp4
capture: build
	$(BUILD)/moonlark-capture --video $(VIDEO)
	@echo "The demo is in $(abspath $(VIDEO))"

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD)
