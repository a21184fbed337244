#pragma once
// Writes a 320x240 RGB565 frame as an 8-bit RGB PNG file.
#include <cstdint>
#include <string>

// Each channel widened by bit replication, so 31 becomes 255 and 0 stays 0.
void rgb565_to_rgb888(uint16_t pixel, uint8_t* rgb);

// Returns false (and prints the reason with the path) when the file cannot be written.
bool write_frame_png(const std::string& path, const uint16_t* frame);
