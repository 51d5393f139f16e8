#include "textio/text_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>

#include "base/error.h"

namespace kovarim {
namespace {

std::string SystemReason() { return std::strerror(errno); }

} // namespace

TextFileWriter::TextFileWriter(std::string path, Mode mode)
    : TextFileWriter(std::fopen(path.c_str(), mode == Mode::Replace ? "wb" : "ab"), path) {}

TextFileWriter::TextFileWriter(std::FILE *stream, std::string name)
    : path_(std::move(name)), file_(stream) {
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

void TextFileWriter::Truncate() {
    if (std::fflush(file_) != 0 || ftruncate(fileno(file_), 0) != 0)
        throw Error::InFile(path_, "无法清空文件（" + SystemReason() + "）");
}

void TextFileWriter::Close(bool durable) {
    if (file_ == nullptr)
        return;
    bool ok = std::fflush(file_) == 0 && (!durable || fsync(fileno(file_)) == 0);
    std::string reason = ok ? std::string() : SystemReason();
    ok = (std::fclose(file_) == 0) && ok;
    file_ = nullptr;
    if (!ok)
        throw Error::InFile(path_,
                            "写入文件失败（" + (reason.empty() ? SystemReason() : reason) + "）");
}

ReplacementFile::ReplacementFile(std::string finalPath) : finalPath_(std::move(finalPath)) {
    // A new name beside the final one; O_EXCL never takes over another's file.
    std::random_device random;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporaryPath_ = finalPath_ + ".kovarim-" + std::to_string(random());
        fd = open(temporaryPath_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0)
        throw Error::InFile(finalPath_, "无法创建或写入文件（" + SystemReason() + "）");
    std::FILE *stream = fdopen(fd, "wb");
    if (stream == nullptr)
        close(fd);
    try {
        writer_ = std::make_unique<TextFileWriter>(stream, finalPath_);
    } catch (...) {
        unlink(temporaryPath_.c_str());
        throw;
    }
}

ReplacementFile::~ReplacementFile() {
    if (!committed_) {
        writer_.reset();
        unlink(temporaryPath_.c_str());
    }
}

void ReplacementFile::Finish() { writer_->Close(/*durable=*/true); }

void ReplacementFile::Commit() {
    Finish();
    if (std::rename(temporaryPath_.c_str(), finalPath_.c_str()) != 0)
        throw Error::InFile(finalPath_, "无法替换文件（" + SystemReason() + "）");
    committed_ = true;
}

} // namespace kovarim
