#include "sim/simulator.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <csignal>
#include <ctime>
#include <deque>
#include <filesystem>
#include <iomanip>
#include <map>
#include <mutex>
#include <ostream>
#include <random>
#include <shared_mutex>
#include <sstream>
#include <thread>
#include <tuple>

#include "web/endpoints.h"

namespace velkor::sim {
namespace {

constexpr long long kDefaultHugeBytes = 16LL << 20;
constexpr long long kDefaultHeaderBytes = 100LL << 10;
constexpr long long kDefaultGarbageBytes = 4096;
constexpr int kDefaultErrorStatus = 500;
constexpr long long kDefaultTrickleRate = 64;  // bytes per second
constexpr size_t kLoggedBodyBytes = 512;
constexpr int kListenBacklog = 128;
// The in-process log keeps the latest requests only, so a long run stays small.
constexpr size_t kKeptRequests = 10000;

struct ModeName {
    FaultMode mode;
    std::string_view name;
};
constexpr ModeName kModeNames[] = {
    {FaultMode::none, "none"},
    {FaultMode::slow, "slow"},
    {FaultMode::hang, "hang"},
    {FaultMode::reset, "reset"},
    {FaultMode::huge, "huge"},
    {FaultMode::oversized_headers, "oversized_headers"},
    {FaultMode::garbage, "garbage"},
    {FaultMode::cut_headers, "cut_headers"},
    {FaultMode::server_error, "server_error"},
    {FaultMode::trickle, "trickle"},
};

bool is_socket_detail(const std::string& name) {
    return name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" ||
           name == "LOCAL_PORT";
}

std::string printable(std::string_view bytes) {
    std::string out;
    for (const char ch : bytes.substr(0, kLoggedBodyBytes)) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += ch;
        } else {
            static const char* const hex = "0123456789abcdef";
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 0x0F];
        }
    }
    if (bytes.size() > kLoggedBodyBytes) {
        out += "...";
    }
    return out;
}

// Local time to the microsecond: claims fired at one second are told apart by it.
std::string time_text(std::chrono::system_clock::time_point t) {
    const auto since_epoch =
        std::chrono::duration_cast<std::chrono::microseconds>(t.time_since_epoch());
    const auto secs = std::chrono::floor<std::chrono::seconds>(since_epoch);
    const std::time_t whole = static_cast<std::time_t>(secs.count());
    std::tm local{};
    localtime_r(&whole, &local);
    std::ostringstream out;
    out << std::put_time(&local, "%Y-%m-%d %H:%M:%S") << '.' << std::setw(6) << std::setfill('0')
        << (since_epoch - secs).count();
    return out.str();
}

// When the request in hand on this server thread arrived: taken by the
// pre-routing hook, as soon as its headers are read and before its body is,
// and handed to the handler on the same thread.
thread_local std::optional<std::chrono::system_clock::time_point> received_at;

int port_of(const sockaddr_storage& addr) {
    if (addr.ss_family == AF_INET) {
        return ntohs(reinterpret_cast<const sockaddr_in&>(addr).sin_port);
    }
    if (addr.ss_family == AF_INET6) {
        return ntohs(reinterpret_cast<const sockaddr_in6&>(addr).sin6_port);
    }
    return -1;
}

// cpp-httplib hands a handler no socket; the answers that are no HTTP answer
// need one, so find the connection by its two port numbers.
int connection_socket(int local_port, int remote_port) {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", ec)) {
        int fd = -1;
        try {
            fd = std::stoi(entry.path().filename().string());
        } catch (...) {
            continue;
        }
        sockaddr_storage local{};
        sockaddr_storage peer{};
        socklen_t local_len = sizeof local;
        socklen_t peer_len = sizeof peer;
        if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &local_len) != 0 ||
            getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peer_len) != 0) {
            continue;
        }
        if (port_of(local) == local_port && port_of(peer) == remote_port) {
            return fd;
        }
    }
    return -1;
}

