#pragma once
// The CRC-32 of zlib and PNG (reflected polynomial 0xEDB88320), for the frame checksums the
// page reports in its test mode, the same as the capture tool's.
#include <cstddef>
#include <cstdint>

uint32_t crc32_of_bytes(const uint8_t* bytes, size_t count);

// The CRC-32 of a frame stored as little-endian bytes, low byte of each pixel first.
uint32_t crc32_of_frame(const uint16_t* pixels, size_t count);
