#include "textio/encoding.h"

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace kovarim {
namespace {

// What a file's fields make of it: read in an encoding, not readable at all
// (Take gives false at once), or refused at the end where names are read as
// text.
enum class Outcome { Gbk, Utf8, CannotRead, Refused };

const char *NameOf(Outcome outcome) {
    switch (outcome) {
    case Outcome::Gbk:
        return "GBK";
    case Outcome::Utf8:
        return "UTF-8";
    case Outcome::CannotRead:
        return "cannot read";
    case Outcome::Refused:
        return "refused";
    }
    return "?";
}

struct Verdict {
    Outcome outcome;
    long long line;      // of the refusal; 0 when read
    std::string message; // of the refusal
};

// The fields are tagged with their number, from 1, as lines.
Verdict Decide(const std::vector<std::string> &fields, bool mark = false) {
    EncodingDecision decision(mark);
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const long long line = static_cast<long long>(i) + 1;
        if (!decision.Take(fields[i], line)) {
            const EncodingRefusal refusal = decision.Refusal();
            return {Outcome::CannotRead, refusal.line, refusal.message};
        }
    }
    if (const EncodingRefusal refusal = decision.Refusal(); refusal.line != 0)
        return {Outcome::Refused, refusal.line, refusal.message};
    return {decision.SoFar() == Encoding::Utf8 ? Outcome::Utf8 : Outcome::Gbk, 0, {}};
}

std::string Gbk(const std::string &utf8) { return ToReportEncoding(utf8, Encoding::Utf8); }

constexpr auto G = Outcome::Gbk;
constexpr auto U = Outcome::Utf8;
constexpr auto X = Outcome::CannotRead;
constexpr auto R = Outcome::Refused;

struct Case {
    const char *name;
    bool mark;
    std::vector<std::string> fields;
    Outcome outcome;
    long long line; // of a refusal
};

void Check(const Case &c) {
    const Verdict verdict = Decide(c.fields, c.mark);
    EXPECT_EQ(NameOf(verdict.outcome), std::string(NameOf(c.outcome))) << c.name;
    EXPECT_EQ(verdict.line, c.line) << c.name;
}

// A file's fields in order, and what the file is read as.
TEST(EncodingDecision, DecidesFromEveryFieldAndNeverByAGuess) {
    const Case cases[] = {
        {"plain ASCII reads the same either way", false, {"P1", "1"}, G, 0},
        {"GBK name", false, {"\xB5\xE3\xC8\xFD", "1"}, G, 0},
        {"UTF-8 name", false, {"石桥", "1"}, U, 0},
        {"UTF-8 Greek, Cyrillic and full-width", false, {"Δ1", "Пункт", "Ｐ１"}, U, 0},
        {"four-byte UTF-8 CJK", false, {"\xF0\xA0\x80\x80"}, U, 0},
        {"GBK 探 alone, a combining mark in UTF-8", false, {"P", "\xCC\xBD"}, G, 0},
        {"GBK 山 alone, IPA in UTF-8", false, {"\xC9\xBD"}, G, 0},
        {"GBK 路 alone, a Latin-1 symbol in UTF-8", false, {"\xC2\xB7"}, G, 0},
        {"GB18030 four-byte form", false, {"\x81\x30\x81\x30"}, G, 0},
        {"UTF-8 with one stray FF", false, {"石桥", "A\xFF"}, X, 2},
        {"GBK then a UTF-8 name that is no GBK", false, {"\xB5\xE3", "P", "王家庄"}, X, 3},
        // Formerly refused at once; now at the end, where names are read as text.
        {"GBK then a UTF-8 name that is GBK too", false, {"\xB5\xE3", "东山"}, R, 2},
        {"UTF-8 then GBK names", false, {"东山", "1", "\xB5\xE3\xC8\xFD"}, R, 3},
        {"GBK that is Latin in UTF-8, then GBK", false, {"\xC3\xAB", "\xB5\xE3"}, G, 0},
        {"GBK user-defined area", false, {"\xAA\xA1"}, X, 1},
        {"a byte order mark, then UTF-8", true, {"石桥"}, U, 0},
        {"a byte order mark, then GBK", true, {"P1", "\xB5\xE3"}, X, 2},
        {"a byte order mark, then GBK that is valid UTF-8", true, {"\xCC\xBD"}, X, 1},
        {"no UTF-8 (overlong), but GBK", false, {"\xC0\xAF"}, G, 0},
        {"surrogate", false, {"\xED\xA0\x80"}, X, 1},
        {"cut off at the end", false, {"石\xE6\xA1"}, X, 1},
    };
    for (const Case &c : cases)
        Check(c);
}

// Where only the bytes' shape was weighed, GBK 一 and 小 were Cyrillic
// letters as much as Chinese; how the letters stand in a name tells now.
TEST(EncodingDecision, IsRefusedOnlyWhereNothingTellsTheTwoReadingsApart) {
    const Case cases[] = {
        // һ is no Russian letter, and a lone С is a rare name: GBK.
        {"GBK 一 and 小, UTF-8 Cyrillic", false, {"\xD2\xBB", "P1", "\xD0\xA1"}, G, 0},
        // An accented letter among ASCII letters; 眉 between them is not.
        {"UTF-8 Latin letters, GBK hanzi", false, {"M\xC3\xBCller"}, U, 0},
        {"the same with a byte order mark", true, {"M\xC3\xBCller"}, U, 0},
        // GBK 一 and a UTF-8 name: two encodings in one file.
        {"then a UTF-8 name of three-byte characters", false, {"\xD2\xBB", "石桥"}, R, 2},
        {"then a name that is GBK only", false, {"\xD2\xBB", "\xB5\xE3"}, G, 0},
        {"plain ASCII", false, {"P1", "2"}, G, 0},
        // GBK 位1 or the Greek λ1: both are names.
        {"GBK 位1, UTF-8 λ1",
         false,
         {"P1", "\xCE\xBB"
                "1"},
         R,
         2},
        {"the same with a byte order mark",
         true,
         {"P1", "\xCE\xBB"
                "1"},
         U,
         0},
        {"the first of several that tell nothing",
         false,
         {"P1",
          "\xCE\xBB"
          "1",
          "\xCE\xBB"
          "2"},
         R,
         2},
    };
    for (const Case &c : cases)
        Check(c);
}

// The cases that went wrong before, as surveyors wrote them.
TEST(EncodingDecision, ReadsNamesAsTheyWereWritten) {
    const Case cases[] = {
        // UTF-8 symbols beside ASCII names: UTF-8, or refused where GBK reads
        // the name as plausibly; never GBK.
        {"UTF-8 N°1", false, {"P1", "N°1", "P2"}, R, 2},
        {"UTF-8 BM·1", false, {"P1", "BM·1"}, R, 2},
        {"UTF-8 A²", false, {"A²", "P2"}, R, 1},
        {"UTF-8 △A", false, {"P1", "△A"}, U, 0},
        {"UTF-8 N°1, BM·1, A² and △A", false, {"P1", "N°1", "BM·1", "A²", "△A"}, U, 0},
        {"UTF-8 A×B", false, {"P1", "A×B"}, U, 0},
        {"UTF-8 N°1, BM·1 and A² with a byte order mark", true, {"N°1", "BM·1", "A²"}, U, 0},
        // GBK 稷北 is the Extension B character 𢱱 in UTF-8.
        {"GBK 稷北 among ASCII names", false, {"P1", Gbk("稷北"), "P3"}, G, 0},
        {"GBK 稷北 with 东山 and 西岭", false, {Gbk("稷北"), Gbk("东山"), Gbk("西岭")}, G, 0},
        {"UTF-8 △东山", false, {"△东山"}, U, 0},
        {"UTF-8 №1", false, {"P1", "№1"}, U, 0},
        {"UTF-8 ○1", false, {"P1", "○1"}, U, 0},
        {"UTF-8 ★1", false, {"P1", "★1"}, U, 0},
        {"UTF-8 Ⅻ-3 and ⑳", false, {"Ⅻ-3", "⑳"}, U, 0},
        {"UTF-8 ℃ and ±", false, {"5℃", "±1"}, U, 0},
        {"GBK 小营 among ASCII names", false, {"P1", Gbk("小营"), "P3"}, G, 0},
        {"GBK 叶坪 among ASCII names", false, {"P1", Gbk("叶坪")}, G, 0},
        {"GBK 一 among ASCII names", false, {"P1", Gbk("一")}, G, 0},
        {"GBK 平 among ASCII names", false, {"P1", Gbk("平"), "P3"}, G, 0},
        {"GBK 小营 and 平", false, {"P1", Gbk("小营"), "P2", Gbk("平")}, G, 0},
        {"GBK 位 alone", false, {"P1", Gbk("位")}, G, 0},
        {"GBK △东山", false, {"P1", Gbk("△东山")}, G, 0},
        {"UTF-8 Zürich and São Paulo", false, {"Zürich", "São Paulo"}, U, 0},
    };
    for (const Case &c : cases)
        Check(c);
}

TEST(EncodingDecision, TellsTheRemedyThatWorks) {
    const std::string bom = "另存为带 BOM（字节顺序标记）的 UTF-8 编码";
    const struct {
        const char *name;
        bool mark;
        std::vector<std::string> fields;
        std::string says;
    } cases[] = {
        {"the name read both ways",
         false,
         {"P1", "BM·1"},
         "无法确定文件的编码（GBK 还是 UTF-8）：这一行的文字按 GBK 读是 “BM路1”，按 UTF-8 读是 "
         "“BM·1”，无从判断；请把文件" +
             bom},
        {"a stray byte", false, {"石桥", "A\xFF"}, "这一行既不是 GBK 文字，也不是 UTF-8 文字"},
        {"GBK, then UTF-8 that is no GBK",
         false,
         {"\xB5\xE3", "王家庄"},
         "这一行不是 GBK 文字，而第 1 行不是 UTF-8 文字，文件里混有两种编码"},
        {"GBK, then UTF-8 that GBK reads too",
         false,
         {"P", "\xB5\xE3", "东山"},
         "这一行的 “东山” 是 UTF-8 文字，而第 2 行的 “点” 是 GBK 文字"},
        {"GBK after a byte order mark", true, {"\xB5\xE3"}, "这一行却不是 UTF-8 文字"},
        {"a combining mark after a byte order mark",
         true,
         {"e\u0301"},
         "这一行却有点号里不会有的字符"},
    };
    for (const auto &c : cases) {
        const Verdict verdict = Decide(c.fields, c.mark);
        EXPECT_NE(verdict.message.find(c.says), std::string::npos)
            << c.name << ": " << verdict.message;
        EXPECT_NE(verdict.message.find(bom), std::string::npos)
            << c.name << ": " << verdict.message;
        // Saving as GBK changes nothing for a file that already is GBK.
        EXPECT_EQ(verdict.message.find("UTF-8 或 GBK"), std::string::npos) << c.name;
    }
}

std::u32string Text(const std::string &utf8) {
    std::u32string text;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const std::size_t n = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t c = n == 1 ? lead : lead & (0x7F >> n);
        for (std::size_t k = 1; k < n; ++k)
            c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        text += c;
        i += n;
    }
    return text;
}

