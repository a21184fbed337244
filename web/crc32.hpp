#pragma once
// The frame checksum the page reports in its test mode, the same as the capture tool's: zlib's
// CRC-32 of the frame as little-endian bytes, low byte of each pixel first.
#include <cstddef>
#include <cstdint>

uint32_t crc32_of_frame(const uint16_t* pixels, size_t count);
