#include "tests/support/sim_fixture.h"

#include <sstream>
#include <stdexcept>

#include "web/endpoints.h"

namespace velkor::test {

SimFixture::SimFixture(sim::SimulatorOptions options) : sim_(options) {
    sim::install_publisher_endpoints(sim_);
    std::ostringstream err;
    if (!sim_.start(err)) {
        throw std::runtime_error("simulator did not start: " + err.str());
    }
    endpoints::reset_to_defaults();
    sim_.point_endpoints_here();
}

SimFixture::~SimFixture() {
    sim_.stop();
    endpoints::reset_to_defaults();
}

std::string SimFixture::url(std::string_view host_name, std::string_view path) const {
    return "http://" + sim_.address(host_name) + std::string(path);
}

}  // namespace velkor::test
