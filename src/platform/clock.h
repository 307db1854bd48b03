#pragma once
// The local wall clock, readable through a source that tests can replace.
#include <functional>

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

// The current local time (the test source when one is set).
LocalTime local_now();

// Replaces the clock for tests; an empty function restores the real clock.
void set_clock_source(std::function<LocalTime()> source);

// Milliseconds of a steady clock, for pauses and time-outs.
long long tick_ms();

}  // namespace velkor::platform
