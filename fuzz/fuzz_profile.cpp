// Profile files of any contents, and changes with names and values from a server (the
// activity cache names its sections after the listed activities): what is written reads
// back, every other entry keeps its value, and the written form reads the same.
//
// Input: section, key and value, each ended by a NUL byte, then the file.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fuzz_input.h"
#include "platform/profile.h"

namespace {

using velkor::platform::profile_document;

bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

std::string trimmed(std::string_view s) {
    while (!s.empty() && is_blank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && is_blank(s.back())) {
        s.remove_suffix(1);
    }
    return std::string(s);
}

// A name or value as it is written: line breaks become blanks.
std::string one_line(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return out;
}

// A loose key for telling names apart: two names the profile takes for the same one
// always give the same key (some others too, which only makes the check skip more).
std::string loose(std::string_view s) {
    std::string out = trimmed(s);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return out;
}

// Candidate section and key names of a file: enough to look entries up with; where these
// guesses differ from the profile's reading, the lookups merely find nothing.
std::vector<std::pair<std::string, std::string>> probes(std::string_view file) {
    std::vector<std::pair<std::string, std::string>> out;
    std::string section;
    std::size_t pos = 0;
    while (pos < file.size() && out.size() < 64) {
        std::size_t nl = file.find('\n', pos);
        std::string_view line = file.substr(pos, nl == std::string_view::npos ? nl : nl - pos);
        pos = nl == std::string_view::npos ? file.size() : nl + 1;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        const std::string t = trimmed(line);
        const std::size_t close = t.rfind(']');
        if (!t.empty() && t.front() == '[' && close != std::string::npos) {
            section = trimmed(std::string_view(t).substr(1, close - 1));
            continue;
        }
        out.emplace_back(section, trimmed(line.substr(0, line.find('='))));
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    velkor::fuzz::Fields in(data, size);
    const std::string_view section = in.next();
    const std::string_view key = in.next();
    const std::string_view value = in.next();
    const std::string_view file = in.rest();

    profile_document doc(file);
    const std::string written = doc.bytes();
    FUZZ_CHECK(profile_document(written).bytes() == written);
    FUZZ_CHECK(written.empty() || written.ends_with("\r\n"));

    const auto others = probes(file);
    std::vector<std::optional<std::string>> before;
    for (const auto& [s, k] : others) {
        const auto got = doc.get(s, k);
        FUZZ_CHECK(got == profile_document(written).get(s, k));
        before.push_back(got);
    }

    doc.set(section, key, value);
    // Line breaks in a name are written as blanks, so the entry is found under that name.
    const std::string s = one_line(section);
    const std::string k = one_line(key);
    // Such a key line would read as another key or as a section header.
    if (k.find('=') != std::string::npos || trimmed(k).starts_with("[")) {
        return 0;
    }
    const std::string want = trimmed(one_line(value));
    FUZZ_CHECK(doc.get(s, k) == want);
    const std::string changed = doc.bytes();
    FUZZ_CHECK(profile_document(changed).get(s, k) == want);

    for (std::size_t i = 0; i < others.size(); ++i) {
        const auto& [os, ok] = others[i];
        if (loose(os) == loose(s) && loose(ok) == loose(k)) {
            continue;
        }
        FUZZ_CHECK(doc.get(os, ok) == before[i]);
    }
    return 0;
}
