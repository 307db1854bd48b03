#include "tests/support/raw_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cstring>
#include <stdexcept>

namespace velkor::test {

int closed_port() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    ::close(fd);
    return ntohs(addr.sin_port);
}

std::string field_of(const std::string& text, const std::string& name) {
    const std::string key = name + "=";
    for (size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + 1)) {
        if (at == 0 || text[at - 1] == '&' || text[at - 1] == '?') {
            const size_t from = at + key.size();
            return text.substr(from, text.find('&', from) - from);
        }
    }
    return "<none>";
}

namespace {

constexpr int kTickMs = 20;

bool same_name(std::string_view line, std::string_view name) {
    if (line.size() < name.size()) {
        return false;
    }
    for (size_t i = 0; i < name.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(line[i])) !=
            std::tolower(static_cast<unsigned char>(name[i]))) {
            return false;
        }
    }
    return true;
}

size_t content_length(const std::string& head) {
    for (const std::string& line : request_lines(head)) {
        if (same_name(line, "Content-Length:")) {
            return std::stoul(line.substr(15));
        }
    }
    return 0;
}

}  // namespace

std::string http_answer(std::string_view status_line, const std::vector<std::string>& header_lines,
                        std::string_view body) {
    std::string out(status_line);
    out += "\r\n";
    for (const std::string& line : header_lines) {
        out += line + "\r\n";
    }
    out += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    out += "Connection: close\r\n\r\n";
    out += body;
    return out;
}

std::vector<std::string> request_lines(const std::string& raw) {
    std::vector<std::string> lines;
    const size_t end = raw.find("\r\n\r\n");
    const std::string head = raw.substr(0, end);
    size_t pos = 0;
    while (pos <= head.size()) {
        size_t eol = head.find("\r\n", pos);
        if (eol == std::string::npos) {
            eol = head.size();
        }
        lines.push_back(head.substr(pos, eol - pos));
        pos = eol + 2;
    }
    return lines;
}

std::string request_body(const std::string& raw) {
    const size_t end = raw.find("\r\n\r\n");
    return end == std::string::npos ? std::string() : raw.substr(end + 4);
}

RawServer::RawServer(std::string canned_answer)
    : responder_([answer = std::move(canned_answer)](const std::string&) { return answer; }) {
    start();
}

RawServer::RawServer(Responder responder) : responder_(std::move(responder)) {
    start();
}

RawServer::RawServer(Hang) : hang_(true) {
    start();
}

RawServer::~RawServer() {
    stop();
}

void RawServer::start() {
    listen_fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    if (listen_fd_ < 0 ||
        ::bind(listen_fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listen_fd_, 16) != 0 ||
        ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        throw std::runtime_error("raw server: cannot listen on loopback");
    }
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { run(); });
}

std::string RawServer::url(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

std::vector<std::string> RawServer::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

void RawServer::stop() {
    if (thread_.joinable()) {
        stopping_ = true;
        thread_.join();
    }
    if (listen_fd_ >= 0) {
        ::close(listen_fd_);
        listen_fd_ = -1;
    }
}

void RawServer::run() {
    while (!stopping_) {
        pollfd p{listen_fd_, POLLIN, 0};
        if (::poll(&p, 1, kTickMs) <= 0) {
            continue;
        }
        const int fd = ::accept(listen_fd_, nullptr, nullptr);
        if (fd >= 0) {
            serve(fd);
            ::close(fd);
        }
    }
}

bool RawServer::read_request(int fd, std::string& raw) {
    size_t wanted = std::string::npos;
    char buf[16384];
    while (!stopping_) {
        const size_t head_end = raw.find("\r\n\r\n");
        if (head_end != std::string::npos) {
            if (wanted == std::string::npos) {
                wanted = head_end + 4 + content_length(raw.substr(0, head_end + 4));
            }
            if (raw.size() >= wanted) {
                return true;
            }
        }
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, kTickMs) <= 0) {
            continue;
        }
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) {
            return !raw.empty();
        }
        raw.append(buf, static_cast<size_t>(n));
    }
    return false;
}

void RawServer::serve(int fd) {
    std::string raw;
    const bool complete = read_request(fd, raw);
    if (!raw.empty()) {
        std::lock_guard lock(mutex_);
        requests_.push_back(raw);
    }
    if (!complete) {
        return;
    }
    if (hang_) {
        while (!stopping_) {
            std::this_thread::sleep_for(std::chrono::milliseconds(kTickMs));
        }
        return;
    }
    const std::string answer = responder_(raw);
    size_t done = 0;
    while (done < answer.size()) {
        const ssize_t n = ::send(fd, answer.data() + done, answer.size() - done, MSG_NOSIGNAL);
        if (n <= 0) {
            break;
        }
        done += static_cast<size_t>(n);
    }
    ::shutdown(fd, SHUT_WR);
}

}  // namespace velkor::test
