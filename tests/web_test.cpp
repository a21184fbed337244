// The web front end's parts that do not need a browser: the frame checksum, and a second play
// in the same page.
#include "assets/pictures.hpp"
#include "core/frame.hpp"
#include "shell/engine.hpp"
#include "tests/fake_platform.hpp"
#include "web/crc32.hpp"

#include <gtest/gtest.h>

#include <zlib.h>

#include <cstring>
#include <filesystem>
#include <vector>

namespace {

TEST(Crc32, MatchesZlib) {
    const char* check = "123456789";
    EXPECT_EQ(crc32_of_bytes(reinterpret_cast<const uint8_t*>(check), 9), 0xCBF43926u);
    std::vector<uint8_t> bytes(sizeof title_picture);
    for (size_t i = 0; i < FRAME_PIXELS; ++i) {
        bytes[2 * i] = static_cast<uint8_t>(title_picture[i]);
        bytes[2 * i + 1] = static_cast<uint8_t>(title_picture[i] >> 8);
    }
    EXPECT_EQ(crc32_of_frame(title_picture, FRAME_PIXELS),
              crc32(crc32(0, Z_NULL, 0), bytes.data(), static_cast<uInt>(bytes.size())));
}

// One play as the page starts it, on a clock of 10 frames per second: each frame's checksum.
std::vector<uint32_t> play_checksums() {
    std::memcpy(fake_frame, title_picture, sizeof fake_frame);
    EXPECT_EQ(start_up_engine(), "");
    fake_ticks = 0;
    start_timeline(0);
    std::vector<uint32_t> checksums;
    for (uint32_t k = 0; quit_flag == 0; ++k) {
        fake_ticks = k * 100;
        run_timeline();
        checksums.push_back(crc32_of_frame(fake_frame, FRAME_PIXELS));
    }
    return checksums;
}

// Everything a play changes (timeline, ripples, colour planes, height grids) is put back.
TEST(Replay, SecondPlayShowsTheSameFrames) {
    const std::filesystem::path home = std::filesystem::current_path();
    std::filesystem::current_path(DATA_DIR); // the mesh files
    const std::vector<uint32_t> first = play_checksums();
    const std::vector<uint32_t> second = play_checksums();
    std::filesystem::current_path(home);
    ASSERT_EQ(first.size(), 1503u);
    for (size_t k = 0; k < first.size(); ++k)
        ASSERT_EQ(second[k], first[k]) << "frame " << k;
}

} // namespace
