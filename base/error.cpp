#include "base/error.h"

namespace kovarim {
namespace {

std::string Compose(const std::string &file, long long line, int field,
                    const std::string &problem) {
    std::string text;
    if (!file.empty())
        text += "文件 " + file + "\n";
    if (line > 0)
        text += "第 " + std::to_string(line) + " 行";
    if (field > 0)
        text += (line > 0 ? "，" : "") + std::string("第 ") + std::to_string(field) + " 个字段";
    if (line > 0 || field > 0)
        text += "：";
    return text + problem;
}

} // namespace

std::string QuotedForMessage(const std::string &utf8) {
    std::size_t characters = 0;
    for (char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F)
            return {};                       // a control character
        characters += (byte & 0xC0) != 0x80; // continuation bytes do not start one
    }
    if (utf8.empty() || characters > 40)
        return {};
    return " “" + utf8 + "”";
}

Error::Error(std::string file, long long line, int field, std::string problem)
    : std::runtime_error(Compose(file, line, field, problem)), file_(std::move(file)), line_(line),
      field_(field), problem_(std::move(problem)) {}

} // namespace kovarim