TEST(NameCost, HoldsTheSymbolsOfTheSurveyAndNoCharacterANameNeverHolds) {
    for (const char *name :
         {"N°1",  "BM·1",    "A²",     "m³",  "µ1",   "±1", "2×3", "△A",    "▲1", "○1", "●1",
          "□1",   "■1",      "☆1",     "★1",  "№1",   "5℃", "Ⅰ-1", "Ⅻ",     "①",  "⑳",  "Ｐ１",
          "东山", "控制点3", "Müller", "Ærø", "Łódź", "lǚ", "Δ1",  "Пункт", "Її", "〇"})
        EXPECT_LT(NameCost(Text(name)), kNeverInName) << name;
    for (const char *name : {"\U00022C71", // CJK Extension B
                             "A\uE000",    // private use
                             "e\u0301",    // a combining mark
                             "\u0283",     // IPA
                             "\u0561",     // Armenian
                             "\u05D0",     // Hebrew
                             "\u0627",     // Arabic
                             "\u04BB",     // Cyrillic шха, no Russian letter
                             "\u01BD",     // Latin tone five
                             "\u00A5"
                             "1",      // ¥, no symbol of the survey
                             "\u0085", // a C1 control
                             "\uFEFF"})
        EXPECT_EQ(NameCost(Text(name)), kNeverInName) << name;
    EXPECT_EQ(NameCost(U""), kNeverInName);
}

