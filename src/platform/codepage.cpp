#include "platform/codepage.h"

#include <iconv.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace velkor::platform {
namespace {

enum class Kind { gbk, utf8, utf16 };

const char* iconv_name(Kind k) {
    switch (k) {
        case Kind::gbk:
            return "CP936";
        case Kind::utf8:
            return "UTF-8";
        case Kind::utf16:
            return "UTF-16LE";
    }
    return "";
}

iconv_t open_or_throw(Kind from, Kind to) {
    iconv_t cd = iconv_open(iconv_name(to), iconv_name(from));
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        throw std::runtime_error(std::string("iconv_open failed for ") + iconv_name(from) + " -> " +
                                 iconv_name(to));
    }
    return cd;
}

// --- GBK <-> UTF-16 through tables ------------------------------------------------
//
// Answers of a megabyte pass through these conversions; going through iconv for
// each of them costs more than the rest of the work. The tables are filled once
// from iconv itself, so the mappings are exactly iconv's, and the replacement
// rules below are the ones iconv errors lead to: a pair shaped like a GBK
// double-byte character that does not map becomes one "?", any other byte that
// does not map on its own becomes one "?".

constexpr unsigned kLeadFirst = 0x81;
constexpr unsigned kLeadLast = 0xFE;
constexpr unsigned kTrailFirst = 0x40;
constexpr unsigned kTrailLast = 0xFE;
constexpr unsigned kTrailCount = kTrailLast - kTrailFirst + 1;

