#include "textio/column_printer.h"

#include "textio/number_text.h"

namespace kovarim {

ColumnPrinter &ColumnPrinter::Text(std::string_view bytes) {
    line_ += bytes;
    return *this;
}

ColumnPrinter &ColumnPrinter::Number(double value) { return Text(PrintedNumber(value)); }

std::size_t ColumnPrinter::Columns() const {
    std::size_t columns = 0;
    for (std::size_t i = 0; i < line_.size();) {
        const auto c = static_cast<unsigned char>(line_[i]);
        const bool lead = c >= 0x81 && c <= 0xFE && i + 1 < line_.size();
        if (!lead) {
            columns += 1, i += 1; // ASCII, or a stray byte
        } else if (line_[i + 1] >= '0' && line_[i + 1] <= '9' && i + 3 < line_.size()) {
            columns += 2, i += 4; // a four-byte GB18030 character
        } else {
            columns += 2, i += 2; // a GBK character
        }
    }
    return columns;
}

ColumnPrinter &ColumnPrinter::Column(std::size_t n) {
    std::size_t target = n > 0 ? n - 1 : 0; // columns that stand before column n
    if (Columns() > target)
        EndLine();
    line_.append(target - Columns(), ' ');
    return *this;
}

void ColumnPrinter::EndLine() {
    line_ += "\r\n";
    out_.Write(line_);
    line_.clear();
}

} // namespace kovarim
