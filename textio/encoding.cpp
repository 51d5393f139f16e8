#include "textio/encoding.h"

#include <algorithm>
#include <iterator>

#include "textio/gb18030_table.h"
#include "textio/platform.h"

namespace kovarim {
namespace {

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

void AppendUtf8(char32_t c, std::string &out) {
    if (c < 0x80) {
        out += static_cast<char>(c);
        return;
    }
    const int tail = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3; // continuation bytes
    static constexpr unsigned kLead[] = {0, 0xC0, 0xE0, 0xF0};
    out += static_cast<char>(kLead[tail] | (c >> (6 * tail)));
    for (int i = tail - 1; i >= 0; --i)
        out += static_cast<char>(0x80 | ((c >> (6 * i)) & 0x3F));
}

// GBK's user-defined areas read as these; no two systems agree on them
// (wine maps them, glibc refuses them), so the program reads none.
bool IsPrivateUse(char32_t c) { return c >= 0xE000 && c <= 0xF8FF; }

// The character of a GB18030 four-byte form, numbered as in the table; 0
// for a form that stands for none.
char32_t FourByteCharacter(std::uint32_t linear) {
    const auto *end = std::end(gb18030::kFourByteRanges);
    const auto *range = std::upper_bound(
        std::begin(gb18030::kFourByteRanges), end, linear,
        [](std::uint32_t n, const gb18030::FourByteRange &r) { return n < r.linear; });
    if (range == std::begin(gb18030::kFourByteRanges))
        return 0;
    --range;
    return linear - range->linear < range->count ? range->first + (linear - range->linear) : 0;
}

// GB18030's own form of a character that GBK lacks: two or four bytes, or
// nothing for a character it does not have.
std::string Gb18030Form(char32_t c) {
    for (const gb18030::TwoByteForm &form : gb18030::kBeyondGbk)
        if (form.c == c)
            return {static_cast<char>(form.bytes >> 8), static_cast<char>(form.bytes & 0xFF)};
    for (const gb18030::FourByteRange &range : gb18030::kFourByteRanges)
        if (c >= range.first && c - range.first < range.count) {
            std::uint32_t linear = range.linear + (c - range.first);
            char bytes[4];
            bytes[3] = static_cast<char>(0x30 + linear % 10);
            linear /= 10;
            bytes[2] = static_cast<char>(0x81 + linear % 126);
            linear /= 126;
            bytes[1] = static_cast<char>(0x30 + linear % 10);
            bytes[0] = static_cast<char>(0x81 + linear / 10);
            return std::string(bytes, 4);
        }
    return {};
}

// Reads GB18030 into UTF-8: the forms GBK lacks from our table, everything
// else through the system's GBK converter, a stretch at a time. False at a
// byte sequence that is not GB18030 or a private-use character.
bool DecodeGb18030(std::string_view bytes, std::string &out) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    std::size_t stretch = 0; // where the bytes for the system's converter begin
    const auto flush = [&](std::size_t end) {
        const std::size_t before = out.size();
        if (end > stretch && !platform::GbkToUtf8(bytes.substr(stretch, end - stretch), out))
            return false;
        char32_t c;
        for (std::string_view rest = std::string_view(out).substr(before); !rest.empty();) {
            const std::size_t n = DecodeUtf8(rest, c);
            if (n == 0 || IsPrivateUse(c))
                return false;
            rest.remove_prefix(n);
        }
        return true;
    };
    const auto own = [&](std::size_t at, std::size_t length, char32_t c) {
        if (c == 0 || IsPrivateUse(c) || !flush(at))
            return false;
        AppendUtf8(c, out);
        stretch = at + length;
        return true;
    };
    for (std::size_t i = 0; i < bytes.size();) {
        const unsigned lead = byte(i);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        // 80 and FF lead nothing in GB18030 (GBK's 80 for the euro sign included).
        if (lead == 0x80 || lead == 0xFF || i + 1 == bytes.size())
            return false;
        const unsigned second = byte(i + 1);
        if (second >= 0x30 && second <= 0x39) {
            if (i + 3 >= bytes.size() || byte(i + 2) < 0x81 || byte(i + 2) == 0xFF ||
                byte(i + 3) < 0x30 || byte(i + 3) > 0x39)
                return false;
            const std::uint32_t linear =
                (((lead - 0x81) * 10 + (second - 0x30)) * 126 + (byte(i + 2) - 0x81)) * 10 +
                (byte(i + 3) - 0x30);
            if (!own(i, 4, FourByteCharacter(linear)))
                return false;
            i += 4;
            continue;
        }
        if (second < 0x40 || second == 0x7F || second == 0xFF)
            return false;
        const unsigned form = lead << 8 | second;
        const auto *beyond = std::lower_bound( // the table is in the order of the bytes
            std::begin(gb18030::kBeyondGbk), std::end(gb18030::kBeyondGbk), form,
            [](const gb18030::TwoByteForm &f, unsigned bytes) { return f.bytes < bytes; });
        if (beyond != std::end(gb18030::kBeyondGbk) && beyond->bytes == form &&
            !own(i, 2, beyond->c))
            return false;
        i += 2;
    }
    return flush(bytes.size());
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
    std::string out;
    char32_t c;
    for (std::size_t length; !bytes.empty(); bytes.remove_prefix(length)) {
        length = DecodeUtf8(bytes, c);
        if (length == 1) {
            out += bytes[0];
            continue;
        }
        // GBK's form, or else GB18030's; "?" for a byte that is not UTF-8 at
        // all, and for a private-use character. GBK has nothing beyond the
        // BMP (glibc would even drop the language tags there without a word).
        std::string form;
        if (length == 0 || IsPrivateUse(c))
            form = "?";
        else if (c > 0xFFFF || !platform::Utf8ToGbk(bytes.substr(0, length), form) || form.empty())
            form = Gb18030Form(c);
        out += form.empty() ? "?" : form;
        length = std::max<std::size_t>(length, 1);
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
    std::string text;
    return DecodeGb18030(bytes, text);
}

std::string ToUtf8(std::string_view bytes, Encoding from) {
    if (from == Encoding::Utf8)
        return IsValidUtf8(bytes) ? std::string(bytes) : std::string();
    std::string out;
    return DecodeGb18030(bytes, out) ? out : std::string();
}

} // namespace kovarim
