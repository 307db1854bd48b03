// The simulator's faults, each met by the request engine with a sound outcome.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <future>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "tests/support/sim_fixture.h"
#include "web/cookie_store.h"
#include "web/endpoints.h"
#include "web/http.h"

namespace velkor {
namespace {

using sim::Fault;
using sim::FaultMode;

constexpr const char* kHost = "game_ams_host";

class SimulatorTest : public ::testing::Test {
  protected:
    std::string url(std::string_view path, std::string_view host = kHost) {
        return fixture.url(host, path);
    }
    test::SimFixture fixture;
};

TEST_F(SimulatorTest, EchoSetCookieAndLogRecordTheExchange) {
    const HttpResult echo = http_request(
        {.url = url("/__sim/echo?a=1"), .method = HttpMethod::post, .body_text = "x=y"});
    EXPECT_EQ(echo.body, "POST /__sim/echo?a=1\nx=y");

    LocalCookies cookies;
    http_request(
        {.url = url("/__sim/set_cookie?sid=abc&uin=o123"), .cookies = &cookies, .merge = true});
    EXPECT_EQ(cookies.cookie_text(), "sid=abc; uin=o123");

    const auto log = fixture.sim().requests();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].host, kHost);
    EXPECT_EQ(log[0].method, "POST");
    EXPECT_EQ(log[0].target, "/__sim/echo?a=1");
    EXPECT_EQ(log[0].body, "x=y");
    const auto has = [&](const std::string& name, const std::string& value) {
        for (const auto& [n, v] : log[0].headers) {
            if (n == name && v == value) {
                return true;
            }
        }
        return false;
    };
    EXPECT_TRUE(has("Accept-Language", "zh-cn"));
    EXPECT_TRUE(has("Referer", url("/__sim/echo?a=1")));
    fixture.sim().clear_log();
    EXPECT_TRUE(fixture.sim().requests().empty());
}

TEST_F(SimulatorTest, HandlersBelongToTheirHostAndUnknownPathsAnswer404) {
    fixture.sim().handle("game_apps_host", "GET", "/only/here",
                         [](const httplib::Request&, httplib::Response& res) {
                             res.set_content("here", "text/plain");
                         });
    EXPECT_EQ(http_request({.url = url("/only/here", "game_apps_host")}).body, "here");
    const HttpResult elsewhere = http_request({.url = url("/only/here", "support_host")});
    EXPECT_EQ(elsewhere.body, "not found\n");
    EXPECT_EQ(elsewhere.answer_headers.rfind("HTTP/1.1 404", 0), 0u);
    // HEAD is served by the GET handler, without a body.
    const HttpResult head =
        http_request({.url = url("/only/here", "game_apps_host"), .method = HttpMethod::head});
    EXPECT_EQ(head.answer_headers.rfind("HTTP/1.1 200", 0), 0u);
    EXPECT_EQ(head.body, "");
}

TEST_F(SimulatorTest, AHandlerLookedUpWrapsTheEndpointsOwnAnswer) {
    sim::Simulator& sim = fixture.sim();
    EXPECT_FALSE(sim.handler("game_apps_host", "GET", "/no/such/path"));
    const sim::Simulator::Handler echo = sim.handler(kHost, "*", "/__sim/echo");
    ASSERT_TRUE(echo);
    sim.handle(kHost, "*", "/__sim/echo",
               [echo](const httplib::Request& req, httplib::Response& res) {
                   echo(req, res);
                   res.set_header("Set-Cookie", "wrapped=1; Path=/");
               });
    LocalCookies cookies;
    const HttpResult r =
        http_request({.url = url("/__sim/echo"), .cookies = &cookies, .merge = true});
    EXPECT_EQ(r.body, "GET /__sim/echo\n");
    EXPECT_EQ(cookies.cookie_text(), "wrapped=1");
}

TEST_F(SimulatorTest, RedirectKeepsOnlyTheFinalAnswersCookies) {
    LocalCookies cookies;
    const HttpResult r = http_request({.url = url("/__sim/redirect?to=/__sim/set_cookie%3Ffin%3D2"),
                                       .cookies = &cookies,
                                       .merge = true});
    EXPECT_EQ(r.body, "cookies set\n");
    EXPECT_EQ(cookies.cookie_text(), "fin=2");
}

