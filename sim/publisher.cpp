// The publisher's endpoints, each answering in the shape the system's answer
// readers expect. Each endpoint family registers itself here.
#include "sim/simulator.h"

namespace velkor::sim {

void install_publisher_endpoints(Simulator&) {}

}  // namespace velkor::sim
