#pragma once
// Code-page conversion between GBK (code page 936), UTF-16 and UTF-8.
//
// None of these fail: a character GBK lacks becomes "?" (one "?" for a surrogate
// pair), and input that is invalid in the source is replaced: by U+FFFD from
// UTF-8 or from a lone surrogate going to UTF-8, by "?" from GBK (a byte 0x81..0xFE
// followed by 0x40..0xFE other than 0x7F is read as one double-byte character).
// An empty input gives an empty output.
#include <string>
#include <string_view>

namespace velkor::platform {

std::u16string gbk_to_utf16(std::string_view gbk);
// The same into a buffer whose storage is reused (for large texts converted often).
void gbk_to_utf16(std::string_view gbk, std::u16string& out);
std::string utf16_to_gbk(std::u16string_view utf16);
std::u16string utf8_to_utf16(std::string_view utf8);
std::string utf16_to_utf8(std::u16string_view utf16);

// Direct routes; the same results as going through UTF-16.
std::string utf8_to_gbk(std::string_view utf8);
std::string gbk_to_utf8(std::string_view gbk);

}  // namespace velkor::platform
