#pragma once
// The role query: which areas the signed-in account has a role on.
#include <optional>
#include <string>
#include <vector>

namespace velkor::sim {

class Simulator;

struct SimRole {
    std::string area_code;
    std::string area_name;  // UTF-8, as the area list shows it
    std::string role;       // UTF-8
};

// The areas that answer with a role, for every account; all others have none.
const std::vector<SimRole>& sim_roles();
// The role on an area; null for an area without one.
const SimRole* find_role(const std::string& area_code);

// The signature the role query hands out for an account's role on an area,
// and which the sign-up checks: 32 lower-case hexadecimal digits.
std::string role_md5str(const std::string& account, const std::string& area_code);

// The decoded answer: for a role area the account, a blank, the role and "|",
// and md5str:'...'; for another area neither; without an account a login
// reminder.
std::string role_answer_text(const std::optional<std::string>& account,
                             const std::string& area_code, const std::string& callback);

void install_role_endpoints(Simulator& sim);

}  // namespace velkor::sim
