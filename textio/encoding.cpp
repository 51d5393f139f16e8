#include "textio/encoding.h"

#include <algorithm>
#include <iterator>

#include "base/error.h"
#include "textio/encoding_gb2312.h"
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

// What a character is in a point name. Names are written in ASCII, Han
// characters, the symbols of the survey and now and then letters of a
// European script; what GBK bytes become when they are taken for UTF-8, and
// UTF-8 bytes when taken for GBK, is mostly something else.
enum class Kind : std::uint8_t {
    Edge,    // before the first character and after the last
    Letter,  // ASCII letters
    Digit,   // ASCII digits
    Mark,    // other ASCII: - _ . # ( ) / and the spaces
    Han,     // CJK ideographs, 〇 and 々
    Leading, // symbols before a name or a number: △ ▲ ○ ● □ ■ ☆ ★ № ① Ⅱ ± µ
    Trailing, // symbols after a letter or a number: ° ² ³ ′ ″ ℃ ‰
    Between,  // symbols between two parts: · ×
    Wide,     // full-width forms of ASCII
    Accented, // Latin letters with accents (Latin-1, Latin Extended-A, pinyin)
    Greek,
    Cyrillic,
    Kana,  // kana, bopomofo, Hangul
    Other, // punctuation and symbols of GBK, CJK radicals, compatibility forms
    Never, // never in a name
};

struct Character {
    Kind kind;
    int cost; // in bits, roughly: how rarely a name holds this character
};

// GB2312's level of a CJK ideograph: 1, 2, or 0 for the rarer rest.
int Gb2312Level(char32_t c) {
    if (c < gb2312::kFirst || c > gb2312::kLast)
        return 0;
    const char32_t i = c - gb2312::kFirst;
    return (gb2312::kLevels[i / 4] >> (2 * (i % 4))) & 3;
}

