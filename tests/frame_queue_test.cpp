// The capture tool's hand-over of drawn frames to its output thread.
#include "tools/capture/frame_queue.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Submits frames 0..count-1, each marked in its first pixel; returns how many submits
// reported success.
int submit_frames(FrameQueue& queue, int count) {
    int accepted = 0;
    for (int k = 0; k < count; ++k) {
        FrameJob& job = frame_queue_next(queue);
        job.k = static_cast<uint64_t>(k);
        job.pixels[0] = static_cast<uint16_t>(k);
        accepted += frame_queue_submit(queue);
    }
    return accepted;
}

} // namespace

TEST(FrameQueue, WritesEveryFrameInOrderWithItsOwnPixels) {
    static FrameQueue queue; // large: kept off the stack
    std::vector<uint64_t> seen;
    frame_queue_start(queue, [&](const FrameJob& job) {
        EXPECT_EQ(job.pixels[0], static_cast<uint16_t>(job.k));
        seen.push_back(job.k);
        return true;
    });
    EXPECT_EQ(submit_frames(queue, 50), 50);
    EXPECT_TRUE(frame_queue_finish(queue));
    ASSERT_EQ(seen.size(), 50u);
    for (uint64_t k = 0; k < seen.size(); ++k)
        EXPECT_EQ(seen[k], k);
}

TEST(FrameQueue, AFailedWriteStopsTheOutputsAndIsReported) {
    static FrameQueue queue; // large: kept off the stack
    std::vector<uint64_t> seen;
    frame_queue_start(queue, [&](const FrameJob& job) {
        seen.push_back(job.k);
        return job.k != 3;
    });
    EXPECT_LT(submit_frames(queue, 20), 20); // the drawing thread learns of it
    EXPECT_FALSE(frame_queue_finish(queue));
    EXPECT_EQ(seen, (std::vector<uint64_t>{0, 1, 2, 3})); // nothing written after the failure
}
