// publisher_sim: the publisher's services on loopback, until SIGINT or SIGTERM.
#include <pthread.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>

#include "sim/simulator.h"

namespace {

int usage() {
    std::cerr
        << "usage: publisher_sim [--port-base N] [--log FILE] [--auto-login] [--mark-sign-in]\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    velkor::sim::SimulatorOptions options;
    options.port_base = 17601;
    std::string log_file;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--port-base" && i + 1 < argc) {
            char* end = nullptr;
            const long base = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || base < 0 || base > 65535 - 12) {
                return usage();
            }
            options.port_base = static_cast<int>(base);
        } else if (arg == "--log" && i + 1 < argc) {
            log_file = argv[++i];
        } else if (arg == "--auto-login") {
            options.auto_login = true;
        } else if (arg == "--mark-sign-in") {
            options.mark_sign_in = true;
        } else {
            return usage();
        }
    }

    std::ofstream log;
    if (!log_file.empty()) {
        log.open(log_file, std::ios::app);
        if (!log) {
            std::cerr << "publisher_sim: cannot open " << log_file << '\n';
            return 1;
        }
        options.log = &log;
    } else {
        options.log = &std::cerr;
    }

    // The signals are taken by sigwait below, never by a server thread.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    velkor::sim::Simulator sim(options);
    velkor::sim::install_publisher_endpoints(sim);
    if (!sim.start(std::cerr)) {
        return 1;
    }
    // Answers that name other hosts (activity links) use the addresses served here.
    sim.point_endpoints_here();
    std::cout << "VELKOR_HOSTS=" << sim.hosts_setting() << std::endl;

    int received = 0;
    sigwait(&signals, &received);
    sim.stop();
    return 0;
}
