#include "web/crc32.hpp"

#include <array>

namespace {

// CRC of each byte value alone, 256 entries, built at compile time.
constexpr std::array<uint32_t, 256> BYTE_CRC = [] {
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}();

// Register form: the CRC before its final inversion.
uint32_t add_byte(uint32_t reg, uint8_t byte) {
    return BYTE_CRC[(reg ^ byte) & 0xFF] ^ (reg >> 8);
}

} // namespace

uint32_t crc32_of_bytes(const uint8_t* bytes, size_t count) {
    uint32_t reg = 0xFFFFFFFFu;
    for (size_t i = 0; i < count; ++i)
        reg = add_byte(reg, bytes[i]);
    return ~reg;
}

uint32_t crc32_of_frame(const uint16_t* pixels, size_t count) {
    uint32_t reg = 0xFFFFFFFFu;
    for (size_t i = 0; i < count; ++i) {
        reg = add_byte(reg, static_cast<uint8_t>(pixels[i]));
        reg = add_byte(reg, static_cast<uint8_t>(pixels[i] >> 8));
    }
    return ~reg;
}
