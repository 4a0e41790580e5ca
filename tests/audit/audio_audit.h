// Counts what the plug-in's audio entries do that real-time code must not: heap calls, memory
// mappings, locks and system calls, made on the thread inside a process or run call.
//
// A program that compiles tests/support/heap_counter.cpp among its own sources (never from a
// library, whose object the linker might leave out) replaces the global allocation functions and,
// on glibc without a sanitizer, malloc and its kin, mmap, munmap, mremap, madvise, mprotect, brk
// and sbrk, the pthread mutex, condition, read-write lock, spin lock and semaphore calls, thread
// creation, and the generic syscall function. On x86-64 Linux it can also trap every system
// call its thread makes (installSystemCallTrap), whatever code makes it.
//
// Audio calls are told apart by marking them: the wrappers below put a plug-in's audio entries
// (a VST record's process and processReplacing, an LV2 descriptor's run) inside an AudioCall,
// so a host drives the wrapped record or descriptor exactly as it would the plug-in's own.
#pragma once

#include "host/vst_abi.h"

#if __has_include(<lv2/core/lv2.h>)
#include <lv2/core/lv2.h>
#define VORBLEXTER_AUDIT_LV2 1
#endif

#include <array>
#include <cstdint>
#include <string>

namespace vorblexter::audit {

enum class Call : std::uint8_t {
    bufferAllocation, // operator new[] (nothrow): the engine's capture buffers; the one allowed
    otherNew,         // every other form of operator new
    deleteCall,       // every form of operator delete
    malloc,           // malloc, calloc, realloc, the aligned forms
    free,
    mapping,    // mmap, munmap, mremap, madvise, mprotect, brk, sbrk
    lock,       // pthread mutex, read-write lock and spin lock calls, semaphores
    condition,  // pthread condition variable calls
    threadCall, // pthread_create, pthread_join
    systemCall, // the syscall function, and every system call the trap saw
    count,
};

inline constexpr int kCallKinds = static_cast<int>(Call::count);

const char* callName(Call call) noexcept;

// What the audio calls did since the last reset (or all threads did while counting everywhere).
struct Tally {
    std::array<std::int64_t, kCallKinds> calls{};
    std::int64_t audioCalls = 0;      // process and run calls made
    std::int64_t bufferBytes = 0;     // over every buffer allocation
    std::int64_t smallestBuffer = 0;  // bytes; 0 without buffer allocations
    std::int64_t largestBuffer = 0;   // bytes
    std::int64_t unpairedBuffers = 0; // buffer allocations not in pairs of one size
    std::int64_t minorFaults = 0;     // page faults inside audio calls (first touches)
    std::int64_t majorFaults = 0;
    std::array<std::int64_t, 512> systemCallNumbers{}; // the trap's, by number
    // System calls made inside the buffer allocations themselves (the allocator growing its heap
    // or mapping a long buffer): part of the allowed set-up, reported apart, by number.
    std::array<std::int64_t, 512> allocationSystemCalls{};

    std::int64_t of(Call call) const { return calls[static_cast<std::size_t>(call)]; }
    // Everything but the buffer allocations, which the engine's set-up may make.
    std::int64_t forbidden() const;
    // One line per kind that occurred, and the trap's system call numbers.
    std::string describe() const;
    // Adds another tally's counts (and widens the buffer sizes) to this one.
    void add(const Tally& other);
};

// Marks the calling thread as being inside an audio call for its lifetime. Nestable.
class AudioCall {
public:
    AudioCall() noexcept;
    ~AudioCall();
    AudioCall(const AudioCall&) = delete;
    AudioCall& operator=(const AudioCall&) = delete;
};

// Suspends an AudioCall for its lifetime: the host's own code, called back from the plug-in
// (a VST host answering its callback), is the host's business, not the plug-in's.
class HostCall {
public:
    HostCall() noexcept;
    ~HostCall();
    HostCall(const HostCall&) = delete;
    HostCall& operator=(const HostCall&) = delete;

private:
    int depth;
};

// Zeroes both tallies.
void reset() noexcept;
// The calls made inside audio calls, on any thread.
Tally audioTally() noexcept;
// The calls made on every thread while counting everywhere was on; for tests that check what a
// release or a close frees. Counting everywhere starts off.
void countEverywhere(bool on) noexcept;
Tally everywhereTally() noexcept;

// Whether this build counts operator new and delete (not under ThreadSanitizer, whose runtime
// keeps its own, nor on Windows).
bool countsHeapCalls() noexcept;
// Whether this build replaces malloc and the libc calls (glibc without a sanitizer); without,
// at most the operator new and delete forms are counted.
bool countsLibcCalls() noexcept;

// For a test that means nothing where the heap calls go uncounted.
#define SKIP_WITHOUT_HEAP_COUNTS()                                                                 \
    if (!::vorblexter::audit::countsHeapCalls()) {                                                 \
        GTEST_SKIP() << "this build cannot count heap calls";                                      \
    }

// Installs a filter that traps every system call the calling thread (and every thread it
// creates afterwards) makes and counts those made inside audio calls. Answers false where it
// cannot be had (not x86-64 Linux, a sanitizer build, or the kernel refuses). Calls glibc makes
// with signals blocked (signal masks, thread creation and exit) pass untrapped; the libc calls
// above still count them. Once installed it stays for the thread's life.
bool installSystemCallTrap() noexcept;
bool systemCallTrapInstalled() noexcept;

// The host callback to hand the plug-in's entry point: forwards to `host` inside a HostCall. One
// host callback at a time.
audioMasterCallback auditedCallback(audioMasterCallback host) noexcept;
// The record with its audio entries wrapped in AudioCall; everything else is the plug-in's own.
// Up to 64 records may live at once.
AEffect* audited(AEffect* effect) noexcept;
#if defined(VORBLEXTER_AUDIT_LV2)
// A copy of the descriptor whose run is wrapped in AudioCall; one plug-in at a time.
const LV2_Descriptor* audited(const LV2_Descriptor* descriptor) noexcept;
#endif

} // namespace vorblexter::audit
