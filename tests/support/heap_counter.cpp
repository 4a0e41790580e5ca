// The program's one set of replaced allocation and libc functions, behind both counters that
// use them: heap_counter.h (heap calls over a stretch of a test) and tests/audit/audio_audit.h
// (what a plug-in's audio calls do). Everything here may run inside any allocation or lock of
// the program, so it allocates nothing, locks nothing and only touches atomics and its thread's
// own marks.
#include "tests/support/heap_counter.h"

#include "tests/audit/audio_audit.h"

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <new>

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define VORBLEXTER_THREAD_SANITIZED 1
#endif
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer)
#define VORBLEXTER_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_THREAD__)
#define VORBLEXTER_THREAD_SANITIZED 1
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(VORBLEXTER_THREAD_SANITIZED)
#define VORBLEXTER_SANITIZED 1
#endif
// ThreadSanitizer keeps its own operator new and delete; the Windows C runtime frees aligned
// blocks with a call of its own, which these replacements would not pair, so there only the
// plain forms are replaced (enough for heap_counter.h, not for the audit).
#if !defined(VORBLEXTER_THREAD_SANITIZED)
#define VORBLEXTER_AUDIT_NEW 1
#if !defined(_WIN32)
#define VORBLEXTER_AUDIT_ALIGNED_NEW 1
#endif
#endif

#if defined(__GLIBC__) && !defined(VORBLEXTER_SANITIZED)
#define VORBLEXTER_AUDIT_LIBC 1
#include <dlfcn.h>
#include <pthread.h>
#include <semaphore.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

#if defined(__linux__)
#include <sys/resource.h>
#endif

#if defined(VORBLEXTER_AUDIT_LIBC) && defined(__x86_64__)
#define VORBLEXTER_AUDIT_TRAP 1
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <ucontext.h>
#endif

namespace vorblexter::audit {

namespace {

constexpr std::memory_order kRelaxed = std::memory_order_relaxed;

// Inside how many audio calls the thread is, and the size of a buffer allocation still waiting
// for its pair's second buffer.
constinit thread_local int audioDepth = 0;
constinit thread_local std::size_t pendingBuffer = 0;
// Inside the allocator, making a buffer allocation.
[[maybe_unused]] constinit thread_local bool inBufferAllocation = false;

struct Counters {
    std::array<std::atomic<std::int64_t>, kCallKinds> calls{};
    std::atomic<std::int64_t> audioCalls{0};
    std::atomic<std::int64_t> bufferBytes{0};
    std::atomic<std::int64_t> smallestBuffer{0};
    std::atomic<std::int64_t> largestBuffer{0};
    std::atomic<std::int64_t> unpairedBuffers{0};
    std::atomic<std::int64_t> minorFaults{0};
    std::atomic<std::int64_t> majorFaults{0};
    std::array<std::atomic<std::int64_t>, 512> systemCallNumbers{};
    std::array<std::atomic<std::int64_t>, 512> allocationSystemCalls{};

    void clear() noexcept
    {
        const auto zero = [](auto& counters) {
            for (auto& c : counters) {
                c.store(0, kRelaxed);
            }
        };
        zero(calls);
        zero(systemCallNumbers);
        zero(allocationSystemCalls);
        for (auto* c : {&audioCalls, &bufferBytes, &smallestBuffer, &largestBuffer,
                        &unpairedBuffers, &minorFaults, &majorFaults}) {
            c->store(0, kRelaxed);
        }
    }

