#pragma once
// The customer-service site's consumption records.
#include <optional>
#include <string>

namespace velkor::sim {

class Simulator;

// The decoded answer for an account (nothing: not signed in) and the decoded
// value of the request's command parameter. Records stand between bars, their
// fields split by "#".
std::string records_answer_text(const std::optional<std::string>& account, const std::string& rand,
                                const std::string& command);

void install_record_endpoints(Simulator& sim);

}  // namespace velkor::sim
