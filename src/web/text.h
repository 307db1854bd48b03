#pragma once
// The system's text: GBK (code page 936) bytes, lengths and positions in bytes,
// positions 1-based, -1 for "not found". Conversions to UTF-8 or UTF-16 happen
// only at the edges (window, source literals, the wire).
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"

namespace velkor {

using Text = std::string;
using TextList = std::vector<Text>;

// Source literals are UTF-8; this is the one place they become GBK.
Text gbk(std::string_view utf8);
// GBK to UTF-8, for the window and the terminal.
std::string to_utf8(std::string_view gbk_text);

// --- basic operations ---------------------------------------------------------

// 1-based position of the first occurrence at or after start, -1 when none.
// Every byte >= 0x80 opens a double-byte character: a match never starts on its
// second byte. Case folding, when asked, is ASCII only.
int find(std::string_view text, std::string_view sought, int start = 1, bool ignore_case = false);
Text left(std::string_view text, int n);
Text right(std::string_view text, int n);
Text middle(std::string_view text, int start, int count);
// Replaces from left to right, stepping over double-byte characters as find does.
// count < 0 means every occurrence.
Text replace(std::string_view text, std::string_view old_text, std::string_view new_text,
             int start = 1, int count = -1, bool case_sensitive = true);
// Pieces between delimiters; empty pieces kept, a trailing empty piece dropped,
// an empty text gives no piece.
TextList split(std::string_view text, std::string_view delimiter);
// The leading decimal integer (full-width digits count), 0 when there is none.
long long to_int(std::string_view text);
Text number_text(long long value);
Text number_text(double value);  // "%.13g"

// Blanks are the ASCII space and the full-width space (A1 A1).
Text trim_blanks(std::string_view text);
Text remove_blanks(std::string_view text);
bool ends_with(std::string_view text, std::string_view tail);

// --- marker cutting -------------------------------------------------------------

// The text between the first left marker (at or after start) and the next right
// marker behind it; empty when either is missing. "#引号" in a marker stands for '"'.
Text text_between(std::string_view text, std::string_view left_marker,
                  std::string_view right_marker, int start = 1, bool ignore_case = false);

// --- encoding -----------------------------------------------------------------------

// Every byte as %XX (upper-case digits), or only those other than - . 0-9 A-Z a-z;
// with utf8_first the text is converted to UTF-8 before.
Text url_encode(std::string_view text, bool keep_unreserved, bool utf8_first);
// %XX of either case; "+" stays, a "%" without two hexadecimal digits stays, %00
// gives nothing. With from_utf8 the bytes are then read as UTF-8.
Text url_decode(std::string_view text, bool from_utf8);
// Both read the text up to its first NUL.
Text utf8_to_ansi(std::string_view utf8);
Text ansi_to_utf8(std::string_view ansi);
// 32 hexadecimal digits (or the 9th to the 24th), empty when no digest can be made.
Text md5_hex(std::string_view data, bool upper_case = false, bool middle16 = false);
// Seconds from 1970-01-01 08:00:00 to `time` on the local calendar, then three
// digits of milliseconds; seconds and milliseconds come from the one reading.
Text timestamp_text(const platform::LocalTime& time, bool seconds_only = false);
// The same of the process clock's current time.
Text timestamp_text(bool seconds_only = false);

// Resolves the \u escapes (and the string-literal escapes) of a server answer.
// `pump` lets a window thread handle its pending events during long inputs.
Text unicode_unescape(std::string_view answer, const std::function<void()>& pump = {});
// The byte-wise route for texts that cannot be read as a string literal: %uXXXX
// (only when the four characters also begin with a nonzero decimal number) and
// %XX; a "%" without hexadecimal digits behind it stays as it is.
Text unescape_fallback(std::string_view text, const std::function<void()>& pump = {});
// The value of the leading hexadecimal digits (either case); reading stops at
// the first other character.
std::uint32_t hex_value(std::string_view text);

}  // namespace velkor
