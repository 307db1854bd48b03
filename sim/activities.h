#pragma once
// The activity-center list and the activity pages its links point to.
#include <string>
#include <vector>

namespace velkor::sim {

class Simulator;

struct SimActivity {
    std::string name;  // UTF-8
    std::string start;
    std::string end;
    std::string link;               // as listed (after unescaping)
    bool partner = false;           // hosted on a partner site: listed, not cached
    int activity_id = 0;            // in the page's amsInit call
    int init_flow = 0;              // the flow of amsInit
    std::vector<int> submit_flows;  // the page's amsSubmit calls, in page order
};

// The activities the list answers with, for the simulator's current addresses.
// The list's last entry stands in the answer with no "},{" behind it.
std::vector<SimActivity> listed_activities(const Simulator& sim);

// The JSON answer of the activity-center list for these entries.
std::string activity_list_answer(const std::vector<SimActivity>& entries);

// The page of one activity.
std::string activity_page(const SimActivity& activity);

void install_activity_endpoints(Simulator& sim);

}  // namespace velkor::sim
