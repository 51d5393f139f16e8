#include "textio/encoding.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
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

// Decodes the UTF-8 character that starts `s`: its length, or 0 when none
// does (overlong forms, surrogates and what lies beyond U+10FFFF included).
std::size_t DecodeUtf8(std::string_view s, char32_t &c) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned lead = byte(0);
    std::size_t n;
    char32_t lowest;
    if (lead < 0x80)
        return c = lead, 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        n = 2, c = lead & 0x1F, lowest = 0x80;
    else if (lead >= 0xE0 && lead <= 0xEF)
        n = 3, c = lead & 0x0F, lowest = 0x800;
    else if (lead >= 0xF0 && lead <= 0xF4)
        n = 4, c = lead & 0x07, lowest = 0x10000;
    else
        return 0;
    if (s.size() < n)
        return 0;
    for (std::size_t i = 1; i < n; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (byte(i) & 0x3F);
    }
    const bool surrogate = c >= 0xD800 && c <= 0xDFFF;
    return c < lowest || c > 0x10FFFF || surrogate ? 0 : n;
}

// Characters a point name plausibly holds. What GBK bytes become when they
// are taken for UTF-8 falls mostly outside: combining marks (GBK 探 reads as
// U+033D), IPA (山 as U+027D), spacing modifiers, Armenian to N'Ko, C1
// controls, Latin-1 symbols (路 as U+00B7).
bool PlausibleInName(char32_t c) {
    struct Range {
        char32_t first, last;
    };
    static constexpr Range kRanges[] = {
        {0x00C0, 0x00D6},   {0x00D8, 0x00F6}, {0x00F8, 0x024F}, // Latin letters
        {0x0386, 0x0386},   {0x0388, 0x03FF},                   // Greek
        {0x0400, 0x0482},   {0x048A, 0x052F},                   // Cyrillic
        {0x1E00, 0x1EFF},                                       // Latin, more
        {0x2010, 0x2027},   {0x2030, 0x2033},                   // dashes, quotes, ‰
        {0x2160, 0x2188},   {0x2460, 0x24FF},                   // Ⅱ, ①
        {0x2E80, 0x2FDF},   {0x3000, 0x303F},                   // radicals, CJK punctuation
        {0x3040, 0x312F},   {0x31A0, 0x31FF},                   // kana, bopomofo
        {0x3200, 0x4DBF},   {0x4E00, 0x9FFF},                   // CJK
        {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},                   // Hangul, CJK
        {0xFE30, 0xFE4F},   {0xFF01, 0xFFEF},                   // CJK forms, full-width
        {0x20000, 0x3134F},                                     // CJK, more
    };
    if (c < 0x80)
        return true;
    for (const Range &range : kRanges)
        if (c >= range.first && c <= range.last)
            return true;
    return false;
}

// A UTF-8 character of three bytes or more: a lead byte E0 and above.
bool HasLongUtf8Character(std::string_view bytes) {
    for (char b : bytes)
        if (static_cast<unsigned char>(b) >= 0xE0)
            return true;
    return false;
}

bool HasNonAscii(std::string_view bytes) {
    for (char b : bytes)
        if (static_cast<unsigned char>(b) >= 0x80)
            return true;
    return false;
}

} // namespace

bool EncodingDecision::Take(std::string_view field) {
    if (!HasNonAscii(field))
        return true;
    sawNonAscii_ = true;
    if (utf8_ || !sawUtf8Cjk_) {
        const bool utf8 = IsPlausibleUtf8(field);
        utf8_ = utf8_ && utf8;
        sawUtf8Cjk_ = sawUtf8Cjk_ || (utf8 && HasLongUtf8Character(field));
    }
    gbk_ = gbk_ && IsSoundGbk(field);
    return utf8_ || (gbk_ && !sawUtf8Cjk_);
}

const char *UnreadableUnicode(std::string_view bytes) {
    // UTF-32LE begins like UTF-16LE: test it first.
    if (bytes.substr(0, 4) == std::string_view("\xFF\xFE\0\0", 4))
        return "UTF-32";
    if (bytes.substr(0, 4) == std::string_view("\0\0\xFE\xFF", 4))
        return "UTF-32";
    if (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF")
        return "UTF-16";
    // Without a mark: count the NUL bytes at each position of a group of four.
    const std::string_view sample = bytes.substr(0, 4096 - 4096 % 4);
    std::size_t nul[4] = {};
    for (std::size_t i = 0; i < sample.size(); ++i)
        nul[i % 4] += sample[i] == '\0';
    const std::size_t groups = sample.size() / 4;
    if (groups == 0)
        return nullptr;
    const auto most = [&](std::size_t count) { return 2 * count >= groups; };
    if ((most(nul[1]) && most(nul[2]) && most(nul[3])) ||
        (most(nul[0]) && most(nul[1]) && most(nul[2])))
        return "UTF-32";
    if ((most(nul[1]) && most(nul[3])) || (most(nul[0]) && most(nul[2])))
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
        char32_t c;
        std::size_t length = DecodeUtf8(bytes, c);
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
    char32_t c;
    for (std::size_t n; !bytes.empty(); bytes.remove_prefix(n))
        if ((n = DecodeUtf8(bytes, c)) == 0)
            return false;
    return true;
}

bool IsPlausibleUtf8(std::string_view bytes) {
    char32_t c;
    for (std::size_t n; !bytes.empty(); bytes.remove_prefix(n))
        if ((n = DecodeUtf8(bytes, c)) == 0 || !PlausibleInName(c))
            return false;
    return true;
}

bool IsSoundGbk(std::string_view bytes) {
    thread_local Converter fromGb18030("UTF-8", "GB18030");
    std::string text;
    if (!fromGb18030.Convert(bytes, text))
        return false;
    // GBK's user-defined areas: no two systems agree on them.
    char32_t c;
    for (std::string_view rest = text; !rest.empty(); rest.remove_prefix(1)) {
        const std::size_t n = DecodeUtf8(rest, c);
        if (n == 0 || (c >= 0xE000 && c <= 0xF8FF))
            return false;
        rest.remove_prefix(n - 1);
    }
    return true;
}

std::string ToUtf8(std::string_view bytes, Encoding from) {
    if (from == Encoding::Utf8)
        return IsValidUtf8(bytes) ? std::string(bytes) : std::string();
    thread_local Converter fromGb18030("UTF-8", "GB18030");
    std::string out;
    return fromGb18030.Convert(bytes, out) ? out : std::string();
}

} // namespace kovarim
