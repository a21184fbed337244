#include "tools/capture/second_core.hpp"

#include "render3d/halves.hpp"

#include <atomic>
#include <cstdint>
#include <thread>

namespace {

// The hand-off: the drawing thread stores the job, then counts it in `posted`; the second
// thread runs its half and copies that count to `finished`. An atomic's wait spins a little
// before it sleeps, and its notify makes no system call while nobody sleeps: there are one
// or two jobs a frame.
struct SecondCore {
    HalfWork work = nullptr;
    void* job = nullptr;
    bool closing = false; // set with the last count posted: no job, end the thread
    std::atomic<uint32_t> posted{0}, finished{0};
    std::thread thread;
};

SecondCore core;

void run_second_halves() {
    for (uint32_t seen = 0;;) {
        core.posted.wait(seen, std::memory_order_acquire);
        seen = core.posted.load(std::memory_order_acquire);
        if (core.closing) return;
        core.work(1, core.job);
        core.finished.store(seen, std::memory_order_release);
        core.finished.notify_one();
    }
}

// Hands `count`, with what was stored before it, to the second thread.
void post(uint32_t count) {
    core.posted.store(count, std::memory_order_release);
    core.posted.notify_one();
}

int32_t run_halves_on_two_cores(HalfWork work, void* job) {
    const uint32_t count = core.posted.load(std::memory_order_relaxed) + 1;
    core.work = work;
    core.job = job;
    post(count);
    work(0, job);
    uint32_t done = core.finished.load(std::memory_order_acquire);
    const int32_t last = done == count ? 0 : 1;
    while (done != count) {
        core.finished.wait(done, std::memory_order_acquire);
        done = core.finished.load(std::memory_order_acquire);
    }
    return last;
}

} // namespace

void second_core_start() {
    core.thread = std::thread(run_second_halves);
    run_halves = run_halves_on_two_cores;
}

void second_core_stop() {
    if (!core.thread.joinable()) return;
    run_halves = nullptr;
    core.closing = true;
    post(core.posted.load(std::memory_order_relaxed) + 1);
    core.thread.join();
}
