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

// Cookie texts are bytes rather than GBK text: a value may end in any byte (UTF-8 ones
// among them), which must not swallow the ";" or blank behind it. So these two work byte
// by byte; only the full-width blank, a GBK character, is found as one.
Text without_blanks(std::string_view text) {
    Text out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c != ' ') {
            out += c;
        }
    }
    return replace(out, "\xA1\xA1", "");
}

// As split(): empty pieces kept, a trailing empty piece dropped, none of an empty text.
TextList split_bytes(std::string_view text, std::string_view delimiter) {
    TextList pieces;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t at = text.find(delimiter, pos);
        if (at == std::string_view::npos) {
            pieces.emplace_back(text.substr(pos));
            break;
        }
        pieces.emplace_back(text.substr(pos, at - pos));
        pos = at + delimiter.size();
    }
    return pieces;
}

}  // namespace

Text merge_cookies(Text& cookie_text, Text& answer_cookies) {
    cookie_text = without_blanks(cookie_text);
    answer_cookies = without_blanks(answer_cookies);

    // The answer's items come first and win over kept items of the same name;
    // among kept items the first of a name survives. Blanks are gone, so a name
    // is the text before the first "=" as it stands.
    const TextList new_items = split_bytes(answer_cookies, ";");
    const TextList old_items = split_bytes(cookie_text, ";");
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
    for (Text& piece : split_bytes(joined, "; ")) {
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
