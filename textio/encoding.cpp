#include "textio/encoding.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <stdexcept>

namespace kovarim {
namespace {

// One iconv conversion; each front end thread makes its own.
class Converter {
  public:
    Converter(const char *to, const char *from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter &) = delete;
    Converter &operator=(const Converter &) = delete;

    // Converts as much of `in` as it can into `out`; false at the first byte
    // sequence it cannot convert, with `in` advanced to it.
    bool Convert(std::string_view &in, std::string &out) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char *inPtr = const_cast<char *>(in.data());
        std::size_t inLeft = in.size();
        bool ok = true;
        while (inLeft > 0) {
            char buffer[256];
            char *outPtr = buffer;
            std::size_t outLeft = sizeof buffer;
            const std::size_t result = iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft);
            out.append(buffer, sizeof buffer - outLeft);
            if (result == static_cast<std::size_t>(-1) && errno != E2BIG) {
                ok = false;
                break;
            }
        }
        char buffer[16];
        char *outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        iconv(cd_, nullptr, nullptr, &outPtr, &outLeft);
        out.append(buffer, sizeof buffer - outLeft);
        in = in.substr(in.size() - inLeft);
        return ok;
    }

  private:
    iconv_t cd_;
};

// Length of the UTF-8 character that starts `s`, or 0 when none does.
std::size_t Utf8CharacterLength(std::string_view s) {
    const auto lead = static_cast<unsigned char>(s[0]);
    const std::size_t n = lead < 0x80 ? 1 : lead < 0xC2 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    return n > 0 && n <= s.size() && IsValidUtf8(s.substr(0, n)) ? n : 0;
}

} // namespace

void EncodingDetector::Feed(const char *bytes, std::size_t size) {
    for (std::size_t i = 0; i < size && valid_; ++i) {
        // Eight ASCII bytes at a time: most of a data file is digits.
        while (pending_ == 0 && i + 8 <= size) {
            std::uint64_t eight;
            std::memcpy(&eight, bytes + i, 8);
            if ((eight & 0x8080808080808080u) != 0)
                break;
            i += 8;
        }
        if (i == size)
            break;
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (pending_ > 0) {
            if (c < lower_ || c > upper_) {
                valid_ = false;
                break;
            }
            lower_ = 0x80, upper_ = 0xBF;
            --pending_;
            continue;
        }
        if (c < 0x80)
            continue;
        sawNonAscii_ = true;
        lower_ = 0x80, upper_ = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            pending_ = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            pending_ = 2;
            if (c == 0xE0)
                lower_ = 0xA0; // no overlong forms
            if (c == 0xED)
                upper_ = 0x9F; // no surrogates
        } else if (c >= 0xF0 && c <= 0xF4) {
            pending_ = 3;
            if (c == 0xF0)
                lower_ = 0x90;
            if (c == 0xF4)
                upper_ = 0x8F; // nothing beyond U+10FFFF
        } else {
            valid_ = false;
        }
    }
}

const char *UnreadableUnicodeMark(std::string_view bytes) {
    // UTF-32LE begins like UTF-16LE: test it first.
    if (bytes.substr(0, 4) == std::string_view("\xFF\xFE\0\0", 4))
        return "UTF-32";
    if (bytes.substr(0, 4) == std::string_view("\0\0\xFE\xFF", 4))
        return "UTF-32";
    if (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF")
        return "UTF-16";
    return nullptr;
}

std::string ToReportEncoding(std::string_view bytes, Encoding from) {
    if (from == Encoding::Gbk)
        return std::string(bytes);
    thread_local Converter toGbk("GBK", "UTF-8");
    thread_local Converter toGb18030("GB18030", "UTF-8");
    std::string out;
    while (!toGbk.Convert(bytes, out)) {
        // One character GBK lacks: its GB18030 form, or "?" for a byte that
        // is not UTF-8 at all.
        std::size_t length = Utf8CharacterLength(bytes);
        std::string_view one = bytes.substr(0, length);
        if (length == 0 || !toGb18030.Convert(one, out)) {
            out += '?';
            length = std::max<std::size_t>(length, 1);
        }
        bytes.remove_prefix(length);
    }
    return out;
}

bool IsValidUtf8(std::string_view bytes) {
    EncodingDetector check;
    check.Feed(bytes.data(), bytes.size());
    check.End();
    return check.ValidUtf8();
}

std::string ToUtf8(std::string_view bytes, Encoding from) {
    if (from == Encoding::Utf8)
        return IsValidUtf8(bytes) ? std::string(bytes) : std::string();
    thread_local Converter fromGb18030("UTF-8", "GB18030");
    std::string out;
    return fromGb18030.Convert(bytes, out) ? out : std::string();
}

} // namespace kovarim
