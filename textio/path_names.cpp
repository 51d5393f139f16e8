#include "textio/path_names.h"

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

std::string DropLastCharacters(std::string_view name, std::size_t count) {
    std::size_t end = name.size();
    for (std::size_t dropped = 0; dropped < count && end > 0; ++dropped) {
        --end;
        while (end > 0 && IsContinuationByte(name[end]))
            --end;
    }
    return std::string(name.substr(0, end));
}

} // namespace kovarim
