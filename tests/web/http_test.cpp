#include "web/http.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "tests/support/raw_server.h"
#include "tests/support/sim_fixture.h"

namespace velkor {
namespace {

using test::closed_port;
using test::http_answer;
using test::RawServer;
using test::request_body;
using test::request_lines;

const std::string kOk = http_answer("HTTP/1.1 200 OK", {"Content-Type: text/plain"}, "hello");

std::string host_line(const RawServer& server) {
    return "Host: 127.0.0.1:" + std::to_string(server.port());
}

std::vector<std::string> only_request(const RawServer& server) {
    const auto requests = server.requests();
    EXPECT_EQ(requests.size(), 1u);
    return requests.empty() ? std::vector<std::string>{} : request_lines(requests[0]);
}

TEST(UrlParts, SplitsAsTheEngineConnects) {
    struct Case {
        const char* url;
        const char* host;
        int port;
        const char* path;
    } cases[] = {
        {"http://Host.Example:8080/a?B=1", "host.example", 8080, "/a?B=1"},
        {"http://host.example", "host.example", 80, "/"},
        {"host.example/x", "host.example", 80, "/x"},
        {"HTTPS://Secure.Example/Path/File", "secure.example", 443, "/Path/File"},
        {"https://s.example:8443", "s.example", 8443, "/"},
        // The host part runs to the first "/", so a query without a path stays in it.
        {"http://a.example?q=1", "a.example?q=1", 80, "/"},
        {"http://x.example:81:82/p", "x.example", 82, "/p"},
        {"http://x.example:abc/p", "x.example", 0, "/p"},
        // A link inside a query does not move the host, but a URL that does not
        // begin with a scheme takes its host behind the first "http://".
        {"http://a.example/go?to=http://b.example/", "a.example", 80, "/go?to=http://b.example/"},
        {"ftp.example/http://b.example/z", "b.example", 80, "/z"},
        // Hosts that also occur inside the scheme.
        {"http://t/x", "t", 80, "/x"},
        {"https://s/y", "s", 443, "/y"},
        {"http://http/z", "http", 80, "/z"},
        // Without a scheme "http://" is assumed, whatever the host begins with.
        {"https.example/a", "https.example", 80, "/a"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(url_host(c.url), c.host) << c.url;
        EXPECT_EQ(url_port(c.url), c.port) << c.url;
        EXPECT_EQ(url_path(c.url), c.path) << c.url;
    }
}

TEST(UserAgent, ComesFromTheHeaderTextOrTheDefault) {
    EXPECT_EQ(user_agent_of(""), kDefaultUserAgent);
    EXPECT_EQ(user_agent_of("Referer: x\r\nuser-agent:  A/1.0 \r\nX: y"), "A/1.0");
    EXPECT_EQ(user_agent_of("User-Agent: \xA1\xA1Last/2\xA1\xA1"), "Last/2");
    EXPECT_EQ(user_agent_of("Referer: x"), kDefaultUserAgent);
}

TEST(AnswerCookies, OneItemPerSetCookieLine) {
    EXPECT_EQ(answer_cookies_of("HTTP/1.1 200 OK\r\nSet-Cookie: sid=abc; path=/\r\n"
                                "Set-Cookie: uin=o123\r\nX: y\r\n"),
              "sid=abc; uin=o123");
    EXPECT_EQ(answer_cookies_of("HTTP/1.1 200 OK\r\nX: y\r\n"), "");
    // A value ending in a byte that would open a double-byte character.
    EXPECT_EQ(answer_cookies_of("Set-Cookie: t=\xE4\xB8\xAD\r\nSet-Cookie: b=2; path=/\r\n"),
              "t=\xE4\xB8\xAD; b=2");
}

TEST(HttpRequest, GetWithoutHeadersSendsTheDefaultLinesInOrder) {
    RawServer server(kOk);
    const std::string url = server.url("/p/q?x=Y&z=%41");
    const HttpResult r = http_request({.url = url});
    EXPECT_TRUE(r.opened);
    EXPECT_EQ(r.body, "hello");
    EXPECT_EQ(
        only_request(server),
        (std::vector<std::string>{"GET /p/q?x=Y&z=%41 HTTP/1.1", host_line(server),
                                  "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)",
                                  "Accept: */*", "Referer: " + url, "Accept-Language: zh-cn",
                                  "Content-Type: application/x-www-form-urlencoded"}));
    EXPECT_EQ(r.answer_headers,
              "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 5\r\n"
              "Connection: close\r\n");
}

TEST(HttpRequest, HeaderTextOfItsOwnIsKeptAndCompleted) {
    RawServer server(kOk);
    LocalCookies cookies("a=1; b=2");
    http_request({.url = server.url("/"),
                  .cookies = &cookies,
                  .header_text = "Referer: http://r.example/\r\nUser-Agent: A/1.0\r\n"
                                 "Accept-Language: en\r\nCookie: mine=1"});
    EXPECT_EQ(only_request(server),
              (std::vector<std::string>{
                  "GET / HTTP/1.1", host_line(server), "Referer: http://r.example/",
                  "User-Agent: A/1.0", "Accept-Language: en", "Cookie: mine=1", "Accept: */*",
                  "Content-Type: application/x-www-form-urlencoded", "Cookie: a=1; b=2"}));
}

TEST(HttpRequest, MethodAndBodyChoice) {
    struct Case {
        HttpMethod method;
        std::string body_text;
        std::string body_bytes;
        std::string verb;
        std::string body;
        bool has_length;
    } cases[] = {
        {HttpMethod::get, "x", "y", "GET", "", false},
        {HttpMethod::post, "text=1", std::string("by\0tes", 6), "POST", std::string("by\0tes", 6),
         true},
        {HttpMethod::post, "text=1", "", "POST", "text=1", true},
        {HttpMethod::post, "", "", "POST", "", true},
        {HttpMethod::head, "x", "", "HEAD", "", false},
        {HttpMethod::post, "", std::string(2 << 20, 'z'), "POST", std::string(2 << 20, 'z'), true},
    };
    for (const Case& c : cases) {
        RawServer server(kOk);
        const HttpResult r = http_request({.url = server.url("/m"),
                                           .method = c.method,
                                           .body_text = c.body_text,
                                           .body_bytes = c.body_bytes});
        const auto requests = server.requests();
        ASSERT_EQ(requests.size(), 1u) << c.verb;
        const auto lines = request_lines(requests[0]);
        EXPECT_EQ(lines[0], c.verb + " /m HTTP/1.1") << c.verb;
        EXPECT_EQ(request_body(requests[0]), c.body) << c.verb;
        const std::string length = "Content-Length: " + std::to_string(c.body.size());
        EXPECT_EQ(std::count(lines.begin(), lines.end(), length), c.has_length ? 1 : 0) << c.verb;
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                                [](const std::string& l) { return l.rfind("Expect", 0) == 0; }),
                  0);
        EXPECT_EQ(r.body, c.verb == "HEAD" ? "" : "hello") << c.verb;
    }
}

TEST(HttpRequest, SetCookieLinesInAnyCaseBecomeAnswerCookiesAndAreMerged) {
    RawServer server(http_answer(
        "HTTP/1.1 200 OK",
        {"set-cookie: sid=abc; path=/", "SET-COOKIE:uin=o123",
         "Set-cookie:  k=deleted ; expires=Thu, 01 Jan 1970 00:00:00 GMT", "X-Other: 1"},
        "ok"));
    LocalCookies cookies("k=old; keep=1");
    const HttpResult r = http_request({.url = server.url("/"), .cookies = &cookies, .merge = true});
    EXPECT_EQ(r.answer_cookies, "sid=abc;uin=o123;k=deleted");
    EXPECT_EQ(cookies.cookie_text(), "sid=abc; uin=o123; keep=1");
    EXPECT_NE(r.answer_headers.find("Set-Cookie: sid=abc; path=/\r\n"), std::string::npos);
    EXPECT_NE(r.answer_headers.find("Set-Cookie:uin=o123\r\n"), std::string::npos);
    EXPECT_EQ(r.answer_headers.find("set-cookie"), std::string::npos);
    EXPECT_EQ(r.answer_headers.find("SET-COOKIE"), std::string::npos);

    // Without the merge flag the store is left alone.
    RawServer again(http_answer("HTTP/1.1 200 OK", {"Set-Cookie: n=1"}, ""));
    const HttpResult plain = http_request({.url = again.url("/"), .cookies = &cookies});
    EXPECT_EQ(plain.answer_cookies, "n=1");
    EXPECT_EQ(cookies.cookie_text(), "sid=abc; uin=o123; keep=1");
}

TEST(HttpRequest, AnswerWithoutCookiesStillNormalisesTheMergedText) {
    RawServer server(kOk);
    LocalCookies cookies("a=1;b=2; a=3");
    const HttpResult r = http_request({.url = server.url("/"), .cookies = &cookies, .merge = true});
    EXPECT_EQ(r.answer_cookies, "");
    EXPECT_EQ(cookies.cookie_text(), "a=1; b=2");
    EXPECT_EQ(only_request(server).back(), "Cookie: a=1;b=2; a=3");
}

TEST(HttpRequest, UnreachableHostGivesAnEmptyAnswerAndKeepsTheCookies) {
    LocalCookies cookies("a=1; skey=@secret; b=2");
    const std::string port = std::to_string(closed_port());
    ::testing::internal::CaptureStderr();
    const HttpResult r = http_request({.url = "http://127.0.0.1:" + port + "/x?g_tk=4242",
                                       .method = HttpMethod::post,
                                       .body_text = "uin=777",
                                       .cookies = &cookies,
                                       .merge = true});
    const std::string err = ::testing::internal::GetCapturedStderr();
    // One line: method, host and path, and why; never the query, the body or a cookie.
    EXPECT_EQ(err.rfind("velkor: POST 127.0.0.1:" + port + "/x: ", 0), 0u) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    for (const char* secret : {"4242", "777", "secret", "skey"}) {
        EXPECT_EQ(err.find(secret), std::string::npos) << err;
    }
    EXPECT_FALSE(r.completed);
    EXPECT_EQ(r.status, 0);
    EXPECT_FALSE(r.error.empty());
    EXPECT_TRUE(r.opened);
    EXPECT_EQ(r.body, "");
    EXPECT_EQ(r.answer_cookies, "");
    EXPECT_EQ(r.answer_headers, "");
    EXPECT_EQ(cookies.cookie_text(), "a=1; skey=@secret; b=2");
}

class RecordingClient : public platform::HttpClient {
  public:
    explicit RecordingClient(bool opens) : opens_(opens) {}
    platform::HttpClientResponse send(const platform::HttpClientRequest& request) override {
        seen.push_back(request);
        platform::HttpClientResponse r;
        r.opened = opens_;
        r.completed = opens_;
        if (opens_) {
            r.body = "b";
            r.headers = "HTTP/1.1 200 OK\r\nSet-Cookie: n=1\r\n";
        }
        return r;
    }
    std::vector<platform::HttpClientRequest> seen;

