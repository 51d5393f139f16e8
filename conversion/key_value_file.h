#pragma once

#include <string>
#include <vector>

namespace kovarim {

// A small text file of "key = value" lines and "#" comments, as the
// parameter files are written: UTF-8, LF or CR LF, a byte order mark
// allowed. Blank lines and comments are skipped; blanks around keys and
// values are not part of them.
struct KeyValueLine {
    long long line = 0; // from 1
    std::string key, value;
};

struct KeyValueFile {
    std::string path;
    std::vector<KeyValueLine> lines; // in file order

    // The first line with `key`, or nullptr.
    const KeyValueLine *Find(const std::string &key) const;
};

// Reads the file whole (a parameter file is a dozen lines). Throws Error
// naming the file for an empty name, a device name, a folder, a file that
// cannot be opened or read, one of more than 64 KiB, UTF-16 or UTF-32, and,
// with its line, a line that is not "key = value".
KeyValueFile ReadKeyValueFile(const std::string &path);

} // namespace kovarim