TEST(NameCost, WeighsCommonCharactersAboveRareOnes) {
    // GB2312 level 1, level 2, the rest of GBK, CJK Extension A.
    EXPECT_LT(NameCost(U"东山"), NameCost(U"东\u5CC1")); // 峁, of level 2
    EXPECT_LT(NameCost(U"\u5CC1"), NameCost(U"\u4E02")); // 丂, GBK's but not GB2312's
    EXPECT_LT(NameCost(U"\u4E02") - 4, NameCost(U"\u3400"));
    // An accented letter stands among ASCII letters, not among Han characters.
    EXPECT_LT(NameCost(U"M\u00FCller"), NameCost(U"东\u00FC"));
    // A superscript follows a letter or a number.
    EXPECT_LT(NameCost(U"A\u00B2"), NameCost(U"\u00B2A"));
    // Cyrillic among Cyrillic letters, not among Latin ones.
    EXPECT_LT(NameCost(U"\u0414\u0421") - NameCost(U"\u0414"),
              NameCost(U"A\u0421") - NameCost(U"A"));
    // An alphabet's letters cost little once it is entered: Москва.
    EXPECT_LT(NameCost(U"\u041C\u043E\u0441\u043A\u0432\u0430"), 6 * NameCost(U"东"));
}

// Random point names, as surveyors write them, from a fixed seed. Draws are
// taken as the generator gives them, so that every standard library makes
// the same names.
class Names {
  public:
    explicit Names(std::uint32_t seed) : random_(seed) {}

