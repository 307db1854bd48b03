// Both queries as the user presses them, against the in-process simulator and
// through the recording window.
#include "query/queries.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <thread>

#include "app/threads.h"
#include "region/tables.h"
#include "script/csrf_token.h"
#include "tests/support/fake_ui.h"
#include "tests/support/raw_server.h"
#include "tests/support/sim_fixture.h"
#include "web/endpoints.h"

namespace velkor {

// Rows read as text when a comparison fails.
void PrintTo(const RecordRow& row, std::ostream* out) {
    *out << '{' << to_utf8(row.name) << ", " << to_utf8(row.price) << ", " << to_utf8(row.time)
         << '}';
}

namespace {

const Text kCookies = "uin=o012345678; skey=@Vk7Q2xLp9";

void log_in(AppState& state) {
    state.set_cookie_text(kCookies);
    state.set_uin("12345678");
    state.set_csrf_token(csrf_token("@Vk7Q2xLp9"));
    state.set_area_codes(split(region::area_codes_text(), "\r\n"));
    state.set_region_table(split(region::region_text(), "\r\n"));
    state.set_logged_in(true);
}

// The values of one header of a logged request (cpp-httplib keeps repeats).
std::vector<std::string> header_values(const sim::LoggedRequest& request, std::string_view name) {
    std::vector<std::string> values;
    for (const auto& [n, v] : request.headers) {
        if (n == name) {
            values.push_back(v);
        }
    }
    return values;
}

std::string readable(const std::vector<Text>& texts) {
    std::string out;
    for (const Text& t : texts) {
        out += "[" + to_utf8(t) + "]";
    }
    return out;
}

std::vector<RecordRow> rows_of(std::initializer_list<std::array<const char*, 3>> rows) {
    std::vector<RecordRow> out;
    for (const auto& r : rows) {
        out.push_back({gbk(r[0]), gbk(r[1]), gbk(r[2])});
    }
    return out;
}

// The simulator's records of 广东电信一区: the short record 2#短 gives no row.
const std::vector<RecordRow>& guangdong_rows() {
    static const auto rows =
        rows_of({{"屠龙刀", "0", "2016-07-01 12:00:00"}, {"金币", "100", "2016-07-02 08:30:00"}});
    return rows;
}

// Of 江苏电信一区 (item 11): the simulator names the area in the first record.
const std::vector<RecordRow>& jiangsu_rows() {
    static const auto rows = rows_of({{"江苏电信一区纪念礼包", "10", "2016-07-03 09:00:00"},
                                      {"AK47-火麒麟", "888", "2016-07-04 20:15:30"},
                                      {"双倍经验卡", "5", "2016-07-05 10:00:00"}});
    return rows;
}
constexpr int kJiangsu = 11;

// The statistics of the simulator's player page, as appended.
std::vector<Text> simulator_stats_lines() {
    return {
        gbk("\r\n总战绩：\r\n"),
        gbk("战绩：100\r\n"),
        gbk("胜率：50%\r\n"),
        gbk("杀敌/被杀：300/200\r\n"),
        gbk("杀敌/被杀比率：1.5\r\n"),
        gbk("爆头数：80\r\n"),
        gbk("爆头率：26%\r\n"),
        gbk("杀死队友：2\r\n"),
        gbk("中途退出：1\r\n\r\n"),
        gbk("今日战绩："),
        gbk("\r\n战绩1200\r\n胜平负1/0/0\r\n杀敌/被杀12/3\r\n爆头数5\r\n爆头率41%\r\n"
            "获得游戏币300\r\n"),
    };
}

// What an empty page gives: the day's heading and a block with the label alone.
const std::vector<Text> kEmptyPageLines = {gbk("今日战绩："), gbk("\r\n战绩\r\n")};

class QueriesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        log_in(*state_);
        plug_queries(commands_);
    }
    void TearDown() override { ASSERT_TRUE(wait_idle(20000)); }

