#include "platform/clock.h"

#include <sys/prctl.h>

#include <algorithm>
#include <ctime>
#include <thread>

namespace velkor::platform {
namespace {

long long floor_div(long long a, long long b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

// Days from 1970-01-01 to a civil date (proleptic Gregorian calendar).
long long days_from_civil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void civil_from_days(long long z, int& y, int& m, int& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(static_cast<long long>(yoe) + era * 400 + (m <= 2));
}

// Microseconds since 1970-01-01 00:00 on the local calendar, from one reading of
// the wall clock.
long long local_us_now() {
    using namespace std::chrono;
    const long long us =
        duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
    const std::time_t secs = static_cast<std::time_t>(floor_div(us, 1000000));
    std::tm tm{};
    localtime_r(&secs, &tm);
    return us + static_cast<long long>(tm.tm_gmtoff) * 1000000;
}

}  // namespace

long long local_ms(const LocalTime& t) {
    const long long months = static_cast<long long>(t.year) * 12 + (t.month - 1);
    const long long year = floor_div(months, 12);
    const unsigned month = static_cast<unsigned>(months - year * 12 + 1);
    const long long days = days_from_civil(year, month, 1) + (t.day - 1);
    return days * 86400000LL + t.hour * 3600000LL + t.minute * 60000LL + t.second * 1000LL +
           t.millisecond;
}

LocalTime local_time_at(long long ms) {
    const long long days = floor_div(ms, 86400000LL);
    long long rest = ms - days * 86400000LL;
    LocalTime t;
    civil_from_days(days, t.year, t.month, t.day);
    t.hour = static_cast<int>(rest / 3600000);
    rest %= 3600000;
    t.minute = static_cast<int>(rest / 60000);
    rest %= 60000;
    t.second = static_cast<int>(rest / 1000);
    t.millisecond = static_cast<int>(rest % 1000);
    return t;
}

// --- the process's clock -----------------------------------------------------------

namespace {

std::mutex instance_mutex;

std::shared_ptr<Clock>& instance_slot() {
    // Never destroyed: detached workers may read the time while the program ends.
    static auto* slot = new std::shared_ptr<Clock>(std::make_shared<SystemClock>());
    return *slot;
}

}  // namespace

std::shared_ptr<Clock> Clock::instance() {
    std::lock_guard lock(instance_mutex);
    return instance_slot();
}

void Clock::set_instance(std::shared_ptr<Clock> clock) {
    std::lock_guard lock(instance_mutex);
    instance_slot() = clock ? std::move(clock) : std::make_shared<SystemClock>();
}

LocalTime local_now() {
    return Clock::instance()->now();
}

void prefer_precise_wakeups() {
    // The default slack lets a sleep end up to 50 us late, to batch wake-ups.
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
}

long long tick_ms() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// --- system clock ------------------------------------------------------------------

LocalTime SystemClock::now() const {
    return local_time_at(floor_div(local_us_now(), 1000));
}

bool SystemClock::sleep_until(const LocalTime& target, std::stop_token stop) {
    using namespace std::chrono;
    const long long goal_us = local_ms(target) * 1000;
    std::mutex m;
    std::condition_variable_any woken;
    for (;;) {
        if (stop.stop_requested()) {
            return false;
        }
        const long long remaining = goal_us - local_us_now();
        if (remaining <= 0) {
            return true;
        }
        if (remaining > watch_span.count()) {
            const microseconds step =
                std::min<microseconds>(microseconds(remaining) - watch_span, max_step);
            std::unique_lock lock(m);
            woken.wait_for(lock, stop, step, [] { return false; });
        } else {
            // The last stretch in one precise sleep; the loop then looks at the
            // wall clock again.
            std::this_thread::sleep_for(microseconds(remaining));
        }
    }
}

bool SystemClock::sleep_for(std::chrono::milliseconds duration, std::stop_token stop) {
    std::mutex m;
    std::condition_variable_any woken;
    std::unique_lock lock(m);
    woken.wait_for(lock, stop, duration, [] { return false; });
    return !stop.stop_requested();
}

// --- test clock --------------------------------------------------------------------

TestClock::TestClock(const LocalTime& start) : now_ms_(local_ms(start)) {}

LocalTime TestClock::now() const {
    std::lock_guard lock(mutex_);
    return local_time_at(now_ms_);
}

bool TestClock::sleep_until_ms(long long target, std::stop_token stop) {
    std::unique_lock lock(mutex_);
    ++sleepers_;
    changed_.notify_all();  // for wait_for_sleepers
    const bool reached = changed_.wait(lock, stop, [&] { return now_ms_ >= target; });
    --sleepers_;
    changed_.notify_all();
    return reached;
}

bool TestClock::sleep_until(const LocalTime& target, std::stop_token stop) {
    return sleep_until_ms(local_ms(target), std::move(stop));
}

bool TestClock::sleep_for(std::chrono::milliseconds duration, std::stop_token stop) {
    long long target;
    {
        std::lock_guard lock(mutex_);
        target = now_ms_ + duration.count();
    }
    return sleep_until_ms(target, std::move(stop));
}

void TestClock::set(const LocalTime& time) {
    std::lock_guard lock(mutex_);
    now_ms_ = local_ms(time);
    changed_.notify_all();
}

void TestClock::advance(std::chrono::milliseconds by) {
    std::lock_guard lock(mutex_);
    now_ms_ += by.count();
    changed_.notify_all();
}

int TestClock::sleepers() const {
    std::lock_guard lock(mutex_);
    return sleepers_;
}

bool TestClock::wait_for_sleepers(int count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return sleepers_ >= count; });
}

}  // namespace velkor::platform
