#include "script/random_text.h"

#include <cstdio>
#include <random>

namespace velkor {
namespace {

double random_fraction() {
    // One generator per thread: no lock, and no two threads share a sequence.
    thread_local std::mt19937_64 engine{[] {
        std::random_device device;
        std::seed_seq seed{device(), device(), device(), device()};
        return std::mt19937_64(seed);
    }()};
    // 53 random bits: every double of [0, 1) with the spacing of 2^-53.
    return static_cast<double>(engine() >> 11) * 0x1.0p-53;
}

bool is_fraction_text(const Text& t) {
    if (t.size() != 17 || t[0] != '0' || t[1] != '.') {
        return false;
    }
    for (std::size_t i = 2; i < t.size(); ++i) {
        if (t[i] < '0' || t[i] > '9') {
            return false;
        }
    }
    return true;
}

}  // namespace

Text script_random_text() {
    // The script interface turns a number into at most 15 significant digits, so most draws
    // read "0." and fifteen digits; shorter ones (a trailing zero) and longer ones (below 0.1)
    // are drawn again, and so is the rare exponent form that happens to have 17 characters.
    Text candidate;
    while (!is_fraction_text(candidate)) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.15g", random_fraction());
        candidate = buffer;
        if (candidate.empty() || candidate[0] != '0') {
            candidate.insert(0, "0");
        }
    }
    return candidate;
}

}  // namespace velkor
