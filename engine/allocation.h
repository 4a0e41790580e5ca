// Every allocation the engine makes goes through here, so that none throws and test builds can
// make chosen allocations fail.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vorblexter {

enum class AllocationSite : std::uint8_t { captureBuffer, sliceRecord, effectObject };

// Answers whether the next allocation at `site` must fail. Always false outside test builds.
#if defined(VORBLEXTER_TEST_HOOKS)
bool allocationShouldFail(AllocationSite site) noexcept;

// Test builds only: of the next allocations at `site`, let `succeedFirst` through and then fail
// `failCount` of them. Calling it again replaces the earlier plan for that site.
void injectAllocationFailures(AllocationSite site, int succeedFirst, int failCount) noexcept;
void clearAllocationFailures() noexcept;
#else
constexpr bool allocationShouldFail(AllocationSite) noexcept
{
    return false;
}
#endif

// Uninitialised float samples (release with delete[]), or null when memory is short.
float* allocateSamples(std::size_t count) noexcept;

} // namespace vorblexter
