// The whole program, as built, walking a user's road against the in-process
// simulator: what it writes, what it lists, what it remembers and what it sends.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "sim/activities.h"
#include "sim/ams.h"
#include "sim/login_page.h"
#include "sim/roles.h"
#include "sim/simulator.h"
#include "tests/support/sim_fixture.h"

extern char** environ;

namespace velkor {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

// What the simulator's login sets, and what every signed-in request must carry.
constexpr const char* kLoginCookies = "pt2gguin=o012345678; uin=o012345678; skey=@Vk7Q2xLp9";
// The CSRF token of the session key @Vk7Q2xLp9, and the MD5 of its decimal text.
constexpr const char* kToken = "1680140525";
constexpr const char* kVipToken = "1cb65a6d94b1dcbe7ad344b3ab197e8d";
// 火线小兵 and 广东电信一区 in GBK.
constexpr const char* kRoleGbk = "\xbb\xf0\xcf\xdf\xd0\xa1\xb1\xf8";
constexpr const char* kAreaGbk = "\xb9\xe3\xb6\xab\xb5\xe7\xd0\xc5\xd2\xbb\xc7\xf8";
// UTF-8, every byte as %XX, then every % as %25.
constexpr const char* kAreaTwice =
    "%25E5%25B9%25BF%25E4%25B8%259C%25E7%2594%25B5%25E4%25BF%25A1%25E4%25B8%2580%25E5%258C%25BA";
constexpr const char* kAreaFieldTwice =  // 广东电信-广东电信一区
    "%25E5%25B9%25BF%25E4%25B8%259C%25E7%2594%25B5%25E4%25BF%25A1%252D"
    "%25E5%25B9%25BF%25E4%25B8%259C%25E7%2594%25B5%25E4%25BF%25A1%25E4%25B8%2580%25E5%258C%25BA";
constexpr const char* kRoleTwice = "%25E7%2581%25AB%25E7%25BA%25BF%25E5%25B0%258F%25E5%2585%25B5";

constexpr const char* kAmsPrefix =
    "gameId=&sArea=&iSex=&sRoleId=&iGender=&sServiceType=cf&objCustomMsg=&areaname=&roleid=&"
    "rolelevel=&rolename=&areaid=&iActivityId=";
constexpr const char* kRoleQueryPath = "/comm-cgi-bin/content_admin/activity_center/query_role.cgi";
constexpr const char* kUserAgent = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

// The area list in its order, with the codes the services know the areas by.
struct Area {
    const char* name;
    const char* code;
};
constexpr Area kAreas[] = {
    {"广东电信一区", "318"},   {"广东电信二区", "327"}, {"广东电信三区", "338"},
    {"广东电信四区", "339"},   {"北京网通一区", "319"}, {"北京网通二区", "321"},
    {"北京网通三区", "334"},   {"北京网通四区", "335"}, {"辽宁网通一区", "322"},
    {"辽宁网通二区", "323"},   {"辽宁网通三区", "336"}, {"江苏电信一区", "344"},
    {"江苏电信二区", "357"},   {"湖北电信一区", "328"}, {"湖北电信二区", "329"},
    {"湖南电信一区", "341"},   {"湖南电信二区", "340"}, {"上海电信一区", "320"},
    {"上海电信二区", "326"},   {"福建电信一区", "324"}, {"浙江电信一区", "325"},
    {"浙江电信二区", "349"},   {"陕西电信一区", "330"}, {"重庆电信一区", "332"},
    {"南方电信大区", "342"},   {"北方网通大区", "343"}, {"云南电信一区", "348"},
    {"河南网通一区", "345"},   {"山东网通一区", "346"}, {"山东网通二区", "358"},
    {"安徽电信一区", "347"},   {"吉林网通一区", "351"}, {"江西电信一区", "352"},
    {"广西电信一区", "353"},   {"山西网通一区", "354"}, {"河北网通一区", "355"},
    {"四川电信一区", "333"},   {"四川电信二区", "356"}, {"移动专区", "360"},
    {"黑龙江网通一区", "350"},
};

constexpr const char* kVipActivities[] = {"112435", "112440", "112441", "112443",
                                          "69430",  "69429",  "95335"};
constexpr const char* kClubFlows[] = {"248313", "249159", "248629", "248633", "248634", "248635",
                                      "248637", "248638", "248608", "248626", "248627", "248569"};

// ---------------------------------------------------------------- the child

struct ChildRun {
    bool started = false;
    bool timed_out = false;
    int status = -1;  // as waitpid gives it
    std::string out, err;
};

std::string file_bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

fs::path program_path() {
    // The test program is built beside the program it runs.
    return fs::read_symlink("/proc/self/exe").parent_path() / "velkor";
}

// The test's own environment without anything that would steer the child,
// plus `extra`.
std::vector<std::string> child_environment(const std::vector<std::string>& extra) {
    const char* const dropped[] = {
        "XDG_DATA_HOME=", "XDG_CACHE_HOME=",  "XDG_CONFIG_HOME=", "XDG_RUNTIME_DIR=", "TMPDIR=",
        "DISPLAY=",       "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM=", "VELKOR_"};
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string item = *e;
        if (std::none_of(std::begin(dropped), std::end(dropped),
                         [&](const char* d) { return item.rfind(d, 0) == 0; })) {
            env.push_back(item);
        }
    }
    env.insert(env.end(), extra.begin(), extra.end());
    return env;
}

