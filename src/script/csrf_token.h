#pragma once
#include "web/text.h"

namespace velkor {

// The CSRF token the publisher's services expect for a session key: a times-33 style hash
// over the key's UTF-16 code units, computed with the script engine's number rules, as
// decimal digits (0 to 2147483647). An empty key gives the empty text.
Text csrf_token(const Text& skey);

}  // namespace velkor
