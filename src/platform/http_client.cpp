#include "platform/http_client.h"

#include <curl/curl.h>

#include <cstdio>
#include <mutex>
#include <string_view>

namespace velkor::platform {
namespace {

size_t collect_body(char* data, size_t size, size_t count, void* user) {
    const size_t n = size * count;
    try {
        static_cast<std::string*>(user)->append(data, n);
    } catch (...) {
        return 0;  // out of memory: end the transfer, keep what arrived
    }
    return n;
}

// The header block of the answer in hand; complete once its blank line arrived.
struct HeaderBlock {
    std::string lines;
    bool complete = false;
};

size_t collect_header(char* data, size_t size, size_t count, void* user) {
    const size_t n = size * count;
    auto* block = static_cast<HeaderBlock*>(user);
    std::string_view line(data, n);
    try {
        if (line.substr(0, 5) == "HTTP/") {
            // A new answer of a redirect chain (or after an interim answer): only the
            // last one counts.
            block->lines.clear();
            block->complete = false;
        }
        if (line == "\r\n" || line == "\n") {
            block->complete = !block->lines.empty();
            return n;
        }
        // Every line ends in CRLF, also from a server that ends its lines with LF alone.
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
            line.remove_suffix(1);
        }
        block->lines.append(line);
        block->lines.append("\r\n");
    } catch (...) {
        return 0;
    }
    return n;
}

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

// curl takes "Name:" with nothing after it as "remove this header" and drops
// lines without a colon; "Name;" is its spelling for an empty header.
void add_header_line(curl_slist*& list, std::string_view line, bool& ok) {
    if (line.empty()) {
        return;  // an empty line would end the header block early
    }
    std::string entry;
    for (const char c : line) {
        if (c != '\r' && c != '\n') {
            entry += c;  // a stray line break inside a value would split the request
        }
    }
    const size_t colon = entry.find(':');
    if (colon != std::string::npos) {
        size_t end = entry.size();
        while (end > colon + 1 && is_blank(entry[end - 1])) {
            --end;
        }
        if (end == colon + 1) {
            entry.resize(colon);
            entry += ';';
        }
    }
    curl_slist* grown = curl_slist_append(list, entry.c_str());
    if (grown == nullptr) {
        ok = false;
        return;
    }
    list = grown;
}

curl_slist* header_list(std::string_view block, bool& ok) {
    curl_slist* list = nullptr;
    size_t pos = 0;
    while (ok && pos <= block.size()) {
        size_t end = block.find("\r\n", pos);
        if (end == std::string_view::npos) {
            end = block.size();
        }
        add_header_line(list, block.substr(pos, end - pos), ok);
        pos = end + 2;
    }
    // Headers curl would add by itself; a line of the block with the same name
    // is still sent, since curl sends the first non-empty one.
    for (const char* own : {"Accept:", "Expect:", "Content-Type:", "Proxy-Connection:"}) {
        if (!ok) {
            break;
        }
        curl_slist* grown = curl_slist_append(list, own);
        if (grown == nullptr) {
            ok = false;
        } else {
            list = grown;
        }
    }
    return list;
}

// curl refuses control characters and spaces in a URL, and takes "#" as the start
// of a fragment; encode only those.
std::string url_safe_path(std::string_view path) {
    static const char* const hex = "0123456789ABCDEF";
    std::string out;
    if (path.empty() || path[0] != '/') {
        out += '/';
    }
    for (const char ch : path) {
        const auto c = static_cast<unsigned char>(ch);
        // "#" would end the path in curl's eyes and cut off the rest.
        if (c <= 0x20 || c == 0x7F || c == '#') {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 0x0F];
        } else {
            out += ch;
        }
    }
    return out;
}

}  // namespace

void http_client_global_init() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

CurlHttpClient::CurlHttpClient(HttpTimeouts timeouts) : timeouts_(timeouts) {
    http_client_global_init();
}

HttpClientResponse CurlHttpClient::send(const HttpClientRequest& request) {
    HttpClientResponse response;
    CURL* curl = curl_easy_init();
    if (curl == nullptr) {
        response.error = "no transfer handle";
        return response;
    }
    bool ok = true;
    curl_slist* headers = header_list(request.headers, ok);
    if (!ok) {
        curl_slist_free_all(headers);
        curl_easy_cleanup(curl);
        response.error = "out of memory";
        return response;
    }
    response.opened = true;

    std::string url = request.scheme + "://" + request.host;
    if (request.port > 0) {
        url += ':' + std::to_string(request.port);
    }
    url += url_safe_path(request.path);

    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(curl, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    // An empty proxy and an empty bypass list also override http_proxy and no_proxy.
    curl_easy_setopt(curl, CURLOPT_PROXY, request.proxy.c_str());
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "");
    curl_easy_setopt(curl, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, request.follow_redirects ? 1L : 0L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeouts_.connect.count()));
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, timeouts_.low_speed_bytes);
    curl_easy_setopt(
        curl, CURLOPT_TIMEOUT_MS,
        static_cast<long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(timeouts_.total).count()));
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME,
                     static_cast<long>(timeouts_.low_speed_time.count()));
    if (!request.user_agent.empty()) {
        curl_easy_setopt(curl, CURLOPT_USERAGENT, request.user_agent.c_str());
    }
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);

    if (request.verb == "HEAD") {
        curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    } else if (request.verb == "GET") {
        curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    } else {
        // POST, and any other verb, carries the body; an empty one as Content-Length: 0.
        curl_easy_setopt(curl, CURLOPT_POST, 1L);
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(request.body.size()));
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request.body.data());
        if (request.verb != "POST") {
            curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, request.verb.c_str());
        }
    }

    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, collect_body);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &response.body);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, collect_header);
    HeaderBlock header_block;
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &header_block);

    // The outcome is not judged here: a failed or cut exchange keeps what arrived.
    // A header block that never ended (cut off, or over curl's own size limit) is
    // no answer's headers: none of its cookies may be taken.
    char detail[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, detail);
    const CURLcode code = curl_easy_perform(curl);
    if (header_block.complete) {
        response.headers = std::move(header_block.lines);
    }
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    response.status = header_block.complete ? static_cast<int>(status) : 0;
    response.completed = code == CURLE_OK;
    if (code == CURLE_OPERATION_TIMEDOUT) {
        response.error = std::string("time limit reached") + (detail[0] ? ": " : "") + detail;
    } else if (code != CURLE_OK) {
        response.error = detail[0] ? detail : curl_easy_strerror(code);
    }

    curl_easy_cleanup(curl);
    curl_slist_free_all(headers);
    return response;
}

namespace {

std::mutex default_timeouts_mutex;
HttpTimeouts default_timeouts = kDefaultHttpTimeouts;

class DefaultHttpClient final : public HttpClient {
  public:
    DefaultHttpClient() { http_client_global_init(); }
    HttpClientResponse send(const HttpClientRequest& request) override {
        return CurlHttpClient(default_http_timeouts()).send(request);
    }
};

}  // namespace

void set_default_http_timeouts(HttpTimeouts timeouts) {
    std::lock_guard lock(default_timeouts_mutex);
    default_timeouts = timeouts;
}

HttpTimeouts default_http_timeouts() {
    std::lock_guard lock(default_timeouts_mutex);
    return default_timeouts;
}

HttpClient& default_http_client() {
    static DefaultHttpClient client;
    return client;
}

}  // namespace velkor::platform
