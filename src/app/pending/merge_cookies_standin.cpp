// Built only while web/ has no cookies.cpp (see src/app/CMakeLists.txt): lets
// the shell link on its own. It keeps the cookie text as it is.
#include "web/cookies.h"

namespace velkor {

Text merge_cookies(Text& cookie_text, Text& answer_cookies) {
    answer_cookies = remove_blanks(answer_cookies);
    return cookie_text;
}

}  // namespace velkor
