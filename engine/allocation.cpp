#include "engine/allocation.h"

#include <atomic>
#include <new>

namespace vorblexter {

#if defined(VORBLEXTER_TEST_HOOKS)
namespace {

struct FailurePlan {
    std::atomic<int> succeedFirst{0};
    std::atomic<int> failCount{0};
};

FailurePlan plans[3];

} // namespace

bool allocationShouldFail(AllocationSite site) noexcept
{
    FailurePlan& plan = plans[static_cast<int>(site)];
    if (plan.failCount.load(std::memory_order_relaxed) <= 0) {
        return false;
    }
    if (plan.succeedFirst.load(std::memory_order_relaxed) > 0) {
        plan.succeedFirst.fetch_sub(1, std::memory_order_relaxed);
        return false;
    }
    plan.failCount.fetch_sub(1, std::memory_order_relaxed);
    return true;
}

void injectAllocationFailures(AllocationSite site, int succeedFirst, int failCount) noexcept
{
    FailurePlan& plan = plans[static_cast<int>(site)];
    plan.succeedFirst.store(succeedFirst, std::memory_order_relaxed);
    plan.failCount.store(failCount, std::memory_order_relaxed);
}

void clearAllocationFailures() noexcept
{
    for (FailurePlan& plan : plans) {
        plan.succeedFirst.store(0, std::memory_order_relaxed);
        plan.failCount.store(0, std::memory_order_relaxed);
    }
}
#endif

float* allocateSamples(std::size_t count) noexcept
{
    if (allocationShouldFail(AllocationSite::captureBuffer)) {
        return nullptr;
    }
    return new (std::nothrow) float[count];
}

} // namespace vorblexter