ChildRun run_child(const fs::path& program, const std::vector<std::string>& env,
                   const fs::path& out_file, const fs::path& err_file, std::chrono::seconds limit) {
    ChildRun run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // A group of its own, so that a hung run goes down with its browser processes.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);

    std::vector<char*> envp;
    for (const std::string& e : env) {
        envp.push_back(const_cast<char*>(e.c_str()));
    }
    envp.push_back(nullptr);
    std::string path = program.string();
    char* argv[] = {path.data(), nullptr};
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, path.c_str(), &actions, &attributes, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0) {
        return run;
    }
    run.started = true;

    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (true) {
        const pid_t done = ::waitpid(pid, &run.status, WNOHANG);
        if (done == pid || done < 0) {
            break;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            run.timed_out = true;
            ::kill(-pid, SIGKILL);
            ::waitpid(pid, &run.status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    // Helpers of the browser that outlived the program.
    ::kill(-pid, SIGKILL);
    run.out = file_bytes(out_file);
    run.err = file_bytes(err_file);
    return run;
}

std::string tail(const std::string& text, size_t lines) {
    size_t at = text.size();
    if (at > 0 && text[at - 1] == '\n') {
        --at;  // the last line's own break
    }
    for (size_t n = 0; n < lines; ++n) {
        const size_t before = at == 0 ? std::string::npos : text.rfind('\n', at - 1);
        if (before == std::string::npos) {
            return text;
        }
        at = before;
    }
    return text.substr(at + 1);
}

// Prints the end of what the child wrote when the test has failed.
class TailsOnFailure {
  public:
    TailsOnFailure(const ChildRun& run, const fs::path& kept) : run_(run), kept_(kept) {}
    ~TailsOnFailure() {
        if (!::testing::Test::HasFailure()) {
            return;
        }
        std::cerr << "---- velkor stdout (last lines) ----\n"
                  << tail(run_.out, 60) << "\n---- velkor stderr (last lines) ----\n"
                  << tail(run_.err, 60) << "\n---- the run's folders are kept in " << kept_
                  << " ----\n";
    }

  private:
    const ChildRun& run_;
    fs::path kept_;
};

// ---------------------------------------------------------------- lines

Lines lines_of(const std::string& text) {
    Lines lines;
    std::string line;
    std::istringstream in(text);
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    return lines;
}

Lines slice(const Lines& lines, size_t from, size_t count) {
    from = std::min(from, lines.size());
    count = std::min(count, lines.size() - from);
    return Lines(lines.begin() + static_cast<long>(from),
                 lines.begin() + static_cast<long>(from + count));
}

bool starts_with(const std::string& text, const std::string& head) {
    return text.rfind(head, 0) == 0;
}

// Equal line lists, or the first difference with its place.
::testing::AssertionResult same_lines(const Lines& actual, const Lines& expected) {
    for (size_t i = 0; i < std::max(actual.size(), expected.size()); ++i) {
        const bool has_actual = i < actual.size();
        const bool has_expected = i < expected.size();
        if (has_actual && has_expected && actual[i] == expected[i]) {
            continue;
        }
        return ::testing::AssertionFailure()
               << "line " << i + 1 << " of " << expected.size() << " expected, " << actual.size()
               << " written:\n  expected: "
               << (has_expected ? "\"" + expected[i] + "\"" : "(nothing)")
               << "\n  written:  " << (has_actual ? "\"" + actual[i] + "\"" : "(nothing)");
    }
    return ::testing::AssertionSuccess();
}

// ---------------------------------------------------------------- the simulator's activities

// One activity as the program keeps it after the collection: its name and the
// address of its page; `page` is the simulator's activity that page shows.
struct Kept {
    std::string name;
    std::string link;
    std::optional<sim::SimActivity> page;
};

struct Listing {
    Lines rows;  // the activity list, columns joined by tabs
    std::vector<Kept> kept;
};

// What the collection makes of the simulator's list: the list's last entry is
// never read; a link of 24 bytes or less gives no row and one of 25 to 29 bytes
// an empty address; partner activities are listed, not kept; activities of one
// name share the link listed last.
Listing listing_of(const std::vector<sim::SimActivity>& listed) {
    Listing out;
    for (size_t i = 0; i + 1 < listed.size(); ++i) {
        const sim::SimActivity& a = listed[i];
        if (a.link.size() <= 24) {
            continue;
        }
        const std::string shown = a.link.size() > 29 ? a.link : "";
        out.rows.push_back(a.name + "\t" + a.start + "\t" + a.end + "\t" + shown);
        if (!a.partner) {
            out.kept.push_back({a.name, shown, std::nullopt});
        }
    }
    for (Kept& k : out.kept) {
        for (const Kept& later : out.kept) {
            if (later.name == k.name) {
                k.link = later.link;
            }
        }
        for (const sim::SimActivity& a : listed) {
            if (!k.link.empty() && a.link == k.link) {
                k.page = a;
            }
        }
    }
    return out;
}

// ---------------------------------------------------------------- requests

std::optional<std::string> header(const sim::LoggedRequest& r, const std::string& name) {
    for (const auto& [n, v] : r.headers) {
        if (n.size() == name.size() &&
            std::equal(n.begin(), n.end(), name.begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) ==
                       std::tolower(static_cast<unsigned char>(b));
            })) {
            return v;
        }
    }
    return std::nullopt;
}

