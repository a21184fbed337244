#include "tests/mesh_files.hpp"

#include <cstdio>

void write_int32s(const std::string& path, const std::vector<int32_t>& values) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    for (const int32_t value : values)
        for (int shift = 0; shift < 32; shift += 8)
            std::fputc(static_cast<int>((static_cast<uint32_t>(value) >> shift) & 0xFF), file);
    std::fclose(file);
}

std::vector<int32_t> separate_triangles(int32_t face_count) {
    std::vector<int32_t> file = {3 * face_count, 0, face_count};
    for (int32_t f = 0; f < face_count; ++f) {
        const int32_t x = 65536 + f * 256;
        const std::vector<int32_t> corners = {x,     65536, 65536,        x + 2560, 65536,
                                              65536, x,     65536 + 2560, 65536};
        file.insert(file.end(), corners.begin(), corners.end());
    }
    for (int32_t v = 0; v < 3 * face_count; ++v)
        file.push_back(v);
    return file;
}
