// The replacements behind heap_counter.h. Compiled into a test program as one of its own
// sources (never from a library, whose object the linker might leave out).
#include "tests/support/heap_counter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<bool> counting{false};
std::atomic<long> heapCalls{0};
std::atomic<long> liveBlocks{0};

void noteHeapCall()
{
    if (counting.load(std::memory_order_relaxed)) {
        heapCalls.fetch_add(1, std::memory_order_relaxed);
    }
}

void* noteAllocated(void* block)
{
    if (block != nullptr) {
        liveBlocks.fetch_add(1, std::memory_order_relaxed);
    }
    return block;
}

void release(void* block)
{
    if (block != nullptr) {
        liveBlocks.fetch_sub(1, std::memory_order_relaxed);
    }
    std::free(block);
}

} // namespace

// The replacements below pair operator new with free through malloc, which GCC cannot see once
// it inlines them into a new-expression and its matching delete.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

// Every form is replaced, so that nothing this program frees came from another allocator (a
// sanitizer's runtime would count that as a mismatch).
void* operator new(std::size_t size)
{
    noteHeapCall();
    if (void* p = noteAllocated(std::malloc(size == 0 ? 1 : size))) {
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
    noteHeapCall();
    return noteAllocated(std::malloc(size == 0 ? 1 : size));
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept
{
    return ::operator new(size, tag);
}
void operator delete(void* p) noexcept
{
    release(p);
}
void operator delete[](void* p) noexcept
{
    release(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    release(p);
}
void operator delete[](void* p, std::size_t) noexcept
{
    release(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept
{
    release(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept
{
    release(p);
}

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) ||                         \
    __has_feature(memory_sanitizer)
#define VORBLEXTER_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VORBLEXTER_SANITIZED 1
#endif

// glibc's own entry points let this program stand in front of malloc; sanitizers already do.
#if defined(__GLIBC__) && !defined(VORBLEXTER_SANITIZED)
extern "C" {
void* __libc_malloc(std::size_t size) noexcept;
void* __libc_calloc(std::size_t count, std::size_t size) noexcept;
void* __libc_realloc(void* p, std::size_t size) noexcept;

void* malloc(std::size_t size) noexcept
{
    noteHeapCall();
    return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size) noexcept
{
    noteHeapCall();
    return __libc_calloc(count, size);
}
void* realloc(void* p, std::size_t size) noexcept
{
    noteHeapCall();
    return __libc_realloc(p, size);
}
}
#endif

namespace vorblexter::testing {

void startHeapCount()
{
    heapCalls.store(0);
    counting.store(true);
}

long stopHeapCount()
{
    counting.store(false);
    return heapCalls.load();
}

long liveHeapBlocks()
{
    return liveBlocks.load();
}

} // namespace vorblexter::testing
