#include "web/http.h"

#include <climits>
#include <iostream>
#include <sstream>

#include "web/cookies.h"

namespace velkor {
namespace {

Text ascii_lower(std::string_view text) {
    Text out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

bool begins_with(std::string_view text, std::string_view head) {
    return text.substr(0, head.size()) == head;
}

// The host part of a URL with its port, if any, still attached.
Text host_and_port(std::string_view url) {
    Text lowered = ascii_lower(url);
    if (!ends_with(lowered, "/")) {
        lowered += '/';
    }
    std::string_view marker = "https://";
    if (!begins_with(lowered, "https://")) {
        if (find(lowered, "http://") < 0) {
            lowered.insert(0, "http://");
        }
        marker = "http://";
    }
    return text_between(lowered, marker, "/");
}

// Only a URL that begins with the scheme is secure: "http://" is assumed for any other,
// also for one whose host begins with "https".
bool is_secure(std::string_view url) {
    return ascii_lower(left(url, 8)) == "https://";
}

}  // namespace

Text url_host(std::string_view url) {
    Text host = host_and_port(url);
    const int colon = find(host, ":");
    return colon < 0 ? host : left(host, colon - 1);
}

int url_port(std::string_view url) {
    const Text host = host_and_port(url);
    const size_t colon = host.rfind(':');
    if (colon == Text::npos) {
        return is_secure(url) ? 443 : 80;
    }
    const long long port = to_int(std::string_view(host).substr(colon + 1));
    return (port < INT_MIN || port > INT_MAX) ? 0 : static_cast<int>(port);
}

Text url_path(std::string_view url) {
    const Text host = url_host(url);
    // The host is looked for behind a leading scheme, so that a host such as
    // "t" or "http" is not found inside the scheme itself.
    const Text lowered = ascii_lower(left(url, 8));
    int start = 1;
    if (begins_with(lowered, "https://")) {
        start = 9;
    } else if (begins_with(lowered, "http://")) {
        start = 8;
    }
    const int at = find(url, host, start, true);
    if (at < 0) {
        return "/";
    }
    const int slash = find(url, "/", at);
    if (slash < 0) {
        return "/";
    }
    return Text(url.substr(static_cast<size_t>(slash) - 1));
}

Text user_agent_of(std::string_view header_text) {
    constexpr std::string_view name = "User-Agent:";
    const int at = find(header_text, name, 1, true);
    if (at < 0) {
        return Text(kDefaultUserAgent);
    }
    const size_t begin = static_cast<size_t>(at) - 1 + name.size();
    std::string_view rest = header_text.substr(begin);
    const size_t end = rest.find("\r\n");
    if (end != std::string_view::npos) {
        rest = rest.substr(0, end);
    }
    return trim_blanks(rest);
}

Text complete_headers(Text h, std::string_view url, std::string_view cookie_text) {
    if (h.empty()) {
        h = "Accept: */*";
    } else if (find(h, "Accept:") < 0) {
        h += "\r\nAccept: */*";
    }
    if (find(h, "Referer:") < 0) {
        h += "\r\nReferer: ";
        h += url;
    }
    if (find(h, "Accept-Language:") < 0) {
        h += "\r\nAccept-Language: zh-cn";
    }
    if (find(h, "Content-Type:") < 0) {
        h += "\r\nContent-Type: application/x-www-form-urlencoded";
    }
    if (!cookie_text.empty()) {
        h += "\r\nCookie: ";
        h += cookie_text;
    }
    return h;
}

Text answer_cookies_of(std::string_view header_block) {
    Text cookies;
    // Header lines end at CR LF whatever the bytes before it: a value ending in
    // a lead byte of a double-byte character must not swallow the line break.
    size_t pos = 0;
    while (pos < header_block.size()) {
        size_t end = header_block.find("\r\n", pos);
        if (end == std::string_view::npos) {
            end = header_block.size();
        }
        const std::string_view line = header_block.substr(pos, end - pos);
        pos = end + 2;
        if (find(line, "Set-Cookie") < 0) {
            continue;
        }
        const Text item = find(line, ";") >= 0 ? text_between(line, "Set-Cookie:", ";")
                                               : replace(line, "Set-Cookie:", "", 1, -1, false);
        cookies += trim_blanks(item);
        cookies += "; ";
    }
    if (cookies.size() >= 2) {
        cookies.resize(cookies.size() - 2);
    }
    return cookies;
}

const char* method_name(HttpMethod method) {
    switch (method) {
        case HttpMethod::post:
            return "POST";
        case HttpMethod::head:
            return "HEAD";
        case HttpMethod::get:
            break;
    }
    return "GET";
}

namespace {

// One line per failed exchange. The query is left out: it may carry the account,
// the token or a digest of it, as the body and the cookies may.
void report_failure(const platform::HttpClientRequest& request, const std::string& reason) {
    std::string path = request.path;
    if (const size_t query = path.find('?'); query != std::string::npos) {
        path.resize(query);
    }
    std::ostringstream line;
    line << "velkor: " << request.verb << ' '
         << (request.host.empty() ? std::string("(no host)") : request.host);
    if (request.port > 0 && !request.host.empty()) {
        line << ':' << request.port;
    }
    line << path << ": " << (reason.empty() ? "failed" : reason) << '\n';
    std::cerr << line.str() << std::flush;
}

}  // namespace

HttpResult http_request(const HttpArgs& args, platform::HttpClient& client) {
    const HttpMethod method = args.method;
    const bool secure = is_secure(args.url);
    const Text cookie_text = args.cookies != nullptr ? args.cookies->cookie_text() : Text();

    platform::HttpClientRequest request;
    request.verb = method_name(method);
    request.scheme = secure ? "https" : "http";
    request.host = url_host(args.url);
    request.port = url_port(args.url);
    request.path = url_path(args.url);
    request.user_agent = user_agent_of(args.header_text);
    request.headers = complete_headers(args.header_text, args.url, cookie_text);
    if (method != HttpMethod::get) {
        request.body = args.body_bytes.empty() ? args.body_text : args.body_bytes;
    }
    request.follow_redirects = args.follow_redirects;
    request.proxy = args.proxy;
    request.connection = args.connection;

    // An address without a host (an activity listed without a link) cannot be
    // sent anywhere: the exchange fails here, as it would in the client.
    platform::HttpClientResponse response;
    if (request.host.empty()) {
        response.error = "no host in the address";
    } else {
        response = client.send(request);
    }
    HttpResult result;
    result.completed = response.completed;
    result.status = response.status;
    result.error = response.error;
    if (!response.completed) {
        report_failure(request, response.error);
    }
    if (!response.opened) {
        return result;
    }
    result.opened = true;
    result.body = std::move(response.body);
    result.answer_headers = replace(response.headers, "Set-Cookie", "Set-Cookie", 1, -1, false);
    result.answer_cookies = answer_cookies_of(result.answer_headers);
    if (args.merge && result.answer_cookies.size() > kMaxAnswerCookieText) {
        // Every later request of the session would carry these cookies, in a line
        // longer than servers take: the session would be lost to one bad answer.
        report_failure(request, "the answer sets " +
                                    std::to_string(result.answer_cookies.size() / 1024) +
                                    " KiB of cookies; none of them is kept");
    } else if (args.merge) {
        // Merged into the store's current text, not the copy sent above, so
        // that a request running beside this one loses none of its cookies.
        if (args.cookies != nullptr) {
            args.cookies->merge_answer_cookies(result.answer_cookies);
        } else {
            Text none;
            merge_cookies(none, result.answer_cookies);
        }
    }
    return result;
}

std::string answer_of(HttpResult result) {
    return result.completed ? std::move(result.body) : std::string();
}

HttpResult send_request(HttpArgs args, CookieStore& session, platform::HttpClient& client) {
    args.cookies = args.merge ? &session : nullptr;
    return http_request(args, client);
}

}  // namespace velkor