    void press(Command command) { commands_.press(command, context_); }
    void press_and_wait(Command command) {
        press(command);
        ASSERT_TRUE(wait_idle(20000));
    }

    std::vector<sim::LoggedRequest> requests_to(std::string_view host) {
        std::vector<sim::LoggedRequest> found;
        for (auto& r : fixture_.sim().requests()) {
            if (r.host == host) {
                found.push_back(r);
            }
        }
        return found;
    }

    test::SimFixture fixture_;
    std::shared_ptr<AppState> state_ = std::make_shared<AppState>();
    std::shared_ptr<testing::FakeUi> ui_ = std::make_shared<testing::FakeUi>();
    Context context_{state_, ui_};
    Commands commands_;
};

TEST_F(QueriesTest, RecordQueryAsksForTheSelectedAreaAndFillsRowsInOrder) {
    struct Case {
        int area_index;
        std::string command;  // the command value as the URL carries it
        std::vector<RecordRow> rows;
    } cases[] = {
        {0,
         "command%3DC00006%26fromtype%3Dkfweb%26fromtoolid%3Dkfweb514%26type%3DgetCFSpend"
         "%26area%3D318%26server_id%3D82%26server_name%3D%E5%B9%BF%E4%B8%9C%E7%94%B5%E4%BF%A1"
         "%26area_id%3D318%26area_name%3D%E5%B9%BF%E4%B8%9C%E7%94%B5%E4%BF%A1%E4%B8%80%E5%8C%BA"
         "%0D%0A",
         guangdong_rows()},
        {kJiangsu,
         "command%3DC00006%26fromtype%3Dkfweb%26fromtoolid%3Dkfweb514%26type%3DgetCFSpend"
         "%26area%3D344%26server_id%3D94%26server_name%3D%E6%B1%9F%E8%8B%8F%E7%94%B5%E4%BF%A1"
         "%26area_id%3D344%26area_name%3D%E6%B1%9F%E8%8B%8F%E7%94%B5%E4%BF%A1%E4%B8%80%E5%8C%BA"
         "%0D%0A",
         jiangsu_rows()},
    };
    for (const Case& c : cases) {
        fixture_.sim().clear_log();
        ui_->select_area(c.area_index);
        press_and_wait(Command::record_query);

        EXPECT_EQ(ui_->record_rows(), c.rows) << c.area_index;
        EXPECT_EQ(ui_->window_width(), 805);
        EXPECT_TRUE(ui_->outputs().empty());  // the rows are the whole report

        const auto sent = fixture_.sim().requests();
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].host, "support_host");
        EXPECT_EQ(sent[0].method, "GET");
        const std::string head = "/cgi-bin/common?rand=";
        ASSERT_EQ(sent[0].target.substr(0, head.size()), head);
        const std::string rand = sent[0].target.substr(head.size(), 17);
        EXPECT_EQ(rand.substr(0, 2), "0.");
        EXPECT_EQ(rand.find_first_not_of("0123456789", 2), std::string::npos) << rand;
        EXPECT_EQ(sent[0].target, head + rand + "&command=" + c.command);
        EXPECT_EQ(header_values(sent[0], "Cookie"), std::vector<std::string>{kCookies});
        EXPECT_EQ(header_values(sent[0], "Referer").size(), 1u);
    }
    EXPECT_EQ(state_->cookie_text(), kCookies);
}

