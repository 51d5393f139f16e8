#include "textio/text_file.h"

#include <cerrno>
#include <cstring>

#include "base/error.h"

namespace kovarim {
namespace {

std::string SystemReason() { return std::strerror(errno); }

} // namespace

TextFileWriter::TextFileWriter(std::string path, Mode mode) : path_(std::move(path)) {
    file_ = std::fopen(path_.c_str(), mode == Mode::Replace ? "wb" : "ab");
    if (file_ == nullptr)
        throw Error::InFile(path_, "无法创建或写入文件（" + SystemReason() + "）");
    std::setvbuf(file_, nullptr, _IOFBF, 1 << 16);
}

TextFileWriter::~TextFileWriter() {
    if (file_ != nullptr)
        std::fclose(file_);
}

void TextFileWriter::Write(std::string_view bytes) {
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size())
        throw Error::InFile(path_, "写入文件失败（" + SystemReason() + "）");
}

long long TextFileWriter::Length() {
    if (std::fflush(file_) != 0 || std::fseek(file_, 0, SEEK_END) != 0)
        throw Error::InFile(path_, "无法读取文件长度（" + SystemReason() + "）");
    return std::ftell(file_);
}

void TextFileWriter::Close() {
    if (file_ == nullptr)
        return;
    bool ok = std::fflush(file_) == 0;
    std::string reason = ok ? std::string() : SystemReason();
    ok = (std::fclose(file_) == 0) && ok;
    file_ = nullptr;
    if (!ok)
        throw Error::InFile(path_,
                            "写入文件失败（" + (reason.empty() ? SystemReason() : reason) + "）");
}

void DeleteFile(const std::string &path) {
    if (std::remove(path.c_str()) != 0 && errno != ENOENT)
        throw Error::InFile(path, "无法删除文件（" + SystemReason() + "）");
}

} // namespace kovarim