// The server library builds a table of its own (a function-local static) when it
// parses its first request line. One line with a method it does not know makes it
// build the table here, before clients send requests at once, and is answered 400
// without reaching a handler or the log. A thread-sanitizer build cannot see that
// static's guard inside the uninstrumented library and would otherwise take its
// first use by two server threads for a race.
void parse_one_request_line(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) {
        return;
    }
    timeval limit{2, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0) {
        const std::string_view line = "SIM-START / HTTP/1.1\r\n\r\n";
        if (::send(fd, line.data(), line.size(), MSG_NOSIGNAL) ==
            static_cast<ssize_t>(line.size())) {
            // Until the server closes: its thread is done with the request then.
            char buffer[512];
            while (::recv(fd, buffer, sizeof buffer, 0) > 0) {
            }
        }
    }
    ::close(fd);
}

}  // namespace

std::optional<FaultMode> fault_mode_named(std::string_view name) {
    for (const auto& m : kModeNames) {
        if (m.name == name) {
            return m.mode;
        }
    }
    return std::nullopt;
}

std::string_view fault_mode_name(FaultMode mode) {
    for (const auto& m : kModeNames) {
        if (m.mode == mode) {
            return m.name;
        }
    }
    return "none";
}

struct Simulator::Impl {
    struct Port {
        std::string host_name;
        std::unique_ptr<httplib::Server> server;
        std::thread thread;
        int port = 0;
    };

    SimulatorOptions options;
    std::vector<Port> ports;
    bool started = false;

    mutable std::shared_mutex handlers_mutex;
    std::map<std::tuple<std::string, std::string, std::string>, Handler, std::less<>> handlers;

    mutable std::mutex faults_mutex;
    std::map<std::pair<std::string, std::string>, Fault, std::less<>> faults;

    mutable std::mutex log_mutex;
    std::deque<LoggedRequest> log;

    std::mutex stop_mutex;
    std::condition_variable stop_cv;
    std::atomic<bool> stopping{false};

    std::atomic<unsigned> garbage_seed{1};

    void record(const std::string& host, const httplib::Request& req) {
        LoggedRequest entry;
        entry.time = received_at.value_or(std::chrono::system_clock::now());
        received_at.reset();
        entry.host = host;
        entry.method = req.method;
        entry.target = req.target;
        for (const auto& [name, value] : req.headers) {
            if (!is_socket_detail(name)) {
                entry.headers.emplace_back(name, value);
            }
        }
        entry.body = req.body;
        std::lock_guard lock(log_mutex);
        if (options.log != nullptr) {
            std::ostream& out = *options.log;
            out << time_text(entry.time) << ' ' << host << ' ' << entry.method << ' '
                << entry.target << " headers={";
            for (size_t i = 0; i < entry.headers.size(); ++i) {
                out << (i ? "; " : "") << entry.headers[i].first << ": " << entry.headers[i].second;
            }
            out << "} body=" << entry.body.size() << ':' << printable(entry.body) << '\n';
            out.flush();
        }
        if (log.size() >= kKeptRequests) {
            log.pop_front();
        }
        log.push_back(std::move(entry));
    }

    Fault fault_for(const std::string& host, const std::string& path) const {
        std::lock_guard lock(faults_mutex);
        auto it = faults.find(std::make_pair(host, path));
        return it == faults.end() ? Fault{} : it->second;
    }

    // Waits for the time or for stop(); true when stopping.
    bool wait(std::optional<std::chrono::milliseconds> time) {
        std::unique_lock lock(stop_mutex);
        auto stopped = [this] { return stopping.load(); };
        if (time) {
            return stop_cv.wait_for(lock, *time, stopped);
        }
        stop_cv.wait(lock, stopped);
        return true;
    }

    Handler find_handler(const std::string& host, const std::string& method,
                         const std::string& path) const {
        std::shared_lock lock(handlers_mutex);
        for (const std::string& m :
             {method, std::string(method == "HEAD" ? "GET" : ""), std::string("*")}) {
            if (m.empty()) {
                continue;
            }
            auto it = handlers.find(std::make_tuple(host, m, path));
            if (it != handlers.end()) {
                return it->second;
            }
        }
        return nullptr;
    }

    void answer_normally(const std::string& host, const httplib::Request& req,
                         httplib::Response& res) {
        if (Handler h = find_handler(host, req.method, req.path)) {
            h(req, res);
            return;
        }
        res.status = 404;
        res.set_content("not found\n", "text/plain");
    }

