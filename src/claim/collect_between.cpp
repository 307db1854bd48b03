#include "claim/collect_between.h"

namespace velkor {

int collect_between(std::string_view text, std::string_view left_marker,
                    std::string_view right_marker, TextList& out, const CollectOptions& options) {
    out.clear();
    // An empty left marker would be found at the same place forever.
    if (left_marker.empty()) {
        return 0;
    }
    const bool ignore_case = !options.respect_case;
    int p = options.start < 1 ? 1 : options.start;
    while (true) {
        const int at = find(text, left_marker, p, ignore_case);
        if (at < 0) {
            break;
        }
        const int q = at + static_cast<int>(left_marker.size());
        const int end = find(text, right_marker, q, ignore_case);
        if (end < 0) {
            break;
        }
        Text piece = options.prefix;
        piece += trim_blanks(text.substr(static_cast<size_t>(q) - 1, static_cast<size_t>(end - q)));
        piece += options.suffix;
        if (!piece.empty()) {
            if (options.add_left) {
                piece.insert(0, left_marker);
            }
            if (options.add_right) {
                piece.append(right_marker);
            }
            if (options.max_length == 0 || piece.size() < options.max_length) {
                out.push_back(std::move(piece));
            }
            // The marker that closed this piece may open the next one.
            p = end;
        } else {
            p = q;
        }
        if (options.pump) {
            options.pump();
        }
    }
    return static_cast<int>(out.size());
}

}  // namespace velkor
