#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace kovarim {

// A text file opened for writing. Bytes go out unchanged; every failure
// (cannot create, cannot write, disk full on the final flush) throws Error
// naming the file. The destructor closes without throwing.
class TextFileWriter {
  public:
    enum class Mode {
        Replace, // create, or empty an existing file
        Append,  // create, or keep what is there and write after it
    };

    TextFileWriter(std::string path, Mode mode);
    ~TextFileWriter();
    TextFileWriter(const TextFileWriter &) = delete;
    TextFileWriter &operator=(const TextFileWriter &) = delete;

    void Write(std::string_view bytes);
    long long Length(); // the current length of the file in bytes
    void Close();       // flushes; throws when what was written did not reach the disk

    const std::string &path() const { return path_; }

  private:
    std::string path_;
    std::FILE *file_ = nullptr;
};

// Deletes a file; throws Error when it exists and cannot be deleted.
void DeleteFile(const std::string &path);

} // namespace kovarim
