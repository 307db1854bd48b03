#pragma once
// The game-apps site's player information page.
#include <optional>
#include <string>

namespace velkor::sim {

class Simulator;

// The page (UTF-8) for an account (nothing: not signed in) and the ssn value.
std::string statistics_page(const std::optional<std::string>& account, const std::string& ssn);

void install_statistics_endpoints(Simulator& sim);

}  // namespace velkor::sim
