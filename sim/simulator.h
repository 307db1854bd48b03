#pragma once
// A local stand-in for the publisher's services: every host of the endpoint
// table is served on its own loopback port, every request is logged, and each
// endpoint can be switched to misbehave (slow, hung, cut short, huge, oversized
// headers, garbage, an error status, a trickle) to exercise the client side.
#include <chrono>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace httplib {
struct Request;
struct Response;
}  // namespace httplib

namespace velkor::sim {

enum class FaultMode {
    none,
    slow,               // arg: milliseconds to wait before answering
    hang,               // never answers until the simulator stops
    reset,              // announces the whole body, sends arg bytes of it (default half), closes
    huge,               // a body of arg bytes (default 16 MiB)
    oversized_headers,  // arg bytes (default 100 KiB) of extra Set-Cookie lines
    garbage,            // arg random bytes (default 4096) instead of an HTTP answer, then closes
    cut_headers,        // the answer's status line and header lines (one Set-Cookie of its
                        // own among them), arg bytes of them (default all), then closes
                        // before the blank line that would end the block
    server_error,       // the endpoint's own answer, body and cookies, under status arg
                        // (default 500)
    trickle,            // the endpoint's own answer, its body at arg bytes per second
                        // (default 64), a few bytes at a time
};

struct Fault {
    FaultMode mode = FaultMode::none;
    long long arg = 0;  // 0: the mode's default
};

std::optional<FaultMode> fault_mode_named(std::string_view name);
std::string_view fault_mode_name(FaultMode mode);

struct LoggedRequest {
    // As soon as the request's headers were read: before its body and before any handler.
    std::chrono::system_clock::time_point time;
    std::string host;  // the name of the endpoint table the port serves
    std::string method;
    std::string target;  // path and query as received
    // As cpp-httplib hands them over: sorted by name, not in arrival order.
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
};

struct SimulatorOptions {
    // Host i of the endpoint table listens on port_base + i; 0: ports the system chooses.
    int port_base = 0;
    std::ostream* log = nullptr;  // one line per request when set
    bool auto_login = false;      // the login page signs in by itself
    // The login page also sets velkor_signed_in_ms=<its clock in ms> when it signs
    // in, so that a run can tell how soon the program noticed the sign-in.
    bool mark_sign_in = false;
};

class Simulator {
  public:
    using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

    explicit Simulator(SimulatorOptions options = {});
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Binds every port and starts serving; false, with a line on err, when a
    // port cannot be bound (nothing is left running then).
    bool start(std::ostream& err);
    // Ends every server; requests held by a fault end first. Safe to call twice.
    void stop();

    const SimulatorOptions& options() const;
    // 0 for an unknown host name or before start().
    int port(std::string_view host_name) const;
    std::string address(std::string_view host_name) const;  // "127.0.0.1:PORT"
    // The VELKOR_HOSTS value that points every host at this simulator.
    std::string hosts_setting() const;
    // Sets the host values of the endpoint table to this simulator (tests).
    void point_endpoints_here() const;

    // Registers a handler; host_name "*" means every host, method "*" every
    // method. HEAD falls back to the GET handler. Unknown paths answer 404.
    void handle(std::string_view host_name, std::string_view method, std::string_view path,
                Handler handler);
    // The handler registered for exactly this host, method and path; empty when
    // none. A test wraps an endpoint's own answer with it.
    Handler handler(std::string_view host_name, std::string_view method,
                    std::string_view path) const;

    // Faults apply to one path of one host (the path without its query).
    void set_fault(std::string_view host_name, std::string_view path, Fault fault);
    void clear_faults();

    // The latest 10,000 requests, oldest first.
    std::vector<LoggedRequest> requests() const;
    void clear_log();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Echo, Set-Cookie and redirect endpoints under /__sim/ on every host.
void install_diagnostic_endpoints(Simulator& sim);
// The publisher's own endpoints (login page, activity list, ...).
void install_publisher_endpoints(Simulator& sim);

}  // namespace velkor::sim
