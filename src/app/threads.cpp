#include "app/threads.h"

#include <chrono>
#include <condition_variable>
#include <exception>
#include <iostream>
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

void count_down() {
    auto& w = workers();
    std::lock_guard lock(w.mutex);
    if (--w.running == 0)
        w.idle.notify_all();
}

void report(const std::string& name, const char* what) {
    std::cerr << "velkor: worker " << name << " ended by an exception: " << what << "\n"
              << std::flush;
}

}  // namespace

bool start_thread(std::string name, std::function<void()> work) {
    auto& w = workers();
    {
        std::lock_guard lock(w.mutex);
        ++w.running;
    }
    try {
        std::thread([name = std::move(name), work = std::move(work)]() mutable {
            try {
                work();
            } catch (const std::exception& e) {
                report(name, e.what());
            } catch (...) {
                report(name, "unknown exception");
            }
            work = nullptr;  // free what the work captured before counting down
            count_down();
        }).detach();
        return true;
    } catch (const std::exception& e) {
        std::cerr << "velkor: no thread for " << name << ": " << e.what() << "\n" << std::flush;
        count_down();
        return false;
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
