#pragma once
// An in-process publisher simulator on ports the system chooses, with the
// endpoint table pointed at it for the fixture's lifetime.
#include <string>
#include <string_view>

#include "sim/simulator.h"

namespace velkor::test {

class SimFixture {
  public:
    explicit SimFixture(sim::SimulatorOptions options = {});
    ~SimFixture();
    SimFixture(const SimFixture&) = delete;
    SimFixture& operator=(const SimFixture&) = delete;

    sim::Simulator& sim() { return sim_; }
    // "http://127.0.0.1:PORT" + path for a host of the endpoint table.
    std::string url(std::string_view host_name, std::string_view path) const;

  private:
    sim::Simulator sim_;
};

}  // namespace velkor::test
