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
// Enrolling, and leaving at close, happen off the audio thread; both may wait for a release in
// progress. The bookkeeping takes nothing from the heap (the enrolments are the list), so all the
// thread leaves behind once joined is what the system keeps of any thread. Until an engine is
// enrolled, or when no thread can be started, it keeps what it retires until it closes.
#pragma once

#include <chrono>

namespace vorblexter {

class SliceEngine;

inline constexpr std::chrono::milliseconds kReclaimPeriod{200};

// An engine's place with the reclaim thread: construct it after the engine and destroy it
// before. Once the destructor has returned, the thread never touches the engine again.
class ReclaimEnrolment {
public:
    explicit ReclaimEnrolment(SliceEngine& engine) noexcept : engine(engine) {}
    ~ReclaimEnrolment();
    ReclaimEnrolment(const ReclaimEnrolment&) = delete;
    ReclaimEnrolment& operator=(const ReclaimEnrolment&) = delete;

    // Enrols the engine, starting the thread when none runs; once enrolled, does nothing. Off the
    // audio thread, before audio starts: the bindings call it when the host opens or activates
    // the plug-in. Answers whether the thread serves the engine.
    bool enrol() noexcept;
    bool served() const noexcept { return enrolled; }

private:
    friend class ReclaimThread;
    SliceEngine& engine;
    ReclaimEnrolment* next = nullptr; // the thread's list, guarded by its lock
    ReclaimEnrolment* previous = nullptr;
    bool enrolled = false;
};

} // namespace vorblexter
