#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "base/error.h"

namespace kovarim::testkit {

// Paths are UTF-8 in the program. The standard library reads a narrow path
// in the ANSI code page on Windows, so tests hand it these.
std::filesystem::path Fs(const std::string &utf8);
std::string Utf8(const std::filesystem::path &path);
bool Exists(const std::string &path);

// `name` made another name of the file `target`: a symbolic link, or on
// Windows, where only administrators may make those, a hard link.
void MakeAnotherName(const std::string &target, const std::string &name);

// What stands for a device that swallows everything: /dev/null, or NUL by
// its name in the device space (the bare name NUL is refused).
#ifdef _WIN32
inline constexpr const char *kNullDevice = "\\\\.\\NUL";
#else
inline constexpr const char *kNullDevice = "/dev/null";
#endif

// A pipe under a name, read by this process: a FIFO in `folder`, or a
// Windows named pipe. Whatever is written into it waits there for Received.
class NamedPipe {
  public:
    explicit NamedPipe(const class TempDir &folder);
    ~NamedPipe();
    NamedPipe(const NamedPipe &) = delete;
    NamedPipe &operator=(const NamedPipe &) = delete;

    const std::string &path() const { return path_; }
    // What was written so far (the writer has closed it).
    std::string Received();

  private:
    std::string path_;
    std::intptr_t reader_ = -1;
};

// A fresh folder under the system's temporary folder, removed with its
// contents when the object goes.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    // The full name of `name` inside the folder.
    std::string Path(const std::string &name) const;
    // Writes `bytes` to `name` inside the folder and returns its full name.
    std::string Write(const std::string &name, const std::string &bytes) const;
    // The names of what the folder holds, sorted.
    std::vector<std::string> Names() const;

  private:
    std::filesystem::path dir_;
};

std::string ReadBytes(const std::string &path);

#ifndef _WIN32
// What `action` returns when the user nobody runs it, in a child process: how
// root meets what permission bits forbid.
std::string AsNobody(const std::function<std::string()> &action);

// Files stop growing at `bytes` while it lives, in this process and the ones
// it starts: a write past that fails as on a full disk (EFBIG; the signal
// that would come with it is ignored).
class FileSizeLimit {
  public:
    explicit FileSizeLimit(unsigned long long bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

  private:
    unsigned long long saved_ = 0;
    void (*signal_)(int) = nullptr;
};
#endif

// The Error that `action` throws. When it throws none, the test fails and the
// Error returned says "<no error>".
Error ErrorThrownBy(const std::function<void()> &action);

} // namespace kovarim::testkit
