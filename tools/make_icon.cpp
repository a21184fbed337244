// Build-time icon maker: the desktop's icon of the demo is the first letter of the logo on the
// title picture, enlarged sharply by the largest whole factor that leaves a margin, on the
// title's black.
//   usage: make_icon TITLE.png SIZE OUTPUT.png
#include <png.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

struct Box {
    uint32_t left = 0, top = 0, width = 0, height = 0;
};

// The larger side of a box.
uint32_t extent(const Box& box) {
    return box.width > box.height ? box.width : box.height;
}

struct Picture {
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> rgb;
    bool lit(uint32_t x, uint32_t y) const {
        const uint8_t* p = &rgb[(y * width + x) * 3];
        return p[0] != 0 || p[1] != 0 || p[2] != 0;
    }
};

bool read_picture(const char* path, Picture& picture) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&image, path)) {
        image.format = PNG_FORMAT_RGB;
        picture.width = image.width;
        picture.height = image.height;
        picture.rgb.resize(PNG_IMAGE_SIZE(image));
        if (png_image_finish_read(&image, nullptr, picture.rgb.data(), 0, nullptr)) return true;
    }
    std::fprintf(stderr, "make_icon: %s: %s\n", path, image.message);
    return false;
}

bool column_lit(const Picture& picture, uint32_t x, uint32_t rows) {
    for (uint32_t y = 0; y < rows; ++y)
        if (picture.lit(x, y)) return true;
    return false;
}

// The logo lies in the top third of the title picture, its letters separated by black columns:
// the first letter is the leftmost run of lit columns there, cut to the rows it lights.
Box first_letter(const Picture& picture) {
    const uint32_t rows = picture.height / 3;
    Box box;
    while (box.left < picture.width && !column_lit(picture, box.left, rows))
        ++box.left;
    while (box.left + box.width < picture.width && column_lit(picture, box.left + box.width, rows))
        ++box.width;
    uint32_t bottom = 0;
    box.top = rows;
    for (uint32_t y = 0; y < rows; ++y) {
        for (uint32_t x = box.left; x < box.left + box.width; ++x) {
            if (!picture.lit(x, y)) continue;
            if (y < box.top) box.top = y;
            bottom = y + 1;
        }
    }
    box.height = bottom > box.top ? bottom - box.top : 0;
    return box;
}

// The letter enlarged f times, centred in a black square of size × size, where f is the
// largest factor leaving at least two pixels of margin around it.
std::vector<uint8_t> icon(const Picture& picture, const Box& letter, uint32_t size) {
    const uint32_t factor = (size - 4) / extent(letter);
    const uint32_t left = (size - letter.width * factor) / 2;
    const uint32_t top = (size - letter.height * factor) / 2;
    std::vector<uint8_t> rgb(size * size * 3, 0);
    for (uint32_t y = 0; y < letter.height * factor; ++y) {
        for (uint32_t x = 0; x < letter.width * factor; ++x) {
            const uint32_t from =
                (letter.top + y / factor) * picture.width + letter.left + x / factor;
            const uint32_t to = (top + y) * size + left + x;
            for (uint32_t c = 0; c < 3; ++c)
                rgb[to * 3 + c] = picture.rgb[from * 3 + c];
        }
    }
    return rgb;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: make_icon TITLE.png SIZE OUTPUT.png\n");
        return 2;
    }
    Picture title;
    if (!read_picture(argv[1], title)) return 1;
    const Box letter = first_letter(title);
    const uint32_t size = static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10));
    if (extent(letter) == 0) {
        std::fprintf(stderr, "make_icon: %s: no logo in its top third\n", argv[1]);
        return 1;
    }
    if (size < extent(letter) + 4) {
        std::fprintf(stderr, "make_icon: %u pixels are too few for the logo's %ux%u letter\n", size,
                     letter.width, letter.height);
        return 1;
    }
    std::vector<uint8_t> rgb = icon(title, letter, size);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = size;
    image.height = size;
    image.format = PNG_FORMAT_RGB;
    if (!png_image_write_to_file(&image, argv[3], 0, rgb.data(), 0, nullptr)) {
        std::fprintf(stderr, "make_icon: %s: %s\n", argv[3], image.message);
        return 1;
    }
    return 0;
}
