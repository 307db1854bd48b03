#pragma once
// The login page and the avatar pictures.
#include <string>

namespace velkor::sim {

class Simulator;

// The account the simulated login signs in with, and its session key.
inline constexpr const char* kSimAccount = "12345678";
inline constexpr const char* kSimSessionKey = "@Vk7Q2xLp9";

// The page served for /cgi-bin/xlogin; with auto_login it signs in by itself,
// with mark_sign_in it also sets a cookie holding the moment it signed in.
std::string login_page(bool auto_login, bool mark_sign_in = false);

// A 100 x 100 picture (BMP) drawn from the account number.
std::string avatar_picture(const std::string& account);

void install_login_endpoints(Simulator& sim);

}  // namespace velkor::sim
