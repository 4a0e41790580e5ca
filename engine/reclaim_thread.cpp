#include "engine/reclaim_thread.h"

#include "engine/slice_engine.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

namespace vorblexter {

namespace {

class ReclaimThread {
public:
    bool enrol(SliceEngine& engine) noexcept
    {
        try {
            const std::lock_guard<std::mutex> life(lifecycle);
            {
                const std::lock_guard<std::mutex> lock(state);
                engines.push_back(&engine);
                stopping = false;
            }
            if (!thread.joinable()) {
                try {
                    thread = std::thread([this] { run(); });
                } catch (...) {
                    const std::lock_guard<std::mutex> lock(state);
                    engines.erase(std::find(engines.begin(), engines.end(), &engine));
                    return false;
                }
            }
            return true;
        } catch (...) {
            return false;
        }
    }

    void withdraw(SliceEngine& engine) noexcept
    {
        try {
            const std::lock_guard<std::mutex> life(lifecycle);
            {
                // Waits for a release in progress, so the thread is done with the engine.
                const std::lock_guard<std::mutex> lock(state);
                engines.erase(std::remove(engines.begin(), engines.end(), &engine), engines.end());
                stopping = engines.empty();
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
    void run()
    {
        std::unique_lock<std::mutex> lock(state);
        while (!stopping) {
            for (SliceEngine* engine : engines) {
                engine->releaseRetired();
            }
            wake.wait_for(lock, kReclaimPeriod, [this] { return stopping; });
        }
    }

    std::mutex lifecycle; // held by enrol and withdraw throughout, the thread's start and join too
    std::mutex state;     // guards the fields below; held by the thread while it releases
    std::condition_variable wake;
    std::vector<SliceEngine*> engines;
    bool stopping = false;
    std::thread thread;
};

// Never destroyed: a host that exits without closing its effects leaves the thread running, and
// it must never find its mutex or list gone. With no engine left, no thread runs.
// Null only when it could not be allocated.
ReclaimThread* reclaimThread() noexcept
{
    static ReclaimThread* const instance = new (std::nothrow) ReclaimThread;
    return instance;
}

} // namespace

ReclaimEnrolment::ReclaimEnrolment(SliceEngine& engine) noexcept : engine(engine)
{
    ReclaimThread* const thread = reclaimThread();
    enrolled = thread != nullptr && thread->enrol(engine);
}

ReclaimEnrolment::~ReclaimEnrolment()
{
    if (enrolled) {
        reclaimThread()->withdraw(engine);
    }
}

} // namespace vorblexter