    bool control(const std::string& host, const httplib::Request& req, httplib::Response& res) {
        if (req.path == "/__sim/faults/clear") {
            std::lock_guard lock(faults_mutex);
            faults.clear();
            res.set_content("ok\n", "text/plain");
            return true;
        }
        if (req.path != "/__sim/fault") {
            return false;
        }
        const std::string target_host = req.has_param("host") ? req.get_param_value("host") : host;
        const std::string path = req.get_param_value("path");
        const auto mode = fault_mode_named(req.get_param_value("mode"));
        long long arg = 0;
        try {
            if (req.has_param("arg")) {
                arg = std::stoll(req.get_param_value("arg"));
            }
        } catch (...) {
            arg = -1;
        }
        if (!endpoints::is_known(target_host) || path.empty() || path[0] != '/' || !mode ||
            arg < 0) {
            res.status = 400;
            res.set_content("usage: /__sim/fault?host=NAME&path=/PATH&mode=MODE&arg=N\n",
                            "text/plain");
            return true;
        }
        {
            std::lock_guard lock(faults_mutex);
            faults[std::make_pair(target_host, path)] = Fault{*mode, arg};
        }
        res.set_content("ok\n", "text/plain");
        return true;
    }

    void dispatch(const std::string& host, const httplib::Request& req, httplib::Response& res) {
        record(host, req);
        if (control(host, req, res)) {
            return;
        }
        const Fault fault = fault_for(host, req.path);
        switch (fault.mode) {
            case FaultMode::none:
                answer_normally(host, req, res);
                return;
            case FaultMode::slow:
                if (wait(std::chrono::milliseconds(fault.arg))) {
                    res.status = 503;
                    return;
                }
                answer_normally(host, req, res);
                return;
            case FaultMode::hang:
                wait(std::nullopt);
                res.status = 503;
                return;
            case FaultMode::reset:
                answer_cut_short(host, req, res, fault.arg);
                return;
            case FaultMode::huge:
                answer_huge(res, fault.arg > 0 ? fault.arg : kDefaultHugeBytes);
                return;
            case FaultMode::oversized_headers:
                answer_normally(host, req, res);
                add_filler_cookies(res, fault.arg > 0 ? fault.arg : kDefaultHeaderBytes);
                return;
            case FaultMode::garbage:
                answer_garbage(req, res, fault.arg > 0 ? fault.arg : kDefaultGarbageBytes);
                return;
            case FaultMode::cut_headers:
                answer_cut_in_headers(host, req, res, fault.arg);
                return;
            case FaultMode::server_error:
                answer_normally(host, req, res);
                res.status = fault.arg > 0 ? static_cast<int>(fault.arg) : kDefaultErrorStatus;
                return;
            case FaultMode::trickle:
                answer_trickling(host, req, res, fault.arg > 0 ? fault.arg : kDefaultTrickleRate);
                return;
        }
    }

