#include "sim/service_text.h"

#include <httplib.h>

#include <cstdio>

#include "platform/codepage.h"

namespace velkor::sim {
namespace {

int hex_digit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && s.front() == ' ') {
        s.remove_prefix(1);
    }
    while (!s.empty() && s.back() == ' ') {
        s.remove_suffix(1);
    }
    return s;
}

}  // namespace

std::string cookie_value(const httplib::Request& req, std::string_view name) {
    const size_t count = req.get_header_value_count("Cookie");
    for (size_t i = 0; i < count; ++i) {
        const std::string header = req.get_header_value("Cookie", i);
        std::string_view rest = header;
        while (!rest.empty()) {
            const size_t end = rest.find(';');
            const std::string_view item = trimmed(rest.substr(0, end));
            rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
            const size_t eq = item.find('=');
            if (eq != std::string_view::npos && item.substr(0, eq) == name) {
                return std::string(item.substr(eq + 1));
            }
        }
    }
    return {};
}

std::optional<std::string> signed_in_account(const httplib::Request& req) {
    std::string uin = cookie_value(req, "uin");
    if (uin.empty() || cookie_value(req, "skey").empty()) {
        return std::nullopt;
    }
    if (uin.front() == 'o') {
        uin.erase(0, 1);
    }
    if (!uin.empty() && uin.front() == '0') {
        uin.erase(0, 1);
    }
    if (uin.empty()) {
        return std::nullopt;
    }
    return uin;
}

std::map<std::string, std::string, std::less<>> form_fields(std::string_view text) {
    std::map<std::string, std::string, std::less<>> fields;
    while (!text.empty()) {
        const size_t end = text.find('&');
        const std::string_view item = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        const size_t eq = item.find('=');
        fields.emplace(std::string(item.substr(0, eq)), eq == std::string_view::npos
                                                            ? std::string()
                                                            : std::string(item.substr(eq + 1)));
    }
    return fields;
}

std::string percent_decoded(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hex_digit(text[i + 1]) >= 0 &&
            hex_digit(text[i + 2]) >= 0) {
            out += static_cast<char>(hex_digit(text[i + 1]) * 16 + hex_digit(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string percent_encoded(std::string_view bytes, std::string_view keep) {
    static const char* const hex = "0123456789ABCDEF";
    std::string out;
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        const bool plain = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
                           (c >= 'a' && c <= 'z') ||
                           (c < 0x80 && c != 0 && keep.find(ch) != std::string_view::npos);
        if (plain) {
            out += ch;
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 0x0F];
        }
    }
    return out;
}

std::string json_escaped(std::string_view utf8) {
    std::string out;
    for (char16_t u : platform::utf8_to_utf16(utf8)) {
        if (u == '/') {
            out += "\\/";
        } else if (u == '"') {
            out += "\\\"";
        } else if (u == '\\') {
            out += "\\\\";
        } else if (u < 0x80) {
            out += static_cast<char>(u);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(u));
            out += buf;
        }
    }
    return out;
}

}  // namespace velkor::sim
