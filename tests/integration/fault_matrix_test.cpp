// Every operation against every way its endpoint can fail: refused, cut, hung,
// huge, cut inside the header block, oversized headers, garbage, trickling,
// an error status. Each cell presses the operation as the window would and
// checks what must hold whatever the network does: the press returns at once,
// every worker ends, the lines are those the operation writes for the answer
// that reached it (a failed exchange reaching it as no answer), a failed
// exchange says why on standard error, no cookie is lost or taken from a
// broken block, and the data files keep what they held. The matrix of outcomes
// is printed at the end.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/commands.h"
#include "app/threads.h"
#include "claim/collection.h"
#include "claim/one_click.h"
#include "claim/timed_grab.h"
#include "login/login.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/http_client.h"
#include "platform/profile.h"
#include "query/queries.h"
#include "region/binding.h"
#include "region/role_scan.h"
#include "region/tables.h"
#include "sim/activities.h"
#include "sim/ams.h"
#include "sim/membership.h"
#include "sim/simulator.h"
#include "tests/support/fake_ui.h"
#include "tests/support/raw_server.h"
#include "tests/support/sim_fixture.h"
#include "tests/support/temp_data_dir.h"
#include "web/endpoints.h"

namespace velkor {
namespace {

namespace fs = std::filesystem;
using sim::Fault;
using sim::FaultMode;
using test::closed_port;
using Lines = std::vector<std::string>;  // UTF-8

constexpr const char* kCookies = "uin=o012345678; skey=@Vk7Q2xLp9; keep=1";
constexpr const char* kAccount = "12345678";
constexpr const char* kRolePath = "/comm-cgi-bin/content_admin/activity_center/query_role.cgi";
constexpr const char* kAmsPath = "/ams/ame/ame.php";
// What another account remembered and an earlier collection cached: every cell
// must leave both in place.
constexpr const char* kOtherAccount = "99999";
constexpr const char* kOtherArea = "移动专区";
constexpr const char* kCachedName = "预存活动";
constexpr const char* kCachedUrl = "http://game.example/cp/kept/index.htm";
// The collected activity the claim and binding rows work on: 签到有礼, one flow.
constexpr size_t kActivity = 1;
// Bytes a second of the trickle: short answers arrive whole within the total
// limit below, long ones are cut by it.
constexpr long long kTrickleRate = 512;
// Generous: a cell's workers need a few seconds at most.
constexpr int kIdleBoundMs = 60000;

// Short limits, so that a hung endpoint costs about a second.
const platform::HttpTimeouts kShortTimeouts{std::chrono::milliseconds(1000), 1,
                                            std::chrono::seconds(1), std::chrono::seconds(3)};

std::string utf8(const Text& gbk_text) {
    return platform::gbk_to_utf8(gbk_text);
}

std::set<std::string> cookie_items(const Text& cookie_text) {
    std::set<std::string> items;
    for (const Text& item : split(cookie_text, ";")) {
        const Text trimmed = trim_blanks(item);
        if (!trimmed.empty()) {
            items.insert(trimmed);
        }
    }
    return items;
}

std::string name_of(const std::string& item) {
    return item.substr(0, item.find('='));
}

std::string read_bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// --- the columns ---------------------------------------------------------------

struct Column {
    std::string name;
    bool refused = false;  // the host points at a closed port
    Fault fault{};
    bool fails = false;       // the exchange fails or is cut
    bool own_body = true;     // the endpoint's own body reaches the reader
    bool whole_block = true;  // a complete header block arrives: its cookies count
};

const std::vector<Column>& columns() {
    static const std::vector<Column> c = {
        {"none", false, {}, false, true, true},
        {"refused", true, {}, true, false, false},
        {"reset mid-body", false, {FaultMode::reset, 0}, true, false, true},
        {"hung", false, {FaultMode::hang, 0}, true, false, false},
        // 50 MB of filler, which no reader finds anything in.
        {"50 MB body", false, {FaultMode::huge, 50LL << 20}, false, false, true},
        {"cut mid-header", false, {FaultMode::cut_headers, 0}, true, false, false},
        {"oversized headers", false, {FaultMode::oversized_headers, 0}, false, true, true},
        {"garbage", false, {FaultMode::garbage, 0}, true, false, false},
        {"slow trickle", false, {FaultMode::trickle, kTrickleRate}, false, true, true},
        {"500 with body", false, {FaultMode::server_error, 500}, false, true, true},
    };
    return c;
}

// --- one cell ------------------------------------------------------------------

struct Cell {
    test::SimFixture* fixture = nullptr;
    std::shared_ptr<AppState> state;
    std::shared_ptr<testing::FakeUi> ui;
    Context context;
    Commands commands;
    std::shared_ptr<LoginSession> login;
    std::atomic<int> login_closes{0};
    std::string baseline_avatar;  // the picture the endpoint serves
};

struct Row {
    std::string name;
    std::string host;
    std::string method;
    std::function<std::string(const sim::Simulator&)> path;  // the faulted endpoint
    std::function<void(Cell&)> prepare;
    std::function<void(Cell&)> press;
    std::function<Lines(Cell&)> observe;          // every output of the cell
    std::function<bool(const std::string&)> own;  // an output of the faulted endpoint
    std::function<Lines(Cell&)> answered;         // the own outputs for the answer
    std::function<Lines(Cell&)> no_answer;        // ... for no answer
    // Cells that give something else: the column's name and what it gives.
    std::map<std::string, std::function<Lines(Cell&)>> custom;
    // Columns whose exchange is cut for this row although the column's is not.
    std::set<std::string> cut_here;
    // Cells whose outcome is known to differ from what the answer alone gives:
    // only the invariants are checked, and the reason is printed.
    std::map<std::string, std::string> known;
};

Lines output_lines(const Cell& cell) {
    Lines lines;
    for (const Text& t : cell.ui->outputs()) {
        lines.push_back(utf8(t));
    }
    return lines;
}

bool any_line(const std::string&) {
    return true;
}

std::function<Lines(Cell&)> lines_of(Lines lines) {
    return [lines](Cell&) { return lines; };
}

std::string activity_link(const sim::Simulator& s) {
    return sim::listed_activities(s)[kActivity].link;
}

std::string path_of_link(const std::string& link) {
    const size_t host_start = link.find("//") + 2;
    return link.substr(link.find('/', host_start));
}

sim::SimActivity claimed_activity(const sim::Simulator& s) {
    return sim::listed_activities(s)[kActivity];
}

// The signed-in program state with one collected activity, bound when asked.
void sign_in(Cell& cell, bool bound) {
    AppState& state = *cell.state;
    state.set_area_codes(split(region::area_codes_text(), "\r\n"));
    state.set_region_table(split(region::region_text(), "\r\n"));
    state.set_cookie_text(kCookies);
    state.set_uin(kAccount);
    state.set_csrf_token("1840317246");
    state.set_logged_in(true);
    // The link by the game site's host value, so that a host pointed elsewhere
    // takes the page with it.
    const sim::SimActivity a = claimed_activity(cell.fixture->sim());
    state.set_activities({gbk(a.name)},
                         {"http://" + endpoints::get("game_site_host") + path_of_link(a.link)});
    if (bound) {
        state.set_activity_ids({std::to_string(a.activity_id)});
    }
}

void press(Cell& cell, Command command) {
    cell.commands.press(command, cell.context);
}

const std::string kBindDone = "提示：绑定完成，开始领取吧！\r\n";

Lines bound_lines(const std::string& name) {
    return {"ID：火线小兵\r\n", "[" + name + "]广东电信一区  绑定成功\r\n", kBindDone};
}

Lines vip_lines() {
    Lines lines;
    for (const char* id : {"112435", "112440", "112441", "112443", "69430", "69429", "95335"}) {
        lines.push_back("[QQ会员合作专区]" +
                        (std::string(id) == sim::kVipSilentActivity ? std::string()
                                                                    : sim::vip_claim_message(id)) +
                        "\r\n");
    }
    lines.push_back("[QQ会员合作专区]" + sim::vip_claim_message(sim::kVipFinalActivity) + "\r\n");
    return lines;
}

Lines stats_answered() {
    return {"\r\n总战绩：\r\n",
            "战绩：100\r\n",
            "胜率：50%\r\n",
            "杀敌/被杀：300/200\r\n",
            "杀敌/被杀比率：1.5\r\n",
            "爆头数：80\r\n",
            "爆头率：26%\r\n",
            "杀死队友：2\r\n",
            "中途退出：1\r\n\r\n",
            "今日战绩：",
            "\r\n战绩1200\r\n胜平负1/0/0\r\n杀敌/被杀12/3\r\n爆头数5\r\n爆头率41%"
            "\r\n获得游戏币300\r\n"};
}

std::vector<Row> rows() {
    std::vector<Row> r;

    {
        Row row;
        row.name = "login: avatar";
        row.host = "avatar_host";
        row.method = "GET";
        row.path = [](const sim::Simulator&) { return "/headimg_dl"; };
        row.prepare = [](Cell& cell) { cell.state->set_cookie_text(kCookies); };
        row.press = [](Cell& cell) {
            cell.login = std::make_shared<LoginSession>(cell.state);
            cell.login->set_close_window([&cell] { ++cell.login_closes; });
            start_thread("login", [c = cell.context, s = cell.login] { login_worker(c, s); });
            cell.login->cookies_read(kCookies);
        };
        row.observe = [](Cell& cell) {
            Lines lines = output_lines(cell);
            const std::string avatar = cell.ui->avatar();
            lines.push_back(avatar.empty() ? "avatar: none"
                            : avatar == cell.baseline_avatar
                                ? "avatar: the picture"
                                : "avatar: " + std::to_string(avatar.size()) + " other bytes");
            lines.push_back(cell.login_closes == 1 ? "login window closed" : "login window open");
            return lines;
        };
        row.own = any_line;
        const Lines login = {"提示：12345678登录成功！\r\n",
                             "提示：活动大数据正在疯狂采集中，采集完成后方可操作\r\n",
                             "login window closed"};
        Lines with_picture = login;
        with_picture.push_back("avatar: the picture");
        Lines without = login;
        without.push_back("avatar: none");
        Lines huge = login;
        huge.push_back("avatar: " + std::to_string(50 << 20) + " other bytes");
        row.answered = lines_of(with_picture);
        row.no_answer = lines_of(without);
        row.custom["50 MB body"] = lines_of(huge);
        row.cut_here = {"slow trickle"};  // the picture is longer than a trickle's 3 s
        r.push_back(row);
    }
    {
        Row row;
        row.name = "collection";
        row.host = "activity_center_host";
        row.method = "POST";
        row.path = [](const sim::Simulator&) { return "/actcenter/queryActList"; };
        row.prepare = [](Cell& cell) { cell.state->set_logged_in(true); };
        row.press = [](Cell& cell) { press(cell, Command::collect); };
        row.observe = [](Cell& cell) {
            Lines lines = output_lines(cell);
            lines.push_back("rows: " + std::to_string(cell.ui->activity_rows().size()));
            lines.push_back("activities: " + std::to_string(cell.state->activity_names().size()));
            return lines;
        };
        row.own = any_line;
        const std::string busy = "提示：活动大数据正在拼命处理中，勿重复点击\r\n";
        row.answered = [busy](Cell& cell) {
            // Every listed entry but the one with a too short link and the last
            // one, which no "},{" follows; the kept one and the non-partner ones
            // are the activities.
            const auto listed = sim::listed_activities(cell.fixture->sim());
            size_t cached = 0;
            for (const auto& a : listed) {
                cached += a.partner ? 0 : 1;
            }
            return Lines{busy, "提示：采集完成\r\n", "rows: " + std::to_string(listed.size() - 2),
                         "activities: " + std::to_string(1 + cached - 2)};
        };
        row.no_answer = lines_of({busy, "提示：出错", "rows: 0", "activities: 0"});
        row.cut_here = {"slow trickle"};
        r.push_back(row);
    }
    {
        Row row;
        row.name = "bind: role lookup";
        row.host = "game_apps_host";
        row.method = "GET";
        row.path = [](const sim::Simulator&) { return kRolePath; };
        row.prepare = [](Cell& cell) { sign_in(cell, false); };
        row.press = [](Cell& cell) { press(cell, Command::bind_area); };
        row.observe = output_lines;
        row.own = any_line;
        row.answered = [](Cell& cell) {
            return bound_lines(claimed_activity(cell.fixture->sim()).name);
        };
        // The binding's own role query meets the same fault: no md5str, no binding.
        row.no_answer = [](Cell& cell) {
            return Lines{"在该服务器上未获取到角色信息！请重新绑定\r\n",
                         "[" + claimed_activity(cell.fixture->sim()).name + "]绑定失败\r\n",
                         kBindDone};
        };
        r.push_back(row);
    }
    {
        Row row;
        row.name = "role scan";
        row.host = "game_apps_host";
        row.method = "GET";
        row.path = [](const sim::Simulator&) { return kRolePath; };
        row.prepare = [](Cell& cell) {
            sign_in(cell, false);
            cell.ui->set_area_items({gbk("广东电信一区"), gbk("广东电信二区")});
        };
        row.press = [](Cell& cell) { press(cell, Command::role_scan); };
        row.observe = output_lines;
        row.own = any_line;
        row.answered = lines_of(
            {"广东电信一区：火线小兵\r\n", "广东电信二区：在该服务器上未获取到角色信息！\r\n"});
        row.no_answer = lines_of({"广东电信一区：在该服务器上未获取到角色信息！\r\n",
                                  "广东电信二区：在该服务器上未获取到角色信息！\r\n"});
        r.push_back(row);
    }
    for (const bool page : {false, true}) {
        Row row;
        row.name = page ? "binding: activity page" : "binding: sign-up";
        row.host = page ? "game_site_host" : "game_ams_host";
        row.method = page ? "GET" : "POST";
        row.path = page
                       ? std::function<std::string(const sim::Simulator&)>(
                             [](const sim::Simulator& s) { return path_of_link(activity_link(s)); })
                       : [](const sim::Simulator&) { return std::string(kAmsPath); };
        row.prepare = [](Cell& cell) { sign_in(cell, false); };
        row.press = [](Cell& cell) { press(cell, Command::bind_area); };
        row.observe = output_lines;
        row.own = any_line;
        row.answered = [](Cell& cell) {
            return bound_lines(claimed_activity(cell.fixture->sim()).name);
        };
        // Without the page the sign-up goes with empty ids and is refused.
        row.no_answer = [](Cell& cell) {
            return Lines{"ID：火线小兵\r\n",
                         "[" + claimed_activity(cell.fixture->sim()).name + "]绑定失败\r\n",
                         kBindDone};
        };
        r.push_back(row);
    }
    {
        Row row;
        row.name = "one-click: activity claims";
        row.host = "game_ams_host";
        row.method = "POST";
        row.path = [](const sim::Simulator&) { return kAmsPath; };
        row.prepare = [](Cell& cell) { sign_in(cell, true); };
        row.press = [](Cell& cell) { press(cell, Command::one_click); };
        row.observe = output_lines;
        row.own = [](const std::string& line) { return line.rfind("[签到有礼]\r\n", 0) == 0; };
        row.answered = [](Cell& cell) {
            const int flow = claimed_activity(cell.fixture->sim()).submit_flows.at(0);
            const std::string f = std::to_string(flow);
            return Lines{
                "[签到有礼]\r\n领取成功\r\n",
                "[签到有礼]\r\n恭喜您获得" + sim::gift_of_flow(f) + "（流程" + f + "）\r\n"};
        };
        row.no_answer = lines_of({});  // no line for an AMS claim without an answer
        r.push_back(row);
    }
    {
        Row row;
        row.name = "one-click: membership";
        row.host = "vip_act_host";
        row.method = "GET";
        row.path = [](const sim::Simulator&) { return "/ams3.0.php"; };
        row.prepare = [](Cell& cell) { sign_in(cell, true); };
        row.press = [](Cell& cell) { press(cell, Command::one_click); };
        row.observe = output_lines;
        row.own = [](const std::string& line) { return line.rfind("[QQ会员合作专区]", 0) == 0; };
        row.answered = lines_of(vip_lines());
        row.no_answer = lines_of(Lines(8, "[QQ会员合作专区]\r\n"));  // the bare title
        r.push_back(row);
    }
    {
        Row row;
        row.name = "timed grab";
        row.host = "game_ams_host";
        row.method = "POST";
        row.path = [](const sim::Simulator&) { return kAmsPath; };
        row.prepare = [](Cell& cell) {
            sign_in(cell, false);
            // The clock stands at the chosen second: the claim leaves at once.
            cell.context.clock = std::make_shared<platform::TestClock>(
                platform::LocalTime{2026, 7, 15, 20, 0, 5, 0});
            const sim::SimActivity a = claimed_activity(cell.fixture->sim());
            cell.ui->set_edit_text(EditBox::hour, "20");
            cell.ui->set_edit_text(EditBox::minute, "0");
            cell.ui->set_edit_text(EditBox::second, "5");
            cell.ui->set_edit_text(EditBox::threads, "1");
            cell.ui->set_edit_text(EditBox::activity_id, std::to_string(a.activity_id));
            cell.ui->set_edit_text(EditBox::flow_id, std::to_string(a.submit_flows.at(0)));
        };
        row.press = [](Cell& cell) { press(cell, Command::timed_grab); };
        row.observe = output_lines;
        row.own = any_line;
        row.answered = [](Cell& cell) {
            const int flow = claimed_activity(cell.fixture->sim()).submit_flows.at(0);
            return Lines{"[抢领结果：]领取成功\r\n",
                         "[抢领结果：]flow " + std::to_string(flow) + " claimed\r\n"};
        };
        row.no_answer = lines_of({});
        r.push_back(row);
    }
    {
        Row row;
        row.name = "records";
        row.host = "support_host";
        row.method = "GET";
        row.path = [](const sim::Simulator&) { return "/cgi-bin/common"; };
        row.prepare = [](Cell& cell) { sign_in(cell, false); };
        row.press = [](Cell& cell) { press(cell, Command::record_query); };
        row.observe = [](Cell& cell) {
            Lines lines = output_lines(cell);
            for (const RecordRow& rr : cell.ui->record_rows()) {
                lines.push_back("row: " + utf8(rr.name) + " | " + utf8(rr.price) + " | " +
                                utf8(rr.time));
            }
            return lines;
        };
        row.own = any_line;
        row.answered = lines_of(
            {"row: 屠龙刀 | 0 | 2016-07-01 12:00:00", "row: 金币 | 100 | 2016-07-02 08:30:00"});
        row.no_answer = lines_of({});
        r.push_back(row);
    }
    {
        Row row;
        row.name = "statistics";
        row.host = "game_apps_host";
        row.method = "GET";
        row.path = [](const sim::Simulator&) { return "/cgi-bin/cf/userinfo/userinfo.cgi"; };
        row.prepare = [](Cell& cell) { sign_in(cell, false); };
        row.press = [](Cell& cell) { press(cell, Command::stats_query); };
        row.observe = output_lines;
        row.own = any_line;
        row.answered = lines_of(stats_answered());
        row.no_answer = lines_of({"今日战绩：", "\r\n战绩\r\n"});
        r.push_back(row);
    }
    return r;
}

// --- the matrix ------------------------------------------------------------------

struct Outcome {
    std::string row;
    std::string column;
    bool passed = false;
    std::string what;    // the outcome in a few words
    std::string reason;  // of the failed exchange, from standard error
    double seconds = 0;
};

std::mutex outcomes_mutex;
std::vector<Outcome> outcomes;

class MatrixPrinter : public ::testing::Environment {
  public:
    void SetUp() override { platform::set_default_http_timeouts(kShortTimeouts); }
    void TearDown() override {
        platform::set_default_http_timeouts(platform::kDefaultHttpTimeouts);
        std::lock_guard lock(outcomes_mutex);
        if (outcomes.empty()) {
            return;
        }
        std::ostringstream out;
        out << "\nFault matrix (operation x fault -> outcome / stderr)\n";
        std::string last;
        for (const Outcome& o : outcomes) {
            if (o.row != last) {
                out << o.row << '\n';
                last = o.row;
            }
            char head[64];
            std::snprintf(head, sizeof head, "  %-18s %-4s %5.1fs  ", o.column.c_str(),
                          o.passed ? "ok" : "FAIL", o.seconds);
            out << head << o.what << " / stderr: " << (o.reason.empty() ? "-" : o.reason) << '\n';
        }
        std::cout << out.str() << std::flush;
    }
};

[[maybe_unused]] const auto* const printer = ::testing::AddGlobalTestEnvironment(new MatrixPrinter);

std::string shown(const std::string& line) {
    std::string s;
    for (char c : line) {
        if (c == '\r') {
            continue;
        }
        s += c == '\n' ? std::string("⏎") : std::string(1, c);
    }
    return s;
}

// At most `bytes` bytes of UTF-8 text, never ending inside a character.
std::string clipped(std::string text, size_t bytes) {
    if (text.size() <= bytes) {
        return text;
    }
    size_t end = bytes - 3;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;
    }
    return text.substr(0, end) + "...";
}

// The outcome in a few words, with the line that tells the two answers apart.
std::string summary(const Lines& own, const Lines& own_in_order, const Lines& expected,
                    const Lines& answered, const Lines& no_answer) {
    const std::string what = own == answered    ? "answered"
                             : own == no_answer ? "as for no answer"
                             : own == expected  ? "as its bytes give"
                                                : "other";
    std::string line = own.empty() ? "(no line)" : own_in_order.front();
    for (const std::string& l : own_in_order) {
        const bool common = std::count(answered.begin(), answered.end(), l) > 0 &&
                            std::count(no_answer.begin(), no_answer.end(), l) > 0;
        if (!common) {
            line = l;
            break;
        }
    }
    return what + ": " + clipped(shown(line), 60) +
           (own.size() > 1 ? " (+" + std::to_string(own.size() - 1) + ")" : "");
}

struct StderrLine {
    std::string method;
    std::string path;
    std::string reason;
};

// "velkor: METHOD host:port/path: reason" lines; any other line comes back with
// an empty method.
std::vector<StderrLine> stderr_lines(const std::string& err) {
    std::vector<StderrLine> lines;
    std::istringstream in(err);
    for (std::string line; std::getline(in, line);) {
        const std::string head = "velkor: ";
        const size_t verb_end = line.find(' ', head.size());
        const size_t path_start =
            verb_end == std::string::npos ? verb_end : line.find('/', verb_end);
        const size_t path_end =
            path_start == std::string::npos ? path_start : line.find(": ", path_start);
        const std::string verb = line.substr(head.size(), verb_end - head.size());
        if (line.rfind(head, 0) != 0 || path_end == std::string::npos ||
            (verb != "GET" && verb != "POST" && verb != "HEAD")) {
            lines.push_back({"", "", line});
            continue;
        }
        lines.push_back(
            {verb, line.substr(path_start, path_end - path_start), line.substr(path_end + 2)});
    }
    return lines;
}

void seed_data_files() {
    ASSERT_TRUE(platform::write_profile(platform::data_file("data.txt"), "user", kOtherAccount,
                                        gbk(kOtherArea)));
    const std::string cache = activity_cache_path();
    ASSERT_TRUE(
        platform::write_profile(cache, gbk("活动名"), gbk("活动"), gbk(kCachedName) + gbk("丨")));
    ASSERT_TRUE(platform::write_profile(cache, gbk(kCachedName), "url", kCachedUrl));
}

void check_data_files() {
    EXPECT_EQ(utf8(platform::read_profile(platform::data_file("data.txt"), "user", kOtherAccount)),
              kOtherArea);
    const std::string cache = activity_cache_path();
    EXPECT_EQ(utf8(platform::read_profile(cache, gbk("活动名"), gbk("活动")))
                  .rfind(std::string(kCachedName) + "丨", 0),
              0u);
    EXPECT_EQ(platform::read_profile(cache, gbk(kCachedName), "url"), kCachedUrl);
    // Nothing half-written: only the two files, each ending with its last line.
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(platform::data_dir())) {
        names.insert(entry.path().filename().string());
        const std::string bytes = read_bytes(entry.path());
        EXPECT_TRUE(bytes.size() >= 2 && bytes.compare(bytes.size() - 2, 2, "\r\n") == 0)
            << entry.path();
    }
    EXPECT_EQ(names, (std::set<std::string>{"data.txt", "tolvex.txt"}));
}

