#pragma once
// MD5 digest through the system's crypto library.
#include <string>
#include <string_view>

namespace velkor::platform {

// The 16 digest bytes of data, or an empty string when the digest cannot be computed.
std::string md5_digest(std::string_view data);

}  // namespace velkor::platform