  private:
    bool opens_;
};

TEST(HttpRequest, HandsTheClientTheConnectionPieces) {
    RecordingClient client(true);
    http_request({.url = "HTTPS://Secure.Example/a?B=1",
                  .method = HttpMethod::post,
                  .body_text = "f=1",
                  .follow_redirects = false,
                  .proxy = "127.0.0.1:3128"},
                 client);
    http_request({.url = "host.example/x"}, client);
    ASSERT_EQ(client.seen.size(), 2u);
    const auto& secure = client.seen[0];
    EXPECT_EQ(secure.verb, "POST");
    EXPECT_EQ(secure.scheme, "https");
    EXPECT_EQ(secure.host, "secure.example");
    EXPECT_EQ(secure.port, 443);
    EXPECT_EQ(secure.path, "/a?B=1");
    EXPECT_EQ(secure.body, "f=1");
    EXPECT_FALSE(secure.follow_redirects);
    EXPECT_EQ(secure.proxy, "127.0.0.1:3128");
    const auto& plain = client.seen[1];
    EXPECT_EQ(plain.scheme, "http");
    EXPECT_EQ(plain.host, "host.example");
    EXPECT_EQ(plain.port, 80);
    EXPECT_EQ(plain.path, "/x");
    EXPECT_TRUE(plain.follow_redirects);
    EXPECT_NE(plain.headers.find("\r\nReferer: host.example/x\r\n"), std::string::npos);
}

TEST(HttpRequest, ClientThatCannotOpenLeavesEverythingAsItWas) {
    RecordingClient client(false);
    LocalCookies cookies("a=1;b=2");
    const HttpResult r =
        http_request({.url = "http://x.example/", .cookies = &cookies, .merge = true}, client);
    EXPECT_FALSE(r.opened);
    EXPECT_EQ(r.body, "");
    EXPECT_EQ(r.answer_cookies, "");
    EXPECT_EQ(cookies.cookie_text(), "a=1;b=2");  // not even normalised: no merge ran
}

TEST(HttpRequest, AnAddressWithoutAHostIsNotSent) {
    RecordingClient client(true);
    LocalCookies cookies("a=1;b=2");
    ::testing::internal::CaptureStderr();
    const HttpResult r = http_request({.url = "", .cookies = &cookies, .merge = true}, client);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(client.seen.empty());
    EXPECT_FALSE(r.opened);
    EXPECT_EQ(r.body, "");
    EXPECT_EQ(cookies.cookie_text(), "a=1;b=2");
    EXPECT_EQ(err, "velkor: GET (no host)/: no host in the address\n");
}

std::string redirecting(const std::string& request) {
    if (request.rfind("GET /start ", 0) == 0) {
        return http_answer("HTTP/1.1 302 Found", {"Location: /final", "Set-Cookie: hop=1; path=/"},
                           "moved");
    }
    return http_answer("HTTP/1.1 200 OK", {"Set-Cookie: fin=2; path=/"}, "final");
}

TEST(HttpRequest, OnlyTheFinalAnswerOfARedirectCounts) {
    RawServer server(redirecting);
    LocalCookies cookies;
    const HttpResult followed =
        http_request({.url = server.url("/start"), .cookies = &cookies, .merge = true});
    EXPECT_EQ(followed.body, "final");
    EXPECT_EQ(followed.answer_headers.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
    EXPECT_EQ(followed.answer_headers.find("hop"), std::string::npos);
    EXPECT_EQ(followed.answer_cookies, "fin=2");
    EXPECT_EQ(cookies.cookie_text(), "fin=2");
    EXPECT_EQ(server.requests().size(), 2u);

    const HttpResult stopped =
        http_request({.url = server.url("/start"), .follow_redirects = false});
    EXPECT_EQ(stopped.body, "moved");
    EXPECT_EQ(stopped.answer_headers.rfind("HTTP/1.1 302 Found\r\n", 0), 0u);
    EXPECT_EQ(stopped.answer_cookies, "hop=1");
    EXPECT_EQ(server.requests().size(), 3u);
}

TEST(HttpRequest, SilentServerEndsWithinTheTimeouts) {
    // The bound only catches a hang; it measures nothing.
    RawServer server{RawServer::Hang{}};
    platform::CurlHttpClient client({std::chrono::milliseconds(1000), 1, std::chrono::seconds(1)});
    LocalCookies cookies("a=1;b=2");
    const auto start = std::chrono::steady_clock::now();
    const HttpResult r =
        http_request({.url = server.url("/"), .cookies = &cookies, .merge = true}, client);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_EQ(r.body, "");
    EXPECT_FALSE(r.completed);
    EXPECT_EQ(r.error.rfind("time limit reached", 0), 0u) << r.error;
    EXPECT_EQ(cookies.cookie_text(), "a=1; b=2");  // the merge still ran
}

TEST(HttpRequest, DefaultClientTakesTheTimeoutsSetForIt) {
    const platform::HttpTimeouts before = platform::default_http_timeouts();
    EXPECT_EQ(before.connect, platform::kDefaultHttpTimeouts.connect);
    EXPECT_EQ(before.low_speed_time, platform::kDefaultHttpTimeouts.low_speed_time);
    RawServer server{RawServer::Hang{}};
    platform::set_default_http_timeouts(
        {std::chrono::milliseconds(1000), 1, std::chrono::seconds(1), std::chrono::seconds(2)});
    EXPECT_EQ(platform::default_http_timeouts().total, std::chrono::seconds(2));
    const auto start = std::chrono::steady_clock::now();
    ::testing::internal::CaptureStderr();
    const HttpResult r = http_request({.url = server.url("/")});
    ::testing::internal::GetCapturedStderr();
    // Under the default 30 s of silence this would still be waiting.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    platform::set_default_http_timeouts(before);
    EXPECT_FALSE(r.completed);
    EXPECT_EQ(r.error.rfind("time limit reached", 0), 0u) << r.error;
}

TEST(HttpRequest, StatusAndCompletionOfWholeAndCutAnswers) {
    RawServer whole(http_answer("HTTP/1.1 500 Internal Server Error", {}, "oops"));
    const HttpResult fine = http_request({.url = whole.url("/")});
    EXPECT_TRUE(fine.completed);
    EXPECT_EQ(fine.status, 500);
    EXPECT_EQ(fine.error, "");
    EXPECT_EQ(fine.body, "oops");

    // Ten bytes announced, four sent: what arrived is handed back, marked as cut.
    RawServer cut("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nhalf");
    ::testing::internal::CaptureStderr();
    const HttpResult partial = http_request({.url = cut.url("/p")});
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(partial.completed);
    EXPECT_EQ(partial.status, 200);
    EXPECT_EQ(partial.body, "half");
    EXPECT_FALSE(partial.error.empty());
    EXPECT_NE(err.find("GET 127.0.0.1:" + std::to_string(cut.port()) + "/p: "), std::string::npos)
        << err;
}

TEST(HttpRequest, OperationsReadNothingOfACutAnswer) {
    struct Case {
        const char* name;
        std::string answer;
        const char* read;
    } cases[] = {
        {"whole", "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nfull", "full"},
        {"error status", "HTTP/1.1 500 Internal Server Error\r\nContent-Length: 4\r\n\r\noops",
         "oops"},
        {"cut in the body", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nhalf", ""},
        {"cut in the headers", "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n", ""},
    };
    for (const auto& c : cases) {
        RawServer server(c.answer);
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(answer_of(http_request({.url = server.url("/")})), c.read) << c.name;
        ::testing::internal::GetCapturedStderr();
    }
}

TEST(HttpRequest, HeaderBlocksThatNeverEndOrUseBareLineFeeds) {
    struct Case {
        const char* name;
        std::string answer;
        const char* answer_cookies;
        const char* merged;
    } cases[] = {
        // Cut off before the blank line that ends the block: no cookie is taken.
        {"cut", "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nSet-Cookie: b=2\r\n", "", "k=0"},
        // Lines ended by LF alone still give one item each.
        {"bare LF",
         "HTTP/1.1 200 OK\nSet-Cookie: a=1; path=/\nSet-Cookie: b=2\nContent-Length: 2\n\nok",
         "a=1;b=2", "a=1; b=2; k=0"},  // the merge hands the items back without blanks
    };
    for (const auto& c : cases) {
        RawServer server(c.answer);
        LocalCookies cookies("k=0");
        const HttpResult r =
            http_request({.url = server.url("/"), .cookies = &cookies, .merge = true});
        EXPECT_EQ(r.answer_cookies, c.answer_cookies) << c.name;
        EXPECT_EQ(cookies.cookie_text(), c.merged) << c.name;
    }
}

TEST(HttpRequest, PathIsSentWhole) {
    RawServer server(kOk);
    http_request({.url = server.url("/a#frag?x=1")});
    const auto lines = only_request(server);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "GET /a%23frag?x=1 HTTP/1.1");
}

TEST(HttpRequest, ProxyIsUsedOnlyWhenGiven) {
    RawServer target(kOk);
    RawServer proxy(http_answer("HTTP/1.1 200 OK", {}, "via proxy"));
    const std::string proxy_url = proxy.url("");
    setenv("http_proxy", proxy_url.c_str(), 1);
    setenv("HTTP_PROXY", proxy_url.c_str(), 1);
    setenv("no_proxy", "", 1);
    const HttpResult direct = http_request({.url = target.url("/x")});
    const HttpResult proxied = http_request(
        {.url = target.url("/x"), .proxy = "127.0.0.1:" + std::to_string(proxy.port())});
    unsetenv("http_proxy");
    unsetenv("HTTP_PROXY");
    unsetenv("no_proxy");
    EXPECT_EQ(direct.body, "hello");
    EXPECT_EQ(proxied.body, "via proxy");
    ASSERT_EQ(target.requests().size(), 1u);
    const auto lines = only_request(proxy);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "GET " + target.url("/x") + " HTTP/1.1");
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.rfind("Proxy-", 0) == 0; }),
              0);
}

