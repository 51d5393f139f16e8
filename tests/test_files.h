#pragma once

#include <filesystem>
#include <string>

namespace kovarim::testing {

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

  private:
    std::filesystem::path dir_;
};

std::string ReadBytes(const std::string &path);

} // namespace kovarim::testing
