#pragma once
// The request engine: every exchange with the publisher's services is one
// synchronous call that builds the request from a few arguments, reads the
// whole answer and, when asked, folds the answer's cookies into a cookie store.
#include <string>

#include "platform/http_client.h"
#include "web/cookie_store.h"
#include "web/text.h"

namespace velkor {

enum class HttpMethod { get, post, head };

struct HttpArgs {
    Text url{};  // "http://" is assumed when no scheme is given
    HttpMethod method = HttpMethod::get;
    Text body_text{};                // body of a POST, sent as its bytes
    CookieStore* cookies = nullptr;  // the cookie text to send; null: none
    bool merge = false;              // fold the answer's cookies into *cookies
    Text header_text{};              // extra header lines joined by "\r\n"
    bool follow_redirects = true;
    std::string body_bytes{};  // when not empty, sent instead of body_text
    Text proxy{};              // "host:port"; empty: direct
    // Made beforehand for the URL's host and port; taken while the server keeps
    // it open, else the exchange connects as always.
    platform::PreparedConnection* connection = nullptr;
};

struct HttpResult {
    bool opened = false;     // false: nothing was sent and no cookie merged
    bool completed = false;  // the whole answer arrived (any status)
    int status = 0;          // status of the final answer; 0 when none arrived
    std::string error;       // why the exchange failed or was cut; empty when completed
    std::string body;        // empty when nothing arrived; what arrived when cut short
    Text answer_cookies;     // name=value items of the answer, joined by "; "
    Text answer_headers;     // raw header block of the final answer
};

// The method's name on the wire.
const char* method_name(HttpMethod method);

// One exchange. A failed or cut exchange is reported on standard error (method,
// host, path and reason; never cookies, body or query values) and hands back
// what arrived.
HttpResult http_request(const HttpArgs& args,
                        platform::HttpClient& client = platform::default_http_client());

// What an operation reads of an exchange: the body of an answer that arrived
// whole, whatever its status; nothing of one that failed or was cut, since half
// an answer read as a whole one passes for a shorter list or a finished claim.
std::string answer_of(HttpResult result);

// Sends a built request. Builders leave the cookie store open: a request that
// merges (one of the session's) goes with `session`'s current cookie text and
// folds its answer's cookies back in; any other goes without cookies.
HttpResult send_request(HttpArgs args, CookieStore& session,
                        platform::HttpClient& client = platform::default_http_client());

// The pieces of a URL the engine connects with.
Text url_host(std::string_view url);
int url_port(std::string_view url);
Text url_path(std::string_view url);

// The pieces of the engine's work, exposed for their tests.
Text user_agent_of(std::string_view header_text);
Text complete_headers(Text header_text, std::string_view url, std::string_view cookie_text);
Text answer_cookies_of(std::string_view header_block);

// An answer whose cookies come to more text than this keeps none of them: servers
// refuse a request header line much longer (8 KiB is common).
inline constexpr std::size_t kMaxAnswerCookieText = 8 * 1024;

inline constexpr std::string_view kDefaultUserAgent =
    "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

}  // namespace velkor
