#pragma once

#include <cstdio>
#include <memory>
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
    // Writes to an open stream (taking it over); errors name `name`.
    TextFileWriter(std::FILE *stream, std::string name);
    ~TextFileWriter();
    TextFileWriter(const TextFileWriter &) = delete;
    TextFileWriter &operator=(const TextFileWriter &) = delete;

    void Write(std::string_view bytes);
    long long Length(); // the current length of the file in bytes
    void Truncate();    // empties the file; appending goes on from its start
    // Flushes, and with `durable` waits until the bytes are on the disk;
    // throws when what was written did not get there.
    void Close(bool durable = false);

    const std::string &path() const { return path_; }

  private:
    std::string path_;
    std::FILE *file_ = nullptr;
};

// A file written under a temporary name beside its final one and put in
// place by a rename only once it is complete and on the disk: a failure at
// any point leaves an earlier file of the final name as it was, and no one
// ever sees a file half written. Errors name the final file.
class ReplacementFile {
  public:
    explicit ReplacementFile(std::string finalPath);
    ~ReplacementFile(); // removes the temporary file unless it was put in place
    ReplacementFile(const ReplacementFile &) = delete;
    ReplacementFile &operator=(const ReplacementFile &) = delete;

    TextFileWriter &writer() { return *writer_; }
    const std::string &finalPath() const { return finalPath_; }
    // Flushes to the disk and closes; throws when the bytes did not get there.
    void Finish();
    // Finishes if that is not done yet, then renames over the final name.
    void Commit();

  private:
    std::string finalPath_;
    std::string temporaryPath_;
    std::unique_ptr<TextFileWriter> writer_;
    bool committed_ = false;
};

} // namespace kovarim