    Tally snapshot() const noexcept
    {
        Tally tally;
        const auto copy = [](const auto& from, auto& to) {
            for (std::size_t i = 0; i < from.size(); ++i) {
                to[i] = from[i].load(kRelaxed);
            }
        };
        copy(calls, tally.calls);
        copy(systemCallNumbers, tally.systemCallNumbers);
        copy(allocationSystemCalls, tally.allocationSystemCalls);
        tally.audioCalls = audioCalls.load(kRelaxed);
        tally.bufferBytes = bufferBytes.load(kRelaxed);
        tally.smallestBuffer = smallestBuffer.load(kRelaxed);
        tally.largestBuffer = largestBuffer.load(kRelaxed);
        tally.unpairedBuffers = unpairedBuffers.load(kRelaxed);
        tally.minorFaults = minorFaults.load(kRelaxed);
        tally.majorFaults = majorFaults.load(kRelaxed);
        return tally;
    }
};

Counters audioCounters;
Counters everywhereCounters;
std::atomic<bool> everywhere{false};
// Blocks from operator new not yet deleted, counted all the time.
std::atomic<long> liveBlocks{0};

void note(Call call) noexcept
{
    const auto kind = static_cast<std::size_t>(call);
    if (audioDepth > 0) {
        audioCounters.calls[kind].fetch_add(1, kRelaxed);
    }
    if (everywhere.load(kRelaxed)) {
        everywhereCounters.calls[kind].fetch_add(1, kRelaxed);
    }
}

[[maybe_unused]] void noteBuffer(std::size_t bytes) noexcept
{
    note(Call::bufferAllocation);
    if (audioDepth <= 0) {
        return;
    }
    const auto size = static_cast<std::int64_t>(bytes);
    audioCounters.bufferBytes.fetch_add(size, kRelaxed);
    std::int64_t smallest = audioCounters.smallestBuffer.load(kRelaxed);
    while ((smallest == 0 || size < smallest) &&
           !audioCounters.smallestBuffer.compare_exchange_weak(smallest, size, kRelaxed)) {
    }
    std::int64_t largest = audioCounters.largestBuffer.load(kRelaxed);
    while (size > largest &&
           !audioCounters.largestBuffer.compare_exchange_weak(largest, size, kRelaxed)) {
    }
    // The set-up asks for the left buffer and then for the right one, of the same length.
    if (pendingBuffer == 0) {
        pendingBuffer = bytes;
    } else if (pendingBuffer == bytes) {
        pendingBuffer = 0;
    } else {
        audioCounters.unpairedBuffers.fetch_add(1, kRelaxed);
        pendingBuffer = bytes;
    }
}

struct Faults {
    std::int64_t minor = 0;
    std::int64_t major = 0;
};

Faults threadFaults() noexcept
{
#if defined(RUSAGE_THREAD)
    rusage usage{};
    if (getrusage(RUSAGE_THREAD, &usage) == 0) {
        return {usage.ru_minflt, usage.ru_majflt};
    }
#endif
    return {};
}

constinit thread_local Faults faultsAtEntry{};

#if defined(VORBLEXTER_AUDIT_NEW)
#if defined(VORBLEXTER_AUDIT_LIBC)
extern "C" {
void* __libc_malloc(std::size_t size) noexcept;
void* __libc_calloc(std::size_t count, std::size_t size) noexcept;
void* __libc_realloc(void* p, std::size_t size) noexcept;
void __libc_free(void* p) noexcept;
void* __libc_memalign(std::size_t alignment, std::size_t size) noexcept;
void* __libc_valloc(std::size_t size) noexcept;
void* __libc_pvalloc(std::size_t size) noexcept;
}

// The replaced operators call libc's allocator itself, so that they are not counted again as
// malloc and free.
void* rawAllocate(std::size_t size) noexcept
{
    return __libc_malloc(size);
}
#define VORBLEXTER_ALIGNED_ALLOCATOR __libc_memalign
void rawFree(void* p) noexcept
{
    __libc_free(p);
}
#else
void* rawAllocate(std::size_t size) noexcept
{
    return std::malloc(size);
}
#if defined(VORBLEXTER_AUDIT_ALIGNED_NEW)
void* alignedAllocate(std::size_t alignment, std::size_t size) noexcept
{
    // aligned_alloc wants a size that is a multiple of the alignment.
    return std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment);
}
#define VORBLEXTER_ALIGNED_ALLOCATOR alignedAllocate
#endif
void rawFree(void* p) noexcept
{
    std::free(p);
}
#endif

void* live(void* p) noexcept
{
    if (p != nullptr) {
        liveBlocks.fetch_add(1, kRelaxed);
    }
    return p;
}

void* newOrNull(std::size_t size, bool buffer) noexcept
{
    if (!buffer) {
        note(Call::otherNew);
        return live(rawAllocate(size == 0 ? 1 : size));
    }
    noteBuffer(size);
    inBufferAllocation = true;
    void* const p = rawAllocate(size == 0 ? 1 : size);
    inBufferAllocation = false;
    return live(p);
}

#if defined(VORBLEXTER_AUDIT_ALIGNED_NEW)
void* newAligned(std::size_t size, std::align_val_t alignment) noexcept
{
    note(Call::otherNew);
    return live(
        VORBLEXTER_ALIGNED_ALLOCATOR(static_cast<std::size_t>(alignment), size == 0 ? 1 : size));
}
#endif

void deleteAny(void* p) noexcept
{
    note(Call::deleteCall);
    if (p != nullptr) {
        liveBlocks.fetch_sub(1, kRelaxed);
    }
    rawFree(p);
}
#endif

} // namespace

