#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "base/error.h"

namespace kovarim::testkit {

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

// The Error that `action` throws. When it throws none, the test fails and the
// Error returned says "<no error>".
Error ErrorThrownBy(const std::function<void()> &action);

} // namespace kovarim::testkit
