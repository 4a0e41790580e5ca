// The library's own thread for releasing what engines have retired (SliceEngine::releaseRetired),
// for bindings whose host offers no thread for such work: the VST 2.x library always, the LV2
// plug-in when its host gives no worker.
//
// One thread serves every enrolled engine of the library. It starts with the first enrolment and
// is joined when the last engine leaves, so a library with no engines runs no thread and can be
// unloaded. While engines are enrolled it looks at each of them every kReclaimPeriod and sleeps
// in between: the audio thread cannot wake it without a system call, so it is never woken, and
// a look at an engine with nothing retired is one atomic load.
//
// Enrolment and leaving happen off the audio thread (at construction and close); both may wait
// for a release in progress. When the thread cannot be started, the engines keep what they
// retire until they close.
#pragma once

#include <chrono>

namespace vorblexter {

class SliceEngine;

inline constexpr std::chrono::milliseconds kReclaimPeriod{200};

// Enrols an engine for as long as it lives: construct it after the engine and destroy it
// before. Once the destructor has returned, the thread never touches the engine again.
class ReclaimEnrolment {
public:
    explicit ReclaimEnrolment(SliceEngine& engine) noexcept;
    ~ReclaimEnrolment();
    ReclaimEnrolment(const ReclaimEnrolment&) = delete;
    ReclaimEnrolment& operator=(const ReclaimEnrolment&) = delete;

    // Whether the reclaim thread serves the engine (false when it could not be started).
    bool served() const noexcept { return enrolled; }

private:
    SliceEngine& engine;
    bool enrolled = false;
};

} // namespace vorblexter
