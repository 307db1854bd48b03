#pragma once
// A loopback server on a plain socket that records every request byte for byte
// and answers with a canned response, for checking exactly what a client puts
// on the wire. Connections are served one after another.
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace velkor::test {

// A complete answer with Content-Length and "Connection: close".
// header_lines: each line without its CRLF.
std::string http_answer(std::string_view status_line, const std::vector<std::string>& header_lines,
                        std::string_view body);

// The request line and the header lines of a raw request, without CRLF.
std::vector<std::string> request_lines(const std::string& raw);
std::string request_body(const std::string& raw);

// A loopback port on which nothing listens (bound and closed again): a connection
// to it is refused.
int closed_port();

// The value of `name` in a form body or in the query of a request target, as it
// stands; "<none>" when it is absent.
std::string field_of(const std::string& text, const std::string& name);

class RawServer {
  public:
    // Given the raw request, the bytes to answer; an empty answer closes silently.
    using Responder = std::function<std::string(const std::string& request)>;
    struct Hang {};  // accept and read, never answer until stopped

    explicit RawServer(std::string canned_answer);
    explicit RawServer(Responder responder);
    explicit RawServer(Hang);
    ~RawServer();
    RawServer(const RawServer&) = delete;
    RawServer& operator=(const RawServer&) = delete;

    int port() const { return port_; }
    std::string url(std::string_view path = "/") const;
    std::vector<std::string> requests() const;
    void stop();

  private:
    void start();
    void run();
    void serve(int fd);
    bool read_request(int fd, std::string& raw);

    Responder responder_;
    bool hang_ = false;
    int listen_fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

}  // namespace velkor::test
