#include "platform/http_client.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string_view>

namespace velkor::platform {
namespace {

bool same_address(const sockaddr_storage& a, socklen_t a_length, const sockaddr* b,
                  socklen_t b_length) {
    if (b == nullptr || a.ss_family != b->sa_family) {
        return false;
    }
    if (a.ss_family == AF_INET && a_length >= sizeof(sockaddr_in) &&
        b_length >= sizeof(sockaddr_in)) {
        const auto& x = reinterpret_cast<const sockaddr_in&>(a);
        const auto& y = *reinterpret_cast<const sockaddr_in*>(b);
        return x.sin_port == y.sin_port && x.sin_addr.s_addr == y.sin_addr.s_addr;
    }
    if (a.ss_family == AF_INET6 && a_length >= sizeof(sockaddr_in6) &&
        b_length >= sizeof(sockaddr_in6)) {
        const auto& x = reinterpret_cast<const sockaddr_in6&>(a);
        const auto& y = *reinterpret_cast<const sockaddr_in6*>(b);
        return x.sin6_port == y.sin6_port && x.sin6_scope_id == y.sin6_scope_id &&
               std::memcmp(&x.sin6_addr, &y.sin6_addr, sizeof x.sin6_addr) == 0;
    }
    return false;
}

// A connected socket to one address, or -1 when it does not answer in time.
int connect_within(const addrinfo& address, std::chrono::steady_clock::time_point deadline) {
    const int fd = ::socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                            address.ai_protocol);
    if (fd < 0) {
        return -1;
    }
    if (::connect(fd, address.ai_addr, address.ai_addrlen) != 0) {
        if (errno != EINPROGRESS) {
            ::close(fd);
            return -1;
        }
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd p{fd, POLLOUT, 0};
            const int n = ::poll(&p, 1, static_cast<int>(std::max<long long>(0, left.count())));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            int error = 0;
            socklen_t length = sizeof error;
            if (n <= 0 || ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 ||
                error != 0) {
                ::close(fd);
                return -1;
            }
            break;
        }
    }
    // The request goes out in one write the moment it is made, as curl's own
    // connections would send it.
    int yes = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    return fd;
}

// Which socket a transfer with a prepared connection was given.
struct SocketChoice {
    PreparedConnection* prepared = nullptr;
    curl_socket_t given = CURL_SOCKET_BAD;
};

curl_socket_t open_socket(void* user, curlsocktype purpose, curl_sockaddr* address) {
    auto* choice = static_cast<SocketChoice*>(user);
    if (purpose == CURLSOCKTYPE_IPCXN && choice->given == CURL_SOCKET_BAD) {
        const int fd = choice->prepared->take_for(&address->addr, address->addrlen);
        if (fd >= 0) {
            choice->given = fd;
            return fd;
        }
    }
    // What curl does without the callback.
    return ::socket(address->family, address->socktype, address->protocol);
}

int socket_options(void* user, curl_socket_t fd, curlsocktype) {
    return fd == static_cast<SocketChoice*>(user)->given ? CURL_SOCKOPT_ALREADY_CONNECTED
                                                         : CURL_SOCKOPT_OK;
}

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

PreparedConnection::~PreparedConnection() {
    close();
}

PreparedConnection::PreparedConnection(PreparedConnection&& other) noexcept {
    *this = std::move(other);
}

PreparedConnection& PreparedConnection::operator=(PreparedConnection&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.fd_;
        host_ = std::move(other.host_);
        port_ = other.port_;
        peer_ = other.peer_;
        peer_length_ = other.peer_length_;
        other.fd_ = -1;
    }
    return *this;
}

void PreparedConnection::close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

PreparedConnection PreparedConnection::open(const std::string& host, int port,
                                            std::chrono::milliseconds timeout) {
    PreparedConnection connection;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (port <= 0 ||
        ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) {
        return connection;
    }
    for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
        if (a->ai_addrlen > sizeof connection.peer_) {
            continue;
        }
        const int fd = connect_within(*a, deadline);
        if (fd >= 0) {
            connection.fd_ = fd;
            connection.host_ = host;
            connection.port_ = port;
            std::memcpy(&connection.peer_, a->ai_addr, a->ai_addrlen);
            connection.peer_length_ = a->ai_addrlen;
            break;
        }
    }
    ::freeaddrinfo(found);
    return connection;
}

bool PreparedConnection::usable() const {
    if (fd_ < 0) {
        return false;
    }
    // Any event on an idle connection is the server's close (or bytes nobody
    // asked for): either way no request of ours can go over it.
    pollfd p{fd_, POLLIN | POLLRDHUP, 0};
    return ::poll(&p, 1, 0) == 0;
}

bool PreparedConnection::leads_to(const std::string& host, int port) const {
    return fd_ >= 0 && host == host_ && port == port_;
}

std::string PreparedConnection::resolve_entry() const {
    char text[INET6_ADDRSTRLEN] = {};
    const void* address = nullptr;
    if (peer_.ss_family == AF_INET) {
        address = &reinterpret_cast<const sockaddr_in&>(peer_).sin_addr;
    } else if (peer_.ss_family == AF_INET6) {
        address = &reinterpret_cast<const sockaddr_in6&>(peer_).sin6_addr;
    }
    if (fd_ < 0 || address == nullptr ||
        ::inet_ntop(peer_.ss_family, address, text, sizeof text) == nullptr) {
        return {};
    }
    const std::string shown = peer_.ss_family == AF_INET6 ? "[" + std::string(text) + "]" : text;
    return host_ + ':' + std::to_string(port_) + ':' + shown;
}

int PreparedConnection::take_for(const sockaddr* address, socklen_t length) {
    if (fd_ < 0 || !same_address(peer_, peer_length_, address, length)) {
        return -1;
    }
    if (!usable()) {
        close();
        return -1;
    }
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

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

    // A connection prepared for this host: curl neither looks the name up nor
    // connects, and takes the socket as connected.
    SocketChoice socket_choice;
    curl_slist* resolve = nullptr;
    const int port = request.port > 0 ? request.port : request.scheme == "https" ? 443 : 80;
    if (request.connection != nullptr && request.proxy.empty() &&
        request.connection->leads_to(request.host, port)) {
        socket_choice.prepared = request.connection;
        curl_easy_setopt(curl, CURLOPT_OPENSOCKETFUNCTION, open_socket);
        curl_easy_setopt(curl, CURLOPT_OPENSOCKETDATA, &socket_choice);
        curl_easy_setopt(curl, CURLOPT_SOCKOPTFUNCTION, socket_options);
        curl_easy_setopt(curl, CURLOPT_SOCKOPTDATA, &socket_choice);
        // An address needs no lookup; curl's own cache would only cost time.
        in6_addr numeric{};
        const bool is_address = ::inet_pton(AF_INET, request.host.c_str(), &numeric) == 1 ||
                                ::inet_pton(AF_INET6, request.host.c_str(), &numeric) == 1;
        const std::string entry = is_address ? std::string() : request.connection->resolve_entry();
        if (!entry.empty()) {
            resolve = curl_slist_append(nullptr, entry.c_str());
            curl_easy_setopt(curl, CURLOPT_RESOLVE, resolve);
        }
    }

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
    curl_slist_free_all(resolve);
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