    // Writes the bytes straight to the request's connection and closes it; the
    // answer cpp-httplib writes afterwards goes nowhere.
    static void send_and_close(const httplib::Request& req, std::string_view bytes) {
        const int fd = connection_socket(req.local_port, req.remote_port);
        if (fd < 0) {
            return;
        }
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n <= 0) {
                break;
            }
            done += static_cast<size_t>(n);
        }
        ::shutdown(fd, SHUT_RDWR);
    }

    void answer_cut_in_headers(const std::string& host, const httplib::Request& req,
                               httplib::Response& res, long long sent) {
        answer_normally(host, req, res);
        if (res.status <= 0) {
            res.status = 200;
        }
        // A cookie of the simulator's own stands first, so that even a short cut
        // offers a client a cookie it must not take from an unfinished block.
        std::string block = "HTTP/1.1 " + std::to_string(res.status) + ' ' +
                            (res.status < 400 ? "OK" : "Error") +
                            "\r\nSet-Cookie: sim_cut=1; Path=/\r\n";
        for (const auto& [name, value] : res.headers) {
            block += name + ": " + value + "\r\n";
        }
        block += "Content-Length: " + std::to_string(res.body.size()) + "\r\n";
        const size_t keep =
            sent > 0 ? std::min(static_cast<size_t>(sent), block.size()) : block.size();
        send_and_close(req, std::string_view(block).substr(0, keep));
        res.status = 500;
    }

    void answer_trickling(const std::string& host, const httplib::Request& req,
                          httplib::Response& res, long long rate) {
        answer_normally(host, req, res);
        auto body = std::make_shared<std::string>(std::move(res.body));
        res.body.clear();
        // Ten pieces a second; below ten bytes a second, one byte at a time.
        const long long piece = std::max(1LL, rate / 10);
        const auto pause = std::chrono::milliseconds(1000 * piece / rate);
        const std::string type = res.get_header_value("Content-Type");
        res.headers.erase("Content-Type");
        res.set_content_provider(
            body->size(), type.empty() ? "application/octet-stream" : type,
            [this, body, piece, pause](size_t offset, size_t length, httplib::DataSink& sink) {
                if (wait(pause)) {
                    return false;  // stopping
                }
                return sink.write(body->data() + offset,
                                  std::min(length, static_cast<size_t>(piece)));
            });
    }

    void answer_cut_short(const std::string& host, const httplib::Request& req,
                          httplib::Response& res, long long sent) {
        answer_normally(host, req, res);
        auto body = std::make_shared<std::string>(std::move(res.body));
        res.body.clear();
        if (body->empty()) {
            body->assign(1024, 'r');
        }
        const size_t keep = sent > 0 ? std::min<size_t>(static_cast<size_t>(sent), body->size() - 1)
                                     : body->size() / 2;
        res.set_content_provider(body->size(), "application/octet-stream",
                                 [body, keep](size_t, size_t, httplib::DataSink& sink) {
                                     sink.write(body->data(), keep);
                                     return false;  // the connection closes with the rest unsent
                                 });
    }

    void answer_huge(httplib::Response& res, long long size) {
        auto chunk = std::make_shared<std::string>(64 * 1024, 'h');
        res.set_content_provider(static_cast<size_t>(size), "application/octet-stream",
                                 [this, chunk](size_t, size_t length, httplib::DataSink& sink) {
                                     if (stopping) {
                                         return false;
                                     }
                                     return sink.write(chunk->data(),
                                                       std::min(length, chunk->size()));
                                 });
    }

    static void add_filler_cookies(httplib::Response& res, long long bytes) {
        const std::string value(80, 'f');
        long long written = 0;
        for (int i = 0; written < bytes; ++i) {
            std::string line = "filler" + std::to_string(i) + '=' + value + "; Path=/";
            written += static_cast<long long>(line.size() + 14);  // "Set-Cookie: " and CRLF
            res.set_header("Set-Cookie", line);
        }
    }

    void answer_garbage(const httplib::Request& req, httplib::Response& res, long long size) {
        std::mt19937 random(garbage_seed.fetch_add(1));
        std::string bytes(static_cast<size_t>(size), '\0');
        for (char& c : bytes) {
            c = static_cast<char>(random() & 0xFF);
        }
        bytes[0] = '\x01';  // never a status line by chance
        send_and_close(req, bytes);
        res.status = 500;
    }
};

Simulator::Simulator(SimulatorOptions options) : impl_(std::make_unique<Impl>()) {
    impl_->options = options;
    for (const std::string& name : endpoints::host_names()) {
        Impl::Port p;
        p.host_name = name;
        impl_->ports.push_back(std::move(p));
    }
    install_diagnostic_endpoints(*this);
}

Simulator::~Simulator() {
    stop();
}

const SimulatorOptions& Simulator::options() const {
    return impl_->options;
}

