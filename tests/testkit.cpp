#include "testkit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace kovarim::testkit {

TempDir::TempDir() {
    std::random_device seed;
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto candidate =
            std::filesystem::temp_directory_path() / ("kovarim-test-" + std::to_string(seed()));
        if (std::filesystem::create_directory(candidate)) {
            dir_ = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::permissions(dir_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(dir_, ignored);
}

std::string TempDir::Path(const std::string &name) const { return (dir_ / name).string(); }

std::string TempDir::Write(const std::string &name, const std::string &bytes) const {
    const std::string path = Path(name);
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
    return path;
}

std::vector<std::string> TempDir::Names() const {
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(dir_))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string ReadBytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Error ErrorThrownBy(const std::function<void()> &action) {
    try {
        action();
    } catch (const Error &e) {
        return e;
    }
    ADD_FAILURE() << "no Error was thrown";
    return Error("<no error>");
}

} // namespace kovarim::testkit