const char* callName(Call call) noexcept
{
    static constexpr const char* kNames[] = {"buffer allocations (operator new[], nothrow)",
                                             "other operator new",
                                             "operator delete",
                                             "malloc/calloc/realloc/aligned",
                                             "free",
                                             "mmap/munmap/mremap/madvise/mprotect/brk/sbrk",
                                             "mutex/rwlock/spin lock/semaphore",
                                             "condition variable",
                                             "thread create/join",
                                             "system calls"};
    static_assert(std::size(kNames) == kCallKinds);
    const auto kind = static_cast<std::size_t>(call);
    return kind < std::size(kNames) ? kNames[kind] : "?";
}

std::int64_t Tally::forbidden() const
{
    std::int64_t total = unpairedBuffers;
    for (int kind = 0; kind < kCallKinds; ++kind) {
        if (static_cast<Call>(kind) != Call::bufferAllocation) {
            total += calls[static_cast<std::size_t>(kind)];
        }
    }
    return total;
}

void Tally::add(const Tally& other)
{
    for (std::size_t k = 0; k < calls.size(); ++k) {
        calls[k] += other.calls[k];
    }
    for (std::size_t k = 0; k < systemCallNumbers.size(); ++k) {
        systemCallNumbers[k] += other.systemCallNumbers[k];
        allocationSystemCalls[k] += other.allocationSystemCalls[k];
    }
    audioCalls += other.audioCalls;
    bufferBytes += other.bufferBytes;
    largestBuffer = std::max(largestBuffer, other.largestBuffer);
    if (other.smallestBuffer > 0 &&
        (smallestBuffer == 0 || other.smallestBuffer < smallestBuffer)) {
        smallestBuffer = other.smallestBuffer;
    }
    unpairedBuffers += other.unpairedBuffers;
    minorFaults += other.minorFaults;
    majorFaults += other.majorFaults;
}

std::string Tally::describe() const
{
    std::string text = "audio calls: " + std::to_string(audioCalls) + "\n";
    for (int kind = 0; kind < kCallKinds; ++kind) {
        const std::int64_t n = calls[static_cast<std::size_t>(kind)];
        if (n != 0) {
            text += "  " + std::string(callName(static_cast<Call>(kind))) + ": " +
                    std::to_string(n) + "\n";
        }
    }
    if (of(Call::bufferAllocation) > 0) {
        text += "  buffer bytes: " + std::to_string(bufferBytes) + " (" +
                std::to_string(smallestBuffer) + " to " + std::to_string(largestBuffer) +
                " each), unpaired: " + std::to_string(unpairedBuffers) + "\n";
    }
    text += "  page faults: " + std::to_string(minorFaults) + " minor, " +
            std::to_string(majorFaults) + " major\n";
    for (std::size_t number = 0; number < systemCallNumbers.size(); ++number) {
        if (systemCallNumbers[number] != 0) {
            text += "  trapped system call " + std::to_string(number) + ": " +
                    std::to_string(systemCallNumbers[number]) + "\n";
        }
        if (allocationSystemCalls[number] != 0) {
            text += "  system call " + std::to_string(number) +
                    " inside buffer allocations (allowed): " +
                    std::to_string(allocationSystemCalls[number]) + "\n";
        }
    }
    return text;
}

AudioCall::AudioCall() noexcept
{
    if (audioDepth == 0) {
        faultsAtEntry = threadFaults();
        audioCounters.audioCalls.fetch_add(1, kRelaxed);
    }
    ++audioDepth;
}

