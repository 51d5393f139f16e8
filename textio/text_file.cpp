#include "textio/text_file.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "base/error.h"
#include "textio/path_names.h"
#include "textio/platform.h"

namespace kovarim {
namespace {

std::FILE *OpenOrThrow(const std::string &path, TextFileWriter::Mode mode) {
    if (path.empty())
        throw Error("文件名为空");
    RefuseDeviceName(path);
    if (platform::KindOf(path) == platform::Kind::Folder)
        throw Error::InFile(path, "是文件夹，不是文件");
    std::string reason;
    std::FILE *file = platform::OpenForWriting(path, mode == TextFileWriter::Mode::Append, reason);
    if (file == nullptr)
        throw Error::InFile(path, "无法创建或写入文件（" + reason + "）");
    return file;
}

} // namespace

TextFileWriter::TextFileWriter(std::string path, Mode mode)
    : TextFileWriter(OpenOrThrow(path, mode), path) {}

TextFileWriter::TextFileWriter(std::FILE *stream, std::string name)
    : path_(std::move(name)), file_(stream) {
    if (file_ == nullptr)
        throw Error::InFile(path_, "无法创建或写入文件");
    std::setvbuf(file_, nullptr, _IOFBF, 1 << 16);
}

TextFileWriter::TextFileWriter(std::string name) : path_(std::move(name)), inMemory_(true) {}

TextFileWriter::~TextFileWriter() {
    if (file_ != nullptr)
        std::fclose(file_);
}

void TextFileWriter::Write(std::string_view bytes) {
    if (inMemory_) {
        memory_ += bytes;
        return;
    }
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size())
        throw Error::InFile(path_, "写入文件失败（" + platform::LastReason() + "）");
}

long long TextFileWriter::Length() {
    if (inMemory_)
        return static_cast<long long>(memory_.size());
    if (!platform::IsRegular(file_))
        return 0; // a device or a pipe has no length to ask about
    std::string reason;
    const long long length = platform::LengthOf(file_, reason);
    if (length < 0)
        throw Error::InFile(path_, "无法读取文件长度（" + reason + "）");
    return length;
}

void TextFileWriter::Truncate() {
    if (inMemory_) {
        memory_.clear();
        return;
    }
    std::string reason;
    if (platform::IsRegular(file_) && !platform::Truncate(file_, reason))
        throw Error::InFile(path_, "无法清空文件（" + reason + "）");
}

void TextFileWriter::Close(bool durable) {
    if (file_ == nullptr)
        return;
    std::string reason;
    bool ok = std::fflush(file_) == 0;
    if (!ok)
        reason = platform::LastReason();
    else if (durable && platform::IsRegular(file_))
        ok = platform::SyncToDisk(file_, reason);
    const bool closed = std::fclose(file_) == 0;
    if (ok && !closed)
        reason = platform::LastReason();
    file_ = nullptr;
    if (!ok || !closed)
        throw Error::InFile(path_, "写入文件失败（" + reason + "）");
}

ReplacementFile::ReplacementFile(std::string finalPath)
    : finalPath_(std::move(finalPath)), target_(finalPath_) {
    if (finalPath_.empty())
        throw Error("文件名为空");
    RefuseDeviceName(finalPath_);
    std::string reason;
    const platform::Kind kind = platform::KindOf(finalPath_);
    if (kind == platform::Kind::Folder)
        throw Error::InFile(finalPath_, "是文件夹，不是文件");
    if (kind == platform::Kind::Other) {
        writer_ = std::make_unique<TextFileWriter>(finalPath_);
        return;
    }
    // The file a symbolic link leads to is the one replaced; the link stays.
    target_ = platform::FollowLinks(finalPath_);
    // As a plain open would find: a read-only file is refused, not renamed over.
    if (kind == platform::Kind::Regular && !platform::CanWrite(target_, reason))
        throw Error::InFile(finalPath_, "文件不能写入（" + reason + "）");
    bool folderDenied = false;
    std::FILE *stream = platform::CreateBeside(target_, temporaryPath_, folderDenied, reason);
    if (stream == nullptr)
        throw Error::InFile(
            finalPath_, (folderDenied ? "文件夹 " : "无法在文件夹 ") + platform::FolderOf(target_) +
                            (folderDenied ? " 不能写入（" : " 中写入文件（") + reason + "）");
    try {
        writer_ = std::make_unique<TextFileWriter>(stream, finalPath_);
    } catch (...) {
        platform::Remove(temporaryPath_);
        throw;
    }
}