TEST(HttpRequest, OverlappingMergesLoseNoCookie) {
    test::SimFixture fixture;
    LocalCookies cookies("start=1");
    constexpr int kThreads = 8;
    constexpr int kEach = 20;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i) {
                const std::string name = "t" + std::to_string(t) + "_" + std::to_string(i);
                http_request(
                    {.url = fixture.url("game_ams_host", "/__sim/set_cookie?" + name + "=v"),
                     .cookies = &cookies,
                     .merge = true});
            }
        });
    }
    for (auto& th : threads) {
        th.join();
    }
    const TextList items = split(cookies.cookie_text(), "; ");
    EXPECT_EQ(items.size(), static_cast<size_t>(kThreads * kEach + 1));
    for (int t = 0; t < kThreads; ++t) {
        for (int i = 0; i < kEach; ++i) {
            const std::string item = "t" + std::to_string(t) + "_" + std::to_string(i) + "=v";
            EXPECT_NE(std::find(items.begin(), items.end(), item), items.end()) << item;
        }
    }
    EXPECT_NE(std::find(items.begin(), items.end(), "start=1"), items.end());
}

// A loopback socket that only listens: the test accepts and answers by hand, so
// it sees which connection a request came on.
class Listener {
  public:
    Listener() {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        EXPECT_EQ(::listen(fd_, 4), 0);
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
    }
    ~Listener() { ::close(fd_); }
    int port() const { return port_; }
    std::string url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }
    // A connection made to it, or -1 when none is made within `ms`.
    int accept_within(int ms) {
        pollfd p{fd_, POLLIN, 0};
        return ::poll(&p, 1, ms) == 1 ? ::accept(fd_, nullptr, nullptr) : -1;
    }

  private:
    int fd_ = -1;
    int port_ = 0;
};