AudioCall::~AudioCall()
{
    if (--audioDepth > 0) {
        return;
    }
    if (pendingBuffer != 0) {
        audioCounters.unpairedBuffers.fetch_add(1, kRelaxed);
        pendingBuffer = 0;
    }
    const Faults now = threadFaults();
    audioCounters.minorFaults.fetch_add(now.minor - faultsAtEntry.minor, kRelaxed);
    audioCounters.majorFaults.fetch_add(now.major - faultsAtEntry.major, kRelaxed);
}

HostCall::HostCall() noexcept : depth(audioDepth)
{
    audioDepth = 0;
}

HostCall::~HostCall()
{
    audioDepth = depth;
}

void reset() noexcept
{
    audioCounters.clear();
    everywhereCounters.clear();
}

Tally audioTally() noexcept
{
    return audioCounters.snapshot();
}

void countEverywhere(bool on) noexcept
{
    everywhere.store(on, kRelaxed);
}

Tally everywhereTally() noexcept
{
    return everywhereCounters.snapshot();
}

bool countsHeapCalls() noexcept
{
#if defined(VORBLEXTER_AUDIT_ALIGNED_NEW)
    return true;
#else
    return false;
#endif
}

bool countsLibcCalls() noexcept
{
#if defined(VORBLEXTER_AUDIT_LIBC)
    return true;
#else
    return false;
#endif
}

// --- The system call trap ---------------------------------------------------------------------

#if defined(VORBLEXTER_AUDIT_TRAP)
extern "C" long vorblexterAuditSystemCall(long number, long a1, long a2, long a3, long a4, long a5,
                                          long a6) noexcept;
extern "C" char vorblexterAuditSystemCallReturn[];

// The one place the filter lets system calls through from: the trap's handler makes the trapped
// call again from here. Its arguments arrive in the C order and go out in the kernel's.
asm(R"(
    .text
    .p2align 4
    .globl vorblexterAuditSystemCall
    .hidden vorblexterAuditSystemCall
    .type vorblexterAuditSystemCall, @function
vorblexterAuditSystemCall:
    movq %rdi, %rax
    movq %rsi, %rdi
    movq %rdx, %rsi
    movq %rcx, %rdx
    movq %r8, %r10
    movq %r9, %r8
    movq 8(%rsp), %r9
    syscall
    .globl vorblexterAuditSystemCallReturn
    .hidden vorblexterAuditSystemCallReturn
vorblexterAuditSystemCallReturn:
    ret
    .size vorblexterAuditSystemCall, .-vorblexterAuditSystemCall
)");

namespace {

thread_local bool trapInstalled = false;

void onTrappedSystemCall(int, siginfo_t* info, void* context)
{
    auto* registers = static_cast<ucontext_t*>(context)->uc_mcontext.gregs;
    const int number = info->si_syscall;
    if (audioDepth > 0 && inBufferAllocation) {
        if (number >= 0 && number < 512) {
            audioCounters.allocationSystemCalls[static_cast<std::size_t>(number)].fetch_add(
                1, kRelaxed);
        }
    } else if (audioDepth > 0) {
        audioCounters.calls[static_cast<std::size_t>(Call::systemCall)].fetch_add(1, kRelaxed);
        if (number >= 0 && number < 512) {
            audioCounters.systemCallNumbers[static_cast<std::size_t>(number)].fetch_add(1,
                                                                                        kRelaxed);
        }
    }
    registers[REG_RAX] = vorblexterAuditSystemCall(number, registers[REG_RDI], registers[REG_RSI],
                                                   registers[REG_RDX], registers[REG_R10],
                                                   registers[REG_R8], registers[REG_R9]);
}

} // namespace

