#pragma once
// One round of the writes the program makes to its two profile files, shared by the writer
// process of the crash test and by the test, which rebuilds from it every state a file may
// be left in.
#include <string>

#include "platform/codepage.h"
#include "platform/profile.h"

namespace velkor::test {

// The area of the writing account alternates between two names.
inline std::string round_area(unsigned round) {
    return platform::utf8_to_gbk(round % 2 ? "浙江电信二区" : "广东电信一区");
}

inline const std::string& names_section() {
    static const std::string s = platform::utf8_to_gbk("活动名");
    return s;
}
inline const std::string& names_key() {
    static const std::string s = platform::utf8_to_gbk("活动");
    return s;
}
inline const std::string& name_separator() {
    static const std::string s = platform::utf8_to_gbk("丨");
    return s;
}

// How many activities the cache lists.
inline std::size_t cached_activities(const platform::profile_document& cache) {
    const std::string names = cache.get(names_section(), names_key()).value_or("");
    std::size_t count = 0;
    for (std::size_t at = names.find(name_separator()); at != std::string::npos;
         at = names.find(name_separator(), at + name_separator().size())) {
        ++count;
    }
    return count;
}

inline std::string activity_name(std::size_t n) {
    return platform::utf8_to_gbk("夏日活动") + std::to_string(n);
}
inline std::string activity_url(std::size_t n) {
    return "http://act.example/cf/" + std::to_string(n) + "/index.html";
}

// A collection adds several activities in one update, as the program does: the name list
// grows and each activity gets a section of its own.
constexpr std::size_t activities_per_collection = 3;

inline void add_collection(platform::profile_document& cache) {
    const std::size_t first = cached_activities(cache);
    for (std::size_t n = first; n < first + activities_per_collection; ++n) {
        cache.set(names_section(), names_key(),
                  cache.get(names_section(), names_key()).value_or("") + activity_name(n) +
                      name_separator());
        cache.set(activity_name(n), "url", activity_url(n));
    }
}

}  // namespace velkor::test
