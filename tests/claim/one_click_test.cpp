#include "claim/one_click.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "app/threads.h"
#include "region/tables.h"
#include "script/csrf_token.h"
#include "sim/activities.h"
#include "sim/ams.h"
#include "sim/membership.h"
#include "tests/support/fake_ui.h"
#include "tests/support/raw_server.h"
#include "tests/support/sim_fixture.h"

namespace velkor {
namespace {

using namespace std::chrono_literals;
using test::field_of;

const char* const kVipIds[] = {"112435", "112440", "112441", "112443", "69430", "69429", "95335"};

bool has_cookie_header(const sim::LoggedRequest& r) {
    return std::any_of(r.headers.begin(), r.headers.end(), [](const auto& h) {
        std::string name = h.first;
        std::transform(name.begin(), name.end(), name.begin(), ::tolower);
        return name == "cookie";
    });
}

// The partner side (role lookup and partner steps), one short word per request.
std::vector<std::string> partner_requests(const std::vector<sim::LoggedRequest>& log) {
    std::vector<std::string> out;
    for (const auto& r : log) {
        if (r.host == "game_apps_host" && r.target.find("query_role.cgi") != std::string::npos) {
            out.push_back("role " + field_of(r.target, "area"));
        } else if (r.host == "static_cdn_host") {
            out.push_back("data " + r.target);
        } else if (r.host == "vip_act_host") {
            out.push_back("vip " + field_of(r.target, "actid"));
        } else if (r.host == "game_apps_host") {
            out.push_back("club " + field_of(r.body, "iFlowId"));
        }
    }
    return out;
}

// The worker side: pages (marked when they carried cookies) and listed claims with the
// activity of their URL, the activity of their body and the flow.
std::vector<std::string> worker_requests(const std::vector<sim::LoggedRequest>& log) {
    std::vector<std::string> out;
    for (const auto& r : log) {
        if (r.host == "game_site_host") {
            out.push_back("page " + r.target + (has_cookie_header(r) ? " with cookies" : ""));
        } else if (r.host == "game_ams_host") {
            out.push_back("claim " + field_of(r.target, "iActivityId") + " " +
                          field_of(r.body, "iActivityId") + " " + field_of(r.body, "iFlowId"));
        }
    }
    return out;
}

std::string path_of(const std::string& link) {
    const size_t host = link.find("//");
    return link.substr(link.find('/', host + 2));
}

std::vector<std::string> expected_partner_requests() {
    std::vector<std::string> out = {"role 318", "data /ACT/vip_act/act_data/67135.json.js"};
    for (const char* id : kVipIds) {
        out.push_back(std::string("vip ") + id);
    }
    out.push_back("vip 95334");
    for (const char* flow : sim::kClubFlows) {
        out.push_back(std::string("club ") + flow);
    }
    return out;
}

std::vector<std::string> expected_worker_requests(const std::vector<sim::SimActivity>& claimed) {
    std::vector<std::string> out;
    for (const auto& a : claimed) {
        out.push_back("page " + path_of(a.link));
        for (int flow : a.submit_flows) {
            out.push_back("claim 53309 " + std::to_string(a.activity_id) + " " +
                          std::to_string(flow));
        }
    }
    return out;
}

bool is_partner_line(const Text& line) {
    for (const char* title : {"[QQ会员合作专区]", "[心悦合作专区]"}) {
        if (line.rfind(gbk(title), 0) == 0) {
            return true;
        }
    }
    return false;
}

std::vector<Text> partner_lines(const std::vector<Text>& outputs) {
    std::vector<Text> out;
    std::copy_if(outputs.begin(), outputs.end(), std::back_inserter(out), is_partner_line);
    return out;
}

std::vector<Text> worker_lines(const std::vector<Text>& outputs) {
    std::vector<Text> out;
    std::copy_if(outputs.begin(), outputs.end(), std::back_inserter(out),
                 [](const Text& line) { return !is_partner_line(line); });
    return out;
}

std::vector<Text> expected_partner_lines() {
    const Text vip = gbk("[QQ会员合作专区]");
    std::vector<Text> out;
    for (const char* id : kVipIds) {
        // The silent activity's answer has no msg: its line is the bare title.
        const Text msg =
            id == std::string(sim::kVipSilentActivity) ? Text() : gbk(sim::vip_claim_message(id));
        out.push_back(vip + msg + "\r\n");
    }
    out.push_back(vip + gbk("恭喜您获得QQ会员专属礼包") + "\r\n");
    const Text club = gbk("[心悦合作专区]");
    for (const char* flow : sim::kClubFlows) {
        if (flow == std::string(sim::kClubClaimedFlow)) {
            out.push_back(club + gbk("您已经领取过该礼包了") + "\r\n");  // no sMsg
            continue;
        }
        // The service writes sMsg first; msg's line still comes first.
        out.push_back(club + gbk("领取成功") + "\r\n");
        out.push_back(club + "tgclub gift " + flow + "\r\n");
    }
    return out;
}

// Each line whole: the name on its own line, the message on the next, in one append.
std::vector<Text> activity_lines(const sim::SimActivity& a) {
    const Text title = "[" + gbk(a.name) + "]\r\n";
    std::vector<Text> out;
    for (int f : a.submit_flows) {
        const std::string flow = std::to_string(f);
        out.push_back(title + gbk("领取成功") + "\r\n");
        out.push_back(title + gbk("恭喜您获得" + sim::gift_of_flow(flow) + "（流程" + flow + "）") +
                      "\r\n");
    }
    return out;
}

const Text kDone = gbk("提示：领取完成\r\n");

class OneClickTest : public ::testing::Test {
  protected:
    void SetUp() override {
        state_->set_cookie_text("uin=o012345678; skey=@Vk7Q2xLp9");
        state_->set_uin("12345678");
        state_->set_csrf_token(csrf_token("@Vk7Q2xLp9"));
        state_->set_area_codes(split(region::area_codes_text(), "\r\n"));
        state_->set_region_table(split(region::region_text(), "\r\n"));
        state_->set_logged_in(true);
        plug_one_click(commands_);
    }
    void TearDown() override { ASSERT_TRUE(wait_idle(20000)); }