bool is_stamp(const std::string& s) {
    return s.size() == 13 &&
           std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isdigit(c); });
}

struct Want {
    Want(std::string h, std::string m, std::string t, bool stamp = false)
        : host(std::move(h)), method(std::move(m)), target(std::move(t)), target_stamp(stamp) {}

    std::string host;
    std::string method;
    std::string target;
    bool target_stamp = false;  // the target goes on with a 13-digit time stamp
    std::string body;
    bool body_stamp = false;
    std::optional<std::string> cookie;  // none: no Cookie line
    std::optional<std::string> referer;
};

::testing::AssertionResult matches(const sim::LoggedRequest& r, const Want& w) {
    auto fail = [&](const std::string& what) {
        return ::testing::AssertionFailure()
               << what << "\n  expected: " << w.host << " " << w.method << " " << w.target
               << (w.target_stamp ? "<stamp>" : "") << "\n  received: " << r.host << " " << r.method
               << " " << r.target << "\n  body: " << r.body;
    };
    if (r.host != w.host || r.method != w.method) {
        return fail("another host or method");
    }
    if (w.target_stamp ? !(starts_with(r.target, w.target) &&
                           is_stamp(r.target.substr(std::min(w.target.size(), r.target.size()))))
                       : r.target != w.target) {
        return fail("another path or query");
    }
    if (w.body_stamp ? !(starts_with(r.body, w.body) &&
                         is_stamp(r.body.substr(std::min(w.body.size(), r.body.size()))))
                     : r.body != w.body) {
        return fail("another body; expected " + w.body + (w.body_stamp ? "<stamp>" : ""));
    }
    const auto cookie = header(r, "Cookie");
    if (cookie != w.cookie) {
        return fail("Cookie line \"" + cookie.value_or("(none)") + "\", expected \"" +
                    w.cookie.value_or("(none)") + "\"");
    }
    if (w.referer && header(r, "Referer") != w.referer) {
        return fail("Referer \"" + header(r, "Referer").value_or("(none)") + "\", expected \"" +
                    *w.referer + "\"");
    }
    return ::testing::AssertionSuccess();
}

// The requests of one flow in their order; the first mismatch ends the check.
::testing::AssertionResult same_requests(const std::vector<sim::LoggedRequest>& actual,
                                         const std::vector<Want>& wants) {
    for (size_t i = 0; i < std::min(actual.size(), wants.size()); ++i) {
        if (auto m = matches(actual[i], wants[i]); !m) {
            return ::testing::AssertionFailure()
                   << "request " << i + 1 << " of " << wants.size() << ": " << m.message();
        }
    }
    if (actual.size() != wants.size()) {
        return ::testing::AssertionFailure()
               << wants.size() << " requests expected, " << actual.size() << " received";
    }
    return ::testing::AssertionSuccess();
}

