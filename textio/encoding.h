#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kovarim {

// The two encodings a data file may have: GBK, the Chinese ANSI code page
// (read as GB18030, its superset), and UTF-8.
enum class Encoding { Gbk, Utf8 };

// Why a file's encoding cannot be told, and where: `line` is the tag the
// field that shows it was taken with (0 when nothing is wrong); `message`
// comes after the line.
struct EncodingRefusal {
    long long line = 0;
    std::string message;
};

// Decides a file's encoding from the fields read from it, in file order,
// never by a guess. Plain ASCII reads the same either way and tells nothing.
//
//  - A file that starts with a UTF-8 byte order mark is UTF-8, and every
//    field must be UTF-8 of characters a name may hold.
//  - Otherwise each field is read both ways, and each reading is weighed as a
//    point name (NameCost): how usual its characters are (GB2312's common
//    characters of level 1, then level 2, then the rarer rest of GBK and
//    GB18030; the symbols surveyors write; accented Latin, Greek and Cyrillic
//    letters) and how they stand together (an accented letter among ASCII
//    letters, a Cyrillic letter among Cyrillic ones, a superscript after a
//    letter or a number). Bytes that are no text in an encoding, and
//    characters no name holds (beyond the BMP, private use, combining marks,
//    IPA, scripts such as Armenian or Arabic), rule that reading out for the
//    field.
//  - A field speaks for the reading under which it is far likelier
//    (kDecisiveCost), or that alone reads it, and insists on it where it is
//    likelier still (kInsistingCost); otherwise it tells nothing.
//  - The file is in the encoding its fields speak for. Where fields speak
//    for both, those that insist decide: a name of the file's encoding may
//    look a little likelier in the other now and then, but fields that
//    insist on both are two encodings in one file.
//  - The file cannot be read when neither encoding reads all of it (a stray
//    byte; GBK, and UTF-8 that is no GBK): Take gives false at once. Where
//    names are read as characters it is refused at the end too, at the line
//    of the field that shows it, when its fields leave the encoding open:
//    two encodings in one file, or names plausible either way (GBK 位1 or the
//    Greek λ1 among ASCII names). A byte order mark is the remedy, and the
//    messages say so.
class EncodingDecision {
  public:
    explicit EncodingDecision(bool utf8Mark = false) : utf8Mark_(utf8Mark) {}

    // The next field's bytes and the line it starts on; false when the file
    // can no longer be read in either encoding (Refusal() says why).
    bool Take(std::string_view field, long long line);
    // The file's encoding as far as it has been read: the one its fields
    // speak for, else the likelier reading; GBK for plain ASCII.
    Encoding SoFar() const;
    // Why the file is refused: after Take gave false; at the end of the file
    // also when its fields speak for both encodings or for none. Nothing
    // (line 0) otherwise.
    EncodingRefusal Refusal() const;

  private:
    // The first field that said something of a reading.
    struct Voice {
        long long line = 0;
        std::string bytes;
    };
    // What the fields said of one reading so far.
    struct Reading {
        long long unreadableAt = 0; // the first field that is no text in this encoding
        Voice speaks, insists;
        long long cost = 0; // all fields together, for SoFar
    };
    // The reading the fields decide, if they do.
    const Reading *Decided() const;

    bool utf8Mark_;
    Reading utf8_, gbk_;
    long long undecidableAt_ = 0; // where neither encoding reads the file any more
    long long silentAt_ = 0;      // the first field not ASCII that speaks for neither
    std::string silent_;          // its bytes
};

// How unusual a text is as a point name, in bits, roughly; kNeverInName for a
// text that no name holds (or no text at all). The same measure for both
// readings of a field: decode it first.
inline constexpr int kNeverInName = 1 << 28;
int NameCost(std::u32string_view name);
// A field speaks for a reading that costs this much less than the other (32
// times likelier), and insists on it when it costs this much less.
inline constexpr int kDecisiveCost = 5;
inline constexpr int kInsistingCost = 20;

// The Unicode encodings that the program does not read, from the start of a
// file: the name of the encoding ("UTF-16" or "UTF-32") whose byte order mark
// starts `bytes`, or which its NUL bytes betray (every other byte NUL, or
// three of four, as ASCII text in those encodings has them); otherwise nothing.
const char *UnreadableUnicode(std::string_view bytes);

// What the program says of such a file.
inline std::string UnreadableUnicodeMessage(const char *encoding) {
    return std::string("文件是 ") + encoding +
           " 编码，本程序不能读取；请把它另存为 UTF-8 或 ANSI 编码";
}

inline constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

// A name for the accuracy report, which is GBK: GBK bytes stay as they are;
// UTF-8 text becomes GBK, and a character that GBK lacks its GB18030 form
// (GB18030 is GBK for every GBK character). A byte that is not UTF-8 becomes "?".
std::string ToReportEncoding(std::string_view bytes, Encoding from);

bool IsValidUtf8(std::string_view bytes);
// Valid UTF-8 whose every character a point name may hold (CJK beyond the
// BMP too: a byte order mark leaves no doubt about the encoding).
bool IsPlausibleUtf8(std::string_view bytes);
// Valid GB18030 (GBK and its four-byte forms) without private-use characters.
bool IsSoundGbk(std::string_view bytes);

// Text from a file as UTF-8, for a message; GBK is read as GB18030, its
// superset. Nothing (an empty text) when the bytes are not valid text.
std::string ToUtf8(std::string_view bytes, Encoding from);

} // namespace kovarim
