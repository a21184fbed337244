#include "tools/capture/frame_queue.hpp"

#include <utility>

namespace {

void write_frames(FrameQueue& queue, const FrameWriter& write) {
    std::unique_lock<std::mutex> held(queue.lock);
    for (;;) {
        queue.changed.wait(held, [&] { return queue.written < queue.submitted || queue.closing; });
        if (queue.written == queue.submitted) return;
        const FrameJob& job = queue.slots[queue.written % FRAME_SLOTS];
        const bool dropped = queue.failed; // only this thread sets it
        held.unlock();
        const bool ok = !dropped && write(job);
        held.lock();
        queue.failed = !ok;
        ++queue.written;
        queue.changed.notify_all();
    }
}

} // namespace

void frame_queue_start(FrameQueue& queue, FrameWriter write) {
    queue.output = std::thread(write_frames, std::ref(queue), std::move(write));
}

FrameJob& frame_queue_next(FrameQueue& queue) {
    std::unique_lock<std::mutex> held(queue.lock);
    queue.changed.wait(held, [&] { return queue.submitted - queue.written < FRAME_SLOTS; });
    return queue.slots[queue.submitted % FRAME_SLOTS];
}

bool frame_queue_submit(FrameQueue& queue) {
    const std::lock_guard<std::mutex> held(queue.lock);
    ++queue.submitted;
    queue.changed.notify_all();
    return !queue.failed;
}

bool frame_queue_finish(FrameQueue& queue) {
    {
        const std::lock_guard<std::mutex> held(queue.lock);
        queue.closing = true;
        queue.changed.notify_all();
    }
    queue.output.join();
    return !queue.failed;
}
