#include "claim/collection.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "app/threads.h"
#include "platform/profile.h"
#include "tests/support/fake_ui.h"
#include "tests/support/sim_fixture.h"
#include "tests/support/temp_data_dir.h"
#include "web/endpoints.h"

namespace velkor {
namespace {

namespace fs = std::filesystem;

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// One entry of the list's answer, written as the service writes it: names as \u
// escapes, every "/" as "\/".
std::string entry(int fid, const char* escaped_name, const char* start, const char* end,
                  const char* escaped_link) {
    return "{\"sDetail\":\"act.htm?fid=" + std::to_string(fid) + "\",\"name\":\"" + escaped_name +
           "\",\"once\":\"1\",\"starttime\":\"" + start + "\",\"szHoldName\":\"h\",\"endtime\":\"" +
           end + "\",\"eventtime\":\"" + start + "\",\"url\":\"" + escaped_link + "\"}";
}

// 夏日狂欢, 签到有礼, a partner's, a 22-byte link, a 27-byte link, a second
// 签到有礼 and a last entry that no "},{" follows.
std::string small_list() {
    const char* summer = "\\u590f\\u65e5\\u72c2\\u6b22";
    const char* sign_in = "\\u7b7e\\u5230\\u6709\\u793c";
    std::string list = "{\"ret\":\"0\",\"data\":{\"list\":[";
    list += entry(1, summer, "2026-12-01 00:00:00", "2027-01-01 23:59:59",
                  "http:\\/\\/game.example\\/cp\\/a1\\/index.htm");
    list += "," + entry(2, sign_in, "2026-12-02 00:00:00", "2027-01-02 23:59:59",
                        "http:\\/\\/game.example\\/cp\\/a2\\/index.htm");
    list += "," + entry(3, "Partner", "2026-12-03 10:00:00", "2026-12-31 10:00:00",
                        "http:\\/\\/MEMBERSHIP.PARTNER.TEST\\/act\\/p0\\/index.html");
    list += "," + entry(4, "Short", "s", "e", "http:\\/\\/127.0.0.1\\/a.htm");
    list += "," + entry(5, "Middle", "2026-12-05 00:00:00", "2026-12-06 00:00:00",
                        "http:\\/\\/127.0.0.1\\/cp\\/x\\/y.htm");
    list += "," + entry(6, sign_in, "2026-12-07 00:00:00", "2027-01-07 23:59:59",
                        "http:\\/\\/game.example\\/cp\\/twin\\/index.htm");
    list += "," + entry(7, "Last", "s", "e", "http:\\/\\/game.example\\/cp\\/last\\/index.htm");
    return list + "]}}";
}

std::vector<ActivityRow> small_list_rows() {
    return {
        {gbk("夏日狂欢"), "2026-12-01 00:00:00", "2027-01-01 23:59:59",
         "http://game.example/cp/a1/index.htm"},
        {gbk("签到有礼"), "2026-12-02 00:00:00", "2027-01-02 23:59:59",
         "http://game.example/cp/a2/index.htm"},
        {"Partner", "2026-12-03 10:00:00", "2026-12-31 10:00:00",
         "http://MEMBERSHIP.PARTNER.TEST/act/p0/index.html"},
        {"Middle", "2026-12-05 00:00:00", "2026-12-06 00:00:00", ""},
        {gbk("签到有礼"), "2026-12-07 00:00:00", "2027-01-07 23:59:59",
         "http://game.example/cp/twin/index.htm"},
    };
}

// The partner's activity is left out; the two 签到有礼 share one section, in
// which the link written last stays.
std::string small_list_cache(int collections) {
    std::string names;
    for (int c = 0; c < collections; ++c) {
        names += gbk("夏日狂欢丨签到有礼丨Middle丨签到有礼丨");
    }
    return gbk("[活动名]\r\n活动=") + names + "\r\n" + gbk("[夏日狂欢]\r\n") +
           "url=http://game.example/cp/a1/index.htm\r\n" + gbk("[签到有礼]\r\n") +
           "url=http://game.example/cp/twin/index.htm\r\n[Middle]\r\nurl=\r\n";
}

TEST(ActivityListReader, RowsOfTheAnswer) {
    EXPECT_EQ(activity_rows_of(small_list()), small_list_rows());
    // Fewer than four entries is no list at all.
    EXPECT_EQ(activity_rows_of(""), std::nullopt);
    std::string three = "{\"list\":[";
    for (int i = 0; i < 3; ++i) {
        three += entry(i, "n", "s", "e", "http:\\/\\/game.example\\/cp\\/long\\/index.htm") + ",";
    }
    EXPECT_EQ(activity_rows_of(three + "]}"), std::nullopt);
}

TEST(ActivityListReader, LinkLengthsDecideRowAndAddress) {
    // "http://127.0.0.1/" is 17 bytes; the a's make the link the length named.
    const std::string answer =
        "fid=0\",\"name\":\"n24\",\"once\":\"1\",\"url\":\"http://127.0.0.1/aaaaaaa\"},{\""
        "fid=1\",\"name\":\"n25\",\"once\":\"1\",\"url\":\"http://127.0.0.1/aaaaaaaa\"},{\""
        "fid=2\",\"name\":\"n29\",\"once\":\"1\",\"url\":\"http://127.0.0.1/aaaaaaaaaaaa\"},{\""
        "fid=3\",\"name\":\"n30\",\"once\":\"1\",\"url\":\"http://127.0.0.1/aaaaaaaaaaaaa\"},{\""
        // Without the link marker the link is the piece less its first four bytes.
        "fid=4\",\"name\":\"nx\",\"once\":\"1\",\"href\":\"http://127.0.0.1/aaaaaaaaaaaaa\"},{\"";
    const auto rows = activity_rows_of(answer);
    ASSERT_TRUE(rows);
    std::vector<std::pair<Text, Text>> names_and_links;
    for (const auto& r : *rows) {
        names_and_links.emplace_back(r.name, r.link);
    }
    EXPECT_EQ(names_and_links,
              (std::vector<std::pair<Text, Text>>{
                  {"n25", ""},
                  {"n29", ""},
                  {"n30", "http://127.0.0.1/aaaaaaaaaaaaa"},
                  {"nx", "name\":\"nx\",\"once\":\"1\",\"href\":\"http://127.0.0.1/aaaaaaaaaaaaa"},
              }));
}

TEST(ActivityListRequest, FormPostWithoutCookies) {
    endpoints::set("activity_center_host", "list.example:81");
    const HttpArgs args = activity_list_request();
    EXPECT_EQ(args.url, "http://list.example:81/actcenter/queryActList");
    EXPECT_EQ(args.method, HttpMethod::post);
    EXPECT_EQ(args.body_text, "game=cf&index=0&count=50&type=2");
    EXPECT_FALSE(args.merge);
    EXPECT_EQ(args.cookies, nullptr);
    EXPECT_EQ(args.header_text, "");
    endpoints::reset_to_defaults();
}

class CollectionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        state_ = std::make_shared<AppState>();
        ui_ = std::make_shared<testing::FakeUi>();
        context_ = Context{state_, ui_};
        state_->set_logged_in(true);
    }
    void TearDown() override { ASSERT_TRUE(wait_idle(20000)); }