bool installSystemCallTrap() noexcept
{
    if (trapInstalled) {
        return true;
    }
    struct sigaction action {};
    action.sa_sigaction = onTrappedSystemCall;
    // Not blocked while it runs: a system call trapped with the signal blocked kills the process.
    action.sa_flags = SA_SIGINFO | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    if (sigaction(SIGSYS, &action, nullptr) != 0) {
        return false;
    }
    // glibc makes these with every signal blocked (around thread creation and exit, and in the
    // signal machinery itself), where a trap would kill the process; they pass.
    const unsigned passing[] = {
        SYS_rt_sigreturn, SYS_rt_sigprocmask, SYS_clone,      SYS_clone3,          SYS_fork,
        SYS_vfork,        SYS_exit,           SYS_exit_group, SYS_set_robust_list, SYS_rseq,
        SYS_madvise,      SYS_munmap,         SYS_futex,      SYS_gettid,          SYS_tgkill};
    const auto returnAddress = reinterpret_cast<std::uint64_t>(vorblexterAuditSystemCallReturn);
    constexpr unsigned kAllow = SECCOMP_RET_ALLOW;
    constexpr unsigned kTrap = SECCOMP_RET_TRAP;
    sock_filter program[64];
    unsigned n = 0;
    const auto put = [&](sock_filter f) { program[n++] = f; };
    const unsigned count = sizeof passing / sizeof passing[0];
    // 0: architecture; other ABIs pass.
    put(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)));
    // The allow statement is the last: from statement i, jump (total - 1 - i - 1).
    const unsigned total = 2 + 1 + count + 4 + 2;
    const auto toAllow = [&](unsigned at) { return static_cast<__u8>(total - 1 - at - 1); };
    put(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AUDIT_ARCH_X86_64, 0, toAllow(1)));
    put(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)));
    for (unsigned i = 0; i < count; ++i) {
        put(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, passing[i], toAllow(n), 0));
    }
    // The re-made call from the handler passes: both halves of its return address match.
    put(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, instruction_pointer)));
    put(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<__u32>(returnAddress), 0, 2));
    put(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, instruction_pointer) + 4));
    put(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<__u32>(returnAddress >> 32), 1, 0));
    put(BPF_STMT(BPF_RET | BPF_K, kTrap));
    put(BPF_STMT(BPF_RET | BPF_K, kAllow));
    if (n != total) {
        return false;
    }
    sock_fprog filter{static_cast<unsigned short>(n), program};
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
        syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, 0, &filter) != 0) {
        return false;
    }
    trapInstalled = true;
    return true;
}

bool systemCallTrapInstalled() noexcept
{
    return trapInstalled;
}
#else
bool installSystemCallTrap() noexcept
{
    return false;
}

bool systemCallTrapInstalled() noexcept
{
    return false;
}
#endif

// --- Wrapped plug-in entries ------------------------------------------------------------------

namespace {

struct WrappedRecord {
    std::atomic<AEffect*> effect{nullptr};
    AEffectDispatcherProc dispatcher = nullptr;
    AEffectProcessProc process = nullptr;
    AEffectProcessProc processReplacing = nullptr;
};

std::array<WrappedRecord, 64> records;

WrappedRecord* recordOf(AEffect* effect) noexcept
{
    for (WrappedRecord& record : records) {
        if (record.effect.load(std::memory_order_acquire) == effect) {
            return &record;
        }
    }
    return nullptr;
}

VstIntPtr auditedDispatcher(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                            void* ptr, float opt)
{
    WrappedRecord* record = recordOf(effect);
    if (record == nullptr) {
        std::abort(); // only wrapped records point here
    }
    const AEffectDispatcherProc dispatcher = record->dispatcher;
    if (opcode == effClose) {
        record->effect.store(nullptr, std::memory_order_release);
    }
    return dispatcher(effect, opcode, index, value, ptr, opt);
}

// process or processReplacing, by the record's member that holds the plug-in's own.
template <AEffectProcessProc WrappedRecord::*entry>
void auditedProcess(AEffect* effect, float** inputs, float** outputs, VstInt32 frames)
{
    WrappedRecord* record = recordOf(effect);
    if (record == nullptr) {
        std::abort();
    }
    const AudioCall call;
    (record->*entry)(effect, inputs, outputs, frames);
}

#if defined(VORBLEXTER_AUDIT_LV2)
LV2_Descriptor wrappedDescriptor{};
const LV2_Descriptor* originalDescriptor = nullptr;

void auditedRun(LV2_Handle instance, uint32_t frames)
{
    const AudioCall call;
    originalDescriptor->run(instance, frames);
}
#endif

audioMasterCallback hostCallback = nullptr;

VstIntPtr forwardToHost(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                        void* ptr, float opt)
{
    const HostCall call;
    return hostCallback(effect, opcode, index, value, ptr, opt);
}

} // namespace

audioMasterCallback auditedCallback(audioMasterCallback host) noexcept
{
    if (host == nullptr) {
        return nullptr;
    }
    hostCallback = host;
    return forwardToHost;
}