ReplacementFile::~ReplacementFile() {
    if (!committed_ && !placed_ && !temporaryPath_.empty()) {
        writer_.reset();
        platform::Remove(temporaryPath_);
    }
}

void ReplacementFile::Finish() { writer_->Close(/*durable=*/true); }

void ReplacementFile::Commit() {
    if (temporaryPath_.empty()) {
        // A device or a pipe: written in place, as it stands.
        TextFileWriter device(target_, TextFileWriter::Mode::Replace);
        device.Write(writer_->bytes());
        device.Close();
        committed_ = true;
        return;
    }
    Finish();
    PutInPlace();
    committed_ = true;
}

void ReplacementFile::MoveOldAside() {
    const platform::Kind kind = platform::KindOf(target_);
    if (kind == platform::Kind::Missing)
        return;
    if (kind == platform::Kind::Folder) // since the file was begun
        throw Error::InFile(finalPath_, "是文件夹，不是文件");
    // A name of our own beside it, taken by creating a file, which the old one replaces.
    std::string reason;
    bool folderDenied = false;
    std::FILE *placeholder = platform::CreateBeside(target_, asidePath_, folderDenied, reason);
    if (placeholder == nullptr) {
        asidePath_.clear();
        throw Error::InFile(finalPath_, "无法在文件夹 " + platform::FolderOf(target_) +
                                            " 中写入文件（" + reason + "）");
    }
    std::fclose(placeholder);
    if (!platform::Replace(target_, asidePath_, reason)) {
        platform::Remove(asidePath_);
        asidePath_.clear();
        throw Error::InFile(finalPath_, "无法替换文件（" + reason + "）");
    }
}

void ReplacementFile::PutInPlace() {
    std::string reason;
    if (!platform::Replace(temporaryPath_, target_, reason))
        throw Error::InFile(finalPath_, "无法替换文件（" + reason + "）");
    placed_ = true;
}

std::string ReplacementFile::Undo() {
    std::string reason;
    if (!asidePath_.empty()) {
        // Over the new file, if it got there, in one step.
        if (!platform::Replace(asidePath_, target_, reason))
            return finalPath_ + " 原来的内容现在在 " + asidePath_ + "（" + reason + "）";
        asidePath_.clear();
    } else if (placed_) {
        platform::Remove(target_); // there was none before
    }
    return {};
}

void ReplacementFile::DropOld() {
    if (!asidePath_.empty())
        platform::Remove(asidePath_);
    committed_ = true;
}

void CommitAll(std::initializer_list<ReplacementFile *> files) {
    std::vector<ReplacementFile *> renamed, inPlace;
    for (ReplacementFile *file : files)
        if (file != nullptr)
            (file->WritesInPlace() ? inPlace : renamed).push_back(file);
    if (renamed.size() + inPlace.size() == 1) {
        (renamed.empty() ? inPlace : renamed).front()->Commit(); // one rename: nothing to undo
        return;
    }
    std::vector<std::string> written; // devices: what they got cannot be taken back
    try {
        for (ReplacementFile *file : renamed)
            file->Finish();
        for (ReplacementFile *file : renamed)
            file->MoveOldAside();
        for (ReplacementFile *file : renamed)
            file->PutInPlace();
        // Last, so that a device that fails still finds every file as it was.
        for (ReplacementFile *file : inPlace) {
            file->Commit();
            written.push_back(file->finalPath());
        }
    } catch (const Error &e) {
        std::string kept;
        for (auto file = renamed.rbegin(); file != renamed.rend(); ++file) {
            const std::string left = (*file)->Undo();
            if (!left.empty())
                kept += (kept.empty() ? "" : "；") + left;
        }
        std::string note = "没有改变任何文件，原有文件都保持原样";
        if (!kept.empty())
            note = "未能全部还原：" + kept;
        else if (!written.empty())
            note = "文件都保持原样，但已写入 " + written.front();
        throw e.Restated(e.problem() + "；" + note);
    }
    for (ReplacementFile *file : renamed)
        file->DropOld();
}

} // namespace kovarim
