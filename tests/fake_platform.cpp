#include "tests/fake_platform.hpp"

#include "core/platform.hpp"

uint32_t fake_ticks = 0;
alignas(FRAME_ALIGNMENT) uint16_t fake_frame[FRAME_PIXELS];

uint32_t platform_ticks() {
    return fake_ticks;
}

uint16_t* platform_frame() {
    return fake_frame;
}
