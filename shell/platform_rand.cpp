// The native front ends' ripple numbers: the C library's own rand(), never seeded.
#include "shell/platform.hpp"

#include <cstdlib>

int32_t platform_rand() {
    return std::rand();
}
