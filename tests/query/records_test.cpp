#include "query/records.h"

#include <gtest/gtest.h>

#include <array>

#include "web/endpoints.h"

namespace velkor {
namespace {

class RecordsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        saved_ = endpoints::get("support_host");
        endpoints::set("support_host", "support.example:8080");
    }
    void TearDown() override { endpoints::set("support_host", saved_); }

  private:
    Text saved_;
};

TEST_F(RecordsTest, QueryUrlEncodesEachPieceOfTheCommand) {
    const std::string head =
        "http://support.example:8080/cgi-bin/common?rand=0.123456789012345"
        "&command=command%3DC00006%26fromtype%3Dkfweb%26fromtoolid%3Dkfweb514"
        "%26type%3DgetCFSpend%26area";
    struct Case {
        const char* area_name;
        const char* area_code;
        const char* region_code;
        std::string tail;
    } cases[] = {
        {"广东电信一区", "318", "82",
         "%3D318%26server_id%3D82%26server_name%3D%E5%B9%BF%E4%B8%9C%E7%94%B5%E4%BF%A1%26"
         "area_id%3D318%26area_name%3D%E5%B9%BF%E4%B8%9C%E7%94%B5%E4%BF%A1%E4%B8%80%E5%8C%BA"
         "%0D%0A"},
        // The server name is the first four characters only, here not the whole region.
        {"黑龙江网通一区", "350", "99",
         "%3D350%26server_id%3D99%26server_name%3D%E9%BB%91%E9%BE%99%E6%B1%9F%E7%BD%91%26"
         "area_id%3D350%26area_name%3D%E9%BB%91%E9%BE%99%E6%B1%9F%E7%BD%91%E9%80%9A%E4%B8%80"
         "%E5%8C%BA%0D%0A"},
        // A four-character name is its own server name.
        {"移动专区", "360", "540",
         "%3D360%26server_id%3D540%26server_name%3D%E7%A7%BB%E5%8A%A8%E4%B8%93%E5%8C%BA%26"
         "area_id%3D360%26area_name%3D%E7%A7%BB%E5%8A%A8%E4%B8%93%E5%8C%BA%0D%0A"},
        // Letters and digits show which pieces keep unreserved characters.
        {"Ab-1.x9Zq", "A-1", "b.2",
         "%3DA-1%26server_id%3Db.2%26server_name%3D%41%62%2D%31%2E%78%39%5A%26"
         "area_id%3DA-1%26area_name%3D%41%62%2D%31%2E%78%39%5A%71%0D%0A"},
    };
    for (const Case& c : cases) {
        const HttpArgs args =
            record_query("0.123456789012345", c.area_code, gbk(c.area_name), c.region_code);
        EXPECT_EQ(args.url, head + c.tail) << c.area_name;
    }
}

TEST_F(RecordsTest, QueryIsASessionGetWithRefererAndAgent) {
    const HttpArgs args = record_query("0.5", "318", gbk("广东电信一区"), "82");
    EXPECT_EQ(args.method, HttpMethod::get);
    EXPECT_TRUE(args.merge);
    EXPECT_EQ(args.cookies, nullptr);  // attached when sent
    EXPECT_TRUE(args.body_text.empty());
    EXPECT_EQ(args.header_text,
              "Referer: http://support.example:8080/game/consume_records.html?code=cf\r\n"
              "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)");
}

// The service's answer: the records as UTF-8, percent-encoded.
std::string answer_of(const char* decoded) {
    return url_encode(gbk(decoded), true, true);
}

std::vector<RecordRow> rows_of(std::initializer_list<std::array<const char*, 3>> rows) {
    std::vector<RecordRow> out;
    for (const auto& r : rows) {
        out.push_back({gbk(r[0]), gbk(r[1]), gbk(r[2])});
    }
    return out;
}

TEST(RecordRows, TableOfAnswers) {
    struct Case {
        const char* decoded;
        std::vector<RecordRow> expected;
    } cases[] = {
        // A record of two fields is skipped; the next one takes the next row.
        {"0|1#屠龙刀#0#2016-07-01 12:00:00|2#短|3#金币#100#2016-07-02 08:30:00|end",
         rows_of({{"屠龙刀", "0", "2016-07-01 12:00:00"}, {"金币", "100", "2016-07-02 08:30:00"}})},
        {"|1#a#b#c#d#e|", rows_of({{"a", "b", "c"}})},      // fields past the fourth unused
        {"|  1#a#b#c  |   |", rows_of({{"a", "b", "c"}})},  // trimmed; a blank stretch is none
        {"|1##b#c|", rows_of({{"", "b", "c"}})},            // an empty field is kept
        {"|1#a#b#|", {}},                                   // trailing empty field dropped
        {"1#a#b#c", {}},                                    // no bars, no record
        {"1#a#b#c|", {}},                                   // text before the first bar
        {"", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(record_rows(answer_of(c.decoded)), c.expected) << c.decoded;
    }
}

TEST(RecordRows, PlainBytesPassTheDecodeUnchanged) {
    EXPECT_EQ(record_rows("|1#a#b#c|"), rows_of({{"a", "b", "c"}}));
}

}  // namespace
}  // namespace velkor
