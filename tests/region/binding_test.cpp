#include "region/binding.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "claim/forms.h"
#include "claim/session.h"
#include "platform/profile.h"
#include "region/role.h"
#include "sim/activities.h"
#include "sim/roles.h"
#include "sim/service_text.h"
#include "tests/region/signed_in.h"

namespace velkor {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const char* const kSignupTarget =
    "/ams/ame/ame.php?ameVersion=0.3&sServiceType=cf&iActivityId=53353"
    "&sServiceDepartment=group_f&isXhrPost=true";

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

Text bound(const Text& name, const char* area) {
    return "[" + name + "]" + gbk(area) + gbk("  绑定成功\r\n");
}

Text not_bound(const Text& name) {
    return "[" + name + gbk("]绑定失败\r\n");
}

const Text& completion() {
    static const Text line = gbk("提示：绑定完成，开始领取吧！\r\n");
    return line;
}

// An activity as the collection stores it, with the ids its page holds.
struct Listed {
    Text name;
    std::string url;
    std::string id;
    std::string flow;
};

class BindingTest : public test::SignedInTest {
  protected:
    void SetUp() override {
        SignedInTest::SetUp();
        plug_binding(commands_);
    }

    // `count` activities of the simulator's site from position `first` on.
    std::vector<Listed> site_activities(size_t first, size_t count) {
        std::vector<Listed> found;
        for (const sim::SimActivity& a : sim::listed_activities(fixture_.sim())) {
            if (!a.partner && a.activity_id > 0) {
                found.push_back({gbk(a.name), a.link, std::to_string(a.activity_id),
                                 std::to_string(a.init_flow)});
            }
        }
        found.erase(found.begin(), found.begin() + static_cast<long>(first));
        found.resize(count);
        return found;
    }

    // As the cache loader leaves them after a collection.
    void collect(const std::vector<Listed>& activities) {
        TextList names, urls;
        for (const Listed& a : activities) {
            names.push_back(a.name);
            urls.push_back(a.url);
        }
        state_->set_activities(names, urls);
    }

    static TextList ids_of(const std::vector<Listed>& activities) {
        TextList ids;
        for (const Listed& a : activities) {
            ids.push_back(a.id);
        }
        return ids;
    }

    void sign_in_as(const std::string& account) {
        state_->set_cookie_text("uin=o0" + account + "; skey=@Vk7Q2xLp9");
        state_->set_uin(account);
    }
};

TEST_F(BindingTest, ThreeActivitiesOneLineEachThenTheCompletionLine) {
    const auto activities = site_activities(0, 3);
    collect(activities);
    ui_->select_area(test::kGuangdong1);
    press_and_wait(Command::bind_area);

    const auto lines = ui_->outputs();
    EXPECT_EQ(lines,
              (std::vector<Text>{gbk("ID：火线小兵\r\n"), bound(activities[0].name, "广东电信一区"),
                                 bound(activities[1].name, "广东电信一区"),
                                 bound(activities[2].name, "广东电信一区"), completion()}));
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[1], gbk("[夏日狂欢]广东电信一区  绑定成功\r\n"));

    const std::string md5 = sim::role_md5str(test::kAccount, "318");
    EXPECT_EQ(state_->role_name(), gbk("火线小兵"));
    EXPECT_EQ(state_->role_md5str(), md5);
    EXPECT_EQ(state_->activity_ids(), ids_of(activities));