// The cookie line the program sends: the login's cookies behind the latest
// tracking cookie of the role service, which sets a fresh one in every answer.
class CookieLine {
  public:
    std::string now() const {
        return role_answers_ == 0
                   ? std::string(kLoginCookies)
                   : "role_trace=r" + std::to_string(role_answers_) + "; " + kLoginCookies;
    }
    Want role_query(const std::string& area, const std::string& callback) {
        Want w{"game_apps_host", "GET",
               std::string(kRoleQueryPath) + "?game=cf&area=" + area + "&callback=" + callback +
                   "&sServiceDepartment=group_f"};
        w.cookie = now();
        ++role_answers_;
        return w;
    }

  private:
    int role_answers_ = 0;
};

std::vector<sim::LoggedRequest> take(const std::vector<sim::LoggedRequest>& log, size_t& at,
                                     size_t count) {
    const size_t from = std::min(at, log.size());
    const size_t to = std::min(from + count, log.size());
    at = to;
    return {log.begin() + static_cast<long>(from), log.begin() + static_cast<long>(to)};
}

// ---------------------------------------------------------------- the test

class RoadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("velkor-e2e-" + std::to_string(::getpid()));
        fs::remove_all(root_);
        for (const char* d : {"data", "cache", "config", "tmp"}) {
            fs::create_directories(root_ / d);
        }
        fs::create_directories(root_ / "tmp" / "runtime");
        fs::permissions(root_ / "tmp" / "runtime", fs::perms::owner_all);
    }
    void TearDown() override {
        if (!HasFailure()) {
            fs::remove_all(root_);
        }
    }

    fs::path root_;
};