bool Simulator::start(std::ostream& err) {
    if (impl_->started) {
        return true;
    }
    impl_->stopping = false;  // a simulator started again after stop() serves as new
    // A client that hangs up early must not end the process while we write to it.
    std::signal(SIGPIPE, SIG_IGN);
    int index = 0;
    for (Impl::Port& p : impl_->ports) {
        p.server = std::make_unique<httplib::Server>();
        httplib::Server& s = *p.server;
        s.set_tcp_nodelay(true);
        s.set_keep_alive_max_count(1);
        s.set_pre_routing_handler([](const httplib::Request&, httplib::Response&) {
            received_at = std::chrono::system_clock::now();
            return httplib::Server::HandlerResponse::Unhandled;
        });
        const std::string host = p.host_name;
        auto h = [this, host](const httplib::Request& req, httplib::Response& res) {
            impl_->dispatch(host, req, res);
        };
        s.Get(".*", h);
        s.Post(".*", h);
        s.Put(".*", h);
        s.Patch(".*", h);
        s.Delete(".*", h);
        s.Options(".*", h);
        // SO_REUSEADDR without cpp-httplib's SO_REUSEPORT, so that a second
        // simulator on the same ports fails instead of sharing them; and a
        // backlog for many clients at once (the library listens with 5, and a
        // full queue drops connections for a second).
        auto listen_fd = std::make_shared<int>(-1);
        s.set_socket_options([listen_fd](int sock) {
            int yes = 1;
            setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
            *listen_fd = sock;
        });
        if (impl_->options.port_base > 0) {
            const int wanted = impl_->options.port_base + index;
            p.port = s.bind_to_port("127.0.0.1", wanted) ? wanted : -1;
        } else {
            p.port = s.bind_to_any_port("127.0.0.1");
        }
        if (p.port <= 0) {
            err << "publisher_sim: cannot listen for " << host << " on 127.0.0.1"
                << (impl_->options.port_base > 0
                        ? ":" + std::to_string(impl_->options.port_base + index)
                        : std::string())
                << '\n';
            for (Impl::Port& q : impl_->ports) {
                q.server.reset();
                q.port = 0;
            }
            return false;
        }
        if (*listen_fd >= 0) {
            ::listen(*listen_fd, kListenBacklog);
        }
        ++index;
    }
    for (Impl::Port& p : impl_->ports) {
        httplib::Server* s = p.server.get();
        p.thread = std::thread([s] { s->listen_after_bind(); });
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (Impl::Port& p : impl_->ports) {
        while (!p.server->is_running() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    if (!impl_->ports.empty()) {
        parse_one_request_line(impl_->ports.front().port);
    }
    impl_->started = true;
    return true;
}

void Simulator::stop() {
    if (!impl_->started) {
        return;
    }
    {
        std::lock_guard lock(impl_->stop_mutex);
        impl_->stopping = true;
    }
    impl_->stop_cv.notify_all();
    for (Impl::Port& p : impl_->ports) {
        p.server->stop();
    }
    for (Impl::Port& p : impl_->ports) {
        if (p.thread.joinable()) {
            p.thread.join();
        }
    }
    impl_->started = false;
}

int Simulator::port(std::string_view host_name) const {
    for (const Impl::Port& p : impl_->ports) {
        if (p.host_name == host_name) {
            return p.port;
        }
    }
    return 0;
}

std::string Simulator::address(std::string_view host_name) const {
    return "127.0.0.1:" + std::to_string(port(host_name));
}

std::string Simulator::hosts_setting() const {
    std::string setting;
    for (const Impl::Port& p : impl_->ports) {
        if (!setting.empty()) {
            setting += ',';
        }
        setting += p.host_name + '=' + address(p.host_name);
    }
    return setting;
}

void Simulator::point_endpoints_here() const {
    for (const Impl::Port& p : impl_->ports) {
        endpoints::set(p.host_name, address(p.host_name));
    }
}

void Simulator::handle(std::string_view host_name, std::string_view method, std::string_view path,
                       Handler handler) {
    std::unique_lock lock(impl_->handlers_mutex);
    for (const Impl::Port& p : impl_->ports) {
        if (host_name == "*" || host_name == p.host_name) {
            impl_->handlers[std::make_tuple(p.host_name, std::string(method), std::string(path))] =
                handler;
        }
    }
}

Simulator::Handler Simulator::handler(std::string_view host_name, std::string_view method,
                                      std::string_view path) const {
    std::shared_lock lock(impl_->handlers_mutex);
    auto it = impl_->handlers.find(
        std::make_tuple(std::string(host_name), std::string(method), std::string(path)));
    return it == impl_->handlers.end() ? Handler() : it->second;
}

void Simulator::set_fault(std::string_view host_name, std::string_view path, Fault fault) {
    std::lock_guard lock(impl_->faults_mutex);
    auto key = std::make_pair(std::string(host_name), std::string(path));
    if (fault.mode == FaultMode::none) {
        impl_->faults.erase(key);
    } else {
        impl_->faults[key] = fault;
    }
}

void Simulator::clear_faults() {
    std::lock_guard lock(impl_->faults_mutex);
    impl_->faults.clear();
}

std::vector<LoggedRequest> Simulator::requests() const {
    std::lock_guard lock(impl_->log_mutex);
    return {impl_->log.begin(), impl_->log.end()};
}

void Simulator::clear_log() {
    std::lock_guard lock(impl_->log_mutex);
    impl_->log.clear();
}

}  // namespace velkor::sim