Character Classify(char32_t c) {
    if (c < 0x80) {
        if ((c | 0x20) >= 'a' && (c | 0x20) <= 'z')
            return {Kind::Letter, 0};
        if (c >= '0' && c <= '9')
            return {Kind::Digit, 0};
        // What names are written with, and the rest: the second byte of a GBK
        // character beyond GB2312, read as ASCII in UTF-8, is @ A-Z [ \ ] ^ _
        // ` a-z { | } or ~.
        const auto in = [&](std::string_view marks) {
            return marks.find(static_cast<char>(c)) != std::string_view::npos;
        };
        return {Kind::Mark, in(" -.#()/+*&'") ? 0 : in("_") ? 4 : 8};
    }
    if (c >= 0x4E00 && c <= 0x9FFF) {
        const int level = Gb2312Level(c);
        return {Kind::Han, level == 1 ? 12 : level == 2 ? 15 : 20};
    }
    struct Range {
        char32_t first, last;
        Kind kind;
        int cost;
    };
    // In the order of the code points; what lies between is Never.
    static constexpr Range kRanges[] = {
        {0x00A0, 0x00A0, Kind::Mark, 8},      // no-break space
        {0x00B0, 0x00B0, Kind::Trailing, 11}, // °
        {0x00B1, 0x00B1, Kind::Leading, 13},  // ±
        {0x00B2, 0x00B3, Kind::Trailing, 11}, // ² ³
        {0x00B5, 0x00B5, Kind::Leading, 13},  // µ
        {0x00B7, 0x00B7, Kind::Between, 11},  // ·
        {0x00B9, 0x00BA, Kind::Trailing, 12}, // ¹ º
        {0x00C0, 0x00D6, Kind::Accented, 9},
        {0x00D7, 0x00D7, Kind::Between, 11}, // ×
        {0x00D8, 0x00F6, Kind::Accented, 9},
        {0x00F8, 0x00FF, Kind::Accented, 9},
        {0x0100, 0x017F, Kind::Accented, 11}, // Latin Extended-A
        {0x01A0, 0x01A1, Kind::Accented, 11}, // Ơ ơ
        {0x01AF, 0x01B0, Kind::Accented, 11}, // Ư ư
        {0x01CD, 0x01DC, Kind::Accented, 11}, // pinyin: ǎ ǐ ǒ ǔ ǖ ǘ ǚ ǜ
        {0x01F8, 0x01F9, Kind::Accented, 11}, // Ǹ ǹ
        {0x0218, 0x021B, Kind::Accented, 11}, // Ș ș Ț ț
        {0x0386, 0x0386, Kind::Greek, 8},
        {0x0388, 0x038A, Kind::Greek, 8},
        {0x038C, 0x038C, Kind::Greek, 8},
        {0x038E, 0x0390, Kind::Greek, 8},
        {0x0391, 0x03A1, Kind::Greek, 6},
        {0x03A3, 0x03A9, Kind::Greek, 6},
        {0x03AA, 0x03B0, Kind::Greek, 8},
        {0x03B1, 0x03C9, Kind::Greek, 6},
        {0x03CA, 0x03CE, Kind::Greek, 8},
        {0x0400, 0x040F, Kind::Cyrillic, 8}, // Ѐ Ё Ђ … Џ
        {0x0410, 0x044F, Kind::Cyrillic, 6}, // А … я
        {0x0450, 0x045F, Kind::Cyrillic, 8},
        {0x0490, 0x0491, Kind::Cyrillic, 8},  // Ґ ґ
        {0x1E3E, 0x1E3F, Kind::Accented, 14}, // Ḿ ḿ
        {0x1EA0, 0x1EF9, Kind::Accented, 14}, // Vietnamese
        {0x2010, 0x2027, Kind::Other, 16},    // dashes, quotes, …
        {0x2030, 0x2030, Kind::Trailing, 13}, // ‰
        {0x2032, 0x2033, Kind::Trailing, 12}, // ′ ″
        {0x2035, 0x203B, Kind::Other, 16},    // ‵ ※
        {0x2100, 0x2102, Kind::Other, 16},
        {0x2103, 0x2103, Kind::Trailing, 12}, // ℃
        {0x2104, 0x2115, Kind::Other, 16},
        {0x2116, 0x2116, Kind::Leading, 11}, // №
        {0x2117, 0x214F, Kind::Other, 16},
        {0x2160, 0x217F, Kind::Leading, 12}, // Ⅰ … Ⅻ, ⅰ … ⅻ
        {0x2190, 0x21FF, Kind::Other, 16},   // arrows
        {0x2200, 0x22FF, Kind::Other, 16},   // mathematical operators
        {0x2300, 0x23FF, Kind::Other, 17},
        {0x2460, 0x249B, Kind::Leading, 12}, // ① … ⑳, ⑴ … ⒇, ⒈ … ⒛
        {0x249C, 0x24FF, Kind::Other, 16},
        {0x2500, 0x259F, Kind::Other, 17},   // box drawing, blocks
        {0x25A0, 0x25A1, Kind::Leading, 11}, // ■ □
        {0x25A2, 0x25B1, Kind::Other, 16},
        {0x25B2, 0x25B3, Kind::Leading, 11}, // ▲ △
        {0x25B4, 0x25CA, Kind::Other, 16},
        {0x25CB, 0x25CB, Kind::Leading, 11}, // ○
        {0x25CC, 0x25CE, Kind::Other, 16},
        {0x25CF, 0x25CF, Kind::Leading, 11}, // ●
        {0x25D0, 0x2604, Kind::Other, 16},
        {0x2605, 0x2606, Kind::Leading, 11}, // ★ ☆
        {0x2607, 0x26FF, Kind::Other, 16},
        {0x2E80, 0x2FDF, Kind::Other, 18}, // CJK radicals
        {0x3000, 0x3000, Kind::Mark, 8},   // ideographic space
        {0x3001, 0x3004, Kind::Other, 16},
        {0x3005, 0x3005, Kind::Han, 15}, // 々
        {0x3006, 0x3006, Kind::Other, 16},
        {0x3007, 0x3007, Kind::Han, 13}, // 〇
        {0x3008, 0x303F, Kind::Other, 16},
        {0x3041, 0x3096, Kind::Kana, 17},
        {0x309B, 0x30FF, Kind::Kana, 17},
        {0x3105, 0x312F, Kind::Kana, 18}, // bopomofo
        {0x31A0, 0x31BF, Kind::Kana, 18},
        {0x31C0, 0x31E3, Kind::Other, 18}, // CJK strokes
        {0x31F0, 0x31FF, Kind::Kana, 18},
        {0x3200, 0x321E, Kind::Other, 17},
        {0x3220, 0x3229, Kind::Leading, 12}, // ㈠ … ㈩
        {0x322A, 0x33FF, Kind::Other, 16},   // enclosed CJK, ㎡ ㎞
        {0x3400, 0x4DBF, Kind::Han, 20},     // CJK Extension A
        {0xAC00, 0xD7A3, Kind::Kana, 20},    // Hangul
        {0xF900, 0xFAFF, Kind::Han, 22},     // CJK compatibility ideographs
        {0xFE10, 0xFE19, Kind::Other, 17},
        {0xFE30, 0xFE4F, Kind::Other, 17}, // CJK compatibility forms
        {0xFE50, 0xFE6B, Kind::Other, 17}, // small form variants
        {0xFF01, 0xFF5E, Kind::Wide, 13},
        {0xFFE0, 0xFFE6, Kind::Other, 16}, // ￠ ￡ ￢ ￣ ￤ ￥
    };
    static_assert(std::is_sorted(std::begin(kRanges), std::end(kRanges),
                                 [](const Range &a, const Range &b) { return a.last < b.first; }));
    const auto *range = std::upper_bound(std::begin(kRanges), std::end(kRanges), c,
                                         [](char32_t v, const Range &r) { return v < r.first; });
    if (range != std::begin(kRanges) && c <= (--range)->last)
        return {range->kind, range->cost};
    return {Kind::Never, 0};
}

