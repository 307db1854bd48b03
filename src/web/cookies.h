#pragma once
// Folding an answer's cookies into a kept cookie text.
#include "web/text.h"

namespace velkor {

// Rewrites cookie_text with the merged cookies and returns it; answer_cookies is
// rewritten with its blanks removed.
Text merge_cookies(Text& cookie_text, Text& answer_cookies);

}  // namespace velkor
