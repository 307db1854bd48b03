#pragma once
// Cuts a text into every piece lying between two markers (plain search).
#include <functional>

#include "web/text.h"

namespace velkor {

struct CollectOptions {
    bool respect_case = false;
    size_t max_length = 0;  // 0: no limit; otherwise pieces this long or longer are skipped
    Text prefix;
    Text suffix;
    bool add_left = false;
    bool add_right = false;
    int start = 1;
    // Lets the window thread handle pending events between pieces.
    std::function<void()> pump;
};

// Fills `out` (emptied first) and returns the number of pieces.
int collect_between(std::string_view text, std::string_view left_marker,
                    std::string_view right_marker, TextList& out,
                    const CollectOptions& options = {});

}  // namespace velkor