TEST_F(SimulatorTest, FaultsEndWithASoundOutcome) {
    platform::CurlHttpClient quick({std::chrono::milliseconds(1000), 1, std::chrono::seconds(1)});
    // GET: an uploaded body would keep curl's speed average up for seconds.
    const std::string path = "/__sim/echo";
    const std::string target = path + "?pad=" + std::string(500, 'p');
    const std::string full = "GET " + target + "\n";

    struct Case {
        Fault fault;
        std::function<void(const HttpResult&)> check;
    } cases[] = {
        {{FaultMode::slow, 200}, [&](const HttpResult& r) { EXPECT_EQ(r.body, full); }},
        {{FaultMode::hang, 0}, [&](const HttpResult& r) { EXPECT_EQ(r.body, ""); }},
        {{FaultMode::reset, 100},
         [&](const HttpResult& r) { EXPECT_EQ(r.body, full.substr(0, 100)); }},
        {{FaultMode::reset, 0},
         [&](const HttpResult& r) { EXPECT_EQ(r.body, full.substr(0, full.size() / 2)); }},
        {{FaultMode::huge, 8 << 20},
         [&](const HttpResult& r) {
             EXPECT_EQ(r.body.size(), size_t(8) << 20);
             EXPECT_EQ(r.body.find_first_not_of('h'), std::string::npos);
         }},
        {{FaultMode::garbage, 5000},
         [&](const HttpResult& r) {
             EXPECT_EQ(r.body, "");
             EXPECT_EQ(r.answer_headers, "");
         }},
        {{FaultMode::huge, 50 << 20},
         [&](const HttpResult& r) {
             EXPECT_TRUE(r.completed);
             EXPECT_EQ(r.body.size(), size_t(50) << 20);
         }},
        // The block stops before its blank line: nothing of it counts, its cookie neither.
        {{FaultMode::cut_headers, 0},
         [&](const HttpResult& r) {
             EXPECT_FALSE(r.completed);
             EXPECT_EQ(r.status, 0);
             EXPECT_EQ(r.body, "");
             EXPECT_EQ(r.answer_headers, "");
         }},
        {{FaultMode::cut_headers, 20}, [&](const HttpResult& r) { EXPECT_EQ(r.body, ""); }},
        // The endpoint's own answer under an error status.
        {{FaultMode::server_error, 0},
         [&](const HttpResult& r) {
             EXPECT_TRUE(r.completed);
             EXPECT_EQ(r.status, 500);
             EXPECT_EQ(r.body, full);
         }},
        {{FaultMode::server_error, 503}, [&](const HttpResult& r) { EXPECT_EQ(r.status, 503); }},
        // Slow but steady: read whole.
        {{FaultMode::trickle, 2000},
         [&](const HttpResult& r) {
             EXPECT_TRUE(r.completed);
             EXPECT_EQ(r.body, full);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(sim::fault_mode_name(c.fault.mode)));
        fixture.sim().set_fault(kHost, path, c.fault);
        LocalCookies cookies("a=1;b=2");
        const HttpResult r =
            http_request({.url = url(target), .cookies = &cookies, .merge = true}, quick);
        c.check(r);
        EXPECT_EQ(cookies.cookie_text(), "a=1; b=2");
        fixture.sim().set_fault(kHost, path, {});
        // The endpoint answers normally again.
        EXPECT_EQ(
            http_request({.url = url(path), .method = HttpMethod::post, .body_text = "ok"}, quick)
                .body,
            "POST " + path + "\nok");
    }
}

TEST_F(SimulatorTest, TrickleSlowerThanTheTotalLimitIsCut) {
    // 20 bytes a second against a 1 s limit: some of the answer, never all.
    platform::CurlHttpClient quick(
        {std::chrono::milliseconds(1000), 1, std::chrono::seconds(1), std::chrono::seconds(1)});
    fixture.sim().set_fault(kHost, "/__sim/echo", {FaultMode::trickle, 20});
    const std::string full = "GET /__sim/echo?pad=" + std::string(200, 'p') + "\n";
    ::testing::internal::CaptureStderr();
    const HttpResult r =
        http_request({.url = url("/__sim/echo?pad=" + std::string(200, 'p'))}, quick);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(r.completed);
    EXPECT_EQ(r.status, 200);
    EXPECT_LT(r.body.size(), full.size());
    EXPECT_EQ(full.rfind(r.body, 0), 0u);
    EXPECT_NE(err.find("/__sim/echo: time limit reached"), std::string::npos) << err;
}

TEST_F(SimulatorTest, CutHeaderBlockLendsNoCookie) {
    fixture.sim().set_fault(kHost, "/__sim/set_cookie", {FaultMode::cut_headers, 0});
    LocalCookies cookies("old=1");
    ::testing::internal::CaptureStderr();
    const HttpResult r =
        http_request({.url = url("/__sim/set_cookie?own=2"), .cookies = &cookies, .merge = true});
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(r.answer_cookies, "");
    EXPECT_EQ(cookies.cookie_text(), "old=1");
    EXPECT_NE(err.find("GET 127.0.0.1:"), std::string::npos) << err;
    // Whole, the same answer sets both cookies.
    fixture.sim().set_fault(kHost, "/__sim/set_cookie", {FaultMode::server_error, 0});
    http_request({.url = url("/__sim/set_cookie?own=2"), .cookies = &cookies, .merge = true});
    const TextList items = split(cookies.cookie_text(), "; ");
    EXPECT_EQ(std::set<Text>(items.begin(), items.end()), (std::set<Text>{"old=1", "own=2"}));
}

TEST(SimulatorFaults, EveryModeHasAName) {
    for (const FaultMode mode :
         {FaultMode::none, FaultMode::slow, FaultMode::hang, FaultMode::reset, FaultMode::huge,
          FaultMode::oversized_headers, FaultMode::garbage, FaultMode::cut_headers,
          FaultMode::server_error, FaultMode::trickle}) {
        const std::string_view name = sim::fault_mode_name(mode);
        EXPECT_EQ(sim::fault_mode_named(name), mode) << name;
        EXPECT_TRUE(mode == FaultMode::none || name != "none") << name;
    }
    EXPECT_EQ(sim::fault_mode_named("no such mode"), std::nullopt);
}

TEST_F(SimulatorTest, AnswerSettingMoreCookieTextThanServersTakeKeepsNone) {
    // 100 KiB of cookies would ride on every later request of the session and have
    // each refused: the kept text stays as it was, and the reason goes to stderr.
    fixture.sim().set_fault(kHost, "/__sim/set_cookie", {FaultMode::oversized_headers, 100 << 10});
    LocalCookies cookies("old=1");
    ::testing::internal::CaptureStderr();
    const HttpResult flood =
        http_request({.url = url("/__sim/set_cookie?own=2"), .cookies = &cookies, .merge = true});
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_GT(flood.answer_headers.size(), size_t(100) << 10);
    EXPECT_EQ(cookies.cookie_text(), "old=1");
    EXPECT_NE(err.find("/__sim/set_cookie: the answer sets "), std::string::npos) << err;
    EXPECT_NE(err.find("KiB of cookies; none of them is kept"), std::string::npos) << err;

    // A large block within the bound keeps every cookie (no cut at a few KiB).
    fixture.sim().set_fault(kHost, "/__sim/set_cookie", {FaultMode::oversized_headers, 6 << 10});
    http_request({.url = url("/__sim/set_cookie?own=2"), .cookies = &cookies, .merge = true});
    const TextList items = split(cookies.cookie_text(), "; ");
    size_t filler = 0;
    for (const Text& item : items) {
        filler += item.rfind("filler", 0) == 0 ? 1 : 0;
    }
    EXPECT_GT(filler, 40u);
    EXPECT_NE(std::find(items.begin(), items.end(), "own=2"), items.end());
    EXPECT_NE(std::find(items.begin(), items.end(), "old=1"), items.end());
    EXPECT_EQ(items.size(), filler + 2);
}

TEST_F(SimulatorTest, FaultsCanBeSetOverHttp) {
    const HttpResult set = http_request(
        {.url = url("/__sim/fault?host=game_ams_host&path=/__sim/echo&mode=huge&arg=1000",
                    "login_host")});
    EXPECT_EQ(set.body, "ok\n");
    EXPECT_EQ(http_request({.url = url("/__sim/echo")}).body, std::string(1000, 'h'));
    const HttpResult bad =
        http_request({.url = url("/__sim/fault?host=nowhere&path=/x&mode=hang")});
    EXPECT_EQ(bad.answer_headers.rfind("HTTP/1.1 400", 0), 0u);
    http_request({.url = url("/__sim/faults/clear")});
    EXPECT_EQ(http_request({.url = url("/__sim/echo")}).body, "GET /__sim/echo\n");
    // The newer modes by their names.
    http_request({.url = url("/__sim/fault?path=/__sim/echo&mode=server_error&arg=502")});
    EXPECT_EQ(http_request({.url = url("/__sim/echo")}).status, 502);
    http_request({.url = url("/__sim/fault?path=/__sim/echo&mode=trickle&arg=5000")});
    EXPECT_EQ(http_request({.url = url("/__sim/echo")}).body, "GET /__sim/echo\n");
    http_request({.url = url("/__sim/fault?path=/__sim/echo&mode=cut_headers")});
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(http_request({.url = url("/__sim/echo")}).completed);
    ::testing::internal::GetCapturedStderr();
}

TEST(Simulator, StopEndsHungRequestsAndWritesTheLog) {
    std::ostringstream log;
    auto fixture = std::make_unique<test::SimFixture>(sim::SimulatorOptions{.log = &log});
    fixture->sim().set_fault(kHost, "/__sim/echo", {FaultMode::hang, 0});
    const std::string hung_url = fixture->url(kHost, "/__sim/echo");
    auto hung = std::async(std::launch::async, [&] { return http_request({.url = hung_url}); });
    while (fixture->sim().requests().empty()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    fixture->sim().stop();  // must not wait for the hung handler
    EXPECT_EQ(hung.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    fixture.reset();
    const std::string written = log.str();
    EXPECT_NE(written.find(" game_ams_host GET /__sim/echo headers={"), std::string::npos)
        << written;
    EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 1);
}

// A benchmark of simultaneous claims compares these times, so a request whose
// body is slow to arrive must still be timed when its headers came.
TEST(Simulator, RequestsAreTimedWhenTheirHeadersArriveAndLoggedToTheMicrosecond) {
    std::ostringstream log;
    test::SimFixture fixture(sim::SimulatorOptions{.log = &log});
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(fixture.sim().port(kHost)));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    const auto send_text = [fd](std::string_view text) {
        ASSERT_EQ(::send(fd, text.data(), text.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(text.size()));
    };
    const auto before = std::chrono::system_clock::now();
    send_text("POST /__sim/echo HTTP/1.1\r\nHost: x\r\nContent-Length: 5\r\n\r\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto body_sent = std::chrono::system_clock::now();
    send_text("hello");
    std::string answer;
    char buf[4096];
    for (ssize_t n; (n = ::recv(fd, buf, sizeof buf, 0)) > 0;) {
        answer.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    EXPECT_NE(answer.find("POST /__sim/echo\nhello"), std::string::npos) << answer;

    const auto requests = fixture.sim().requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_GE(requests[0].time, before);
    EXPECT_LT(requests[0].time, body_sent - std::chrono::milliseconds(100));

    const std::string line = log.str();
    std::smatch m;
    ASSERT_TRUE(std::regex_search(
        line, m, std::regex(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.(\d{6}) game_ams_host POST )")))
        << line;
    const auto micros =
        std::chrono::duration_cast<std::chrono::microseconds>(requests[0].time.time_since_epoch())
            .count() %
        1000000;
    EXPECT_EQ(std::stoll(m[1].str()), micros);
}

TEST(Simulator, HostsSettingNamesEveryHost) {
    test::SimFixture fixture;
    const std::string setting = fixture.sim().hosts_setting();
    for (const std::string& name : endpoints::host_names()) {
        EXPECT_NE(setting.find(name + "=127.0.0.1:" + std::to_string(fixture.sim().port(name))),
                  std::string::npos)
            << name;
        EXPECT_EQ(endpoints::get(name), fixture.sim().address(name));
    }
}

}  // namespace
}  // namespace velkor
