#pragma once

#include <string>
#include <string_view>

#include "textio/text_file.h"

namespace kovarim {

// Writes lines of items at column positions, the way a line printer would:
// items follow each other with no separator; Column(n) pads with spaces up to
// column n (counted from 1); when the line already reaches past column n, the
// line is ended and the next one is padded up to n. Lines end in CR LF.
//
// Text is GBK, or GB18030 for what GBK lacks. A character takes the columns
// it takes in a fixed-width font: one for each ASCII byte, two for a GBK
// character, and two for a four-byte GB18030 one as well.
class ColumnPrinter {
  public:
    explicit ColumnPrinter(TextFileWriter &out) : out_(out) {}

    ColumnPrinter &Text(std::string_view bytes);
    ColumnPrinter &Number(double value); // in the printed form: sign or space, digits, space
    ColumnPrinter &Column(std::size_t n);
    void EndLine();

  private:
    std::size_t Columns() const;

    TextFileWriter &out_;
    std::string line_;
};

} // namespace kovarim