    int Below(int n) { return static_cast<int>(random_() % static_cast<std::uint32_t>(n)); }
    bool Chance(int percent) { return Below(100) < percent; }
    const std::string &From(const std::vector<std::string> &pool) {
        return pool[static_cast<std::size_t>(Below(static_cast<int>(pool.size())))];
    }

    // A Han character: mostly a common one of names and places, else any of
    // GB2312's level 1 or level 2.
    std::string Han() {
        const int pick = Below(100);
        return From(pick < 60 ? Common() : pick < 90 ? Level(1) : Level(2));
    }
    std::string Hans(int least, int most) {
        std::string text;
        for (int n = least + Below(most - least + 1); n > 0; --n)
            text += Han();
        return text;
    }
    std::string Number() {
        const int n = 1 + Below(Chance(70) ? 20 : 999);
        return (Chance(20) && n < 10 ? "0" : "") + std::to_string(n);
    }
    std::string Ascii() {
        static const std::vector<std::string> kPrefixes = {"GPS", "BM", "P", "D", "JD", "K",
                                                           "G",   "T",  "N", "C", "ZD", "A"};
        std::string name = From(kPrefixes);
        if (Chance(15))
            name += "-";
        name += Number();
        return name;
    }

    // A realistic Chinese point name, in one of the ways they are written.
    // (One draw a statement: the order in which the operands of + are
    // evaluated is the compiler's.)
    std::string Chinese() {
        static const std::vector<std::string> kSurveyWords = {
            "控制点", "导线点", "水准点", "图根点", "三角点", "界址点", "加密点", "基准点"};
        static const std::vector<std::string> kNumerals = {"一", "二", "三", "四", "五",
                                                           "六", "七", "八", "九", "十"};
        static const std::vector<std::string> kMarks = {"号点", "号桩", "号", "号点"};
        static const std::vector<std::string> kSymbols = {"△", "▲", "○", "●", "□",
                                                          "■", "☆", "★", "№"};
        static const std::vector<std::string> kNumberSymbols = {"①", "②", "③", "⑩", "⑳",
                                                                "Ⅰ", "Ⅱ", "Ⅲ", "Ⅳ", "Ⅻ"};
        static const std::vector<std::string> kGrades = {"等", "级"};
        static const std::vector<std::string> kWide = {"Ｐ", "Ｋ", "Ａ", "ＢＭ", "１", "２", "３"};
        std::string name;
        const int pattern = Below(100);
        if (pattern < 25) { // 东山, 王家庄, 小营子村
            name = Hans(2, 4);
        } else if (pattern < 43) { // 东山3, 小营12
            name = Hans(1, 3);
            name += Number();
        } else if (pattern < 53) { // 控制点3
            name = From(kSurveyWords);
            name += Number();
        } else if (pattern < 60) { // 一号点, 十二号桩
            if (Chance(30))
                name = From(kNumerals);
            name += From(kNumerals);
            name += From(kMarks);
        } else if (pattern < 70) { // GPS01
            name = Ascii();
        } else if (pattern < 76) { // 平
            name = Han();
        } else if (pattern < 81) { // GPS东山, BM西岭2
            name = Ascii().substr(0, 2);
            name += Hans(1, 3);
            if (Chance(50))
                name += Number();
        } else if (pattern < 88) { // △东山, ★1, 东山①, Ⅱ等3
            const int form = Below(4);
            name = form < 2 ? From(kSymbols) : form == 2 ? Hans(1, 3) : From(kNumberSymbols);
            if (form == 0)
                name += Hans(1, 3);
            else if (form == 1)
                name += Number();
            else if (form == 2)
                name += From(kNumberSymbols);
            else
                name += From(kGrades);
            if (form == 3)
                name += Number();
        } else if (pattern < 95) { // one of GB18030's rare characters among common ones
            name = Hans(0, 2);
            const std::size_t at = Chance(50) ? 0 : name.size();
            name.insert(at, From(Rare()));
            if (Chance(40))
                name += Number();
        } else { // full-width forms: Ｐ１, 东山１２
            name = Chance(50) ? From(kWide) : Hans(1, 2);
            name += From(kWide);
            name += From(kWide);
        }
        return name;
    }

