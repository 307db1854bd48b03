#pragma once
// The request engine: every exchange with the publisher's services is one
// synchronous call that builds the request from a few arguments, reads the
// whole answer and, when asked, folds the answer's cookies into a cookie store.
#include <string>

#include "platform/http_client.h"
#include "web/cookie_store.h"
#include "web/text.h"

namespace velkor {

struct HttpArgs {
    Text url{};                      // "http://" is assumed when no scheme is given
    int method = 0;                  // 0 GET, 1 POST, 2 HEAD; other values are GET
    Text body_text{};                // body of a POST, sent as its bytes
    CookieStore* cookies = nullptr;  // the cookie text to send; null: none
    bool merge = false;              // fold the answer's cookies into *cookies
    Text header_text{};              // extra header lines joined by "\r\n"
    bool no_redirect = false;
    std::string body_bytes{};  // when not empty, sent instead of body_text
    Text proxy{};              // "host:port"; empty: direct
};

struct HttpResult {
    bool opened = false;  // false: nothing was sent and no cookie merged
    std::string body;     // empty when nothing arrived
    Text answer_cookies;  // name=value items of the answer, joined by "; "
    Text answer_headers;  // raw header block of the final answer
};

HttpResult http_request(const HttpArgs& args,
                        platform::HttpClient& client = platform::default_http_client());

inline std::string http_body(const HttpArgs& args) {
    return http_request(args).body;
}

// The pieces of a URL the engine connects with.
Text url_host(std::string_view url);
int url_port(std::string_view url);
Text url_path(std::string_view url);

// The pieces of the engine's work, exposed for their tests.
Text user_agent_of(std::string_view header_text);
Text complete_headers(Text header_text, std::string_view url, std::string_view cookie_text);
Text answer_cookies_of(std::string_view header_block);

inline constexpr std::string_view kDefaultUserAgent =
    "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

}  // namespace velkor
