#pragma once
// Small .3do files for tests, written byte by byte like the real ones.
#include <cstdint>
#include <string>
#include <vector>

// Writes the integers as little-endian 32-bit values.
void write_int32s(const std::string& path, const std::vector<int32_t>& values);

// A valid .3do holding face_count separate triangles (three vertices each, no edges).
std::vector<int32_t> separate_triangles(int32_t face_count);
