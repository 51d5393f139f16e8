#pragma once

#include <cstdio>
#include <initializer_list>
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
    // Keeps what is written in memory (bytes()); errors name `name`.
    explicit TextFileWriter(std::string name);
    ~TextFileWriter();
    TextFileWriter(const TextFileWriter &) = delete;
    TextFileWriter &operator=(const TextFileWriter &) = delete;

    void Write(std::string_view bytes);
    // The current length of the file in bytes; 0 for what is not an ordinary
    // file (a device, a pipe), which is written as it stands.
    long long Length();
    void Truncate(); // empties an ordinary file; appending goes on from its start
    // Flushes, and with `durable` waits until the bytes are on the disk;
    // throws when what was written did not get there.
    void Close(bool durable = false);

    const std::string &path() const { return path_; }
    const std::string &bytes() const { return memory_; }

  private:
    std::string path_;
    std::FILE *file_ = nullptr;
    bool inMemory_ = false;
    std::string memory_;
};

// A file written whole before it takes the place of an earlier one: a
// failure at any point leaves the earlier file as it was, and no one ever
// sees a file half written. Errors name the final file.
//
//  - An ordinary file, or none yet: written under a short temporary name in
//    the same folder, flushed to the disk, and renamed over the final name.
//  - A symbolic link: the file it leads to is replaced so; the link stays.
//  - A device or a pipe (/dev/null, /dev/stdout): kept in memory, then
//    written into it in place; it is never renamed over.
//  - A folder, or a file that a plain open could not write (read-only):
//    refused at once, before anything is written.
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
    // Finishes if that is not done yet, then puts the file in place.
    void Commit();
    // A device or a pipe: written only at Commit, where the write may fail.
    bool WritesInPlace() const { return temporaryPath_.empty(); }

  private:
    friend void CommitAll(std::initializer_list<ReplacementFile *> files);
    // The steps of CommitAll, for a file that is renamed into place.
    void MoveOldAside();
    void PutInPlace();
    std::string Undo(); // what could not be undone, or nothing
    void DropOld();

    std::string finalPath_;     // as given, for messages
    std::string target_;        // what it stands for after symbolic links
    std::string temporaryPath_; // empty when written in place
    std::string asidePath_;     // the earlier file, while CommitAll needs it back
    std::unique_ptr<TextFileWriter> writer_;
    bool placed_ = false;
    bool committed_ = false;
};

// Puts several files in place, all or nothing: every earlier file is moved
// aside under a temporary name, the new ones are renamed into their places,
// then devices and pipes are written; when any step fails, the files already
// put in place are taken out again, the earlier ones put back, and the Error
// says that nothing changed. The earlier files go only once all are in place.
// Null entries are skipped; a single file is simply committed.
void CommitAll(std::initializer_list<ReplacementFile *> files);

} // namespace kovarim
