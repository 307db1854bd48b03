#include "app/threads.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace velkor {
namespace {

// Never destroyed: detached workers may still touch it while static
// destructors run.
struct WorkerCount {
    std::mutex mutex;
    std::condition_variable idle;
    int running = 0;
};

WorkerCount& workers() {
    static auto* count = new WorkerCount;
    return *count;
}

}  // namespace

void start_thread(std::function<void()> work) {
    auto& w = workers();
    {
        std::lock_guard lock(w.mutex);
        ++w.running;
    }
    try {
        std::thread([work = std::move(work)]() mutable {
            try {
                work();
            } catch (...) {
            }
            work = nullptr;  // free what the work captured before counting down
            auto& w = workers();
            std::lock_guard lock(w.mutex);
            if (--w.running == 0)
                w.idle.notify_all();
        }).detach();
    } catch (...) {
        // No thread could be made: nothing runs, nothing is counted.
        std::lock_guard lock(w.mutex);
        if (--w.running == 0)
            w.idle.notify_all();
    }
}

int running_workers() {
    auto& w = workers();
    std::lock_guard lock(w.mutex);
    return w.running;
}

bool wait_idle(int timeout_ms) {
    auto& w = workers();
    std::unique_lock lock(w.mutex);
    return w.idle.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                           [&] { return w.running == 0; });
}

}  // namespace velkor
