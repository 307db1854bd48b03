#pragma once
// The session values the request forms name, read at the moment a request is built.
#include "app/commands.h"
#include "claim/forms.h"

namespace velkor {

// Token, account, role and the area selected in the area list right now (its code
// from area_codes, its display name from the list).
ClaimSession claim_session(const Context& context);

// The same with the area at a given 0-based index of the area list.
ClaimSession claim_session(const Context& context, int area_index);

// A request stamp from the context's clock: one reading, 13 digits.
Text request_stamp(const Context& context);

}  // namespace velkor
