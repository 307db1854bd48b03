#include "platform/codepage.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

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

// iconv descriptors are not safe to share between threads: each thread keeps its own.
class Converter {
  public:
    Converter(Kind from, Kind to) : from_(from), to_(to) {
        cd_ = iconv_open(iconv_name(to), iconv_name(from));
        if (cd_ == reinterpret_cast<iconv_t>(-1)) {
            throw std::runtime_error(std::string("iconv_open failed for ") + iconv_name(from) +
                                     " -> " + iconv_name(to));
        }
    }
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
            // EILSEQ: unmappable or invalid; EINVAL: truncated sequence at the end.
            const bool truncated = errno == EINVAL;
            append_replacement(out, used);
            size_t skip = truncated ? src_left : bad_input_length(src, src_left);
            src += skip;
            src_left -= skip;
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        }
        // Flush any shift state (none of these encodings has one, but be exact).
        char* dst = out.data() + used;
        size_t dst_left = out.size() - used;
        iconv(cd_, nullptr, nullptr, &dst, &dst_left);
        used = out.size() - dst_left;
        out.resize(used);
        return out;
    }

  private:
    void append_replacement(std::string& out, size_t& used) {
        // A character that cannot be written becomes "?"; invalid UTF-8 becomes U+FFFD
        // first, which in GBK again ends as "?".
        std::string rep;
        if (to_ == Kind::utf16) {
            if (from_ == Kind::utf8) {
                rep = std::string("\xFD\xFF", 2);
            } else {
                rep = std::string("?\0", 2);
            }
        } else if (to_ == Kind::utf8 && from_ == Kind::utf8) {
            rep = "\xEF\xBF\xBD";
        } else if (to_ == Kind::utf8 && from_ == Kind::gbk) {
            rep = "?";
        } else {
            rep = "?";
        }
        if (used + rep.size() > out.size()) {
            out.resize((used + rep.size()) * 2);
        }
        std::memcpy(out.data() + used, rep.data(), rep.size());
        used += rep.size();
    }

    // How much input one bad character takes.
    size_t bad_input_length(const char* src, size_t left) const {
        const auto* s = reinterpret_cast<const unsigned char*>(src);
        switch (from_) {
            case Kind::utf16:
                // A surrogate pair counts as one character.
                if (left >= 4) {
                    unsigned u = s[0] | (s[1] << 8);
                    unsigned v = s[2] | (s[3] << 8);
                    if (u >= 0xD800 && u <= 0xDBFF && v >= 0xDC00 && v <= 0xDFFF) {
                        return 4;
                    }
                }
                return left >= 2 ? 2 : left;
            case Kind::gbk:
                if (s[0] >= 0x81 && s[0] <= 0xFE && left >= 2 && s[1] >= 0x40 && s[1] != 0x7F &&
                    s[1] <= 0xFE) {
                    return 2;
                }
                return 1;
            case Kind::utf8: {
                // Skip the lead byte and any continuation bytes that belong to it.
                size_t n = 1;
                while (n < left && n < 4 && (s[n] & 0xC0) == 0x80 && (s[0] & 0xC0) == 0xC0) {
                    ++n;
                }
                return n;
            }
        }
        return 1;
    }

    iconv_t cd_;
    Kind from_;
    Kind to_;
};

Converter& converter(Kind from, Kind to) {
    thread_local Converter gbk_u16(Kind::gbk, Kind::utf16);
    thread_local Converter u16_gbk(Kind::utf16, Kind::gbk);
    thread_local Converter u8_u16(Kind::utf8, Kind::utf16);
    thread_local Converter u16_u8(Kind::utf16, Kind::utf8);
    if (from == Kind::gbk) {
        return gbk_u16;
    }
    if (from == Kind::utf8) {
        return u8_u16;
    }
    return to == Kind::gbk ? u16_gbk : u16_u8;
}

std::u16string bytes_to_u16(const std::string& bytes) {
    std::u16string out(bytes.size() / 2, u'\0');
    std::memcpy(out.data(), bytes.data(), out.size() * 2);
    return out;
}

}  // namespace

std::u16string gbk_to_utf16(std::string_view gbk) {
    if (gbk.empty()) {
        return {};
    }
    return bytes_to_u16(converter(Kind::gbk, Kind::utf16).run(gbk.data(), gbk.size()));
}

std::string utf16_to_gbk(std::u16string_view utf16) {
    if (utf16.empty()) {
        return {};
    }
    return converter(Kind::utf16, Kind::gbk)
        .run(reinterpret_cast<const char*>(utf16.data()), utf16.size() * 2);
}

std::u16string utf8_to_utf16(std::string_view utf8) {
    if (utf8.empty()) {
        return {};
    }
    return bytes_to_u16(converter(Kind::utf8, Kind::utf16).run(utf8.data(), utf8.size()));
}

std::string utf16_to_utf8(std::u16string_view utf16) {
    if (utf16.empty()) {
        return {};
    }
    return converter(Kind::utf16, Kind::utf8)
        .run(reinterpret_cast<const char*>(utf16.data()), utf16.size() * 2);
}

std::string utf8_to_gbk(std::string_view utf8) {
    return utf16_to_gbk(utf8_to_utf16(utf8));
}

std::string gbk_to_utf8(std::string_view gbk) {
    return utf16_to_utf8(gbk_to_utf16(gbk));
}

}  // namespace velkor::platform
