#pragma once
// Writes a frame as an 8-bit RGB PNG file, each channel widened by bit replication.
#include <cstdint>
#include <string>

// Returns false (and prints the reason with the path) when the file cannot be written.
bool write_frame_png(const std::string& path, const uint16_t* frame);
