// The web front end's parts that do not need a browser: glibc's rand() reproduced, the frame
// checksum, and a second play in the same page.
#include "assets/pictures.hpp"
#include "shell/timeline.hpp"
#include "tests/fake_platform.hpp"
#include "web/crc32.hpp"
#include "web/glibc_rand.hpp"
#include "web/replay.hpp"

#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

namespace {

// The ripples use the unseeded sequence (seed 1); 0 acts as 1; a seed of 2^31 or more takes
// the Lehmer step's negative branch.
TEST(GlibcRand, SameSequenceAsTheCLibrary) {
    for (const uint32_t seed : {1u, 0u, 12345u, 0x9E3779B9u}) {
        const int32_t count = seed == 1 ? 1000000 : 10000;
        std::srand(seed);
        GlibcRand ours;
        glibc_srand(ours, seed);
        for (int32_t i = 0; i < count; ++i)
            ASSERT_EQ(glibc_rand(ours), std::rand()) << "seed " << seed << ", value " << i;
    }
    std::srand(1);
}

TEST(Crc32, MatchesZlib) {
    const char* check = "123456789";
    EXPECT_EQ(crc32_of_bytes(reinterpret_cast<const uint8_t*>(check), 9), 0xCBF43926u);
    std::vector<uint8_t> bytes(sizeof title_picture);
    for (size_t i = 0; i < 320 * 240; ++i) {
        bytes[2 * i] = static_cast<uint8_t>(title_picture[i]);
        bytes[2 * i + 1] = static_cast<uint8_t>(title_picture[i] >> 8);
    }
    EXPECT_EQ(crc32_of_frame(title_picture, 320 * 240),
              crc32(crc32(0, Z_NULL, 0), bytes.data(), static_cast<uInt>(bytes.size())));
}

// One play as the page starts it, on a clock of 10 frames per second: each frame's checksum.
std::vector<uint32_t> play_checksums() {
    std::memcpy(fake_frame, title_picture, sizeof fake_frame);
    EXPECT_EQ(prepare_play(), "");
    std::srand(1);
    fake_ticks = 0;
    start_time = 0;
    std::vector<uint32_t> checksums;
    for (uint32_t k = 0; quit_flag == 0; ++k) {
        fake_ticks = k * 100;
        run_timeline();
        checksums.push_back(crc32_of_frame(fake_frame, 320 * 240));
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
