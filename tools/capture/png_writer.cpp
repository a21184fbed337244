#include "tools/capture/png_writer.hpp"

#include "core/frame.hpp"

#include <png.h>

#include <cstdio>
#include <vector>

bool write_frame_png(const std::string& path, const uint16_t* frame) {
    std::vector<Rgb888> rgb(FRAME_PIXELS);
    for (int32_t i = 0; i < FRAME_PIXELS; ++i)
        rgb[i] = rgb888_of_rgb565(frame[i]);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = FRAME_WIDTH;
    image.height = FRAME_HEIGHT;
    image.format = PNG_FORMAT_RGB;
    if (png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr)) return true;
    std::fprintf(stderr, "moonlark-capture: cannot write '%s': %s\n", path.c_str(), image.message);
    return false;
}