    // One or two characters, as a Chinese name among ASCII ones: 小营, 叶坪, 一, 平.
    std::string Short() { return Hans(1, 2); }

    // ASCII and Chinese in one name: GPS东山, BM路1, 东3, 12号, 东山A.
    std::string Mixed() {
        static const std::vector<std::string> kLetters = {"A", "B", "C", "K", "N"};
        std::string name;
        const int form = Below(4);
        if (form == 0) {
            name = Ascii();
            name = name.substr(0, 1 + static_cast<std::size_t>(Below(3)));
            name += Hans(1, 2);
            if (Chance(50))
                name += Number();
        } else if (form == 1) {
            name = Hans(1, 2);
            name += Number();
        } else if (form == 2) {
            name = Number();
            name += Han();
        } else {
            name = Hans(1, 2);
            name += From(kLetters);
        }
        return name;
    }

    // A name with a symbol the survey writes, beside ASCII ones.
    std::string WithSymbol() {
        static const std::vector<std::string> kLatin1 = {"°", "·", "²", "³", "µ", "±", "×"};
        static const std::vector<std::string> kSuperscripts = {"²", "³"};
        static const std::vector<std::string> kOthers = {"△", "▲", "○", "●", "□", "■", "☆", "★",
                                                         "№", "℃", "Ⅱ", "Ⅻ", "①", "⑳", "Ｐ"};
        static const std::vector<std::string> kBefore = {"±", "µ"};
        std::string name;
        const int form = Below(6);
        if (form == 0) { // N°1, BM·1
            name = Ascii();
            name = name.substr(0, 1 + static_cast<std::size_t>(Below(2)));
            name += From(kLatin1);
            name += Number();
        } else if (form == 1) { // A², P3³
            name = Ascii();
            name += From(kSuperscripts);
        } else if (form == 2) { // △A, ★12
            name = From(kOthers);
            name += Chance(50) ? Ascii() : Number();
        } else if (form == 3) { // A×B, 2×3
            name = Ascii();
            name += "×";
            name += Ascii();
        } else if (form == 4) { // ±1, µ3
            name = From(kBefore);
            name += Number();
        } else { // P3①
            name = Ascii();
            name += From(kOthers);
        }
        return name;
    }

    // A name in Latin, Greek or Cyrillic letters, beside ASCII ones.
    std::string European() {
        static const std::vector<std::string> kNames = {
            "Müller", "Zürich", "São Paulo", "Ørsted", "Łódź",   "Kraków", "Citroën",
            "Señora", "Ærø",    "Brønd",     "Göta",   "Île",    "Pécs",   "Þórsmörk",
            "Δ",      "Ω",      "α",         "Пункт",  "Москва", "Київ",   "Дом"};
        std::string name = From(kNames);
        // A lone Greek letter reads as GBK: 伪 rather than α.
        const int form = name.size() == 2 ? 1 + Below(2) : Below(3);
        if (form == 2)
            name += "-";
        if (form != 0)
            name += Number();
        return name;
    }

