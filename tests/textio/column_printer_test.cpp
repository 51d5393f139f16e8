#include "textio/column_printer.h"

#include <gtest/gtest.h>

#include "testkit.h"

namespace kovarim {
namespace {

std::string Print(void (*fill)(ColumnPrinter &)) {
    testkit::TempDir dir;
    const std::string path = dir.Path("out.txt");
    TextFileWriter file(path, TextFileWriter::Mode::Replace);
    ColumnPrinter out(file);
    fill(out);
    file.Close();
    return testkit::ReadBytes(path);
}

TEST(ColumnPrinter, PadsToTheColumnCountingFromOne) {
    EXPECT_EQ(Print([](ColumnPrinter &p) { p.Text("ab").Column(5).Text("c").EndLine(); }),
              "ab  c\r\n");
}

TEST(ColumnPrinter, WritesNothingWhenAlreadyAtTheColumn) {
    EXPECT_EQ(Print([](ColumnPrinter &p) { p.Text("abcd").Column(5).Text("e").EndLine(); }),
              "abcde\r\n");
}

TEST(ColumnPrinter, StartsANewLineWhenTheLineReachesPastTheColumn) {
    EXPECT_EQ(Print([](ColumnPrinter &p) { p.Text("abcde").Column(5).Text("f").EndLine(); }),
              "abcde\r\n    f\r\n");
}

TEST(ColumnPrinter, GivesAChineseCharacterTwoColumns) {
    // GBK 点, then GB18030's four bytes for U+20000, which GBK lacks.
    EXPECT_EQ(Print([](ColumnPrinter &p) { p.Text("\xB5\xE3").Column(4).Text("x").EndLine(); }),
              "\xB5\xE3 x\r\n");
    EXPECT_EQ(
        Print([](ColumnPrinter &p) { p.Text("\x95\x32\x82\x36").Column(4).Text("x").EndLine(); }),
        "\x95\x32\x82\x36 x\r\n");
}

TEST(ColumnPrinter, PrintsNumbersWithSignPositionAndTrailingSpace) {
    EXPECT_EQ(Print([](ColumnPrinter &p) { p.Number(2).Column(5).Number(-0.5).EndLine(); }),
              " 2  -0.5 \r\n");
}

} // namespace
} // namespace kovarim
