#include "web/crc32.hpp"

#include <zlib.h>

#include <bit>

// Every target of the page and its tests (WebAssembly, x86-64, 32-bit ARM) stores a pixel's
// low byte first, so the frame's own bytes are the ones to check.
static_assert(std::endian::native == std::endian::little);

uint32_t crc32_of_frame(const uint16_t* pixels, size_t count) {
    const uLong crc = crc32(crc32(0, Z_NULL, 0), reinterpret_cast<const Bytef*>(pixels),
                            static_cast<uInt>(count * sizeof *pixels));
    return static_cast<uint32_t>(crc);
}