    // The lookup, then per activity: its page, the role query, the sign-up.
    const auto requests = fixture_.sim().requests();
    ASSERT_EQ(requests.size(), 10u);
    EXPECT_EQ(test::path_of(requests[0].target), test::kRolePath);
    EXPECT_EQ(test::field_of(test::query_of(requests[0].target), "callback"), "14687456405913981");
    EXPECT_EQ(test::field_of(test::query_of(requests[0].target), "area"), "318");
    for (size_t i = 0; i < activities.size(); ++i) {
        SCOPED_TRACE(i);
        const auto& page = requests[1 + 3 * i];
        EXPECT_EQ(page.method, "GET");
        EXPECT_EQ(page.host, "game_site_host");
        EXPECT_EQ("http://" + fixture_.sim().address("game_site_host") + page.target,
                  activities[i].url);
        EXPECT_EQ(test::header_of(page, "Cookie"), nullptr);

        const auto& role = requests[2 + 3 * i];
        EXPECT_EQ(role.method, "GET");
        EXPECT_EQ(role.host, "game_apps_host");
        EXPECT_EQ(test::path_of(role.target), test::kRolePath);
        const std::string query = test::query_of(role.target);
        EXPECT_EQ(test::field_of(query, "game"), "cf");
        EXPECT_EQ(test::field_of(query, "area"), "318");
        EXPECT_EQ(test::field_of(query, "callback"), "14688557963547031");
        EXPECT_EQ(test::field_of(query, "sServiceDepartment"), "group_f");
        ASSERT_NE(test::header_of(role, "Cookie"), nullptr);
        EXPECT_NE(test::header_of(role, "Cookie")->find(test::kSignedInCookies), std::string::npos);

        const auto& signup = requests[3 + 3 * i];
        EXPECT_EQ(signup.method, "POST");
        EXPECT_EQ(signup.host, "game_ams_host");
        EXPECT_EQ(signup.target, kSignupTarget);
        ASSERT_NE(test::header_of(signup, "Cookie"), nullptr);
        EXPECT_NE(test::header_of(signup, "Cookie")->find(test::kSignedInCookies),
                  std::string::npos);
        const std::string& body = signup.body;
        // The role name goes unencoded, the area name twice encoded (广 is E5 B9 BF).
        EXPECT_EQ(body.rfind("sign_version=1.0&action_id=19147&user_area=318&user_roleId=12345678"
                             "&user_roleName=" +
                                 gbk("火线小兵") + "&user_areaName=%25E5%25B9%25BF",
                             0),
                  0u)
            << body;
        EXPECT_EQ(test::field_of(body, "user_checkparam"),
                  "cf%257Cyes%257C12345678%257C318%257C12345678*");
        EXPECT_EQ(test::field_of(body, "user_md5str"), md5);
        EXPECT_EQ(test::field_of(body, "iActivityId"), activities[i].id);
        EXPECT_EQ(test::field_of(body, "iFlowId"), activities[i].flow);
        EXPECT_EQ(test::field_of(body, "g_tk"), "1840317246");
        const std::string key = test::field_of(body, "xhrPostKey");
        EXPECT_EQ(key.size(), 4u + 13u) << key;
        EXPECT_EQ(key.rfind("xhr_", 0), 0u) << key;
    }
}

TEST_F(BindingTest, PagesWithoutIdsStillSignUpAndFail) {
    fixture_.sim().handle("game_site_host", "GET", "/cp/plain/index.htm",
                          [](const httplib::Request&, httplib::Response& res) {
                              res.set_content(
                                  "<html><a href=\"javascript:amsSubmit(51000,300001);"
                                  "\">claim</a></html>",
                                  "text/html");
                          });
    const auto site = site_activities(0, 2);
    const std::vector<Listed> activities = {
        site[0],
        {gbk("无初始化"), fixture_.url("game_site_host", "/cp/plain/index.htm"), "", ""},
        {gbk("无法访问"), "http://127.0.0.1:1/cp/gone/index.htm", "", ""},
        {gbk("无地址"), "", "", ""},  // a collected row whose link was too short
        site[1],
    };
    collect(activities);
    press_and_wait(Command::bind_area);

    EXPECT_EQ(ui_->outputs(),
              (std::vector<Text>{gbk("ID：火线小兵\r\n"), bound(site[0].name, "广东电信一区"),
                                 not_bound(activities[1].name), not_bound(activities[2].name),
                                 not_bound(activities[3].name), bound(site[1].name, "广东电信一区"),
                                 completion()}));
    // An empty id keeps its place, so entry i still belongs to activity i.
    EXPECT_EQ(state_->activity_ids(), ids_of(activities));

    const auto signups = requests_to(test::kAmsPath);
    ASSERT_EQ(signups.size(), activities.size());
    for (size_t i = 0; i < signups.size(); ++i) {
        EXPECT_EQ(test::field_of(signups[i].body, "iActivityId"), activities[i].id) << i;
        EXPECT_EQ(test::field_of(signups[i].body, "iFlowId"), activities[i].flow) << i;
    }
    EXPECT_NE(signups[1].body.find("&iActivityId=&iFlowId=&g_tk="), std::string::npos);
}