    // The first `count` listed activities that have pages of their own, as collected;
    // the first `with_ids` of them bound.
    std::vector<sim::SimActivity> collect(size_t count, size_t with_ids) {
        std::vector<sim::SimActivity> picked;
        for (const auto& a : sim::listed_activities(fixture_.sim())) {
            if (a.activity_id > 0 && picked.size() < count) {
                picked.push_back(a);
            }
        }
        TextList names, urls, ids;
        for (const auto& a : picked) {
            names.push_back(gbk(a.name));
            urls.push_back(a.link);
            if (ids.size() < with_ids) {
                ids.push_back(std::to_string(a.activity_id));
            }
        }
        state_->set_activities(names, urls);
        state_->set_activity_ids(ids);
        return picked;
    }

    void press_and_wait() {
        commands_.press(Command::one_click, context_);
        ASSERT_TRUE(wait_idle(20000));
    }

    test::SimFixture fixture_;
    std::shared_ptr<AppState> state_ = std::make_shared<AppState>();
    std::shared_ptr<testing::FakeUi> ui_ = std::make_shared<testing::FakeUi>();
    Context context_{state_, ui_};
    Commands commands_;
};

TEST_F(OneClickTest, ClaimsEveryActivityAndThePartnerRewardsEachInItsOrder) {
    const auto activities = collect(4, 4);
    ASSERT_GE(activities[0].submit_flows.size(), 2u);  // a page with two flows
    press_and_wait();

    const auto log = fixture_.sim().requests();
    EXPECT_EQ(partner_requests(log), expected_partner_requests());
    EXPECT_EQ(worker_requests(log), expected_worker_requests(activities));

    const auto outputs = ui_->outputs();
    EXPECT_EQ(partner_lines(outputs), expected_partner_lines());
    std::vector<Text> worker;
    for (const auto& a : activities) {
        const auto lines = activity_lines(a);
        worker.insert(worker.end(), lines.begin(), lines.end());
    }
    worker.push_back(kDone);
    EXPECT_EQ(worker_lines(outputs), worker);

    EXPECT_EQ(to_utf8(state_->role_name()), "火线小兵");
    EXPECT_EQ(state_->vip_activity_ids(), TextList(std::begin(kVipIds), std::end(kVipIds)));
    EXPECT_EQ(state_->club_flow_ids(),
              TextList(std::begin(sim::kClubFlows), std::end(sim::kClubFlows)));
}

TEST_F(OneClickTest, NoActivitiesFinishesAtOnceWhileThePartnerStepsRun) {
    press_and_wait();
    const auto log = fixture_.sim().requests();
    EXPECT_TRUE(worker_requests(log).empty());
    EXPECT_EQ(partner_requests(log), expected_partner_requests());
    EXPECT_EQ(worker_lines(ui_->outputs()), std::vector<Text>{kDone});
    EXPECT_EQ(partner_lines(ui_->outputs()), expected_partner_lines());
}

TEST_F(OneClickTest, ActivitiesWithoutAnIdAreSkippedAndCountedInOneLine) {
    const struct {
        size_t activities, ids;
        const char* line;  // UTF-8
    } cases[] = {
        {3, 1,
         "提示：2个活动尚未绑定大区，未领取，请先点击绑定大区\r\n"},  // collected after a binding
        {2, 0, "提示：2个活动尚未绑定大区，未领取，请先点击绑定大区\r\n"},  // never bound
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.activities);
        ui_ = std::make_shared<testing::FakeUi>();
        context_.ui = ui_;
        fixture_.sim().clear_log();
        const auto all = collect(c.activities, c.ids);
        const std::vector<sim::SimActivity> bound(all.begin(), all.begin() + c.ids);
        press_and_wait();

        EXPECT_EQ(worker_requests(fixture_.sim().requests()), expected_worker_requests(bound));
        std::vector<Text> worker;
        for (const auto& a : bound) {
            const auto lines = activity_lines(a);
            worker.insert(worker.end(), lines.begin(), lines.end());
        }
        worker.push_back(gbk(c.line));
        worker.push_back(kDone);
        EXPECT_EQ(worker_lines(ui_->outputs()), worker);
    }
}

TEST_F(OneClickTest, TwoPressesAtOnceEachClaimEveryFlowOfTheirOwn) {
    const auto activities = collect(3, 3);
    const std::string first = std::to_string(activities[0].activity_id);
    const std::string first_flow = std::to_string(activities[0].submit_flows.at(0));
    const std::string second = std::to_string(activities[1].activity_id);
    ASSERT_GE(activities[0].submit_flows.size(), 2u);
    // The first worker's first claim is answered only once the second worker claims
    // the second activity: the first is then amid the first activity's flows while
    // the second has already found another page's.
    struct Gate {
        std::mutex mutex;
        std::condition_variable changed;
        bool held = false;
        bool released = false;
    };
    auto gate = std::make_shared<Gate>();
    fixture_.sim().handle(
        "game_ams_host", "POST", "/ams/ame/ame.php",
        [=](const httplib::Request& req, httplib::Response& res) {
            const std::string id = field_of(req.body, "iActivityId");
            const std::string flow = field_of(req.body, "iFlowId");
            std::unique_lock lock(gate->mutex);
            if (id == first && flow == first_flow && !gate->held) {
                gate->held = true;
                gate->changed.wait_for(lock, 10s, [&] { return gate->released; });
            } else if (id == second) {
                gate->released = true;
                gate->changed.notify_all();
            }
            res.set_content(R"({"ret":"0","msg":"ok","sMsg":"flow )" + id + "/" + flow + R"("})",
                            "application/json");
        });
    commands_.press(Command::one_click, context_);
    commands_.press(Command::one_click, context_);
    ASSERT_TRUE(wait_idle(30000));

    {
        std::lock_guard lock(gate->mutex);
        EXPECT_TRUE(gate->held);
        EXPECT_TRUE(gate->released);
    }
    const auto log = fixture_.sim().requests();
    // Each activity's page twice and each of its flows twice: no worker lost flows or
    // took another's.
    std::map<std::string, int> seen;
    for (const auto& r : worker_requests(log)) {
        ++seen[r];
    }
    std::map<std::string, int> expected;
    for (const auto& r : expected_worker_requests(activities)) {
        expected[r] += 2;
    }
    EXPECT_EQ(seen, expected);
    std::map<Text, int> worker_seen;
    for (const auto& line : worker_lines(ui_->outputs())) {
        ++worker_seen[line];
    }
    std::map<Text, int> worker_expected{{kDone, 2}};
    for (const auto& a : activities) {
        const Text title = "[" + gbk(a.name) + "]\r\n";
        for (int flow : a.submit_flows) {
            worker_expected[title + "ok\r\n"] += 2;
            worker_expected[title + "flow " + std::to_string(a.activity_id) + "/" +
                            std::to_string(flow) + "\r\n"] += 2;
        }
    }
    EXPECT_EQ(worker_seen, worker_expected);

    // The partner steps of the two presses one after the other, each whole.
    auto twice = expected_partner_requests();
    const auto once = twice;
    twice.insert(twice.end(), once.begin(), once.end());
    EXPECT_EQ(partner_requests(log), twice);
    auto lines_twice = expected_partner_lines();
    const auto lines_once = lines_twice;
    lines_twice.insert(lines_twice.end(), lines_once.begin(), lines_once.end());
    EXPECT_EQ(partner_lines(ui_->outputs()), lines_twice);
}

TEST_F(OneClickTest, RoleIsLookedUpForTheAreaSelectedAtThePress) {
    const TextList codes = state_->area_codes();
    const int mobile =
        static_cast<int>(std::find(codes.begin(), codes.end(), "360") - codes.begin());
    ASSERT_LT(mobile, static_cast<int>(codes.size()));
    ui_->select_area(mobile);
    commands_.press(Command::one_click, context_);
    ui_->select_area(0);  // the user moves on before the worker reads anything
    ASSERT_TRUE(wait_idle(20000));

    EXPECT_EQ(state_->role_name(), "Ghost_7");
    const auto requests = partner_requests(fixture_.sim().requests());
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.front(), "role 360");
}

