#include "platform/md5.h"

#include <openssl/evp.h>

namespace velkor::platform {

std::string md5_digest(std::string_view data) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(data.data(), data.size(), digest, &length, EVP_md5(), nullptr) != 1 ||
        length != 16) {
        return {};
    }
    return std::string(reinterpret_cast<const char*>(digest), length);
}

}  // namespace velkor::platform
