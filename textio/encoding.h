#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kovarim {

// The two encodings a data file may have: GBK, the Chinese ANSI code page
// (read as GB18030, its superset), and UTF-8.
enum class Encoding { Gbk, Utf8 };

// Decides a file's encoding from the fields read from it, in file order,
// never by a guess:
//  - a file that starts with a UTF-8 byte order mark is UTF-8, and every
//    field must read soundly as UTF-8: valid, and every character one that a
//    point name plausibly holds (CJK, CJK punctuation, full-width forms,
//    Latin, Greek and Cyrillic letters; not combining marks, IPA, spacing
//    modifiers or C1 controls);
//  - otherwise each field may read soundly as UTF-8, as GBK (valid GB18030,
//    no private-use character), or both. The file is UTF-8 while every field
//    reads soundly as UTF-8 (also where GBK would do), and GBK while every
//    field reads soundly as GBK.
// The file is undecidable, and refused at the line of the field that shows
// it, when neither holds any more (a stray byte, a GBK name and a UTF-8 name
// that is no GBK), or when it must be GBK but a field looked like UTF-8 CJK
// (characters of three bytes and more, which GBK text rarely forms): UTF-8
// names are often valid GBK too, and would be read as the wrong characters.
// Plain ASCII reads the same either way; it is taken for GBK.
// A whole file that reads soundly both ways, with no UTF-8 character of three
// bytes or more, is Ambiguous: its names are Chinese in GBK (一, 小, 前) or
// Latin, Greek or Cyrillic letters in UTF-8 (һ, С, Ф), and nothing tells
// which. It reads as UTF-8 (its bytes pass unchanged where only bytes
// matter); where names are read as characters, it is refused.
class EncodingDecision {
  public:
    explicit EncodingDecision(bool utf8Mark = false) : utf8Mark_(utf8Mark), gbk_(!utf8Mark) {}

    // The next field's bytes; false when the file is now undecidable.
    bool Take(std::string_view field);
    Encoding SoFar() const {
        return utf8Mark_ || (utf8_ && sawNonAscii_) ? Encoding::Utf8 : Encoding::Gbk;
    }
    bool Ambiguous() const { return !utf8Mark_ && sawNonAscii_ && utf8_ && gbk_ && !sawUtf8Cjk_; }

  private:
    bool utf8Mark_;
    bool utf8_ = true; // every field so far reads soundly as UTF-8
    bool gbk_;         // every field so far reads soundly as GBK
    bool sawNonAscii_ = false;
    bool sawUtf8Cjk_ = false; // some field read as UTF-8 of three bytes a character
};

// The message for a file that EncodingDecision cannot decide, after the line.
inline constexpr const char *kUndecidableEncoding =
    "无法确定文件的编码（GBK 还是 UTF-8）；请把文件另存为 UTF-8 或 GBK 编码";

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
// Valid UTF-8 whose every character a point name plausibly holds.
bool IsPlausibleUtf8(std::string_view bytes);
// Valid GB18030 (GBK and its four-byte forms) without private-use characters.
bool IsSoundGbk(std::string_view bytes);

// Text from a file as UTF-8, for a message; GBK is read as GB18030, its
// superset. Nothing (an empty text) when the bytes are not valid text.
std::string ToUtf8(std::string_view bytes, Encoding from);

} // namespace kovarim
