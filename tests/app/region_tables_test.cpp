#include "region/tables.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace velkor {
namespace {

TEST(RegionTables, SplitIntoFortyFortyAndTwentySixWithoutTrailingBreak) {
    const auto names = split(region::area_names_text(), "\r\n");
    const auto codes = split(region::area_codes_text(), "\r\n");
    const auto regions = split(region::region_text(), "\r\n");
    EXPECT_EQ(names.size(), 40u);
    EXPECT_EQ(codes.size(), 40u);
    EXPECT_EQ(regions.size(), 26u);
    EXPECT_EQ(region::area_count, 40);
    for (const Text* t :
         {&region::area_names_text(), &region::area_codes_text(), &region::region_text()}) {
        EXPECT_FALSE(ends_with(*t, "\r\n"));
        EXPECT_FALSE(ends_with(*t, "\n"));
        EXPECT_EQ(t->find("\r\n\r\n"), std::string::npos);
    }
}

TEST(RegionTables, SpotChecksInStoredOrder) {
    const auto names = split(region::area_names_text(), "\r\n");
    const auto codes = split(region::area_codes_text(), "\r\n");
    const auto regions = split(region::region_text(), "\r\n");
    struct Area {
        int position;  // 1-based, as the lookups count
        const char* name;
        const char* code;
    };
    const Area areas[] = {
        {1, "广东电信一区", "318"},  {2, "广东电信二区", "327"},  {5, "北京网通一区", "319"},
        {12, "江苏电信一区", "344"}, {17, "湖南电信二区", "340"}, {25, "南方电信大区", "342"},
        {28, "河南网通一区", "345"}, {39, "移动专区", "360"},     {40, "黑龙江网通一区", "350"},
    };
    for (const auto& a : areas) {
        EXPECT_EQ(to_utf8(names[a.position - 1]), a.name) << a.position;
        EXPECT_EQ(codes[a.position - 1], a.code) << a.position;
    }
    EXPECT_EQ(to_utf8(regions[0]), "上海电信81");
    EXPECT_EQ(to_utf8(regions[2]), "广西电信102");
    EXPECT_EQ(to_utf8(regions[17]), "黑龙江网通99");
    EXPECT_EQ(to_utf8(regions[24]), "移动专区540");
    EXPECT_EQ(to_utf8(regions[25]), "教育网专区660");
}

TEST(RegionTables, TextsAreGbkWithTwoBytesPerCharacter) {
    const auto names = split(region::area_names_text(), "\r\n");
    EXPECT_EQ(names[0].size(), 12u);  // six characters
    EXPECT_EQ(names[0], gbk("广东电信一区"));
    // The first 8 bytes of a display name are its region name.
    EXPECT_EQ(to_utf8(names[0].substr(0, 8)), "广东电信");
    // Codes are distinct: each item names its own area.
    auto codes = split(region::area_codes_text(), "\r\n");
    std::sort(codes.begin(), codes.end());
    EXPECT_EQ(std::adjacent_find(codes.begin(), codes.end()), codes.end());
}

}  // namespace
}  // namespace velkor
