#include "claim/collection.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "app/threads.h"
#include "platform/profile.h"
#include "sim/activities.h"
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

class CollectionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        state_ = std::make_shared<AppState>();
        ui_ = std::make_shared<testing::FakeUi>();
        context_ = Context{state_, ui_};
        state_->set_logged_in(true);
    }
    void TearDown() override { ASSERT_TRUE(wait_idle(20000)); }

    // The rows one collection of the simulator's list must give.
    std::vector<std::array<Text, 4>> expected_rows() {
        std::vector<std::array<Text, 4>> rows;
        auto listed = sim::listed_activities(fixture_.sim());
        listed.pop_back();  // the entry no "},{" follows
        for (const auto& a : listed) {
            if (a.link.size() <= 24) {
                continue;
            }
            rows.push_back({gbk(a.name), a.start, a.end, a.link.size() > 29 ? a.link : ""});
        }
        return rows;
    }

    // The cache file one collection of those rows must leave.
    std::string expected_cache(int collections) {
        Text names;
        std::vector<std::pair<Text, Text>> sections;
        for (int c = 0; c < collections; ++c) {
            for (const auto& row : expected_rows()) {
                if (is_partner_link(row[3])) {
                    continue;
                }
                names += row[0] + gbk("丨");
                bool seen = false;
                for (auto& s : sections) {
                    if (s.first == row[0]) {
                        s.second = row[3];  // one section per name: the last link wins
                        seen = true;
                    }
                }
                if (!seen) {
                    sections.emplace_back(row[0], row[3]);
                }
            }
        }
        std::string file = "[" + gbk("活动名") + "]\r\n" + gbk("活动") + "=" + names + "\r\n";
        for (const auto& [name, link] : sections) {
            file += "[" + name + "]\r\nurl=" + link + "\r\n";
        }
        return file;
    }

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
    collect_and_wait();

    EXPECT_EQ(ui_->activity_rows(), expected_rows());
    EXPECT_EQ(ui_->outputs().back(), gbk("提示：采集完成\r\n"));
    EXPECT_EQ(read_file(activity_cache_path()), expected_cache(1));

    // The request: a form POST with no cookies.
    const auto requests = fixture_.sim().requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].body, "game=cf&index=0&count=50&type=2");

    const Activities a = state_->activities();
    TextList names;
    TextList urls;
    std::map<Text, Text> last_link;  // names share one section: the link written last
    for (const auto& row : expected_rows()) {
        if (!is_partner_link(row[3])) {
            names.push_back(row[0]);
            last_link[row[0]] = row[3];
        }
    }
    for (const Text& name : names) {
        urls.push_back(last_link[name]);
    }
    EXPECT_EQ(a.names, names);
    EXPECT_EQ(a.urls, urls);
    EXPECT_EQ(std::count(a.names.begin(), a.names.end(), gbk("签到有礼")), 2);
    // The 27-byte link is listed with an empty address and cached with it.
    EXPECT_NE(std::find(a.names.begin(), a.names.end(), gbk("中等链接活动")), a.names.end());
    EXPECT_EQ(std::find(a.names.begin(), a.names.end(), gbk("短链接活动")), a.names.end());
    EXPECT_EQ(std::find(a.names.begin(), a.names.end(), gbk("最后一条活动")), a.names.end());
}

TEST_F(CollectionTest, LinkLengthsDecideRowAndAddress) {
    // "http://127.0.0.1/" is 17 bytes; the padding makes the link the length asked.
    auto link_of = [](size_t length) {
        return "http://127.0.0.1/" + std::string(length - 17, 'a');
    };
    auto piece_of = [](size_t i, const std::string& tail) {
        return "1234\",\"name\":\"n" + std::to_string(i) +
               "\",\"once\":\"1\",\"starttime\":\"s\",\"szHoldName\":\"h\",\"endtime\":\"e" + tail;
    };
    struct Case {
        std::string tail;  // what ends the piece
        bool row;
        std::string address;  // "*": the piece less its first four bytes
    };
    const std::vector<Case> cases = {
        {"\",\"url\":\"" + link_of(24), false, ""},
        {"\",\"url\":\"" + link_of(25), true, ""},
        {"\",\"url\":\"" + link_of(29), true, ""},
        {"\",\"url\":\"" + link_of(30), true, link_of(30)},
        {"\",\"href\":\"" + link_of(30), true, "*"},  // no link marker
    };
    std::string answer;
    for (size_t i = 0; i < cases.size(); ++i) {
        answer += "fid=" + piece_of(i, cases[i].tail) + "\"},{\"";
    }
    serve_list(answer);
    collect_and_wait();

    std::map<Text, Text> rows;
    for (const auto& r : ui_->activity_rows()) {
        rows[r[0]] = r[3];
    }
    for (size_t i = 0; i < cases.size(); ++i) {
        const Text name = "n" + std::to_string(i);
        EXPECT_EQ(rows.count(name) == 1, cases[i].row) << name;
        if (cases[i].row) {
            const std::string expected =
                cases[i].address == "*" ? piece_of(i, cases[i].tail).substr(4) : cases[i].address;
            EXPECT_EQ(rows[name], expected) << name;
        }
    }
}

TEST_F(CollectionTest, FewerThanFourPiecesIsAnError) {
    state_->set_activities({"old"}, {"http://old"});
    platform::write_profile(activity_cache_path(), "keep", "k", "v");
    const std::string before = read_file(activity_cache_path());
    ui_->add_activity_row("stale", "", "", "");

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
    collect_and_wait();
    const Activities once = state_->activities();
    collect_and_wait();
    const Activities twice = state_->activities();
    EXPECT_EQ(twice.names.size(), 2 * once.names.size());
    EXPECT_EQ(twice.urls.size(), twice.names.size());
    EXPECT_EQ(read_file(activity_cache_path()), expected_cache(2));
    EXPECT_EQ(ui_->activity_rows(), expected_rows());
}

TEST_F(CollectionTest, TwoCollectionsAtOnceDoNotInterleave) {
    start_thread([c = context_] { collection_worker(c); });
    start_thread([c = context_] { collection_worker(c); });
    ASSERT_TRUE(wait_idle(30000));
    EXPECT_EQ(read_file(activity_cache_path()), expected_cache(2));
    EXPECT_EQ(ui_->activity_rows(), expected_rows());
    const Activities a = state_->activities();
    EXPECT_EQ(a.names.size(), a.urls.size());
    const auto outputs = ui_->outputs();
    EXPECT_EQ(std::count(outputs.begin(), outputs.end(), gbk("提示：采集完成\r\n")), 2);
}

TEST_F(CollectionTest, PressHandler) {
    state_->set_logged_in(false);
    collect_press(context_);
    EXPECT_EQ(ui_->outputs(), std::vector<Text>{gbk("提示：请先登录再进行操作\r\n")});
    EXPECT_EQ(ui_->window_width(), 404);

    state_->set_logged_in(true);
    collect_press(context_);
    EXPECT_EQ(ui_->window_width(), 805);
    ASSERT_TRUE(wait_idle(20000));
    const auto outputs = ui_->outputs();
    ASSERT_EQ(outputs.size(), 3u);
    EXPECT_EQ(outputs[1], gbk("提示：活动大数据正在拼命处理中，勿重复点击\r\n"));
    EXPECT_EQ(outputs[2], gbk("提示：采集完成\r\n"));
}

TEST_F(CollectionTest, CopyAndOpenTheSelectedAddress) {
    ui_->add_activity_row("a", "", "", "http://example.test/one");
    ui_->add_activity_row("b", "", "", "http://example.test/two");

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
