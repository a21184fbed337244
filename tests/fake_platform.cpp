#include "tests/fake_platform.hpp"

#include "shell/platform.hpp"

uint32_t fake_ticks = 0;
alignas(4) uint16_t fake_frame[320 * 240];

uint32_t platform_ticks() {
    return fake_ticks;
}

uint16_t* platform_frame() {
    return fake_frame;
}
