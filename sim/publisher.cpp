// The publisher's endpoints, each answering in the shape the system's answer
// readers expect. Each endpoint family registers itself here.
#include "sim/activities.h"
#include "sim/ams.h"
#include "sim/login_page.h"
#include "sim/membership.h"
#include "sim/records.h"
#include "sim/roles.h"
#include "sim/simulator.h"
#include "sim/statistics.h"

namespace velkor::sim {

void install_publisher_endpoints(Simulator& sim) {
    install_activity_endpoints(sim);
    install_login_endpoints(sim);
    install_role_endpoints(sim);
    install_ams_endpoints(sim);
    install_membership_endpoints(sim);
    install_record_endpoints(sim);
    install_statistics_endpoints(sim);
}

}  // namespace velkor::sim