TEST_F(BindingTest, TheAnswerIsUnescapedBeforeTheSearch) {
    // The simulator writes its success only as \u escapes.
    const auto activities = site_activities(0, 4);
    {
        const ClaimSession session = claim_session(context_);
        const std::string md5 = region::md5str_of(
            send_request(region::signup_role_query(session.area_code), *state_).body);
        const std::string answer = send_request(cf_signup(activities[0].id, activities[0].flow,
                                                          session, md5, "1764554400000"),
                                                *state_)
                                       .body;
        EXPECT_NE(answer.find("\\u62a5\\u540d\\u6210\\u529f"), std::string::npos) << answer;
        EXPECT_EQ(answer.find(gbk("报名成功")), std::string::npos);
        EXPECT_EQ(answer.find("报名成功"), std::string::npos);
    }

    struct Case {
        std::string answer;
        bool success;
    };
    const std::map<std::string, Case> by_activity = {
        {activities[0].id, {R"({"ret":"0","msg":"\u62a5\u540d\u6210\u529f"})", true}},
        // 已经报名: the words of a failure, escaped the same way.
        {activities[1].id, {R"({"ret":"600","msg":"\u5df2\u7ecf\u62a5\u540d"})", false}},
        {activities[2].id, {"", false}},
        {activities[3].id, {R"({"ret":"0","sMsg":"\u62a5\u540d\u6210\u529f\uff01"})", true}},
    };
    fixture_.sim().handle(
        "game_ams_host", "POST", test::kAmsPath,
        [by_activity](const httplib::Request& req, httplib::Response& res) {
            const auto it = by_activity.find(sim::form_fields(req.body)["iActivityId"]);
            res.set_content(it == by_activity.end() ? "" : it->second.answer, "application/json");
        });
    collect(activities);
    binding_worker(context_);

    std::vector<Text> expected;
    for (const Listed& a : activities) {
        expected.push_back(by_activity.at(a.id).success ? bound(a.name, "广东电信一区")
                                                        : not_bound(a.name));
    }
    expected.push_back(completion());
    EXPECT_EQ(ui_->outputs(), expected);
}

TEST_F(BindingTest, AreaRememberedPerAccount) {
    sign_in_as("12345");
    const std::string path = area_memory_path();
    ASSERT_TRUE(platform::write_profile(path, "user", "999", gbk("广东电信一区")));

    ui_->select_area(test::kMobile);
    press_and_wait(Command::bind_area);
    EXPECT_EQ(read_file(path), gbk("[user]\r\n999=广东电信一区\r\n12345=移动专区\r\n"));
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    // No collected activities: the worker writes only its completion line.
    EXPECT_EQ(ui_->outputs(), (std::vector<Text>{gbk("ID：Ghost_7\r\n"), completion()}));

    ui_->select_area(test::kJiangsu1);
    press_and_wait(Command::bind_area);
    EXPECT_EQ(read_file(path), gbk("[user]\r\n999=广东电信一区\r\n12345=江苏电信一区\r\n"));
    EXPECT_EQ(state_->role_name(), gbk("风之子"));
}

TEST_F(BindingTest, NoRoleOnTheAreaStillRemembersAndBinds) {
    state_->set_role_name(gbk("火线小兵"));
    const auto activities = site_activities(0, 1);
    collect(activities);
    ui_->select_area(test::kGuangdong2);
    press_and_wait(Command::bind_area);

    // Without a role the service has no md5str to check, and refuses.
    EXPECT_EQ(ui_->outputs(),
              (std::vector<Text>{gbk("在该服务器上未获取到角色信息！请重新绑定\r\n"),
                                 not_bound(activities[0].name), completion()}));
    EXPECT_EQ(state_->role_name(), "");
    EXPECT_EQ(platform::read_profile(area_memory_path(), "user", test::kAccount),
              gbk("广东电信二区"));
    const auto signups = requests_to(test::kAmsPath);
    ASSERT_EQ(signups.size(), 1u);
    EXPECT_NE(signups[0].body.find("&user_roleName=&user_areaName="), std::string::npos);
    EXPECT_EQ(test::field_of(signups[0].body, "user_area"), "327");
}

TEST_F(BindingTest, ActivityIdsFitTheNamesAfterEachRun) {
    const auto first = site_activities(0, 3);
    collect(first);
    press_and_wait(Command::bind_area);
    EXPECT_EQ(state_->activity_ids(), ids_of(first));

    // A new collection with fewer activities, in another order: the ids fit the
    // names again only after the next run.
    const std::vector<Listed> second = {site_activities(3, 1)[0], first[1]};
    collect(second);
    EXPECT_EQ(state_->activity_ids(), ids_of(first));
    press_and_wait(Command::bind_area);
    EXPECT_EQ(state_->activity_ids(), ids_of(second));
    EXPECT_EQ(state_->activity_ids().size(), state_->activity_names().size());
}

