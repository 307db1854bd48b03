#pragma once
// One HTTP/1.1 exchange over libcurl, offering exactly what the request engine
// needs: a caller-given header block and body, redirects on or off, an optional
// proxy, and back the whole body and the raw header block of the final answer.
// Nothing survives a call: every send() uses a new handle and connection (or one
// prepared for it alone), and no cookie engine.
#include <sys/socket.h>

#include <chrono>
#include <string>

namespace velkor::platform {

// A TCP connection made ahead of a request whose moment matters, so that at the
// moment only the request itself goes out: no name lookup, no handshake. Nothing
// is sent on it before a send() uses it, and one send() uses it at most. A
// connection no send() took is closed with the object.
class PreparedConnection {
  public:
    PreparedConnection() = default;  // none
    ~PreparedConnection();
    PreparedConnection(PreparedConnection&& other) noexcept;
    PreparedConnection& operator=(PreparedConnection&& other) noexcept;
    PreparedConnection(const PreparedConnection&) = delete;
    PreparedConnection& operator=(const PreparedConnection&) = delete;

    // Connects to the first address of `host` (a name or an address) that
    // answers on `port` within `timeout`; none when no address does.
    static PreparedConnection open(const std::string& host, int port,
                                   std::chrono::milliseconds timeout);

    // Connected, not yet taken, and the server has neither closed it nor sent
    // anything on it.
    bool usable() const;
    // Whether a request to this host and port may take it.
    bool leads_to(const std::string& host, int port) const;
    // "host:port:address", the address it is connected to, for the client's own
    // name lookup to find.
    std::string resolve_entry() const;

    // For the client: the socket when it is usable and connected to `address`;
    // the caller owns it then. -1 otherwise (a socket the server closed is
    // closed here).
    int take_for(const sockaddr* address, socklen_t length);

  private:
    void close();

    int fd_ = -1;
    std::string host_;
    int port_ = 0;
    sockaddr_storage peer_{};
    socklen_t peer_length_ = 0;
};

struct HttpClientRequest {
    std::string verb = "GET";     // "GET", "POST" or "HEAD"
    std::string scheme = "http";  // "http" or "https"
    std::string host;
    int port = 0;            // 0 or less: the scheme's default port
    std::string path = "/";  // with the query, sent as given
    std::string user_agent;  // empty: no User-Agent line of the client's own
    std::string headers;     // header lines joined by "\r\n", sent as given
    std::string body;        // sent for POST (also when empty: Content-Length: 0)
    bool follow_redirects = true;
    std::string proxy;  // "host:port"; empty: direct, whatever the environment says
    // Made beforehand for this host and port: taken instead of a new connection
    // while the server keeps it open. Not used through a proxy.
    PreparedConnection* connection = nullptr;
};

struct HttpClientResponse {
    bool opened = false;     // false: nothing was sent, the call had no effect
    bool completed = false;  // the transfer ended normally (whatever the status)
    int status = 0;          // HTTP status of the final answer, 0 when none arrived
    std::string error;       // why it did not complete: curl's words, or "time limit reached"
    std::string body;        // every byte received, also of an answer cut short
    // Status line and header lines of the final answer, each ended by "\r\n".
    std::string headers;
};

// Limits that keep a silent server from holding a thread forever.
struct HttpTimeouts {
    std::chrono::milliseconds connect;
    // An exchange slower than low_speed_bytes per second for low_speed_time ends.
    long low_speed_bytes;
    std::chrono::seconds low_speed_time;
    // No exchange lasts longer than this, however steadily a server trickles.
    std::chrono::seconds total{120};
};

inline constexpr HttpTimeouts kDefaultHttpTimeouts{std::chrono::seconds(10), 1,
                                                   std::chrono::seconds(30)};
// A redirect loop ends after this many hops.
inline constexpr long kMaxRedirects = 20;

class HttpClient {
  public:
    virtual ~HttpClient() = default;
    virtual HttpClientResponse send(const HttpClientRequest& request) = 0;
};

class CurlHttpClient final : public HttpClient {
  public:
    explicit CurlHttpClient(HttpTimeouts timeouts = kDefaultHttpTimeouts);
    HttpClientResponse send(const HttpClientRequest& request) override;

  private:
    HttpTimeouts timeouts_;
};

// libcurl's global set-up. Call once in main before any thread starts; later
// calls do nothing, and the default client calls it as well.
void http_client_global_init();

// The process-wide client. Each exchange takes the time-outs set at its start:
// kDefaultHttpTimeouts until set_default_http_timeouts changes them.
HttpClient& default_http_client();

// For the exchanges of the default client that start afterwards; callable from
// any thread (tests shorten the limits so that a silent server costs seconds).
void set_default_http_timeouts(HttpTimeouts timeouts);
HttpTimeouts default_http_timeouts();

}  // namespace velkor::platform
