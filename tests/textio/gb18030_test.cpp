// GB18030 reads and writes with the same bytes on every system: our table
// for its four-byte forms and the two-byte forms GBK lacks, the system's GBK
// converter for the rest.
#include <string>
#include <vector>

#ifndef _WIN32
#include <iconv.h>

#include <filesystem>
#include <map>
#include <memory>
#include <set>
#endif

#include <gtest/gtest.h>

#include "testkit.h"
#include "textio/encoding.h"

namespace kovarim {
namespace {

// Forms and their characters as glibc's GB18030 converter has them.
TEST(Gb18030, FormsAtTheTableEdgesReadAndWriteTheSameEverywhere) {
    const struct {
        const char *name;
        std::string bytes, utf8;
    } cases[] = {
        {"first four-byte form, U+0080", "\x81\x30\x81\x30", "\u0080"},
        {"last of the first range, U+00A3", "\x81\x30\x84\x35", "\u00A3"},
        {"first of the second range, U+00A5", "\x81\x30\x84\x36", "\u00A5"},
        {"last form of the BMP, U+FFFF", "\x84\x31\xA4\x39", "\uFFFF"},
        {"first form beyond the BMP, U+10000", "\x90\x30\x81\x30", "\U00010000"},
        {"last form of all, U+10FFFF", "\xE3\x32\x9A\x35", "\U0010FFFF"},
        {"a language tag, U+E0041 (glibc writes nothing)", "\xD3\x36\x9C\x33", "\U000E0041"},
        {"a two-byte form GBK lacks, U+20087", "\xFE\x51", "\U00020087"},
        {"a two-byte form GBK lacks, U+1E3F", "\xA8\xBC", "\u1E3F"},
        {"GBK's own two bytes among them", "P\xCA\xAF\x81\x30\x85\x35-", "P石²-"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(ToUtf8(c.bytes, Encoding::Gbk), c.utf8) << c.name;
        EXPECT_TRUE(IsSoundGbk(c.bytes)) << c.name;
        EXPECT_EQ(ToReportEncoding(c.utf8, Encoding::Utf8), c.bytes) << c.name;
    }
}

TEST(Gb18030, FormsOfNoCharacterAndPrivateUseAreRefusedEverywhere) {
    const struct {
        const char *name;
        std::string bytes;
    } cases[] = {
        {"after the BMP's last form", "\x84\x31\xA5\x30"},
        {"after U+10FFFF", "\xE3\x32\x9A\x36"},
        {"a four-byte form cut short", "\x81\x30\x81"},
        {"a four-byte form with a bad third byte", "\x81\x30\x30\x30"},
        {"GBK's euro sign 80, no GB18030", "\x80"},
        {"FF", "\xFF\xA1"},
        {"GBK user-defined area (U+E000)", "\xAA\xA1"},
        {"a four-byte form of a private-use character (U+E7C7)", "\x81\x35\xF4\x37"},
        {"a two-byte form cut short", "A\xB5"},
    };
    for (const auto &c : cases) {
        EXPECT_FALSE(IsSoundGbk(c.bytes)) << c.name;
        EXPECT_EQ(ToUtf8(c.bytes, Encoding::Gbk), "") << c.name;
    }
    // Writing: a private-use character has no form the systems agree on.
    EXPECT_EQ(ToReportEncoding("A\uE000B", Encoding::Utf8), "A?B");
    EXPECT_EQ(ToReportEncoding("\u20AC", Encoding::Utf8), "\x80"); // GBK's form first
}

// "字 HEX" lines: every character the tests and the example files use, with
// its bytes in the report (GBK, or GB18030 where GBK lacks it).
std::vector<std::pair<std::string, std::string>> ListedCharacters() {
    std::vector<std::pair<std::string, std::string>> listed;
    const std::string list =
        testkit::ReadBytes(KOVARIM_SOURCE_DIR "/tests/textio/gb18030_characters.txt");
    for (std::size_t start = 0, end; start < list.size(); start = end + 1) {
        end = list.find('\n', start);
        const std::string line = list.substr(start, end - start);
        const std::size_t blank = line.find(' ');
        std::string bytes;
        for (std::size_t i = blank + 1; i + 1 < line.size(); i += 2)
            bytes += static_cast<char>(std::stoi(line.substr(i, 2), nullptr, 16));
        listed.emplace_back(line.substr(0, blank), bytes);
    }
    return listed;
}

TEST(Gb18030, EveryCharacterOfTheTestsAndExamplesHasItsListedBytes) {
    const auto listed = ListedCharacters();
    ASSERT_GT(listed.size(), 200u);
    for (const auto &[character, bytes] : listed) {
        EXPECT_EQ(ToReportEncoding(character, Encoding::Utf8), bytes) << character;
        if (bytes == "\x80")
            continue; // GBK's euro sign: written, but no GB18030, so never read
        EXPECT_EQ(ToUtf8(bytes, Encoding::Gbk), character) << character;
        EXPECT_TRUE(IsSoundGbk(bytes)) << character;
    }
}

#ifndef _WIN32 // glibc's converters as the reference

// All of `in` converted, or "<none>".
std::string Iconv(const std::string &to, const std::string &from, const std::string &in) {
    struct Close {
        void operator()(void *cd) const { iconv_close(static_cast<iconv_t>(cd)); }
    };
    static std::map<std::string, std::unique_ptr<void, Close>> converters; // for the whole run
    auto &converter = converters[to + "<" + from];
    if (!converter)
        converter.reset(iconv_open(to.c_str(), from.c_str()));
    const iconv_t cd = static_cast<iconv_t>(converter.get());
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::string input = in, out(4 * in.size() + 16, '\0');
    char *inPtr = input.data(), *outPtr = out.data();
    std::size_t inLeft = input.size(), outLeft = out.size();
    const bool ok = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1);
    return ok && inLeft == 0 ? out.substr(0, out.size() - outLeft) : "<none>";
}

// The report's bytes of a character: GBK's, or else GB18030's.
std::string ReportBytes(const std::string &utf8) {
    const std::string gbk = Iconv("GBK", "UTF-8", utf8);
    return gbk != "<none>" ? gbk : Iconv("GB18030", "UTF-8", utf8);
}

std::string Hex(const std::string &bytes) {
    std::string hex;
    for (char b : bytes) {
        static const char kDigits[] = "0123456789ABCDEF";
        hex += kDigits[static_cast<unsigned char>(b) >> 4];
        hex += kDigits[b & 0xF];
    }
    return hex;
}

TEST(Gb18030, TheListHoldsEveryCharacterOfTheTestsAndExamples) {
    std::map<std::string, std::string> listed;
    for (const auto &[character, bytes] : ListedCharacters())
        listed[character] = bytes;
    std::map<std::string, std::string> used; // UTF-8 text of each file
    namespace fs = std::filesystem;
    for (const auto &entry : fs::recursive_directory_iterator(KOVARIM_SOURCE_DIR "/tests"))
        if (entry.path().extension() == ".cpp" || entry.path().extension() == ".h")
            used[entry.path()] = testkit::ReadBytes(entry.path());
    for (const char *gbk :
         {"examples/common_points.txt", "examples/batch_points.txt",
          "tests/e2e/expected/report.txt", "tests/e2e/expected/batch_pointsto.txt"})
        used[gbk] = Iconv("UTF-8", "GB18030",
                          testkit::ReadBytes(std::string(KOVARIM_SOURCE_DIR "/") + gbk));
    std::set<std::string> missing;
    for (const auto &[file, text] : used)
        for (std::size_t i = 0; i < text.size();) {
            const auto lead = static_cast<unsigned char>(text[i]);
            const std::size_t n = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
            const std::string character = text.substr(i, n);
            i += n;
            if (n > 1 && listed.count(character) == 0 && missing.insert(character).second)
                ADD_FAILURE() << file << " uses " << character << "; add to "
                              << "tests/textio/gb18030_characters.txt the line \"" << character
                              << " " << Hex(ReportBytes(character)) << "\"";
        }
    for (const auto &[character, bytes] : listed)
        EXPECT_EQ(Hex(bytes), Hex(ReportBytes(character))) << character;
}

// Every two-byte form, every four-byte form of the BMP and a spread of those
// beyond read as glibc reads them; private-use characters not at all.
TEST(Gb18030, ReadsEveryFormAsGlibcDoes) {
    std::vector<std::string> forms;
    for (int lead = 0x81; lead <= 0xFE; ++lead)
        for (int trail = 0x40; trail <= 0xFE; ++trail)
            forms.push_back({static_cast<char>(lead), static_cast<char>(trail)});
    const auto add = [&](int n) { // the four-byte form numbered n
        forms.push_back({static_cast<char>(0x81 + n / 12600),
                         static_cast<char>(0x30 + n / 1260 % 10),
                         static_cast<char>(0x81 + n / 10 % 126), static_cast<char>(0x30 + n % 10)});
    };
    for (int n = 0; n < 39420 + 10; ++n) // the BMP's, and a few past them
        add(n);
    for (int n = 39420; n < 189000; n += 997) // none of these stand for anything
        add(n);
    for (int n = 189000; n < 1237576 + 10; n += n < 1237570 ? 97 : 1) // U+10000 on
        add(n);
    for (const std::string &form : forms) {
        const std::string glibc = Iconv("UTF-8", "GB18030", form);
        const bool privateUse = glibc.size() == 3 && glibc >= "\uE000" && glibc <= "\uF8FF";
        EXPECT_EQ(ToUtf8(form, Encoding::Gbk), glibc == "<none>" || privateUse ? "" : glibc)
            << Hex(form);
    }
}

// Every character but the private-use ones is written as GBK writes it, or
// else as GB18030 does.
TEST(Gb18030, WritesEveryCharacterAsGlibcDoes) {
    for (char32_t c = 0x80; c <= 0x10FFFF; c += c < 0x10000 ? 1 : 89) {
        if ((c >= 0xD800 && c <= 0xDFFF) || (c >= 0xE000 && c <= 0xF8FF) ||
            (c >= 0xE0000 && c <= 0xE007F)) // private use; language tags, which glibc drops
            continue;
        std::string utf8;
        const int tail = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
        utf8 += static_cast<char>((tail == 1 ? 0xC0 : tail == 2 ? 0xE0 : 0xF0) | (c >> (6 * tail)));
        for (int i = tail - 1; i >= 0; --i)
            utf8 += static_cast<char>(0x80 | ((c >> (6 * i)) & 0x3F));
        EXPECT_EQ(Hex(ToReportEncoding(utf8, Encoding::Utf8)), Hex(ReportBytes(utf8)))
            << "U+" << std::hex << static_cast<unsigned>(c);
    }
}

#endif

} // namespace
} // namespace kovarim