// The request head that arrives on `fd` (empty when none comes within 10 s).
std::string read_head(int fd) {
    std::string raw;
    char buf[4096];
    while (raw.find("\r\n\r\n") == std::string::npos) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 10000) != 1) {
            break;
        }
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) {
            break;
        }
        raw.append(buf, static_cast<size_t>(n));
    }
    return raw;
}

void answer_and_close(int fd) {
    const std::string answer = http_answer("HTTP/1.1 200 OK", {}, "hello");
    EXPECT_EQ(::send(fd, answer.data(), answer.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(answer.size()));
    ::close(fd);
}

TEST(PreparedConnection, CarriesTheRequestAndNothingBefore) {
    Listener server;
    auto connection =
        platform::PreparedConnection::open("127.0.0.1", server.port(), std::chrono::seconds(5));
    ASSERT_TRUE(connection.usable());
    const int accepted = server.accept_within(5000);
    ASSERT_GE(accepted, 0);
    pollfd idle{accepted, POLLIN, 0};
    EXPECT_EQ(::poll(&idle, 1, 50), 0);  // only the handshake so far

    const std::string url = server.url("/p?x=1");
    LocalCookies cookies("a=1");
    HttpResult result;
    std::thread client([&] {
        result = http_request({.url = url, .cookies = &cookies, .connection = &connection});
    });
    const std::string head = read_head(accepted);
    answer_and_close(accepted);
    client.join();

    EXPECT_EQ(result.body, "hello");
    EXPECT_TRUE(result.completed);
    EXPECT_EQ(test::request_lines(head),
              (std::vector<std::string>{
                  "GET /p?x=1 HTTP/1.1", "Host: 127.0.0.1:" + std::to_string(server.port()),
                  "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)", "Accept: */*",
                  "Referer: " + url, "Accept-Language: zh-cn",
                  "Content-Type: application/x-www-form-urlencoded", "Cookie: a=1"}));
    EXPECT_FALSE(connection.usable());       // taken by the request
    EXPECT_EQ(server.accept_within(0), -1);  // and no other connection made
}

TEST(PreparedConnection, OneTheServerClosedIsReplacedByANewConnection) {
    Listener server;
    auto connection =
        platform::PreparedConnection::open("127.0.0.1", server.port(), std::chrono::seconds(5));
    const int first = server.accept_within(5000);
    ASSERT_GE(first, 0);
    ::close(first);
    for (int i = 0; i < 500 && connection.usable(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_FALSE(connection.usable());

    HttpResult result;
    std::thread client(
        [&] { result = http_request({.url = server.url("/"), .connection = &connection}); });
    const int second = server.accept_within(10000);
    ASSERT_GE(second, 0);
    EXPECT_EQ(test::request_lines(read_head(second)).at(0), "GET / HTTP/1.1");
    answer_and_close(second);
    client.join();
    EXPECT_EQ(result.body, "hello");
}

TEST(PreparedConnection, OneForAnotherHostOrPortIsLeftAlone) {
    RawServer server(kOk);
    Listener other;
    auto connection =
        platform::PreparedConnection::open("127.0.0.1", other.port(), std::chrono::seconds(5));
    ASSERT_TRUE(connection.usable());
    const HttpResult r = http_request({.url = server.url("/"), .connection = &connection});
    EXPECT_EQ(r.body, "hello");
    EXPECT_EQ(server.requests().size(), 1u);
    EXPECT_TRUE(connection.usable());
    EXPECT_TRUE(connection.leads_to("127.0.0.1", other.port()));
    EXPECT_FALSE(connection.leads_to("127.0.0.1", server.port()));
}

TEST(PreparedConnection, NoneWhenNothingAnswers) {
    const auto connection =
        platform::PreparedConnection::open("127.0.0.1", 1, std::chrono::seconds(5));
    EXPECT_FALSE(connection.usable());
    EXPECT_FALSE(connection.leads_to("127.0.0.1", 1));
    EXPECT_EQ(connection.resolve_entry(), "");
}

}  // namespace
}  // namespace velkor
