#include "engine/retired_buffers.h"

#include <cstring>

namespace vorblexter {

namespace {

// The entry a retired buffer carries in its first bytes. It is copied in and out as bytes, so
// the buffer stays the float array it was allocated as, and is released as one.
struct Entry {
    float* next;    // the buffer of the entry handed over before, or null
    float* partner; // the other buffer of the pair, or null
};

static_assert(sizeof(Entry) <= RetiredBuffers::kMinimumSamples * sizeof(float));

Entry readEntry(const float* buffer) noexcept
{
    Entry entry{};
    std::memcpy(&entry, buffer, sizeof entry);
    return entry;
}

} // namespace

RetiredBuffers::~RetiredBuffers()
{
    releaseAll();
}

void RetiredBuffers::handOver(float* left, float* right) noexcept
{
    float* const carrier = left != nullptr ? left : right;
    if (carrier == nullptr) {
        return;
    }
    Entry entry{};
    entry.partner = left != nullptr ? right : nullptr;
    entry.next = head.load(std::memory_order_relaxed);
    std::memcpy(carrier, &entry, sizeof entry);
    // Only this thread ever stores a buffer in the head; a release only empties it. So the
    // exchange fails at most once (when a release took the list since it was read), and then
    // the list is empty and stays so until this thread fills it.
    while (!head.compare_exchange_strong(entry.next, carrier, std::memory_order_release,
                                         std::memory_order_relaxed)) {
        std::memcpy(carrier, &entry, sizeof entry);
    }
}

std::int32_t RetiredBuffers::releaseAll() noexcept
{
    if (head.load(std::memory_order_relaxed) == nullptr) {
        return 0;
    }
    float* buffer = head.exchange(nullptr, std::memory_order_acquire);
    std::int32_t released = 0;
    while (buffer != nullptr) {
        const Entry entry = readEntry(buffer);
        delete[] entry.partner;
        delete[] buffer;
        buffer = entry.next;
        ++released;
    }
    return released;
}

} // namespace vorblexter
