#pragma once

#include <string>
#include <string_view>

namespace kovarim {

// The text with A to Z made a to z, and every other byte as it is: keys and
// names typed on a command line, matched whatever their case.
inline std::string AsciiLowercase(std::string_view text) {
    std::string lower(text);
    for (char &c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

} // namespace kovarim