// What it costs that `after` follows `before` in a name (either may be the
// Edge). Scripts that fit together cost nothing: ASCII, Han characters and
// the symbols where they stand (a superscript after a letter or a number, ·
// between two parts). An alphabet is entered at a price and then costs its
// letters only; an accented letter stands among ASCII letters; Cyrillic
// beside Latin letters, or an accented letter beside a Han character, are
// what the bytes of the other encoding make, not names.
int Transition(Kind before, Kind after) {
    // clang-format off
    static constexpr std::uint8_t kCost[14][14] = {
        //   E   L   D   M   H  Ld  Tr  Bt   W   A   G   C   K   O     after / before
        {    0,  0,  0,  0,  0,  0,  8,  6,  0,  3,  8,  8,  4,  4 }, // Edge
        {    0,  0,  0,  0,  3,  1,  0,  0,  3,  0, 12, 16,  8,  2 }, // Letter
        {    0,  0,  0,  0,  0,  1,  0,  0,  3,  3,  8,  8,  4,  2 }, // Digit
        {    0,  0,  0,  0,  1,  1,  4,  3,  1,  1,  8,  8,  4,  2 }, // Mark
        {    0,  4,  0,  1,  0,  1,  2,  2,  1, 12, 12, 12,  4,  2 }, // Han
        {    3,  0,  0,  1,  1,  3,  4,  4,  1,  3,  8,  8,  4,  3 }, // Leading
        {    0,  1,  1,  1,  3,  3,  3,  4,  3,  3,  8,  8,  4,  3 }, // Trailing
        {    6,  0,  0,  3,  2,  3,  4,  6,  2,  4,  8,  8,  4,  4 }, // Between
        {    0,  3,  3,  1,  1,  1,  2,  2,  0, 12, 12, 12,  4,  2 }, // Wide
        {    2,  0,  3,  1, 12,  3,  3,  3, 12,  3, 16, 16, 12,  4 }, // Accented
        {    1,  5,  0,  1,  6,  3,  3,  3, 12, 16,  0, 16, 12,  4 }, // Greek
        {    1, 16,  1,  1,  8,  4,  4,  4, 12, 16, 16,  0, 12,  4 }, // Cyrillic
        {    2,  8,  3,  3,  4,  4,  4,  4,  4, 12, 12, 12,  0,  4 }, // Kana
        {    4,  2,  2,  2,  2,  3,  3,  4,  2,  4,  8,  8,  4,  2 }, // Other
    };
    // clang-format on
    return kCost[static_cast<int>(before)][static_cast<int>(after)];
}

// A field's bytes as UTF-8 or GBK, as code points; false when they are no
// text in that encoding.
bool DecodeUtf8Text(std::string_view bytes, std::u32string &out) {
    out.clear();
    char32_t c;
    for (std::size_t n; !bytes.empty(); bytes.remove_prefix(n)) {
        if ((n = DecodeUtf8(bytes, c)) == 0)
            return false;
        out += c;
    }
    return true;
}