    void collect_and_wait() {
        collection_worker(context_);
        ASSERT_TRUE(wait_idle(20000));
    }

    void serve_list(std::string body) {
        fixture_.sim().handle("activity_center_host", "POST", "/actcenter/queryActList",
                              [body](const httplib::Request&, httplib::Response& res) {
                                  res.set_content(body, "application/json");
                              });
    }

    test::TempDataDir data_{"collect"};
    test::SimFixture fixture_;
    std::shared_ptr<AppState> state_;
    std::shared_ptr<testing::FakeUi> ui_;
    Context context_;
};

TEST_F(CollectionTest, FillsRowsCacheAndLists) {
    serve_list(small_list());
    collect_and_wait();

    EXPECT_EQ(ui_->activity_rows(), small_list_rows());
    EXPECT_EQ(ui_->outputs().back(), gbk("提示：采集完成\r\n"));
    EXPECT_EQ(read_file(activity_cache_path()), small_list_cache(1));
    const Activities a = state_->activities();
    EXPECT_EQ(a.names, (TextList{gbk("夏日狂欢"), gbk("签到有礼"), "Middle", gbk("签到有礼")}));
    EXPECT_EQ(a.urls, (TextList{"http://game.example/cp/a1/index.htm",
                                "http://game.example/cp/twin/index.htm", "",
                                "http://game.example/cp/twin/index.htm"}));

    // The request: a form POST with no cookies.
    const auto requests = fixture_.sim().requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].body, "game=cf&index=0&count=50&type=2");
}

TEST_F(CollectionTest, TheSimulatorsListAsMakeRunShowsIt) {
    collect_and_wait();
    const auto rows = ui_->activity_rows();
    ASSERT_EQ(rows.size(), 48u);
    const std::string site = "http://" + fixture_.sim().address("game_site_host");
    EXPECT_EQ(rows[0], (ActivityRow{gbk("夏日狂欢"), "2026-12-01 00:00:00", "2027-01-01 23:59:59",
                                    site + "/cp/a20260000/index.htm"}));
    EXPECT_EQ(rows[8],
              (ActivityRow{gbk("中等链接活动"), "2026-12-05 00:00:00", "2026-12-06 00:00:00", ""}));
    const Activities a = state_->activities();
    EXPECT_EQ(a.names.size(), 42u);  // the six partners' activities are not cached
    EXPECT_EQ(std::count(a.names.begin(), a.names.end(), gbk("签到有礼")), 2);
    EXPECT_EQ(std::find(a.names.begin(), a.names.end(), gbk("合作专区活动A")), a.names.end());
    EXPECT_EQ(std::find(a.names.begin(), a.names.end(), gbk("最后一条活动")), a.names.end());
}

