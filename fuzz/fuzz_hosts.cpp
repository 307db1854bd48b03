// Host overrides of any form ("name=value,name=value"): every good item is applied (the
// last one of a name wins), every other one is reported and changes nothing, and no name
// outside the table appears.
//
// Input: the override text.
#include <algorithm>
#include <cstdint>
#include <map>
#include <sstream>
#include <string>
#include <string_view>

#include "fuzz_input.h"
#include "web/endpoints.h"

namespace {

namespace endpoints = velkor::endpoints;

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
        s.remove_suffix(1);
    }
    return s;
}

std::map<std::string, std::string> table() {
    std::map<std::string, std::string> values;
    for (const auto* names : {&endpoints::host_names(), &endpoints::fragment_names()}) {
        for (const std::string& name : *names) {
            values[name] = endpoints::get(name);
        }
    }
    return values;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view overrides(reinterpret_cast<const char*>(data), size);
    endpoints::reset_to_defaults();
    std::map<std::string, std::string> want = table();

    // The items as the form defines them.
    bool any_bad = false;
    std::size_t pos = 0;
    while (pos <= overrides.size()) {
        std::size_t end = overrides.find(',', pos);
        end = end == std::string_view::npos ? overrides.size() : end;
        const std::string_view item = trimmed(overrides.substr(pos, end - pos));
        pos = end + 1;
        if (item.empty()) {
            continue;
        }
        const std::size_t eq = item.find('=');
        const std::string_view name = trimmed(item.substr(0, eq));
        const std::string_view value =
            eq == std::string_view::npos ? std::string_view() : trimmed(item.substr(eq + 1));
        auto it = want.find(std::string(name));
        if (eq == std::string_view::npos || value.empty() || it == want.end()) {
            any_bad = true;
            continue;
        }
        it->second = std::string(value);
    }

    std::ostringstream err;
    endpoints::apply_overrides(overrides, err);
    FUZZ_CHECK(table() == want);
    FUZZ_CHECK(err.str().empty() == !any_bad);
    FUZZ_CHECK(err.str().empty() || err.str().back() == '\n');
    for (const auto& [name, value] : want) {
        FUZZ_CHECK(!value.empty() && !velkor::fuzz::contains(value, ","));
        FUZZ_CHECK(endpoints::is_known(name));
    }
    // Names the table does not hold stay unknown, whatever the text named.
    const std::size_t eq = overrides.find('=');
    const std::string first(trimmed(overrides.substr(0, std::min(eq, overrides.find(',')))));
    if (want.find(first) == want.end()) {
        FUZZ_CHECK(!endpoints::is_known(first));
        FUZZ_CHECK(endpoints::get(first).empty());
    }
    endpoints::reset_to_defaults();
    FUZZ_CHECK(endpoints::get("login_host") == "127.0.0.1:17601");
    return 0;
}