  private:
    static std::vector<std::string> FromGbk(int firstLead, int lastLead, int firstTrail,
                                            int lastTrail) {
        std::vector<std::string> pool;
        for (int lead = firstLead; lead <= lastLead; ++lead)
            for (int trail = firstTrail; trail <= lastTrail; ++trail) {
                if (trail == 0x7F)
                    continue;
                const std::string text = ToUtf8(
                    std::string{static_cast<char>(lead), static_cast<char>(trail)}, Encoding::Gbk);
                if (!text.empty() && text.size() == 3) // none beyond the BMP (FE51 is U+20087)
                    pool.push_back(text);
            }
        return pool;
    }
    static const std::vector<std::string> &Level(int level) {
        static const std::vector<std::string> kOne = FromGbk(0xB0, 0xD7, 0xA1, 0xFE),
                                              kTwo = FromGbk(0xD8, 0xF7, 0xA1, 0xFE);
        return level == 1 ? kOne : kTwo;
    }
    // Surnames and the words of place names.
    static const std::vector<std::string> &Common() {
        static const std::vector<std::string> kCommon = [] {
            const std::string text =
                "王李张刘陈杨黄赵吴周徐孙马朱胡郭何高林罗郑梁谢宋唐许韩冯邓曹彭曾萧田董袁潘蒋蔡"
                "余杜叶程苏魏吕丁任沈姚卢姜崔钟谭陆汪范金石廖贾夏韦付方白邹孟熊秦邱江尹薛段雷侯"
                "龙史陶黎贺顾毛郝龚邵万钱严覃武戴莫孔向汤山河村庄镇乡县城桥湖岭峰坡沟塘坪营寨屯"
                "堡口关店集铺湾洲岛港渡溪泉井园田坝墩台岗岩门头家东西南北中上下前后左右大小新老"
                "长黑红青凤牛羊水平安和兴福宁华明光阳春秋德胜利民丰盛旺顺昌荣永太寺庙塔楼阁亭堤"
                "闸站场厂矿院校路稷岙坳埔垭";
            std::vector<std::string> pool;
            for (std::size_t i = 0; i < text.size(); i += 3)
                pool.push_back(text.substr(i, 3));
            return pool;
        }();
        return kCommon;
    }
    // GB18030's rare characters: GBK's own beyond GB2312, and CJK Extension A.
    static const std::vector<std::string> &Rare() {
        static const std::vector<std::string> kRare = [] {
            std::vector<std::string> pool = FromGbk(0x81, 0xA0, 0x40, 0xFE);
            const std::vector<std::string> four = FromGbk(0xAA, 0xFE, 0x40, 0xA0);
            pool.insert(pool.end(), four.begin(), four.end());
            for (char32_t c = 0x3400; c <= 0x4DB5; c += 7)
                pool.push_back({static_cast<char>(0xE0 | (c >> 12)),
                                static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
                                static_cast<char>(0x80 | (c & 0x3F))});
            return pool;
        }();
        return kRare;
    }

    std::mt19937 random_;
};

struct Tally {
    int files = 0, refused = 0, misread = 0;
    std::string firstMisread; // its names, for the failure
};

// How files of these UTF-8 names fare, saved in `encoding`: misread when
// some name reads as other characters.
void Count(const std::vector<std::string> &names, Encoding encoding, Tally &tally) {
    std::vector<std::string> fields;
    for (const std::string &name : names)
        fields.push_back(encoding == Encoding::Utf8 ? name : Gbk(name));
    const Verdict verdict = Decide(fields);
    ++tally.files;
    if (verdict.outcome == Outcome::Refused || verdict.outcome == Outcome::CannotRead) {
        ++tally.refused;
        return;
    }
    const Encoding read = verdict.outcome == Outcome::Utf8 ? Encoding::Utf8 : Encoding::Gbk;
    for (std::size_t i = 0; i < names.size(); ++i)
        if (ToUtf8(fields[i], read) != names[i]) {
            if (tally.misread++ == 0)
                for (const std::string &name : names)
                    tally.firstMisread += name + " ";
            return;
        }
}

void Report(const char *kind, const Tally &tally) {
    std::printf("%-48s %5d files: %4d refused, %d misread\n", kind, tally.files, tally.refused,
                tally.misread);
}

constexpr int kFiles = 4000;

// Files of realistic Chinese names, 3 to 60 of them, in GBK and in UTF-8:
// none is refused, none misread.
TEST(EncodingDecision, ReadsEveryFileOfRealisticChineseNames) {
    for (const Encoding encoding : {Encoding::Gbk, Encoding::Utf8}) {
        Names names(encoding == Encoding::Gbk ? 2201 : 2202);
        Tally tally;
        for (int file = 0; file < kFiles; ++file) {
            std::vector<std::string> list;
            for (int n = 3 + names.Below(58); n > 0; --n)
                list.push_back(names.Chinese());
            Count(list, encoding, tally);
        }
        Report(encoding == Encoding::Gbk ? "GBK, Chinese names" : "UTF-8, Chinese names", tally);
        EXPECT_EQ(tally.refused, 0);
        EXPECT_EQ(tally.misread, 0) << tally.firstMisread;
    }
}