AEffect* audited(AEffect* effect) noexcept
{
    if (effect == nullptr || effect->dispatcher == auditedDispatcher) {
        return effect;
    }
    for (WrappedRecord& record : records) {
        AEffect* expected = nullptr;
        if (record.effect.load(kRelaxed) == nullptr) {
            record.dispatcher = effect->dispatcher;
            record.process = effect->process;
            record.processReplacing = effect->processReplacing;
            if (record.effect.compare_exchange_strong(expected, effect,
                                                      std::memory_order_acq_rel)) {
                effect->dispatcher = auditedDispatcher;
                effect->process =
                    effect->process != nullptr ? auditedProcess<&WrappedRecord::process> : nullptr;
                effect->processReplacing = effect->processReplacing != nullptr
                                               ? auditedProcess<&WrappedRecord::processReplacing>
                                               : nullptr;
                return effect;
            }
        }
    }
    std::abort(); // more live records than the table holds
}

#if defined(VORBLEXTER_AUDIT_LV2)
const LV2_Descriptor* audited(const LV2_Descriptor* descriptor) noexcept
{
    if (descriptor == nullptr) {
        return nullptr;
    }
    originalDescriptor = descriptor;
    wrappedDescriptor = *descriptor;
    wrappedDescriptor.run = descriptor->run != nullptr ? auditedRun : nullptr;
    return &wrappedDescriptor;
}
#endif

} // namespace vorblexter::audit

// --- Replaced allocation functions ------------------------------------------------------------

#if defined(VORBLEXTER_AUDIT_NEW)

using vorblexter::audit::Call;
using vorblexter::audit::deleteAny;
using vorblexter::audit::newOrNull;
using vorblexter::audit::note;

// The replacements below pair operator new with free through malloc, which GCC cannot see once
// it inlines them into a new-expression and its matching delete.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(std::size_t size)
{
    if (void* p = newOrNull(size, false)) {
        return p;
    }
    throw std::bad_alloc();
}
void* operator new[](std::size_t size)
{
    return ::operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    return newOrNull(size, false);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    return newOrNull(size, true);
}

// Every form of delete, and its array form, with the parameters after the pointer.
// clang-format off
#define VORBLEXTER_DELETE(...) \
    void operator delete(void* p __VA_OPT__(, ) __VA_ARGS__) noexcept { deleteAny(p); } \
    void operator delete[](void* p __VA_OPT__(, ) __VA_ARGS__) noexcept { deleteAny(p); }
VORBLEXTER_DELETE()
VORBLEXTER_DELETE(std::size_t)
VORBLEXTER_DELETE(const std::nothrow_t&)
#if defined(VORBLEXTER_AUDIT_ALIGNED_NEW)
VORBLEXTER_DELETE(std::align_val_t)
VORBLEXTER_DELETE(std::size_t, std::align_val_t)
VORBLEXTER_DELETE(std::align_val_t, const std::nothrow_t&)
#endif
// clang-format on

#if defined(VORBLEXTER_AUDIT_ALIGNED_NEW)
using vorblexter::audit::newAligned;