TEST_F(RoadTest, WalksTheWholeRoadAgainstTheSimulator) {
    test::SimFixture fixture(sim::SimulatorOptions{.auto_login = true});
    sim::Simulator& sim = fixture.sim();
    const std::string site = sim.address("game_site_host");
    const std::string club = sim.address("premium_club_host");

    const fs::path program = program_path();
    ASSERT_TRUE(fs::exists(program)) << program;
    const std::vector<std::string> env = child_environment({
        "QT_QPA_PLATFORM=offscreen",
        "VELKOR_WALK_ROAD=1",
        "VELKOR_AUTOCLOSE_WELCOME=1",
        "VELKOR_HOSTS=" + sim.hosts_setting(),
        "VELKOR_EXIT_AFTER_MS=150000",
        "XDG_DATA_HOME=" + (root_ / "data").string(),
        "XDG_CACHE_HOME=" + (root_ / "cache").string(),
        "XDG_CONFIG_HOME=" + (root_ / "config").string(),
        "XDG_RUNTIME_DIR=" + (root_ / "tmp" / "runtime").string(),
        "TMPDIR=" + (root_ / "tmp").string(),
    });
    const std::chrono::seconds limit(180);
    const ChildRun run = run_child(program, env, root_ / "stdout.txt", root_ / "stderr.txt", limit);
    TailsOnFailure tails(run, root_);
    ASSERT_TRUE(run.started) << "could not start " << program;
    ASSERT_FALSE(run.timed_out) << "velkor did not end within " << limit.count()
                                << " s and was killed";
    ASSERT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0)
        << "velkor ended with status " << run.status;
    ASSERT_EQ(run.err.find("cut short"), std::string::npos) << "the walk did not reach its end";

    const Listing listing = listing_of(sim::listed_activities(sim));
    // 40 activities of their own, one with an address too short to show and one
    // sharing an earlier one's name.
    ASSERT_EQ(listing.kept.size(), 42u);

    const Lines out = lines_of(run.out);
    const auto records_mark = std::find(out.begin(), out.end(), "--- 超级列表框1 ---");
    const auto activities_mark = std::find(out.begin(), out.end(), "--- 超级列表框2 ---");
    ASSERT_TRUE(records_mark < activities_mark && activities_mark != out.end())
        << "the lists are missing from the output";
    const Lines box(out.begin(), records_mark);

    {
        SCOPED_TRACE("output box: start-up, login, collection and binding");
        Lines expected = {
            "提示：快速登录—活动获取完成—绑定大区—一键领取—玩耍",
            "提示：本软件由 DEzuri 编写，交流与反馈请联系 velkor@example.org",
            "提示：12345678登录成功！",
            "提示：活动大数据正在疯狂采集中，采集完成后方可操作",
            "提示：采集完成",
            "ID：火线小兵",
        };
        for (const Kept& k : listing.kept) {
            expected.push_back(k.page ? "[" + k.name + "]广东电信一区  绑定成功"
                                      : "[" + k.name + "]绑定失败");
        }
        expected.push_back("提示：绑定完成，开始领取吧！");
        EXPECT_TRUE(same_lines(slice(box, 0, expected.size()), expected));
        EXPECT_EQ(slice(box, 6, 1), Lines{"[夏日狂欢]广东电信一区  绑定成功"});
        EXPECT_EQ(slice(box, 14, 1), Lines{"[中等链接活动]绑定失败"});
    }
    const size_t one_click_at = 6 + listing.kept.size() + 1;

    // The one-click claim: the partner steps and the claim worker write at the
    // same time; each keeps its own order, and a worker's title and message come
    // in one piece.
    Lines vip = {
        "[QQ会员合作专区]礼包112435领取成功，请到游戏中查收",
        "[QQ会员合作专区]礼包112440领取成功，请到游戏中查收",
        "[QQ会员合作专区]礼包112441领取成功，请到游戏中查收",
        "[QQ会员合作专区]您已经领取过礼包112443了",
        "[QQ会员合作专区]礼包69430领取成功，请到游戏中查收",
        "[QQ会员合作专区]",  // 69429 answers without a message
        "[QQ会员合作专区]礼包95335领取成功，请到游戏中查收",
        "[QQ会员合作专区]恭喜您获得QQ会员专属礼包",
    };
    Lines club_lines;
    for (const char* f : kClubFlows) {
        const std::string flow = f;
        if (flow == "248608") {
            club_lines.push_back("[心悦合作专区]您已经领取过该礼包了");
        } else {
            club_lines.push_back("[心悦合作专区]领取成功");
            club_lines.push_back("[心悦合作专区]tgclub gift " + flow);
        }
    }
    Lines worker;
    for (const Kept& k : listing.kept) {
        for (int flow : k.page ? k.page->submit_flows : std::vector<int>{}) {
            const std::string f = std::to_string(flow);
            worker.insert(worker.end(),
                          {"[" + k.name + "]", "领取成功", "[" + k.name + "]",
                           "恭喜您获得" + sim::gift_of_flow(f) + "（流程" + f + "）"});
        }
    }
    worker.push_back("提示：领取完成");
    const size_t one_click_size = vip.size() + club_lines.size() + worker.size();
    {
        SCOPED_TRACE("output box: one-click claim");
        const Lines segment = slice(box, one_click_at, one_click_size);
        Lines got_vip, got_club, got_worker;
        std::vector<size_t> worker_at;
        for (size_t i = 0; i < segment.size(); ++i) {
            if (starts_with(segment[i], "[QQ会员合作专区]")) {
                got_vip.push_back(segment[i]);
            } else if (starts_with(segment[i], "[心悦合作专区]")) {
                got_club.push_back(segment[i]);
            } else {
                got_worker.push_back(segment[i]);
                worker_at.push_back(i);
            }
        }
        EXPECT_TRUE(same_lines(got_vip, vip)) << "membership lines";
        EXPECT_TRUE(same_lines(got_club, club_lines)) << "premium-club lines";
        EXPECT_TRUE(same_lines(got_worker, worker)) << "claim worker lines";
        for (size_t k = 0; k + 1 < worker_at.size(); k += 2) {
            EXPECT_EQ(worker_at[k + 1], worker_at[k] + 1)
                << "a line came between \"" << got_worker[k] << "\" and its message";
        }
    }

    const size_t statistics_at = one_click_at + one_click_size;
    const Lines statistics = {
        "",
        "总战绩：",
        "战绩：100",
        "胜率：50%",
        "杀敌/被杀：300/200",
        "杀敌/被杀比率：1.5",
        "爆头数：80",
        "爆头率：26%",
        "杀死队友：2",
        "中途退出：1",
        "",
        "今日战绩：",
        "战绩1200",
        "胜平负1/0/0",
        "杀敌/被杀12/3",
        "爆头数5",
        "爆头率41%",
        "获得游戏币300",
    };
    EXPECT_TRUE(same_lines(slice(box, statistics_at, statistics.size()), statistics))
        << "statistics";

    const size_t scan_at = statistics_at + statistics.size();
    {
        SCOPED_TRACE("output box: role scan");
        Lines expected;
        for (const Area& a : kAreas) {
            const sim::SimRole* role = sim::find_role(a.code);
            expected.push_back(std::string(a.name) + "：" +
                               (role ? role->role : "在该服务器上未获取到角色信息！"));
        }
        const Lines scan = slice(box, scan_at, 40);
        EXPECT_TRUE(same_lines(scan, expected));
        EXPECT_EQ(slice(scan, 0, 1), Lines{"广东电信一区：火线小兵"});
        EXPECT_EQ(slice(scan, 39, 1), Lines{"黑龙江网通一区：在该服务器上未获取到角色信息！"});
    }
    {
        SCOPED_TRACE("output box: timed grab");
        // Three claimers write side by side; each writes msg before sMsg.
        const Lines grab = slice(box, scan_at + 40, box.size());
        ASSERT_EQ(grab.size(), 6u) << "lines after the role scan";
        int msgs = 0, s_msgs = 0;
        for (const std::string& line : grab) {
            if (line == "[抢领结果：]领取成功") {
                ++msgs;
            } else if (line == "[抢领结果：]flow 300001 claimed") {
                ++s_msgs;
                EXPECT_LE(s_msgs, msgs) << "an sMsg line ahead of its msg line";
            } else {
                ADD_FAILURE() << "unexpected grab line \"" << line << "\"";
            }
        }
        EXPECT_EQ(msgs, 3);
        EXPECT_EQ(s_msgs, 3);
    }

    // Both lists: the records of the simulator's area-318 answer (a record of two
    // fields gives no row), and the activities as listed.
    EXPECT_EQ(Lines(records_mark + 1, activities_mark),
              (Lines{"屠龙刀\t0\t2016-07-01 12:00:00", "金币\t100\t2016-07-02 08:30:00"}));
    {
        const Lines rows(activities_mark + 1, out.end());
        EXPECT_TRUE(same_lines(rows, listing.rows)) << "activity list";
        EXPECT_EQ(slice(rows, 8, 1),
                  Lines{"中等链接活动\t2026-12-05 00:00:00\t2026-12-06 00:00:00\t"});
    }

    // The area remembered for the account.
    EXPECT_EQ(file_bytes(root_ / "data" / "velkor" / "data.txt"),
              std::string("[user]\r\n12345678=") + kAreaGbk + "\r\n");

    // What the simulator received, flow by flow.
    const std::vector<sim::LoggedRequest> log = sim.requests();
    std::vector<sim::LoggedRequest> browser, sent;
    for (const sim::LoggedRequest& r : log) {
        (r.host == "login_host" ? browser : sent).push_back(r);
    }
    {
        SCOPED_TRACE("requests: the login page");
        ASSERT_FALSE(browser.empty());
        const std::string callback = "http%3A//" + site + "/comm-htdocs/login/logincallback.htm";
        EXPECT_EQ(browser[0].method, "GET");
        EXPECT_EQ(browser[0].target, "/cgi-bin/xlogin?proxy_url=http://" +
                                         sim.address("game_portal_host") +
                                         "/comm-htdocs/milo/proxy.html&appid=21000124&f_url="
                                         "loginerroralert&target=self&qtarget=self&s_url=" +
                                         callback +
                                         "&no_verifyimg=1&daid=8&qlogin_jumpname=jump&"
                                         "qlogin_param=u1%3D" +
                                         callback);
    }

    CookieLine cookies;
    size_t at = 0;
    {
        SCOPED_TRACE("requests: login, collection and binding");
        // The avatar is fetched on a worker of its own while the login goes on to
        // start the collection: the two come in either order.
        const std::string avatar =
            "/headimg_dl?bs=qq&dst_uin=12345678&src_uin=12345678&fid="
            "12345678&spec=100&url_enc=0&referer=bu_interface&term_type=PC";
        Want w{"avatar_host", "GET", avatar};
        w.referer = "http://" + sim.address("avatar_host") + avatar;
        const std::vector<Want> avatar_flow = {w};
        w = Want{"activity_center_host", "POST", "/actcenter/queryActList"};
        w.body = "game=cf&index=0&count=50&type=2";
        w.referer = "http://" + sim.address("activity_center_host") + "/actcenter/queryActList";
        const std::vector<Want> collection_flow = {w};
        std::vector<sim::LoggedRequest> got_avatar, got_collection;
        for (const sim::LoggedRequest& r : take(sent, at, 2)) {
            (r.host == "avatar_host" ? got_avatar : got_collection).push_back(r);
        }
        EXPECT_TRUE(same_requests(got_avatar, avatar_flow)) << "avatar";
        EXPECT_TRUE(same_requests(got_collection, collection_flow)) << "collection";

        std::vector<Want> wants;
        wants.push_back(cookies.role_query("318", "14687456405913981"));
        for (const Kept& k : listing.kept) {
            if (k.page) {
                wants.push_back(Want{"game_site_host", "GET", k.link.substr(7 + site.size())});
            }
            wants.push_back(cookies.role_query("318", "14688557963547031"));
            const std::string id = k.page ? std::to_string(k.page->activity_id) : "";
            const std::string flow = k.page ? std::to_string(k.page->init_flow) : "";
            w = Want{"game_ams_host", "POST",
                     "/ams/ame/ame.php?ameVersion=0.3&sServiceType=cf&iActivityId=53353&"
                     "sServiceDepartment=group_f&isXhrPost=true"};
            w.body = std::string(
                         "sign_version=1.0&action_id=19147&user_area=318&user_roleId="
                         "12345678&user_roleName=") +
                     kRoleGbk + "&user_areaName=" + kAreaTwice +
                     "&user_roleLevel=33&user_checkparam=cf%257Cyes%257C12345678%257C318%"
                     "257C12345678*&user_md5str=" +
                     sim::role_md5str("12345678", "318") + "&user_sex=&iActivityId=" + id +
                     "&iFlowId=" + flow + "&g_tk=" + kToken +
                     "&e_code=242360&g_code=0&eas_url=http%253A%252F%252F" + site +
                     "%252Fcp%252Fa20160622yj%252F&eas_refer=&xhr=1&sServiceDepartment=group_f&"
                     "sServiceType=cf&xhrPostKey=xhr_";
            w.body_stamp = true;
            w.cookie = cookies.now();
            wants.push_back(w);
        }
        wants.push_back(cookies.role_query("318", "14687456405913981"));  // the one-click's
        EXPECT_TRUE(same_requests(take(sent, at, wants.size()), wants));
    }
    {
        SCOPED_TRACE("requests: one-click claim");
        std::vector<Want> partner, claims;
        Want w{"static_cdn_host", "GET", "/ACT/vip_act/act_data/67135.json.js"};
        w.cookie = cookies.now();
        partner.push_back(w);
        for (const char* vip_id : kVipActivities) {
            const std::string id = vip_id;
            w = Want{"vip_act_host", "GET",
                     "/ams3.0.php?_c=page&actid=" + id + "&roleid=12345678&area=318&area_name=" +
                         kAreaFieldTwice + "&role_name=" + kRoleTwice + "&g_tk=" + kVipToken +
                         "&pvsrc=undefined&ozid=&vipid=VIP67135CF&callback=json14688978830866&_=",
                     true};
            w.cookie = cookies.now();
            partner.push_back(w);
        }
        w = Want{"vip_act_host", "GET",
                 std::string("/ams3.0.php?_c=page&actid=95334&g_tk=") + kVipToken +
                     "&pvsrc=undefined&ozid=&vipid=VIP67135CF&callback=json14689012720925&_=",
                 true};
        w.cookie = cookies.now();
        partner.push_back(w);
        for (const char* f : kClubFlows) {
            const std::string flow = f;
            w = Want{"game_apps_host", "POST",
                     "/ams/ame/ame.php?ameVersion=0.3&sServiceType=qqgame&iActivityId=43890&"
                     "sServiceDepartment=group_h&set_info=group_h&isXhrPost=true"};
            w.body =
                "gameId=&sArea=&iSex=&sRoleId=&iGender=&sServiceType=tgclub&objCustomMsg=&"
                "areaname=&roleid=&rolelevel=&rolename=&areaid=&iActivityId=47415&iFlowId=" +
                flow + "&g_tk=" + kToken + "&e_code=0&g_code=0&eas_url=http%253A%252F%252F" + club +
                "%252Fact%252Fpc%252Fa20160414cfyxj%252F&eas_refer=http%253A%252F%252F" + club +
                "%252Fact%252Fpc%252Fa20160414cfyxj%252Fpage1.shtml&xhr=1&"
                "sServiceDepartment=xinyue&xhrPostKey=xhr_";
            w.body_stamp = true;
            w.cookie = cookies.now();
            partner.push_back(w);
        }
        for (const Kept& k : listing.kept) {
            if (!k.page) {
                continue;  // no address, no page, no claim
            }
            claims.push_back(Want{"game_site_host", "GET", k.link.substr(7 + site.size())});
            for (int flow : k.page->submit_flows) {
                w = Want{"game_ams_host", "POST",
                         "/ams/ame/ame.php?ameVersion=0.3&sServiceType=cf&iActivityId=53309&"
                         "sServiceDepartment=group_f&isXhrPost=true"};
                w.body = kAmsPrefix + std::to_string(k.page->activity_id) +
                         "&iFlowId=" + std::to_string(flow) + "&g_tk=" + kToken +
                         "&e_code=244858&g_code=0&eas_url=http%253A%252F%252F" + site +
                         "%252Fcp%252Fa20160615summer%252F&eas_refer=%2520http%253A%252F%252F" +
                         site +
                         "%252Fweb201105%252Factions.shtml&xhr=1&sServiceDepartment=group_f&"
                         "xhrPostKey=xhr_";
                w.body_stamp = true;
                w.cookie = cookies.now();
                claims.push_back(w);
            }
        }
        std::vector<sim::LoggedRequest> got_partner, got_claims;
        for (const sim::LoggedRequest& r : take(sent, at, partner.size() + claims.size())) {
            const bool claim_side = r.host == "game_site_host" || r.host == "game_ams_host";
            (claim_side ? got_claims : got_partner).push_back(r);
        }
        EXPECT_TRUE(same_requests(got_partner, partner)) << "partner steps";
        EXPECT_TRUE(same_requests(got_claims, claims)) << "claim worker";
    }
    {
        SCOPED_TRACE("requests: records query");
        const std::vector<sim::LoggedRequest> records = take(sent, at, 1);
        ASSERT_EQ(records.size(), 1u);
        const sim::LoggedRequest& r = records[0];
        // A random fraction of 17 characters: a zero, a point and fifteen digits.
        const std::string head = "/cgi-bin/common?rand=";
        ASSERT_TRUE(starts_with(r.target, head)) << r.target;
        const std::string rand = r.target.substr(head.size(), 17);
        EXPECT_TRUE(rand.size() == 17 && starts_with(rand, "0") &&
                    std::all_of(rand.begin(), rand.end(),
                                [](unsigned char c) { return std::isdigit(c) || c == '.'; }))
            << rand;
        Want w{"support_host", "GET",
               head + rand +
                   "&command=command%3DC00006%26fromtype%3Dkfweb%26fromtoolid%3Dkfweb514%26type%"
                   "3DgetCFSpend%26area%3D318%26server_id%3D82%26server_name%3D%E5%B9%BF%E4%B8%"
                   "9C%E7%94%B5%E4%BF%A1%26area_id%3D318%26area_name%3D%E5%B9%BF%E4%B8%9C%E7%94%"
                   "B5%E4%BF%A1%E4%B8%80%E5%8C%BA%0D%0A"};
        w.cookie = cookies.now();
        w.referer = "http://" + sim.address("support_host") + "/game/consume_records.html?code=cf";
        EXPECT_TRUE(matches(r, w));
        EXPECT_EQ(header(r, "User-Agent"), kUserAgent);
    }
    {
        SCOPED_TRACE("requests: statistics, role scan and timed grab");
        std::vector<Want> wants;
        Want w{"game_apps_host", "GET", "/cgi-bin/cf/userinfo/userinfo.cgi?ssn=341"};
        w.cookie = cookies.now();
        wants.push_back(w);
        for (const Area& a : kAreas) {
            wants.push_back(cookies.role_query(a.code, "14687456405913981"));
        }
        for (int i = 0; i < 3; ++i) {
            w = Want{"game_ams_host", "POST",
                     "/ams/ame/ame.php?ameVersion=0.3&sServiceType=cf&iActivityId=51000&"
                     "sServiceDepartment=group_f&isXhrPost=true"};
            w.body = std::string(kAmsPrefix) + "51000&iFlowId=300001&g_tk=" + kToken +
                     "&e_code=242216&g_code=0&eas_url=http%253A%252F%252F" + site +
                     "%252Fcp%252Fa20160615fsxb%252F&eas_refer=&xhr=1&sServiceDepartment=group_f&"
                     "xhrPostKey=xhr_";
            w.body_stamp = true;
            w.cookie = cookies.now();
            wants.push_back(w);
        }
        EXPECT_TRUE(same_requests(take(sent, at, wants.size()), wants));
        EXPECT_EQ(at, sent.size()) << "requests after the timed grab";
    }

    // The session key stays in memory: no file of the run and no diagnostic holds it.
    const std::string key = sim::kSimSessionKey;
    EXPECT_EQ(run.err.find(key), std::string::npos) << "the session key is on stderr";
    for (const char* d : {"data", "cache", "config", "tmp"}) {
        for (const auto& entry : fs::recursive_directory_iterator(
                 root_ / d, fs::directory_options::skip_permission_denied)) {
            if (entry.is_regular_file()) {
                EXPECT_EQ(file_bytes(entry.path()).find(key), std::string::npos)
                    << "the session key is in " << entry.path();
            }
        }
    }
}

}  // namespace
}  // namespace velkor