// ASCII names with one or two short Chinese ones (小营, 叶坪, 一, 平): GBK
// bytes of one or two characters are often UTF-8 too, as Latin, Greek or
// Cyrillic letters. At most 1 in 500 such GBK files is refused; none is
// misread. Names of ASCII and Chinese together (BM路1: BM·1 in UTF-8) may be
// refused more often, and are never misread either.
TEST(EncodingDecision, ReadsAsciiNamesWithAFewShortChineseOnes) {
    for (const bool mixed : {false, true})
        for (const Encoding encoding : {Encoding::Gbk, Encoding::Utf8}) {
            Names names((encoding == Encoding::Gbk ? 2203 : 2204) + (mixed ? 10 : 0));
            Tally tally;
            for (int file = 0; file < kFiles; ++file) {
                std::vector<std::string> list;
                for (int n = 4 + names.Below(57); n > 0; --n)
                    list.push_back(names.Ascii());
                for (int n = 1 + names.Below(2); n > 0; --n) {
                    const int at = names.Below(static_cast<int>(list.size()) + 1);
                    list.insert(list.begin() + at, mixed ? names.Mixed() : names.Short());
                }
                Count(list, encoding, tally);
            }
            const std::string kind = std::string(encoding == Encoding::Gbk ? "GBK" : "UTF-8") +
                                     ", ASCII names and 1 or 2 " +
                                     (mixed ? "of ASCII and Chinese" : "short Chinese");
            Report(kind.c_str(), tally);
            if (!mixed) {
                EXPECT_LE(tally.refused * 500, tally.files) << kind;
            }
            EXPECT_EQ(tally.misread, 0) << kind << ": " << tally.firstMisread;
        }
}

// ASCII names with one to three that hold a symbol (N°1, BM·1, A², △A),
// and names in European letters: never misread. A file whose only symbols
// are of Latin-1 may be refused (GBK reads °, ·, ² as 掳, 路, 虏 just as well).
TEST(EncodingDecision, NeverMisreadsSymbolsOrEuropeanLetters) {
    for (const Encoding encoding : {Encoding::Utf8, Encoding::Gbk}) {
        Names names(encoding == Encoding::Utf8 ? 2205 : 2206);
        Tally tally;
        for (int file = 0; file < kFiles; ++file) {
            std::vector<std::string> list;
            for (int n = 4 + names.Below(40); n > 0; --n)
                list.push_back(names.Ascii());
            for (int n = 1 + names.Below(3); n > 0; --n) {
                const int at = names.Below(static_cast<int>(list.size()) + 1);
                list.insert(list.begin() + at, names.WithSymbol());
            }
            Count(list, encoding, tally);
        }
        Report(encoding == Encoding::Utf8 ? "UTF-8, ASCII names and 1 to 3 with symbols"
                                          : "GBK, ASCII names and 1 to 3 with symbols",
               tally);
        EXPECT_EQ(tally.misread, 0) << tally.firstMisread;
    }
    Names names(2207);
    Tally tally;
    for (int file = 0; file < kFiles; ++file) {
        std::vector<std::string> list;
        for (int n = 2 + names.Below(30); n > 0; --n)
            list.push_back(names.Ascii());
        for (int n = 1 + names.Below(3); n > 0; --n) {
            const int at = names.Below(static_cast<int>(list.size()) + 1);
            list.insert(list.begin() + at, names.European());
        }
        Count(list, Encoding::Utf8, tally);
    }
    Report("UTF-8, ASCII names and 1 to 3 European", tally);
    EXPECT_EQ(tally.misread, 0) << tally.firstMisread;
}