void* operator new(std::size_t size, std::align_val_t alignment)
{
    if (void* p = newAligned(size, alignment)) {
        return p;
    }
    throw std::bad_alloc();
}
void* operator new[](std::size_t size, std::align_val_t alignment)
{
    return ::operator new(size, alignment);
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept
{
    return newAligned(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept
{
    return newAligned(size, alignment);
}
#endif

#endif

// --- Replaced libc calls ----------------------------------------------------------------------

#if defined(VORBLEXTER_AUDIT_LIBC)
// Each replaced call forwards to libc's definition, found once before main so that no look-up
// (which may itself allocate) happens inside an audio call. One row a call: what it counts as,
// its result, name, whether it is noexcept, parameters and the arguments it passes on.
// clang-format off
#define VORBLEXTER_FORWARDS(X) \
    X(Call::mapping, void*, mmap, noexcept, (void* a, std::size_t b, int c, int d, int e, off_t f), (a, b, c, d, e, f)) \
    X(Call::mapping, int, munmap, noexcept, (void* a, std::size_t b), (a, b)) \
    X(Call::mapping, int, madvise, noexcept, (void* a, std::size_t b, int c), (a, b, c)) \
    X(Call::mapping, int, mprotect, noexcept, (void* a, std::size_t b, int c), (a, b, c)) \
    X(Call::mapping, int, brk, noexcept, (void* a), (a)) \
    X(Call::mapping, void*, sbrk, noexcept, (intptr_t a), (a)) \
    X(Call::lock, int, pthread_mutex_lock, noexcept, (pthread_mutex_t* a), (a)) \
    X(Call::lock, int, pthread_mutex_trylock, noexcept, (pthread_mutex_t* a), (a)) \
    X(Call::lock, int, pthread_mutex_unlock, noexcept, (pthread_mutex_t* a), (a)) \
    X(Call::lock, int, pthread_mutex_timedlock, noexcept, (pthread_mutex_t* __restrict a, const timespec* __restrict b), (a, b)) \
    X(Call::lock, int, pthread_rwlock_rdlock, noexcept, (pthread_rwlock_t* a), (a)) \
    X(Call::lock, int, pthread_rwlock_wrlock, noexcept, (pthread_rwlock_t* a), (a)) \
    X(Call::lock, int, pthread_rwlock_tryrdlock, noexcept, (pthread_rwlock_t* a), (a)) \
    X(Call::lock, int, pthread_rwlock_trywrlock, noexcept, (pthread_rwlock_t* a), (a)) \
    X(Call::lock, int, pthread_rwlock_unlock, noexcept, (pthread_rwlock_t* a), (a)) \
    X(Call::lock, int, pthread_spin_lock, noexcept, (pthread_spinlock_t* a), (a)) \
    X(Call::lock, int, pthread_spin_trylock, noexcept, (pthread_spinlock_t* a), (a)) \
    X(Call::lock, int, pthread_spin_unlock, noexcept, (pthread_spinlock_t* a), (a)) \
    X(Call::lock, int, sem_wait, , (sem_t* a), (a)) \
    X(Call::lock, int, sem_trywait, noexcept, (sem_t* a), (a)) \
    X(Call::lock, int, sem_post, noexcept, (sem_t* a), (a)) \
    X(Call::lock, int, sem_timedwait, , (sem_t* __restrict a, const timespec* __restrict b), (a, b)) \
    X(Call::condition, int, pthread_cond_signal, noexcept, (pthread_cond_t* a), (a)) \
    X(Call::condition, int, pthread_cond_broadcast, noexcept, (pthread_cond_t* a), (a)) \
    X(Call::condition, int, pthread_cond_wait, , (pthread_cond_t* __restrict a, pthread_mutex_t* __restrict b), (a, b)) \
    X(Call::condition, int, pthread_cond_timedwait, , (pthread_cond_t* __restrict a, pthread_mutex_t* __restrict b, const timespec* __restrict c), (a, b, c)) \
    X(Call::condition, int, pthread_cond_clockwait, , (pthread_cond_t* __restrict a, pthread_mutex_t* __restrict b, clockid_t c, const timespec* __restrict d), (a, b, c, d)) \
    X(Call::threadCall, int, pthread_join, , (pthread_t a, void** b), (a, b)) \
    X(Call::threadCall, int, pthread_create, noexcept, (pthread_t* __restrict a, const pthread_attr_t* __restrict b, void* (*c)(void*), void* __restrict d), (a, b, c, d))
// The two with variable arguments, written out below.
#define VORBLEXTER_VARIADIC(X) X(, , mremap, , , ) X(, , syscall, , , )
// clang-format on

namespace {

#define VORBLEXTER_DECLARE_FORWARD(kind, result, name, ...) decltype(&::name) real_##name = nullptr;
VORBLEXTER_FORWARDS(VORBLEXTER_DECLARE_FORWARD)
VORBLEXTER_VARIADIC(VORBLEXTER_DECLARE_FORWARD)

template <typename Function> Function resolved(Function& cached, const char* name) noexcept
{
    if (cached == nullptr) {
        cached = reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
        if (cached == nullptr) {
            std::abort();
        }
    }
    return cached;
}

__attribute__((constructor(101))) void resolveForwards()
{
#define VORBLEXTER_RESOLVE_FORWARD(kind, result, name, ...) resolved(real_##name, #name);
    VORBLEXTER_FORWARDS(VORBLEXTER_RESOLVE_FORWARD)
    VORBLEXTER_VARIADIC(VORBLEXTER_RESOLVE_FORWARD)
}

} // namespace

#define VORBLEXTER_NEXT(name) const auto forward = resolved(real_##name, #name)

extern "C" {

// clang-format off
#define VORBLEXTER_DEFINE_FORWARD(kind, result, name, qualifier, parameters, arguments) \
    result name parameters qualifier \
    { \
        note(kind); \
        VORBLEXTER_NEXT(name); \
        return forward arguments; \
    }
VORBLEXTER_FORWARDS(VORBLEXTER_DEFINE_FORWARD)

// The allocator's entries count as malloc and go straight to libc's own.
#define VORBLEXTER_ALLOCATE(name, parameters, call) \
    void* name parameters noexcept \
    { \
        note(Call::malloc); \
        return vorblexter::audit::call; \
    }
VORBLEXTER_ALLOCATE(malloc, (std::size_t size), __libc_malloc(size))
VORBLEXTER_ALLOCATE(calloc, (std::size_t count, std::size_t size), __libc_calloc(count, size))
VORBLEXTER_ALLOCATE(realloc, (void* p, std::size_t size), __libc_realloc(p, size))
VORBLEXTER_ALLOCATE(memalign, (std::size_t alignment, std::size_t size), __libc_memalign(alignment, size))
VORBLEXTER_ALLOCATE(aligned_alloc, (std::size_t alignment, std::size_t size), __libc_memalign(alignment, size))
VORBLEXTER_ALLOCATE(valloc, (std::size_t size), __libc_valloc(size))
VORBLEXTER_ALLOCATE(pvalloc, (std::size_t size), __libc_pvalloc(size))
// clang-format on

void free(void* p) noexcept
{
    if (p != nullptr) {
        note(Call::free);
    }
    vorblexter::audit::__libc_free(p);
}
int posix_memalign(void** result, std::size_t alignment, std::size_t size) noexcept
{
    note(Call::malloc);
    if (alignment % sizeof(void*) != 0 || (alignment & (alignment - 1)) != 0) {
        return EINVAL;
    }
    void* p = vorblexter::audit::__libc_memalign(alignment, size);
    if (p == nullptr) {
        return ENOMEM;
    }
    *result = p;
    return 0;
}

void* mremap(void* address, std::size_t oldLength, std::size_t newLength, int flags, ...) noexcept
{
    note(Call::mapping);
    va_list rest;
    va_start(rest, flags);
    void* const newAddress = va_arg(rest, void*);
    va_end(rest);
    VORBLEXTER_NEXT(mremap);
    return forward(address, oldLength, newLength, flags, newAddress);
}

long syscall(long number, ...) noexcept
{
    note(Call::systemCall);
    va_list rest;
    va_start(rest, number);
    long a[6];
    for (long& value : a) {
        value = va_arg(rest, long);
    }
    va_end(rest);
    VORBLEXTER_NEXT(syscall);
    return forward(number, a[0], a[1], a[2], a[3], a[4], a[5]);
}

} // extern "C"

#endif

// --- heap_counter.h ---------------------------------------------------------------------------

namespace vorblexter::testing {

// The stretch counts as an audio call of the calling thread too, so that its locks, waits and
// mappings count with the heap calls (of every thread) made meanwhile.
void startHeapCount()
{
    audit::reset();
    audit::countEverywhere(true);
    ++audit::audioDepth;
}

long stopHeapCount()
{
    --audit::audioDepth;
    audit::countEverywhere(false);
    const audit::Tally heap = audit::everywhereTally();
    const audit::Tally thread = audit::audioTally();
    using audit::Call;
    long calls = 0;
    for (const Call kind :
         {Call::bufferAllocation, Call::otherNew, Call::deleteCall, Call::malloc, Call::free}) {
        calls += static_cast<long>(heap.of(kind));
    }
    for (const Call kind : {Call::mapping, Call::lock, Call::condition, Call::threadCall}) {
        calls += static_cast<long>(thread.of(kind));
    }
    return calls;
}

long liveHeapBlocks()
{
    return audit::liveBlocks.load();
}

} // namespace vorblexter::testing
