#pragma once
// The activity-management endpoint ame.php: sign-up and the claim forms.
#include <string>

namespace velkor::sim {

class Simulator;

// The URL activity id of the sign-up, and of every claim of a listed activity.
inline constexpr const char* kSignupUrlActivity = "53353";
inline constexpr const char* kListedClaimUrlActivity = "53309";

// The twelve premium-club flows the club claim knows; the ninth answers that
// its gift was already claimed.
inline constexpr const char* kClubFlows[] = {"248313", "249159", "248629", "248633",
                                             "248634", "248635", "248637", "248638",
                                             "248608", "248626", "248627", "248569"};
inline constexpr const char* kClubClaimedFlow = "248608";

// The gift a claim of this flow hands out (UTF-8).
std::string gift_of_flow(const std::string& flow);

void install_ams_endpoints(Simulator& sim);

}  // namespace velkor::sim