TEST_F(BindingTest, TwoRunsSideBySideEachCompleteWithTheirOwnList) {
    auto clock = std::make_shared<platform::TestClock>(platform::LocalTime{2026, 12, 1, 10});
    context_.clock = clock;
    const auto first = site_activities(0, 3);
    const auto second = site_activities(3, 2);

    collect(first);
    commands_.press(Command::bind_area, context_);
    // Asleep after its first activity: it has taken its list.
    ASSERT_TRUE(clock->wait_for_sleepers(1, 20s));
    collect(second);
    commands_.press(Command::bind_area, context_);
    ASSERT_TRUE(clock->wait_for_sleepers(2, 20s));
    bool idle = false;
    for (int i = 0; i < 2000 && !idle; ++i) {
        clock->advance(100ms);
        idle = wait_idle(5);
    }
    ASSERT_TRUE(idle);

    const auto lines = ui_->outputs();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), gbk("ID：火线小兵\r\n")), 2);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), completion()), 2);
    ASSERT_EQ(lines.size(), 2u + first.size() + second.size() + 2u);
    EXPECT_EQ(lines.back(), completion());
    // Each run's lines, in its own order.
    for (const auto* run : {&first, &second}) {
        std::vector<Text> own, expected;
        for (const Listed& a : *run) {
            expected.push_back(bound(a.name, "广东电信一区"));
        }
        std::copy_if(lines.begin(), lines.end(), std::back_inserter(own), [&](const Text& line) {
            return std::find(expected.begin(), expected.end(), line) != expected.end();
        });
        EXPECT_EQ(own, expected);
    }
    // One whole run's ids, never a mix of both.
    const TextList ids = state_->activity_ids();
    EXPECT_TRUE(ids == ids_of(first) || ids == ids_of(second)) << ::testing::PrintToString(ids);
}

TEST_F(BindingTest, SelectionChangedDuringARunCountsFromTheNextActivity) {
    // The user picks 江苏电信一区 while the first activity's role query is on its way.
    auto changed = std::make_shared<std::atomic<bool>>(false);
    fixture_.sim().handle("game_apps_host", "GET", test::kRolePath,
                          [ui = ui_, changed](const httplib::Request& req, httplib::Response& res) {
                              const std::string callback = req.get_param_value("callback");
                              if (callback == "14688557963547031" && !changed->exchange(true)) {
                                  ui->select_area(test::kJiangsu1);
                              }
                              res.set_content(
                                  sim::role_answer_text(sim::signed_in_account(req),
                                                        req.get_param_value("area"), callback),
                                  "text/javascript; charset=utf-8");
                          });
    const auto activities = site_activities(0, 2);
    collect(activities);
    ui_->select_area(test::kGuangdong1);
    press_and_wait(Command::bind_area);

    // One activity is bound to one area: its role query's, its sign-up's and its line's.
    EXPECT_EQ(ui_->outputs(),
              (std::vector<Text>{gbk("ID：火线小兵\r\n"), bound(activities[0].name, "广东电信一区"),
                                 bound(activities[1].name, "江苏电信一区"), completion()}));
    const auto signups = requests_to(test::kAmsPath);
    ASSERT_EQ(signups.size(), 2u);
    EXPECT_EQ(test::field_of(signups[0].body, "user_area"), "318");
    EXPECT_EQ(test::field_of(signups[1].body, "user_area"), "344");
    // The file keeps the area selected at the press.
    EXPECT_EQ(platform::read_profile(area_memory_path(), "user", test::kAccount),
              gbk("广东电信一区"));
}

TEST_F(BindingTest, NotLoggedInRemindsOnly) {
    state_->set_logged_in(false);
    state_->set_role_name(gbk("火线小兵"));
    collect(site_activities(0, 2));
    press_and_wait(Command::bind_area);

    EXPECT_EQ(ui_->outputs(), std::vector<Text>{login_reminder()});
    EXPECT_FALSE(fs::exists(area_memory_path()));
    EXPECT_TRUE(fixture_.sim().requests().empty());
    EXPECT_EQ(state_->role_name(), gbk("火线小兵"));
    EXPECT_TRUE(state_->activity_ids().empty());
}

}  // namespace
}  // namespace velkor
