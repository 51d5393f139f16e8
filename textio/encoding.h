#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kovarim {

// The two encodings a data file may have. Anything that is not UTF-8 is
// taken for GBK, the Chinese ANSI code page.
enum class Encoding { Gbk, Utf8 };

// Decides a file's encoding from its bytes, fed in order in blocks of any
// size: UTF-8 when the bytes are valid UTF-8 throughout and hold at least one
// non-ASCII byte (a byte order mark alone decides it too, see FieldReader);
// GBK otherwise, also for plain ASCII, which reads the same either way.
class EncodingDetector {
  public:
    void Feed(const char *bytes, std::size_t size);
    void End() { valid_ = valid_ && pending_ == 0; } // a character cut off at the end
    Encoding SoFar() const { return valid_ && sawNonAscii_ ? Encoding::Utf8 : Encoding::Gbk; }
    bool ValidUtf8() const { return valid_; }

  private:
    bool valid_ = true;
    bool sawNonAscii_ = false;
    int pending_ = 0;         // continuation bytes still expected
    unsigned char lower_ = 0; // bounds of the next continuation byte, which
    unsigned char upper_ = 0; // exclude overlong forms and surrogates
};

// The byte order marks of the Unicode encodings that the program does not
// read: the name of the encoding whose mark starts `bytes`, or nothing.
const char *UnreadableUnicodeMark(std::string_view bytes);

inline constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

// A name for the accuracy report, which is GBK: GBK bytes stay as they are;
// UTF-8 text becomes GBK, and a character that GBK lacks its GB18030 form
// (GB18030 is GBK for every GBK character). A byte that is not UTF-8 becomes "?".
std::string ToReportEncoding(std::string_view bytes, Encoding from);

bool IsValidUtf8(std::string_view bytes);

// Text from a file as UTF-8, for a message; GBK is read as GB18030, its
// superset. Nothing (an empty text) when the bytes are not valid text.
std::string ToUtf8(std::string_view bytes, Encoding from);

} // namespace kovarim
