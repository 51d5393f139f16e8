#include "textio/column_printer.h"

#include "textio/number_text.h"

namespace kovarim {

ColumnPrinter &ColumnPrinter::Text(std::string_view bytes) {
    line_ += bytes;
    return *this;
}

ColumnPrinter &ColumnPrinter::Number(double value) { return Text(PrintedNumber(value)); }

ColumnPrinter &ColumnPrinter::Column(std::size_t n) {
    std::size_t target = n > 0 ? n - 1 : 0; // bytes that stand before column n
    if (line_.size() > target)
        EndLine();
    line_.append(target - line_.size(), ' ');
    return *this;
}

void ColumnPrinter::EndLine() {
    line_ += "\r\n";
    out_.Write(line_);
    line_.clear();
}

} // namespace kovarim