bool DecodeGbkText(std::string_view bytes, std::u32string &out) {
    thread_local std::string utf8;
    utf8.clear();
    return DecodeGb18030(bytes, utf8) && DecodeUtf8Text(utf8, out);
}

// A reading that is no text at all: worse than any name.
constexpr int kUnreadable = 2 * kNeverInName;

int ReadingCost(bool readable, const std::u32string &text) {
    return readable ? NameCost(text) : kUnreadable;
}

bool HasNonAscii(std::string_view bytes) {
    for (char b : bytes)
        if (static_cast<unsigned char>(b) >= 0x80)
            return true;
    return false;
}

// How a field reads in an encoding, for a message: “text”, or nothing.
std::string Shown(std::string_view bytes, Encoding encoding) {
    return QuotedForMessage(ToUtf8(bytes, encoding));
}

std::string Line(long long line) { return "第 " + std::to_string(line) + " 行"; }

constexpr const char *kCannotTell = "无法确定文件的编码（GBK 还是 UTF-8）：";
// What always works: a byte order mark leaves no doubt.
constexpr const char *kSaveAs = "另存为带 BOM（字节顺序标记）的 UTF-8 编码";

} // namespace

int NameCost(std::u32string_view name) {
    int cost = 0;
    Kind before = Kind::Edge;
    bool substance = false; // a letter, digit or character, not only symbols
    for (char32_t c : name) {
        const Character character = Classify(c);
        if (character.kind == Kind::Never)
            return kNeverInName;
        cost += character.cost + Transition(before, character.kind);
        before = character.kind;
        substance = substance ||
                    !(before == Kind::Mark || before == Kind::Leading || before == Kind::Trailing ||
                      before == Kind::Between || before == Kind::Other);
    }
    if (name.empty())
        return kNeverInName;
    cost += Transition(before, Kind::Edge);
    if (!substance)
        cost += 8;
    // A lone letter of another script is a rare name; a lone Han character is not.
    if (name.size() == 1 &&
        (before == Kind::Accented || before == Kind::Greek || before == Kind::Cyrillic))
        cost += 5;
    return cost;
}

bool EncodingDecision::Take(std::string_view field, long long line) {
    if (undecidableAt_ != 0)
        return false;
    if (!HasNonAscii(field))
        return true;
    if (utf8Mark_) {
        if (!IsPlausibleUtf8(field)) {
            undecidableAt_ = line;
            utf8_.unreadableAt = IsValidUtf8(field) ? 0 : line;
        }
        return undecidableAt_ == 0;
    }
    thread_local std::u32string text;
    const int utf8 = ReadingCost(DecodeUtf8Text(field, text), text);
    const int gbk = ReadingCost(DecodeGbkText(field, text), text);
    const auto weigh = [&](Reading &reading, int cost, int other) {
        if (cost == kUnreadable && reading.unreadableAt == 0)
            reading.unreadableAt = line;
        reading.cost = std::min<long long>(reading.cost + cost, kNeverInName * 1024LL);
        for (auto [voice, margin] : {std::pair{&reading.speaks, kDecisiveCost},
                                     std::pair{&reading.insists, kInsistingCost}})
            if (cost + margin <= other && voice->line == 0)
                *voice = {line, std::string(field)};
    };
    weigh(utf8_, utf8, gbk);
    weigh(gbk_, gbk, utf8);
    if (utf8 > gbk - kDecisiveCost && gbk > utf8 - kDecisiveCost && silentAt_ == 0) {
        silentAt_ = line;
        silent_ = field;
    }
    if (utf8_.unreadableAt != 0 && gbk_.unreadableAt != 0)
        undecidableAt_ = line;
    return undecidableAt_ == 0;
}

// Fields that speak for one reading only decide it. Where fields speak for
// both, those that insist on one decide it, unless others insist on the
// other: two encodings in one file.
const EncodingDecision::Reading *EncodingDecision::Decided() const {
    const bool utf8 = utf8_.speaks.line != 0, gbk = gbk_.speaks.line != 0;
    if (utf8 != gbk)
        return utf8 ? &utf8_ : &gbk_;
    const bool utf8Insists = utf8_.insists.line != 0, gbkInsists = gbk_.insists.line != 0;
    if (utf8 && utf8Insists != gbkInsists)
        return utf8Insists ? &utf8_ : &gbk_;
    return nullptr;
}

