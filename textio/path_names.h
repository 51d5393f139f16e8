#pragma once

#include <string>
#include <string_view>

namespace kovarim {

// File names are UTF-8 bytes (the file system's encoding here). The program
// derives its output names by dropping the last characters of the name that
// was chosen, normally the extension ".txt".

// Number of characters (not bytes) in a UTF-8 name.
std::size_t CharacterCount(std::string_view name);

// `path` less the last `count` characters of its file name; a file name no
// longer than that goes whole, but never its folder, so that what is named
// after the file stays beside it.
std::string DropLastCharacters(const std::string &path, std::size_t count);

// A name for a file being written in `folder` before it takes another's
// place: ".kovarim-" and six random letters or digits, short so that a long
// but valid final name still leaves room. Another call gives another name.
std::string TemporaryNameIn(const std::string &folder);

// Throws Error naming the file when the system takes `path` for a device
// (Windows' CON, NUL, COM1, aux.txt, ...), whose reading would wait on a
// serial port or the console: called before a file is opened for reading
// or an output is begun.
void RefuseDeviceName(const std::string &path);

} // namespace kovarim
