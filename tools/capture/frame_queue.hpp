#pragma once
// Hands drawn frames from the drawing thread to one output thread, so that checksums, files
// and the encoder's pipes are written while the next frame is drawn. A few slots, so that one
// slow write (a PNG file, a full pipe) does not hold up the drawing at once.
#include "core/frame.hpp"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

constexpr uint64_t FRAME_SLOTS = 4;

// A drawn frame and what the outputs need to know about it.
struct FrameJob {
    uint64_t k = 0;    // frame number
    int32_t clock = 0; // scene clock after the frame was drawn
    int32_t state = 0; // timeline state before it was drawn
    uint16_t pixels[FRAME_PIXELS];
};

// Writes one frame's outputs; returns false when the capture must stop.
using FrameWriter = std::function<bool(const FrameJob&)>;

struct FrameQueue {
    FrameJob slots[FRAME_SLOTS];
    uint64_t submitted = 0, written = 0; // frames handed over, frames written
    bool closing = false;
    bool failed = false; // the writer returned false; later frames are dropped
    std::mutex lock;
    std::condition_variable changed;
    std::thread output;
};

// Starts the output thread, which calls write for every submitted frame in order.
void frame_queue_start(FrameQueue& queue, FrameWriter write);

// The slot to fill with the next frame; waits while every slot is still to be written.
FrameJob& frame_queue_next(FrameQueue& queue);

// Hands the slot from frame_queue_next to the output thread. Returns false once a writer
// has failed.
bool frame_queue_submit(FrameQueue& queue);

// Waits until every submitted frame is written and ends the output thread. Returns false when
// a writer failed.
bool frame_queue_finish(FrameQueue& queue);