// The rule itself, on files of every kind above and of both encodings at
// once: a file is never read in an encoding under which some name is no
// name (NameCost kNeverInName, or no text) while the other encoding reads
// every name as one.
TEST(EncodingDecision, NeverReadsANameThatIsNoNameWhereTheOtherReadingHasNone) {
    Names names(2208);
    const auto cost = [](const std::string &field, Encoding encoding) {
        const std::string text = ToUtf8(field, encoding);
        return text.empty() ? kNeverInName : NameCost(Text(text));
    };
    int read = 0;
    for (int file = 0; file < kFiles; ++file) {
        std::vector<std::string> fields;
        for (int n = 1 + names.Below(8); n > 0; --n) {
            const int kind = names.Below(6);
            std::string name = kind == 0   ? names.Chinese()
                               : kind == 1 ? names.Short()
                               : kind == 2 ? names.Mixed()
                               : kind == 3 ? names.WithSymbol()
                               : kind == 4 ? names.European()
                                           : names.Ascii();
            if (names.Chance(50))
                name = Gbk(name);
            fields.push_back(name);
        }
        const Verdict verdict = Decide(fields);
        if (verdict.outcome != Outcome::Gbk && verdict.outcome != Outcome::Utf8)
            continue;
        ++read;
        const Encoding chosen = verdict.outcome == Outcome::Utf8 ? Encoding::Utf8 : Encoding::Gbk;
        const Encoding other = chosen == Encoding::Utf8 ? Encoding::Gbk : Encoding::Utf8;
        bool noName = false, otherAllNames = true;
        for (const std::string &field : fields) {
            noName = noName || cost(field, chosen) >= kNeverInName;
            otherAllNames = otherAllNames && cost(field, other) < kNeverInName;
        }
        EXPECT_FALSE(noName && otherAllNames)
            << "file " << file << " read as " << NameOf(verdict.outcome);
    }
    EXPECT_GT(read, kFiles / 4); // the rule was put to the test
}

TEST(ToReportEncoding, WritesGbkAndGb18030ForWhatGbkLacks) {
    const struct {
        const char *name;
        std::string in;
        Encoding from;
        std::string out;
    } cases[] = {
        {"GBK stays as it is", "\xB5\xE3", Encoding::Gbk, "\xB5\xE3"},
        {"UTF-8 becomes GBK", "石桥-1", Encoding::Utf8, "\xCA\xAF\xC7\xC5-1"},
        {"a character outside GBK in GB18030",
         "A\xF0\xA0\x80\x80"
         "B",
         Encoding::Utf8,
         "A\x95\x32\x82\x36"
         "B"},
        {"a stray byte becomes ?",
         "A\xFF"
         "B",
         Encoding::Utf8, "A?B"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ToReportEncoding(c.in, c.from), c.out) << c.name;
}

TEST(ToUtf8, DecodesForMessagesOrGivesNothing) {
    EXPECT_EQ(ToUtf8("\xCA\xAF\xC7\xC5", Encoding::Gbk), "石桥");
    EXPECT_EQ(ToUtf8("石桥", Encoding::Utf8), "石桥");
    EXPECT_EQ(ToUtf8("\xCA\xAF\xC7", Encoding::Gbk), ""); // cut off
    EXPECT_EQ(ToUtf8("\xB5\xE3", Encoding::Utf8), "");    // GBK bytes
}

TEST(UnreadableUnicode, NamesUtf16AndUtf32ByTheirMarksOrTheirNulBytes) {
    const struct {
        const char *name;
        std::string start;
        const char *unicode;
    } cases[] = {
        {"UTF-16LE mark",
         "\xFF\xFE"
         "A",
         "UTF-16"},
        {"UTF-16BE mark", "\xFE\xFF", "UTF-16"},
        {"UTF-32LE mark", std::string("\xFF\xFE\0\0", 4), "UTF-32"},
        {"UTF-32BE mark", std::string("\0\0\xFE\xFF", 4), "UTF-32"},
        {"UTF-16LE without a mark", std::string("P\0001\0,\0001\0", 8), "UTF-16"},
        {"UTF-16BE without a mark", std::string("\0P\0001\0,\0001", 8), "UTF-16"},
        {"UTF-32LE without a mark", std::string("P\0\0\0001\0\0\0", 8), "UTF-32"},
        {"UTF-8 mark",
         "\xEF\xBB\xBF"
         "A",
         nullptr},
        {"plain text", "P1,1,2,3\r\n", nullptr},
        {"a single NUL", std::string("P1,1,\0002,3\r\n", 11), nullptr},
    };
    for (const auto &c : cases) {
        const char *unicode = UnreadableUnicode(c.start);
        EXPECT_EQ(unicode == nullptr ? std::string("none") : unicode,
                  c.unicode == nullptr ? std::string("none") : c.unicode)
            << c.name;
    }
}

} // namespace
} // namespace kovarim
