#include "tools/capture/png_writer.hpp"

#include <png.h>

#include <cstdio>
#include <vector>

void rgb565_to_rgb888(uint16_t pixel, uint8_t* rgb) {
    const uint32_t red = pixel >> 11, green = (pixel >> 5) & 63, blue = pixel & 31;
    rgb[0] = static_cast<uint8_t>((red << 3) | (red >> 2));
    rgb[1] = static_cast<uint8_t>((green << 2) | (green >> 4));
    rgb[2] = static_cast<uint8_t>((blue << 3) | (blue >> 2));
}

bool write_frame_png(const std::string& path, const uint16_t* frame) {
    std::vector<uint8_t> rgb(320 * 240 * 3);
    for (size_t i = 0; i < 320 * 240; ++i)
        rgb565_to_rgb888(frame[i], &rgb[i * 3]);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = 320;
    image.height = 240;
    image.format = PNG_FORMAT_RGB;
    if (png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr)) return true;
    std::fprintf(stderr, "moonlark-capture: cannot write '%s': %s\n", path.c_str(), image.message);
    return false;
}