// The header lines byte for byte, read off a plain socket: the query's own
// Referer and agent as given, the engine's other defaults, the session's cookies.
TEST_F(QueriesTest, RecordQueryHeaderLinesOnTheWire) {
    test::RawServer server(test::http_answer(
        "HTTP/1.1 200 OK", {"Content-Type: text/plain"},
        url_encode(gbk("0|1#屠龙刀#0#2016-07-01 12:00:00|2#短|3#金币#100#2016-07-02 08:30:00|end"),
                   true, true)));
    const std::string host = "127.0.0.1:" + std::to_string(server.port());
    endpoints::set("support_host", host);
    press_and_wait(Command::record_query);

    const auto raw = server.requests();
    ASSERT_EQ(raw.size(), 1u);
    auto lines = test::request_lines(raw[0]);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0].substr(0, 26), "GET /cgi-bin/common?rand=0");
    EXPECT_TRUE(ends_with(lines[0], "%0D%0A HTTP/1.1")) << lines[0];
    lines.erase(lines.begin());
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "Host: " + host,
                         "Referer: http://" + host + "/game/consume_records.html?code=cf",
                         "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)",
                         "Accept: */*",
                         "Accept-Language: zh-cn",
                         "Content-Type: application/x-www-form-urlencoded",
                         "Cookie: " + kCookies,
                     }));
    EXPECT_EQ(ui_->record_rows(), guangdong_rows());
}

TEST_F(QueriesTest, RecordQueryBeforeLoginEmptiesTheListAndAsksNothing) {
    state_->set_logged_in(false);
    ui_->add_record_row({"old", "1", "t"});
    press_and_wait(Command::record_query);

    EXPECT_TRUE(ui_->record_rows().empty());
    EXPECT_EQ(ui_->record_clears(), 1);
    EXPECT_EQ(ui_->outputs(), std::vector<Text>{login_reminder()});
    EXPECT_EQ(ui_->window_width(), 404);
    EXPECT_TRUE(fixture_.sim().requests().empty());
}

TEST_F(QueriesTest, FailedRecordQueryLeavesTheListEmptyAndWritesNothing) {
    struct Case {
        const char* name;
        std::function<void(test::SimFixture&)> break_it;
    } cases[] = {
        {"unreachable", [](test::SimFixture&) { endpoints::set("support_host", "127.0.0.1:1"); }},
        {"no HTTP answer",
         [](test::SimFixture& f) {
             f.sim().set_fault("support_host", "/cgi-bin/common", {sim::FaultMode::garbage});
         }},
        // The service's refusal has no stretch between two bars.
        {"signed out", [this](test::SimFixture&) { state_->set_cookie_text(""); }},
    };
    for (const Case& c : cases) {
        ui_->add_record_row({"old", "1", "t"});
        c.break_it(fixture_);
        press_and_wait(Command::record_query);
        EXPECT_TRUE(ui_->record_rows().empty()) << c.name;
        EXPECT_TRUE(ui_->outputs().empty()) << c.name;
        fixture_.sim().clear_faults();
        fixture_.sim().point_endpoints_here();
        state_->set_cookie_text(kCookies);
    }
}

// The answer to an earlier press arrives after the later press's rows: it adds
// nothing.
TEST_F(QueriesTest, SlowEarlierRecordQueryAddsNoRowsAfterALaterPress) {
    fixture_.sim().set_fault("support_host", "/cgi-bin/common", {sim::FaultMode::slow, 1500});
    press(Command::record_query);  // 广东电信一区, slow
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (requests_to("support_host").empty() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_EQ(requests_to("support_host").size(), 1u);
    fixture_.sim().clear_faults();

    ui_->select_area(kJiangsu);
    press_and_wait(Command::record_query);
    EXPECT_EQ(ui_->record_rows(), jiangsu_rows());
    EXPECT_EQ(requests_to("support_host").size(), 2u);
}

// A window whose first record row holds its worker until the test lets it go
// on, so that a press can come between two rows of one answer.
class HeldRowUi final : public ModelUi {
  public:
    HeldRowUi() : ModelUi(WindowModel(split(region::area_names_text(), "\r\n"))) {}
    void pump_events() override {}

    void add_record_row(const RecordRow& row) override {
        ModelUi::add_record_row(row);
        std::unique_lock lock(mutex_);
        if (!held_) {
            held_ = true;
            changed_.notify_all();
            changed_.wait(lock, [this] { return released_; });
        }
    }
    bool wait_until_held() {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(10), [this] { return held_; });
    }
    void release() {
        std::lock_guard lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }

  protected:
    void changed(UiChange) override {}

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool held_ = false;
    bool released_ = false;
};