inline bool is_lead(unsigned b) {
    return b >= kLeadFirst && b <= kLeadLast;
}
inline bool is_trail(unsigned b) {
    return b >= kTrailFirst && b <= kTrailLast && b != 0x7F;
}
inline bool is_high_surrogate(char16_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
inline bool is_low_surrogate(char16_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

struct GbkTables {
    std::array<char16_t, 256> single{};  // a byte standing alone
    std::vector<char16_t> pair;          // (lead - 0x81) * 191 + (trail - 0x40)
    // Unit -> GBK code: below 0x100 one byte, otherwise lead << 8 | trail.
    std::vector<std::uint16_t> encode;

    GbkTables() : pair((kLeadLast - kLeadFirst + 1) * kTrailCount, u'?'), encode(0x10000, '?') {
        iconv_t dec = open_or_throw(Kind::gbk, Kind::utf16);
        iconv_t enc = open_or_throw(Kind::utf16, Kind::gbk);
        for (unsigned b = 0; b < 256; ++b) {
            const char in[1] = {static_cast<char>(b)};
            single[b] = decode_one(dec, in, 1);
        }
        for (unsigned lead = kLeadFirst; lead <= kLeadLast; ++lead) {
            for (unsigned trail = kTrailFirst; trail <= kTrailLast; ++trail) {
                if (!is_trail(trail)) {
                    continue;
                }
                const char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                pair[(lead - kLeadFirst) * kTrailCount + (trail - kTrailFirst)] =
                    decode_one(dec, in, 2);
            }
        }
        for (unsigned u = 0; u < 0x10000; ++u) {
            if (u >= 0xD800 && u <= 0xDFFF) {
                continue;  // a lone surrogate never maps
            }
            encode[u] = encode_one(enc, static_cast<char16_t>(u));
        }
        iconv_close(dec);
        iconv_close(enc);
    }

    // The one UTF-16 unit that exactly these bytes decode to, or "?".
    static char16_t decode_one(iconv_t cd, const char* bytes, size_t n) {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char out[8];
        char* src = const_cast<char*>(bytes);
        size_t src_left = n;
        char* dst = out;
        size_t dst_left = sizeof out;
        if (iconv(cd, &src, &src_left, &dst, &dst_left) == static_cast<size_t>(-1) ||
            src_left != 0 || sizeof out - dst_left != 2) {
            return u'?';
        }
        return static_cast<char16_t>(static_cast<unsigned char>(out[0]) |
                                     (static_cast<unsigned char>(out[1]) << 8));
    }

    static std::uint16_t encode_one(iconv_t cd, char16_t u) {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char in[2] = {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
        char out[8];
        char* src = in;
        size_t src_left = 2;
        char* dst = out;
        size_t dst_left = sizeof out;
        if (iconv(cd, &src, &src_left, &dst, &dst_left) == static_cast<size_t>(-1) ||
            src_left != 0) {
            return '?';
        }
        const size_t n = sizeof out - dst_left;
        const auto b0 = static_cast<unsigned char>(out[0]);
        if (n == 1) {
            return b0;
        }
        if (n == 2 && b0 >= 0x80) {
            return static_cast<std::uint16_t>(b0 << 8 | static_cast<unsigned char>(out[1]));
        }
        return '?';
    }
};

const GbkTables& gbk_tables() {
    static const GbkTables tables;  // filled once, read-only afterwards
    return tables;
}

// --- UTF-8 <-> UTF-16 through iconv -------------------------------------------------

// iconv descriptors are not safe to share between threads: each thread keeps its own.
class Converter {
  public:
    Converter(Kind from, Kind to) : cd_(open_or_throw(from, to)), from_(from), to_(to) {}
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    std::string run(const char* in, size_t in_len) {
        std::string out;
        out.resize(in_len * 2 + 16);
        size_t used = 0;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(in);
        size_t src_left = in_len;
        while (src_left > 0) {
            char* dst = out.data() + used;
            size_t dst_left = out.size() - used;
            size_t rc = iconv(cd_, &src, &src_left, &dst, &dst_left);
            used = out.size() - dst_left;
            if (rc != static_cast<size_t>(-1)) {
                break;
            }
            if (errno == E2BIG) {
                out.resize(out.size() * 2);
                continue;
            }
            // EILSEQ: invalid input; EINVAL: truncated sequence at the end.
            const bool truncated = errno == EINVAL;
            append_replacement(out, used);
            size_t skip = truncated ? src_left : bad_input_length(src, src_left);
            src += skip;
            src_left -= skip;
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        }
        out.resize(used);
        return out;
    }

  private:
    // Invalid input becomes U+FFFD in either direction (a lone surrogate has no UTF-8 form).
    void append_replacement(std::string& out, size_t& used) {
        const std::string_view rep =
            to_ == Kind::utf16 ? std::string_view("\xFD\xFF", 2) : std::string_view("\xEF\xBF\xBD");
        if (used + rep.size() > out.size()) {
            out.resize((used + rep.size()) * 2);
        }
        std::memcpy(out.data() + used, rep.data(), rep.size());
        used += rep.size();
    }

    // How much input one bad character takes.
    size_t bad_input_length(const char* src, size_t left) const {
        const auto* s = reinterpret_cast<const unsigned char*>(src);
        if (from_ == Kind::utf16) {
            return left >= 2 ? 2 : left;
        }
        // UTF-8: the lead byte and any continuation bytes that belong to it.
        size_t n = 1;
        while (n < left && n < 4 && (s[n] & 0xC0) == 0x80 && (s[0] & 0xC0) == 0xC0) {
            ++n;
        }
        return n;
    }

    iconv_t cd_;
    Kind from_;
    Kind to_;
};

Converter& converter(Kind from) {
    thread_local Converter u8_u16(Kind::utf8, Kind::utf16);
    thread_local Converter u16_u8(Kind::utf16, Kind::utf8);
    return from == Kind::utf8 ? u8_u16 : u16_u8;
}

std::u16string bytes_to_u16(const std::string& bytes) {
    std::u16string out(bytes.size() / 2, u'\0');
    std::memcpy(out.data(), bytes.data(), out.size() * 2);
    return out;
}

}  // namespace

void gbk_to_utf16(std::string_view gbk, std::u16string& out) {
    out.resize(gbk.size());  // never more units than bytes
    if (gbk.empty()) {
        return;
    }
    const GbkTables& t = gbk_tables();
    const auto* s = reinterpret_cast<const unsigned char*>(gbk.data());
    const size_t n = gbk.size();
    char16_t* o = out.data();
    for (size_t i = 0; i < n;) {
        const unsigned b = s[i];
        if (b < 0x80) {
            *o++ = static_cast<char16_t>(b);
            ++i;
        } else if (is_lead(b) && i + 1 < n && is_trail(s[i + 1])) {
            *o++ = t.pair[(b - kLeadFirst) * kTrailCount + (s[i + 1] - kTrailFirst)];
            i += 2;
        } else {
            *o++ = t.single[b];
            ++i;
        }
    }
    out.resize(static_cast<size_t>(o - out.data()));
}

std::u16string gbk_to_utf16(std::string_view gbk) {
    std::u16string out;
    gbk_to_utf16(gbk, out);
    return out;
}

std::string utf16_to_gbk(std::u16string_view utf16) {
    std::string out;
    if (utf16.empty()) {
        return out;
    }
    const GbkTables& t = gbk_tables();
    const size_t n = utf16.size();
    // At most two bytes for a unit beyond ASCII; sizing by that keeps a large,
    // mostly ASCII result from touching twice the memory it needs.
    size_t bound = n;
    for (const char16_t u : utf16) {
        bound += u >= 0x80;
    }
    out.resize(bound);
    char* o = out.data();
    for (size_t i = 0; i < n; ++i) {
        const char16_t u = utf16[i];
        if (u < 0x80) {
            *o++ = static_cast<char>(u);
            continue;
        }
        if (is_high_surrogate(u) && i + 1 < n && is_low_surrogate(utf16[i + 1])) {
            *o++ = '?';  // GBK holds nothing outside the basic plane
            ++i;
            continue;
        }
        const std::uint16_t code = t.encode[u];
        if (code < 0x100) {
            *o++ = static_cast<char>(code);
        } else {
            *o++ = static_cast<char>(code >> 8);
            *o++ = static_cast<char>(code & 0xFF);
        }
    }
    out.resize(static_cast<size_t>(o - out.data()));
    return out;
}

std::u16string utf8_to_utf16(std::string_view utf8) {
    if (utf8.empty()) {
        return {};
    }
    return bytes_to_u16(converter(Kind::utf8).run(utf8.data(), utf8.size()));
}

std::string utf16_to_utf8(std::u16string_view utf16) {
    if (utf16.empty()) {
        return {};
    }
    return converter(Kind::utf16)
        .run(reinterpret_cast<const char*>(utf16.data()), utf16.size() * 2);
}

std::string utf8_to_gbk(std::string_view utf8) {
    return utf16_to_gbk(utf8_to_utf16(utf8));
}

std::string gbk_to_utf8(std::string_view gbk) {
    return utf16_to_utf8(gbk_to_utf16(gbk));
}

}  // namespace velkor::platform
