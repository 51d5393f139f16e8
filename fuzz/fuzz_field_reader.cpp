// The field reader on any bytes: it ends, every field is within its limit,
// lines only advance, a Number field reads back to its value, and the bytes of
// the fields never outnumber the bytes of the input.
#include <cstdio>
#include <string>

#include "base/error.h"
#include "fuzz_check.h"
#include "textio/field_reader.h"
#include "textio/number_text.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, std::size_t size) {
    std::string bytes(reinterpret_cast<const char *>(data), size);
    std::FILE *stream = fmemopen(bytes.data(), bytes.size() == 0 ? 1 : bytes.size(), "rb");
    if (bytes.empty())
        std::fgetc(stream); // an empty stream: fmemopen wants at least one byte
    try {
        kovarim::FieldReader reader(stream, "fuzz");
        long lastLine = 1;
        std::size_t fieldBytes = 0, fields = 0;
        while (!reader.AtEnd()) {
            const kovarim::Field field = reader.Next();
            FUZZ_CHECK(field.bytes.size() <= kovarim::FieldReader::kMaxFieldBytes);
            FUZZ_CHECK(field.line >= lastLine);
            lastLine = field.line;
            fieldBytes += field.bytes.size();
            FUZZ_CHECK(fieldBytes <= size);
            FUZZ_CHECK(++fields <= size);
            if (field.kind == kovarim::FieldKind::Number) {
                const auto parsed = kovarim::ParseFieldNumber(field.bytes);
                FUZZ_CHECK(parsed.status == kovarim::NumberParse::Ok);
                FUZZ_CHECK(parsed.value == field.number);
            }
            if (field.kind == kovarim::FieldKind::Empty)
                FUZZ_CHECK(field.bytes.empty());
        }
    } catch (const kovarim::Error &e) {
        FUZZ_CHECK(e.file() == "fuzz");
    }
    return 0;
}