Encoding EncodingDecision::SoFar() const {
    if (utf8Mark_)
        return Encoding::Utf8;
    if (const Reading *decided = Decided())
        return decided == &utf8_ ? Encoding::Utf8 : Encoding::Gbk;
    if (utf8_.speaks.line != 0) // both: the first
        return utf8_.speaks.line < gbk_.speaks.line ? Encoding::Utf8 : Encoding::Gbk;
    return utf8_.cost < gbk_.cost ? Encoding::Utf8 : Encoding::Gbk;
}

namespace {

const char *NameOf(Encoding encoding) { return encoding == Encoding::Utf8 ? "UTF-8" : "GBK"; }

std::string TwoEncodings() {
    return std::string("文件里混有两种编码；请把点号都改成一种编码，再") + kSaveAs;
}

} // namespace

EncodingRefusal EncodingDecision::Refusal() const {
    if (undecidableAt_ != 0) {
        if (utf8Mark_)
            return {undecidableAt_,
                    std::string("文件以 UTF-8 的字节顺序标记（BOM）开头，这一行却") +
                        (utf8_.unreadableAt != 0 ? "不是 UTF-8 文字" : "有点号里不会有的字符") +
                        "；请用能正确显示它的编辑器改正，把文件" + kSaveAs};
        if (utf8_.unreadableAt == gbk_.unreadableAt)
            return {undecidableAt_, std::string(kCannotTell) +
                                        "这一行既不是 GBK 文字，也不是 UTF-8 文字；请改正这一行，"
                                        "或用能正确显示它的编辑器把文件" +
                                        kSaveAs};
        const bool utf8Later = utf8_.unreadableAt > gbk_.unreadableAt;
        const Encoding later = utf8Later ? Encoding::Utf8 : Encoding::Gbk;
        const Encoding earlier = utf8Later ? Encoding::Gbk : Encoding::Utf8;
        return {undecidableAt_, std::string(kCannotTell) + "这一行不是 " + NameOf(later) +
                                    " 文字，而" +
                                    Line(std::min(utf8_.unreadableAt, gbk_.unreadableAt)) +
                                    "不是 " + NameOf(earlier) + " 文字，" + TwoEncodings()};
    }
    if (utf8Mark_ || Decided() != nullptr)
        return {};
    if (utf8_.speaks.line != 0) { // and GBK's too
        // Where both insist, the fields that do tell; else those that speak.
        const bool insisting = utf8_.insists.line != 0;
        const Voice &utf8 = insisting ? utf8_.insists : utf8_.speaks;
        const Voice &gbk = insisting ? gbk_.insists : gbk_.speaks;
        const bool utf8Later = utf8.line > gbk.line;
        const Voice &later = utf8Later ? utf8 : gbk, &earlier = utf8Later ? gbk : utf8;
        const Encoding laterEncoding = utf8Later ? Encoding::Utf8 : Encoding::Gbk;
        const Encoding earlierEncoding = utf8Later ? Encoding::Gbk : Encoding::Utf8;
        // 这一行的 “东山” 是 UTF-8 文字, or without the name where it cannot be shown.
        const auto is = [](const Voice &voice, Encoding encoding) {
            const std::string shown = Shown(voice.bytes, encoding);
            return (shown.empty() ? "" : "的" + shown + " ") + "是 " + NameOf(encoding) + " 文字";
        };
        return {later.line, std::string(kCannotTell) + "这一行" + is(later, laterEncoding) +
                                "，而" + Line(earlier.line) + is(earlier, earlierEncoding) + "，" +
                                TwoEncodings()};
    }
    if (silentAt_ != 0) {
        const std::string gbk = Shown(silent_, Encoding::Gbk),
                          utf8 = Shown(silent_, Encoding::Utf8);
        const std::string readings =
            gbk.empty() || utf8.empty()
                ? "这一行的文字按 GBK 读和按 UTF-8 读不同，无从判断"
                : "这一行的文字按 GBK 读是" + gbk + "，按 UTF-8 读是" + utf8 + "，无从判断";
        return {silentAt_, std::string(kCannotTell) + readings + "；请把文件" + kSaveAs};
    }
    return {};
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
        if ((n = DecodeUtf8(bytes, c)) == 0 ||
            (Classify(c).kind == Kind::Never && !(c >= 0x20000 && c <= 0x3134F)))
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
