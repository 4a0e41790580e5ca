// Capture buffers the audio thread no longer uses, on their way to a thread that may release
// them. Releasing a fully written pair of long buffers costs milliseconds of unmapping, far too
// much for an audio block, so the audio thread only hands the pair over and goes on.
//
// The hand-off is a list threaded through the retired memory itself: each retired buffer's first
// bytes become the list entry (the link and the other buffer of its pair), so handing over never
// allocates and the list can never be full, however many pairs wait. The audio thread is the
// only one that hands over; any number of other threads may release, each taking the whole list
// at once, so no release ever waits for another and no pair is released twice.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace vorblexter {

class RetiredBuffers {
public:
    RetiredBuffers() = default;
    // Releases whatever still waits: at close, nothing may outlive its engine.
    ~RetiredBuffers();
    RetiredBuffers(const RetiredBuffers&) = delete;
    RetiredBuffers& operator=(const RetiredBuffers&) = delete;

    // The smallest buffer the list can be threaded through.
    static constexpr std::size_t kMinimumSamples = 4;

    // Audio thread only. Takes over one pair (either buffer may be null) of buffers allocated by
    // allocateSamples with at least kMinimumSamples samples each: no allocation, lock or system
    // call, and a bounded number of steps (at most two attempts at the list head, the second
    // only when a release took the list in between).
    void handOver(float* left, float* right) noexcept;

    // Any thread but the audio thread, also while a block runs. Releases every pair handed over
    // before the call; answers how many pairs it released.
    std::int32_t releaseAll() noexcept;

    // Any thread: whether a pair waits. A hint only; a pair may arrive right after.
    bool empty() const noexcept { return head.load(std::memory_order_relaxed) == nullptr; }

private:
    // The buffer carrying the newest entry. Handing over publishes an entry with release ordering,
    // and a release takes the list with acquire ordering, so every entry it walks is seen as
    // written. A releaser that finds the list empty only reads it, so looking often costs the audio
    // thread nothing.
    std::atomic<float*> head{nullptr};
};

} // namespace vorblexter
