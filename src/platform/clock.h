#pragma once
// The local wall clock, and waiting on it.
//
// Everything that reads the time of day or waits goes through a Clock, so that a
// test can hold time still, move it across a second boundary and see what a
// waiter does at that instant, without waiting for real. The system clock reads
// the time of day from the wall clock and waits on a steady clock; the test clock
// moves only when told and wakes the sleepers its new time has reached.
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <stop_token>

namespace velkor::platform {

struct LocalTime {
    int year = 1970;
    int month = 1;  // 1..12
    int day = 1;    // 1..31
    int hour = 0;   // 0..23
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

// Milliseconds from 1970-01-01 00:00:00.000 to `time`, both read on the same local
// calendar (no time zone enters): a line on which local times can be compared and
// moved. Fields out of their range carry over as the calendar does.
long long local_ms(const LocalTime& time);
LocalTime local_time_at(long long local_ms);

class Clock {
  public:
    virtual ~Clock() = default;

    // The current local time, with milliseconds.
    virtual LocalTime now() const = 0;

    // Returns true once now() has reached `target` (at once when it already has),
    // false when `stop` was requested first. The wall clock may be set meanwhile:
    // the wait follows the time of day, not the time that has passed.
    virtual bool sleep_until(const LocalTime& target, std::stop_token stop = {}) = 0;

    // Waits for `duration` to pass; false when `stop` was requested first.
    virtual bool sleep_for(std::chrono::milliseconds duration, std::stop_token stop = {}) = 0;

    // The process's clock: the system clock unless a test installed another.
    static std::shared_ptr<Clock> instance();
    // An empty pointer restores the system clock.
    static void set_instance(std::shared_ptr<Clock> clock);
};

class SystemClock final : public Clock {
  public:
    LocalTime now() const override;
    bool sleep_until(const LocalTime& target, std::stop_token stop = {}) override;
    bool sleep_for(std::chrono::milliseconds duration, std::stop_token stop = {}) override;

    // Waits longer than this are cut into steps, after each of which the wall
    // clock is read again, so that a clock set meanwhile is noticed.
    static constexpr std::chrono::milliseconds max_step{100};
    // The last stretch before a target is slept in one piece, with the system's
    // precise timer, which wakes within tens of microseconds of it. Watching it
    // instead (polling) would leave several waiters on few processors taking the
    // processor from each other's work at the very moment they were woken for.
    static constexpr std::chrono::microseconds watch_span{1500};
};

// A clock that stands still until the test moves it.
class TestClock final : public Clock {
  public:
    explicit TestClock(const LocalTime& start);

    LocalTime now() const override;
    bool sleep_until(const LocalTime& target, std::stop_token stop = {}) override;
    bool sleep_for(std::chrono::milliseconds duration, std::stop_token stop = {}) override;

    // Moves the time (also backwards, like a wall clock being set) and wakes every
    // sleeper whose target the new time has reached.
    void set(const LocalTime& time);
    void advance(std::chrono::milliseconds by);
    void advance_second() { advance(std::chrono::seconds(1)); }

    // Threads asleep on this clock right now.
    int sleepers() const;
    // Waits (for real, up to `timeout`) until at least `count` threads sleep here.
    bool wait_for_sleepers(int count, std::chrono::milliseconds timeout) const;

  private:
    bool sleep_until_ms(long long target, std::stop_token stop);

    mutable std::mutex mutex_;
    mutable std::condition_variable_any changed_;
    long long now_ms_;
    int sleepers_ = 0;
};

// The current local time of the process's clock.
LocalTime local_now();

// Asks the system to wake the calling thread from its sleeps as close to their
// end as it can (no timer slack), for threads that must act at a given moment.
void prefer_precise_wakeups();

// Milliseconds of a steady clock, for measuring how long something took.
long long tick_ms();

}  // namespace velkor::platform
