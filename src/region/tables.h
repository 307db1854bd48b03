#pragma once
// The game's areas and regions, as the publisher's services name them. Each
// table is one GBK text with "\r\n" between its entries (no trailing break);
// callers split it where they use it.
#include "web/text.h"

namespace velkor::region {

// The 40 items of the area list, in the order the list shows them.
const Text& area_names_text();
// The area code of each item of the area list, same order.
const Text& area_codes_text();
// One entry per region: the region name immediately followed by its code.
const Text& region_text();

// The number of items of the area list.
inline constexpr int area_count = 40;

}  // namespace velkor::region
