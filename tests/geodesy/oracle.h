#pragma once

#include <charconv>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace kovarim::oracle {

// The rows of a table in tests/geodesy/oracle/, split at blanks, comments
// (lines starting with #) left out. Fails the test when it cannot be read.
inline std::vector<std::vector<std::string>> Rows(const std::string &name) {
    const std::string path = std::string(KOVARIM_SOURCE_DIR) + "/tests/geodesy/oracle/" + name;
    std::ifstream in(path);
    if (!in)
        ADD_FAILURE() << "cannot read " << path;
    std::vector<std::vector<std::string>> rows;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream words(line);
        std::vector<std::string> row;
        for (std::string word; words >> word;)
            row.push_back(word);
        rows.push_back(row);
    }
    return rows;
}

// A decimal or hexadecimal (0x...) number of a table, read the same way on
// every system.
inline double Number(const std::string &text) {
    std::string_view t = text;
    const bool negative = !t.empty() && t[0] == '-';
    if (negative || (!t.empty() && t[0] == '+'))
        t.remove_prefix(1);
    const bool hex = t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X');
    if (hex)
        t.remove_prefix(2);
    double value = 0.0;
    const auto [end, ec] =
        std::from_chars(t.data(), t.data() + t.size(), value,
                        hex ? std::chars_format::hex : std::chars_format::general);
    if (ec != std::errc() || end != t.data() + t.size())
        throw std::runtime_error("not a number in an oracle table: " + text);
    return negative ? -value : value;
}

} // namespace kovarim::oracle
