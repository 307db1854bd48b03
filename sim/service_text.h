#pragma once
// Pieces the simulated services share: who signed in, form fields, and the
// encodings their answers are written in.
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace httplib {
struct Request;
}

namespace velkor::sim {

// The account of a request that carries the login's uin and skey cookies: the
// uin value without one leading "o" and then one leading "0". Nothing when
// either cookie is missing or empty.
std::optional<std::string> signed_in_account(const httplib::Request& req);

// The value of one cookie of the request; empty when absent.
std::string cookie_value(const httplib::Request& req, std::string_view name);

// name=value pairs of a query or form body, taken as they stand (no decoding);
// the first occurrence of a name wins.
std::map<std::string, std::string, std::less<>> form_fields(std::string_view text);

// %XX decoding of every valid escape; anything else stays as it is.
std::string percent_decoded(std::string_view text);

// Every byte as %XX (upper-case digits) except ASCII letters, digits and the
// characters of `keep`.
std::string percent_encoded(std::string_view bytes, std::string_view keep);

// A UTF-8 text as a JSON string body: non-ASCII as \u escapes, "/" as "\/".
std::string json_escaped(std::string_view utf8);

}  // namespace velkor::sim