TEST_F(OneClickTest, FailedRequestsWriteWhatTheirReadersMakeOfNothing) {
    const auto activities = collect(2, 2);
    fixture_.sim().set_fault("game_site_host", path_of(activities[0].link),
                             {sim::FaultMode::garbage});
    fixture_.sim().set_fault("vip_act_host", "/ams3.0.php", {sim::FaultMode::garbage});
    press_and_wait();

    // The first page gave nothing, so that activity sent no claim; the next went on.
    std::vector<std::string> worker = {"page " + path_of(activities[0].link)};
    const auto second = expected_worker_requests({activities[1]});
    worker.insert(worker.end(), second.begin(), second.end());
    EXPECT_EQ(worker_requests(fixture_.sim().requests()), worker);
    std::vector<Text> lines = activity_lines(activities[1]);
    lines.push_back(kDone);
    EXPECT_EQ(worker_lines(ui_->outputs()), lines);

    // Every membership line is the bare title; the club lines are as ever.
    std::vector<Text> partner(8, gbk("[QQ会员合作专区]\r\n"));
    const auto club = expected_partner_lines();
    partner.insert(partner.end(), club.begin() + 8, club.end());
    EXPECT_EQ(partner_lines(ui_->outputs()), partner);
}

TEST_F(OneClickTest, NotLoggedInWritesTheReminderAndSendsNothing) {
    collect(2, 2);
    state_->set_logged_in(false);
    press_and_wait();
    EXPECT_EQ(ui_->outputs(), std::vector<Text>{login_reminder()});
    EXPECT_TRUE(fixture_.sim().requests().empty());
}

}  // namespace
}  // namespace velkor