TEST_F(QueriesTest, RowsOfAnEarlierAnswerDoNotOutliveALaterPress) {
    auto held = std::make_shared<HeldRowUi>();
    Context context{state_, held};
    commands_.press(Command::record_query, context);  // 广东电信一区: two rows
    ASSERT_TRUE(held->wait_until_held());
    ASSERT_EQ(held->record_row_count(), 1);

    held->select_area(kJiangsu);
    std::thread later([&] { commands_.press(Command::record_query, context); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (held->record_row_count() != 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();  // until the later press has emptied the list
    }
    held->release();
    later.join();
    ASSERT_TRUE(wait_idle(20000));

    std::vector<RecordRow> rows;
    for (int r = 0; r < held->record_row_count(); ++r) {
        rows.push_back({held->record_cell(r, 1), held->record_cell(r, 2), held->record_cell(r, 3)});
    }
    EXPECT_EQ(rows, jiangsu_rows());
}

TEST_F(QueriesTest, StatisticsQueryWritesTheFiguresOfThePlayerPage) {
    press_and_wait(Command::stats_query);
    EXPECT_EQ(ui_->outputs(), simulator_stats_lines()) << readable(ui_->outputs());

    const auto sent = fixture_.sim().requests();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].host, "game_apps_host");
    EXPECT_EQ(sent[0].method, "GET");
    EXPECT_EQ(sent[0].target, "/cgi-bin/cf/userinfo/userinfo.cgi?ssn=341");
    EXPECT_EQ(header_values(sent[0], "Cookie"), std::vector<std::string>{kCookies});
    // No header text of its own: the engine's Referer is the URL itself.
    EXPECT_EQ(header_values(sent[0], "Referer"),
              std::vector<std::string>{fixture_.url("game_apps_host", sent[0].target)});
    EXPECT_EQ(ui_->window_width(), 404);
}

TEST_F(QueriesTest, StatisticsQueryBeforeLoginWritesTheReminderOnly) {
    state_->set_logged_in(false);
    press_and_wait(Command::stats_query);
    EXPECT_EQ(ui_->outputs(), std::vector<Text>{login_reminder()});
    EXPECT_TRUE(fixture_.sim().requests().empty());
}

TEST_F(QueriesTest, FailedStatisticsQueryWritesTheEmptyPagesDayBlock) {
    const std::string path = "/cgi-bin/cf/userinfo/userinfo.cgi";
    struct Case {
        const char* name;
        std::function<void(test::SimFixture&)> break_it;
    } cases[] = {
        {"unreachable", [](test::SimFixture&) { endpoints::set("game_apps_host", "127.0.0.1:1"); }},
        {"no HTTP answer",
         [&](test::SimFixture& f) {
             f.sim().set_fault("game_apps_host", path, {sim::FaultMode::garbage});
         }},
    };
    for (const Case& c : cases) {
        auto ui = std::make_shared<testing::FakeUi>();
        Context context{state_, ui};
        c.break_it(fixture_);
        commands_.press(Command::stats_query, context);
        ASSERT_TRUE(wait_idle(20000));
        EXPECT_EQ(ui->outputs(), kEmptyPageLines) << c.name << readable(ui->outputs());
        fixture_.sim().clear_faults();
        fixture_.sim().point_endpoints_here();
    }
}

TEST_F(QueriesTest, TwoStatisticsQueriesAtOnceDoNotInterleaveTheirLines) {
    fixture_.sim().set_fault("game_apps_host", "/cgi-bin/cf/userinfo/userinfo.cgi",
                             {sim::FaultMode::slow, 200});
    press(Command::stats_query);
    press(Command::stats_query);
    ASSERT_TRUE(wait_idle(20000));
    std::vector<Text> twice = simulator_stats_lines();
    const std::vector<Text> once = twice;
    twice.insert(twice.end(), once.begin(), once.end());
    EXPECT_EQ(ui_->outputs(), twice) << readable(ui_->outputs());
}

}  // namespace
}  // namespace velkor