class FaultMatrix : public ::testing::TestWithParam<size_t> {};

TEST_P(FaultMatrix, EveryFaultOfTheEndpoint) {
    const Row row = rows().at(GetParam());
    std::set<std::string> baseline_gains;  // cookie names the whole answers set
    Lines baseline_others;                 // the lines of the endpoints not faulted
    std::string baseline_avatar;

    for (const Column& column : columns()) {
        SCOPED_TRACE(row.name + " / " + column.name);
        const int failures_before =
            ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count();
        const auto cell_start = std::chrono::steady_clock::now();

        test::TempDataDir data("fault-matrix");
        seed_data_files();
        test::SimFixture fixture;
        Cell cell;
        cell.fixture = &fixture;
        cell.state = std::make_shared<AppState>();
        cell.ui = std::make_shared<testing::FakeUi>();
        cell.context = Context{cell.state, cell.ui};
        cell.baseline_avatar = baseline_avatar;
        plug_binding(cell.commands);
        plug_role_scan(cell.commands);
        plug_one_click(cell.commands);
        plug_timed_grab(cell.commands);
        plug_collection(cell.commands);
        plug_queries(cell.commands);

        const std::string path = row.path(fixture.sim());
        if (column.refused) {
            endpoints::set(row.host, "127.0.0.1:" + std::to_string(closed_port()));
        } else if (column.fault.mode != FaultMode::none) {
            fixture.sim().set_fault(row.host, path, column.fault);
        }
        row.prepare(cell);
        const std::set<std::string> cookies_before = cookie_items(cell.state->cookie_text());

        ::testing::internal::CaptureStderr();
        const auto press_start = std::chrono::steady_clock::now();
        row.press(cell);
        const auto press_time = std::chrono::steady_clock::now() - press_start;
        const bool idle = wait_idle(kIdleBoundMs);
        const std::string err = ::testing::internal::GetCapturedStderr();

        // The window's thread is never held by the network.
        EXPECT_LT(press_time, std::chrono::seconds(1));
        EXPECT_TRUE(idle) << "workers still running: " << running_workers();
        if (!idle) {
            fixture.sim().stop();  // frees hung requests, so the workers can end
            ASSERT_TRUE(wait_idle(kIdleBoundMs));
        }

        if (column.name == "none" && row.name == "login: avatar") {
            baseline_avatar = cell.ui->avatar();
            cell.baseline_avatar = baseline_avatar;
        }
        const Lines all = row.observe(cell);
        Lines own;
        Lines others;
        for (const std::string& line : all) {
            (row.own(line) ? own : others).push_back(line);
        }
        const Lines own_in_order = own;
        std::sort(own.begin(), own.end());
        std::sort(others.begin(), others.end());

        const bool cut = column.fails || row.cut_here.count(column.name) > 0;
        const auto known = row.known.find(column.name);
        Lines answered = row.answered(cell);
        Lines no_answer = row.no_answer(cell);
        std::sort(answered.begin(), answered.end());
        std::sort(no_answer.begin(), no_answer.end());
        Lines expected = !cut && column.own_body ? answered : no_answer;
        if (auto it = row.custom.find(column.name); it != row.custom.end()) {
            expected = it->second(cell);
            std::sort(expected.begin(), expected.end());
        }
        if (known == row.known.end()) {
            EXPECT_EQ(own, expected);
            // What the other endpoints answered is untouched by this one's fault.
            if (column.name == "none") {
                baseline_others = others;
            } else {
                EXPECT_EQ(others, baseline_others);
            }
        }

        // A failed exchange says so, naming its endpoint; nothing else is written.
        std::string reason;
        bool named = false;
        for (const StderrLine& l : stderr_lines(err)) {
            EXPECT_FALSE(l.method.empty()) << "unexpected on standard error: " << l.reason;
            // A whole answer whose cookies are too many to keep says so, and no more.
            if (column.fault.mode == FaultMode::oversized_headers &&
                l.reason.find("KiB of cookies; none of them is kept") != std::string::npos) {
                EXPECT_EQ(l.path, path);
                reason = l.reason;
                continue;
            }
            EXPECT_TRUE(cut && l.method == row.method && l.path == path)
                << "unexpected failure line: " << l.method << ' ' << l.path << ": " << l.reason;
            if (l.path == path && reason.empty()) {
                reason = l.reason;
            }
            named = named || l.path == path;
        }
        EXPECT_EQ(named, cut) << err;

        // No cookie lost; none from a block that never ended.
        const std::set<std::string> cookies_after = cookie_items(cell.state->cookie_text());
        for (const std::string& item : cookies_before) {
            EXPECT_EQ(cookies_after.count(item), 1u) << "lost cookie " << item;
        }
        std::set<std::string> gained;
        for (const std::string& item : cookies_after) {
            if (cookies_before.count(item) == 0) {
                gained.insert(name_of(item));
            }
        }
        EXPECT_EQ(gained.count("sim_cut"), 0u);
        if (column.name == "none") {
            baseline_gains = gained;
        } else {
            // Neither a block that never ended nor one too large to keep adds any.
            for (const std::string& name : gained) {
                EXPECT_TRUE(baseline_gains.count(name) > 0) << "cookie gained: " << name;
            }
        }

        check_data_files();

        Outcome o;
        o.row = row.name;
        o.column = column.name;
        o.what = summary(own, own_in_order, expected, answered, no_answer);
        if (known != row.known.end()) {
            o.what += " [known: " + known->second + "]";
        }
        o.reason = clipped(reason, 48);
        o.seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - cell_start).count();
        o.passed =
            ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count() ==
            failures_before;
        std::lock_guard lock(outcomes_mutex);
        outcomes.push_back(o);
    }
}

std::string row_test_name(const ::testing::TestParamInfo<size_t>& info) {
    const std::string row_name = rows().at(info.param).name;
    std::string name;
    for (char c : row_name) {
        if (std::isalnum(static_cast<unsigned char>(c))) {
            name += c;
        } else if (!name.empty() && name.back() != '_') {
            name += '_';
        }
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(Operations, FaultMatrix, ::testing::Range<size_t>(0, rows().size()),
                         row_test_name);

}  // namespace
}  // namespace velkor
