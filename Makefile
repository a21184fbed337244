# Front door: installs what is missing, configures and builds with CMake, then plays or tests.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all deps configure build run test clean

all: build

deps:
	./scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# The demo reads its data files from the current directory: run it where the build put them.
# A 320x240 window is tiny on a desktop screen, so the SDL 1.2 layer scales it 3x, sharply,
# unless the user already chose otherwise.
run: build
	cd $(BUILD) && \
	SDL12COMPAT_WINDOW_SCALING=$${SDL12COMPAT_WINDOW_SCALING:-3} \
	SDL12COMPAT_SCALE_METHOD=$${SDL12COMPAT_SCALE_METHOD:-nearest} \
	./moonlark

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD)
