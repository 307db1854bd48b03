#include "platform/clock.h"

#include <chrono>
#include <ctime>
#include <memory>
#include <mutex>

namespace velkor::platform {
namespace {

std::mutex source_mutex;
std::shared_ptr<std::function<LocalTime()>> source;

LocalTime real_now() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count();
    const std::time_t secs = static_cast<std::time_t>(ms / 1000);
    std::tm tm{};
    localtime_r(&secs, &tm);
    LocalTime t;
    t.year = tm.tm_year + 1900;
    t.month = tm.tm_mon + 1;
    t.day = tm.tm_mday;
    t.hour = tm.tm_hour;
    t.minute = tm.tm_min;
    t.second = tm.tm_sec;
    t.millisecond = static_cast<int>(ms % 1000);
    return t;
}

}  // namespace

LocalTime local_now() {
    std::shared_ptr<std::function<LocalTime()>> s;
    {
        std::lock_guard lock(source_mutex);
        s = source;
    }
    return s ? (*s)() : real_now();
}

void set_clock_source(std::function<LocalTime()> fn) {
    std::lock_guard lock(source_mutex);
    source = fn ? std::make_shared<std::function<LocalTime()>>(std::move(fn)) : nullptr;
}

long long tick_ms() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace velkor::platform
