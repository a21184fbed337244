// The ripples' generator: glibc's rand() sequence on every C library.
#include "core/glibc_rand.hpp"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// The first numbers of a glibc program that never seeds, and of srand(12345).
TEST(GlibcRand, KnownSequences) {
    GlibcRand unseeded = GLIBC_UNSEEDED;
    for (const int32_t expected : {1804289383, 846930886, 1681692777, 1714636915, 1957747793,
                                   424238335, 719885386, 1649760492, 596516649, 1189641421})
        EXPECT_EQ(glibc_rand(unseeded), expected);
    GlibcRand seeded = glibc_seeded(12345);
    for (const int32_t expected : {383100999, 858300821, 357768173})
        EXPECT_EQ(glibc_rand(seeded), expected);
}

#ifdef __GLIBC__
// Against the C library itself, where it is glibc: seed 0 acts as 1, and a seed of 2^31 or
// more takes the Lehmer step's negative branch.
TEST(GlibcRand, SameSequenceAsGlibc) {
    for (const uint32_t seed : {1u, 0u, 12345u, 0x9E3779B9u}) {
        const int32_t count = seed == 1 ? 1000000 : 10000;
        std::srand(seed);
        GlibcRand ours = glibc_seeded(seed);
        for (int32_t i = 0; i < count; ++i)
            ASSERT_EQ(glibc_rand(ours), std::rand()) << "seed " << seed << ", value " << i;
    }
}
#endif

} // namespace
