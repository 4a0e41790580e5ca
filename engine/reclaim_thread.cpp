#include "engine/reclaim_thread.h"

#include "engine/slice_engine.h"

#include <condition_variable>
#include <mutex>
#include <new>
#include <thread>

namespace vorblexter {

class ReclaimThread {
public:
    bool enrol(ReclaimEnrolment& enrolment) noexcept
    {
        try {
            const std::lock_guard<std::mutex> life(lifecycle);
            {
                const std::lock_guard<std::mutex> lock(state);
                enrolment.next = first;
                enrolment.previous = nullptr;
                if (first != nullptr) {
                    first->previous = &enrolment;
                }
                first = &enrolment;
                stopping = false;
            }
            if (!thread.joinable()) {
                try {
                    thread = std::thread([this] { run(); });
                } catch (...) {
                    const std::lock_guard<std::mutex> lock(state);
                    unlink(enrolment);
                    return false;
                }
            }
            return true;
        } catch (...) {
            return false;
        }
    }

    void withdraw(ReclaimEnrolment& enrolment) noexcept
    {
        try {
            const std::lock_guard<std::mutex> life(lifecycle);
            {
                // Waits for a release in progress, so the thread is done with the engine.
                const std::lock_guard<std::mutex> lock(state);
                unlink(enrolment);
                stopping = first == nullptr;
            }
            if (stopping && thread.joinable()) {
                wake.notify_all();
                thread.join();
            }
        } catch (...) {
            // Locking or joining failed: the system is out of resources, and there is nothing
            // better to do than to leave the thread as it is.
        }
    }

private:
    void unlink(ReclaimEnrolment& enrolment) noexcept
    {
        if (enrolment.previous != nullptr) {
            enrolment.previous->next = enrolment.next;
        } else if (first == &enrolment) {
            first = enrolment.next;
        }
        if (enrolment.next != nullptr) {
            enrolment.next->previous = enrolment.previous;
        }
        enrolment.next = enrolment.previous = nullptr;
    }

    void run()
    {
        std::unique_lock<std::mutex> lock(state);
        while (!stopping) {
            for (ReclaimEnrolment* at = first; at != nullptr; at = at->next) {
                at->engine.releaseRetired();
            }
            wake.wait_for(lock, kReclaimPeriod, [this] { return stopping; });
        }
    }

    std::mutex lifecycle; // held by enrol and withdraw throughout, the thread's start and join too
    std::mutex state;     // guards the fields below; held by the thread while it releases
    std::condition_variable wake;
    ReclaimEnrolment* first = nullptr;
    bool stopping = false;
    std::thread thread;
};

namespace {

// Made in static storage and never destroyed: a host that exits without closing its effects
// leaves the thread running, and it must never find its lock or list gone.
ReclaimThread& reclaimThread() noexcept
{
    alignas(ReclaimThread) static unsigned char storage[sizeof(ReclaimThread)];
    static ReclaimThread* const instance = new (storage) ReclaimThread;
    return *instance;
}

} // namespace

bool ReclaimEnrolment::enrol() noexcept
{
    if (!enrolled) {
        enrolled = reclaimThread().enrol(*this);
    }
    return enrolled;
}

ReclaimEnrolment::~ReclaimEnrolment()
{
    if (enrolled) {
        reclaimThread().withdraw(*this);
    }
}

} // namespace vorblexter
