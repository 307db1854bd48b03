#pragma once
// Helpers shared by the fuzz targets: a promise check that names the broken promise, and
// the cutting of one input into fields.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace velkor::fuzz {

[[noreturn]] inline void broken(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: broken promise: %s\n", file, line, what);
    std::abort();
}

// Fields of an input, each ended by a NUL byte; the last field is the rest of the input and
// may hold NUL bytes of its own.
class Fields {
  public:
    Fields(const std::uint8_t* data, std::size_t size)
        : rest_(reinterpret_cast<const char*>(data), size) {}

    std::string_view next() {
        const std::size_t nul = rest_.find('\0');
        const std::string_view field = rest_.substr(0, nul);
        rest_ = nul == std::string_view::npos ? std::string_view() : rest_.substr(nul + 1);
        return field;
    }
    // One byte of options (0 when the input is used up).
    std::uint8_t byte() {
        if (rest_.empty()) {
            return 0;
        }
        const auto b = static_cast<std::uint8_t>(rest_.front());
        rest_.remove_prefix(1);
        return b;
    }
    std::string_view rest() const { return rest_; }

  private:
    std::string_view rest_;
};

inline bool contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

}  // namespace velkor::fuzz

#define FUZZ_CHECK(cond)                                       \
    do {                                                       \
        if (!(cond)) {                                         \
            ::velkor::fuzz::broken(#cond, __FILE__, __LINE__); \
        }                                                      \
    } while (false)