TEST_F(CollectionTest, FewerThanFourPiecesIsAnError) {
    state_->set_activities({"old"}, {"http://old"});
    platform::write_profile(activity_cache_path(), "keep", "k", "v");
    const std::string before = read_file(activity_cache_path());
    ui_->add_activity_row({"stale", "", "", ""});

    std::string three;
    for (int i = 0; i < 3; ++i) {
        three +=
            "fid=" + std::to_string(i) +
            "\",\"name\":\"n\",\"once\",\"url\":\"http://127.0.0.1:1/cp/abcdefghijk/x.htm\"},{\"";
    }
    serve_list(three);
    collect_and_wait();

    EXPECT_TRUE(ui_->activity_rows().empty());
    EXPECT_EQ(ui_->outputs().back(), gbk("提示：出错"));
    EXPECT_EQ(read_file(activity_cache_path()), before);
    EXPECT_EQ(state_->activity_names(), TextList{"old"});
}

TEST_F(CollectionTest, UnreachableServiceIsAnError) {
    endpoints::set("activity_center_host", "127.0.0.1:1");
    collect_and_wait();
    EXPECT_EQ(ui_->outputs().back(), gbk("提示：出错"));
    EXPECT_FALSE(fs::exists(activity_cache_path()));
}

TEST_F(CollectionTest, TwoCollectionsInARowListEverythingTwice) {
    serve_list(small_list());
    collect_and_wait();
    collect_and_wait();
    const Activities twice = state_->activities();
    EXPECT_EQ(twice.names.size(), 8u);
    EXPECT_EQ(twice.urls.size(), 8u);
    EXPECT_EQ(read_file(activity_cache_path()), small_list_cache(2));
    EXPECT_EQ(ui_->activity_rows(), small_list_rows());
}

TEST_F(CollectionTest, TwoCollectionsAtOnceDoNotInterleave) {
    serve_list(small_list());
    start_thread("collection", [c = context_] { collection_worker(c); });
    start_thread("collection", [c = context_] { collection_worker(c); });
    ASSERT_TRUE(wait_idle(30000));
    EXPECT_EQ(read_file(activity_cache_path()), small_list_cache(2));
    EXPECT_EQ(ui_->activity_rows(), small_list_rows());
    const Activities a = state_->activities();
    EXPECT_EQ(a.names.size(), a.urls.size());
    const auto outputs = ui_->outputs();
    EXPECT_EQ(std::count(outputs.begin(), outputs.end(), gbk("提示：采集完成\r\n")), 2);
}

TEST_F(CollectionTest, PressHandler) {
    Commands commands;
    plug_collection(commands);
    state_->set_logged_in(false);
    commands.press(Command::collect, context_);
    EXPECT_EQ(ui_->outputs(), std::vector<Text>{gbk("提示：请先登录再进行操作\r\n")});
    EXPECT_EQ(ui_->window_width(), 404);

    state_->set_logged_in(true);
    commands.press(Command::collect, context_);
    EXPECT_EQ(ui_->window_width(), 805);
    ASSERT_TRUE(wait_idle(20000));
    const auto outputs = ui_->outputs();
    ASSERT_EQ(outputs.size(), 3u);
    EXPECT_EQ(outputs[1], gbk("提示：活动大数据正在拼命处理中，勿重复点击\r\n"));
    EXPECT_EQ(outputs[2], gbk("提示：采集完成\r\n"));
}

TEST_F(CollectionTest, CopyAndOpenTheSelectedAddress) {
    ui_->add_activity_row({"a", "", "", "http://example.test/one"});
    ui_->add_activity_row({"b", "", "", "http://example.test/two"});

    copy_activity_address(context_);
    open_activity_address(context_);
    EXPECT_EQ(ui_->clipboard(), "");
    EXPECT_TRUE(ui_->opened_urls().empty());

    ui_->select_activity_row(1);
    copy_activity_address(context_);
    open_activity_address(context_);
    EXPECT_EQ(ui_->clipboard(), "http://example.test/two");
    EXPECT_EQ(ui_->opened_urls(), std::vector<Text>{"http://example.test/two"});
}

TEST(PartnerLinks, FragmentsAreMatchedWithoutLetterCase) {
    endpoints::reset_to_defaults();
    struct Case {
        std::string link;
        bool partner;
    } cases[] = {
        {"http://" + endpoints::get("membership_domain") + "/a", true},
        {"http://WWW." + endpoints::get("space_domain") + "/a", true},
        {"http://" + endpoints::get("premium_club_host") + "/act/x", true},
        {"http://game.example/?from=" + endpoints::get("web_games_domain"), true},
        {"http://game.example/cp/a/index.htm", false},
        {"", false},
    };
    for (auto& c : cases) {
        std::string upper = c.link;
        for (char& ch : upper) {
            ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        }
        EXPECT_EQ(is_partner_link(c.link), c.partner) << c.link;
        EXPECT_EQ(is_partner_link(upper), c.partner) << upper;
    }
    endpoints::set("microblog_domain", "");  // an empty fragment marks nothing
    EXPECT_FALSE(is_partner_link("http://game.example/"));
    endpoints::reset_to_defaults();
}

}  // namespace
}  // namespace velkor
