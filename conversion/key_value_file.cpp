#include "conversion/key_value_file.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "base/error.h"
#include "textio/encoding.h"
#include "textio/path_names.h"
#include "textio/platform.h"

namespace kovarim {
namespace {

std::string Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r");
    return std::string(text.substr(first, last - first + 1));
}

std::string ReadSmallFile(const std::string &path) {
    constexpr std::size_t kLimit = 64 * 1024;
    if (path.empty())
        throw Error("参数文件名为空");
    RefuseDeviceName(path);
    if (platform::KindOf(path) == platform::Kind::Folder)
        throw Error::InFile(path, "是文件夹，不是文件");
    std::string reason;
    std::FILE *file = platform::OpenForReading(path, reason);
    if (file == nullptr)
        throw Error::InFile(path, "无法打开文件（" + reason + "）");
    std::string text(kLimit + 1, '\0');
    const std::size_t size = std::fread(text.data(), 1, text.size(), file);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed)
        throw Error::InFile(path, "读取文件失败");
    if (size > kLimit)
        throw Error::InFile(path, "文件过大，不是参数文件");
    text.resize(size);
    return text;
}

} // namespace

const KeyValueLine *KeyValueFile::Find(const std::string &key) const {
    for (const KeyValueLine &line : lines)
        if (line.key == key)
            return &line;
    return nullptr;
}

KeyValueFile ReadKeyValueFile(const std::string &path) {
    const std::string text = ReadSmallFile(path);
    if (const char *unicode = UnreadableUnicode(text))
        throw Error::InFile(path, UnreadableUnicodeMessage(unicode));
    KeyValueFile file{path, {}};
    long long number = 0;
    for (std::size_t start = 0; start < text.size(); ++number) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (number == 0 && line.compare(0, kUtf8Mark.size(), kUtf8Mark) == 0)
            line.erase(0, kUtf8Mark.size());
        const std::string content = Trimmed(line);
        if (content.empty() || content[0] == '#')
            continue;
        const auto equals = content.find('=');
        if (equals == std::string::npos)
            throw Error::AtLine(path, number + 1, "应为“键 = 值”");
        file.lines.push_back({number + 1, Trimmed(std::string_view(content).substr(0, equals)),
                              Trimmed(std::string_view(content).substr(equals + 1))});
    }
    return file;
}

} // namespace kovarim
