#pragma once
// The membership service ams3.0.php and its activity data script.
#include <string>

namespace velkor::sim {

class Simulator;

// The oid the data script names; a claim must send it as vipid.
inline constexpr const char* kVipOid = "VIP67135CF";
// The activity whose answer carries no msg at all.
inline constexpr const char* kVipSilentActivity = "69429";
// The activity whose gift the account already has.
inline constexpr const char* kVipClaimedActivity = "112443";
// The activity of the closing claim.
inline constexpr const char* kVipFinalActivity = "95334";

// The answer's msg (UTF-8) for an activity claimed by a signed-in account with
// a well-formed request.
std::string vip_claim_message(const std::string& actid);

void install_membership_endpoints(Simulator& sim);

}  // namespace velkor::sim
