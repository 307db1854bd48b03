#include "web/cookies.h"

#include <string_view>
#include <unordered_set>
#include <vector>

namespace velkor {
namespace {

std::string_view cookie_name(std::string_view item) {
    const size_t eq = item.find('=');
    return eq == std::string_view::npos ? item : item.substr(0, eq);
}

bool is_deleted(std::string_view item) {
    return ends_with(item, "=deleted");
}

}  // namespace

Text merge_cookies(Text& cookie_text, Text& answer_cookies) {
    cookie_text = remove_blanks(cookie_text);
    answer_cookies = remove_blanks(answer_cookies);

    // The answer's items come first and win over kept items of the same name;
    // among kept items the first of a name survives. Blanks are gone, so a name
    // is the text before the first "=" as it stands.
    const TextList new_items = split(answer_cookies, ";");
    const TextList old_items = split(cookie_text, ";");
    std::vector<const Text*> merged;
    merged.reserve(new_items.size() + old_items.size());
    std::unordered_set<std::string_view> names;
    for (const Text& item : new_items) {
        merged.push_back(&item);
        names.insert(cookie_name(item));
    }
    for (const Text& item : old_items) {
        if (names.insert(cookie_name(item)).second) {
            merged.push_back(&item);
        }
    }

    Text joined;
    for (const Text* item : merged) {
        if (!is_deleted(*item)) {
            joined += *item;
            joined += "; ";
        }
    }
    if (joined.size() >= 2) {
        joined.resize(joined.size() - 2);
    }

    // Exact repetitions go; comparing the pieces of the joined text keeps the
    // empty items that survived exactly as they show in it.
    Text result;
    std::unordered_set<Text> seen;
    bool first = true;
    for (Text& piece : split(joined, "; ")) {
        if (seen.insert(piece).second) {
            if (!first) {
                result += "; ";
            }
            result += piece;
            first = false;
        }
    }
    cookie_text = result;
    return result;
}

}  // namespace velkor
