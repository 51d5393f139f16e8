#include "textio/path_names.h"

#include <random>

#include "base/error.h"
#include "textio/platform.h"

namespace kovarim {
namespace {

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

} // namespace

std::size_t CharacterCount(std::string_view name) {
    std::size_t count = 0;
    for (char c : name)
        if (!IsContinuationByte(c))
            ++count;
    return count;
}

std::string DropLastCharacters(const std::string &path, std::size_t count) {
    const std::size_t start = platform::NameStart(path);
    std::size_t end = path.size();
    for (std::size_t dropped = 0; dropped < count && end > start; ++dropped) {
        --end;
        while (end > start && IsContinuationByte(path[end]))
            --end;
    }
    return path.substr(0, end);
}

std::string TemporaryNameIn(const std::string &folder) {
    static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::random_device random;
    // Windows takes no slash for a separator in a \\?\ name.
    const char *separator = folder.rfind("\\\\?\\", 0) == 0 ? "\\" : "/";
    std::string name = folder + separator + ".kovarim-";
    for (int i = 0; i < 6; ++i)
        name += kDigits[random() % 36];
    return name;
}

void RefuseDeviceName(const std::string &path) {
    if (platform::IsDeviceName(path))
        throw Error::InFile(path, "是 Windows 保留的设备名（CON、PRN、AUX、NUL、COM1 至 COM9、"
                                  "LPT1 至 LPT9，带扩展名也一样），不是文件；请另选文件名");
}

} // namespace kovarim
