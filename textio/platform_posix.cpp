// The file operations of the program on POSIX systems.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <random>

#include "textio/platform.h"

namespace kovarim::platform {
namespace {

std::string Reason() { return std::strerror(errno); }

std::FILE *Open(const std::string &path, const char *mode, std::string &reason) {
    if (KindOf(path) == Kind::Folder) {
        errno = EISDIR;
        reason = Reason();
        return nullptr;
    }
    std::FILE *file = std::fopen(path.c_str(), mode);
    if (file == nullptr)
        reason = Reason();
    return file;
}

} // namespace

std::FILE *OpenForReading(const std::string &path, std::string &reason) {
    return Open(path, "rb", reason);
}

std::FILE *OpenForWriting(const std::string &path, bool append, std::string &reason) {
    return Open(path, append ? "ab" : "wb", reason);
}

Kind KindOf(const std::string &path) {
    struct stat status;
    if (stat(path.c_str(), &status) != 0)
        return Kind::Missing;
    if (S_ISREG(status.st_mode))
        return Kind::Regular;
    return S_ISDIR(status.st_mode) ? Kind::Folder : Kind::Other;
}

bool IsRegular(std::FILE *stream) {
    struct stat status;
    return fstat(fileno(stream), &status) == 0 && S_ISREG(status.st_mode);
}

std::string FollowLinks(const std::string &path) {
    std::string name = path;
    for (int depth = 0; depth < 40; ++depth) {
        char target[PATH_MAX];
        const ssize_t length = readlink(name.c_str(), target, sizeof target - 1);
        if (length < 0)
            return name; // not a link (or nothing there)
        const std::string link(target, static_cast<std::size_t>(length));
        name = link.front() == '/' ? link : FolderOf(name) + "/" + link;
    }
    return name;
}

bool SameFile(const std::string &a, const std::string &b) {
    struct stat sa, sb;
    const bool hasA = stat(a.c_str(), &sa) == 0, hasB = stat(b.c_str(), &sb) == 0;
    if (hasA && hasB)
        return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    if (hasA || hasB)
        return false;
    // Neither is there yet: the same name after the links and in the same folder.
    const std::string fa = FollowLinks(a), fb = FollowLinks(b);
    const auto name = [](const std::string &p) { return p.substr(p.find_last_of('/') + 1); };
    return name(fa) == name(fb) && (fa == fb || SameFile(FolderOf(fa), FolderOf(fb)));
}

bool SameFile(std::FILE *stream, const std::string &path) {
    struct stat ss, sp;
    return fstat(fileno(stream), &ss) == 0 && stat(path.c_str(), &sp) == 0 &&
           ss.st_dev == sp.st_dev && ss.st_ino == sp.st_ino;
}

bool CanWrite(const std::string &path, std::string &reason) {
    const int fd = open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        reason = Reason();
        return false;
    }
    close(fd);
    return true;
}

std::FILE *CreateBeside(const std::string &beside, std::string &created, bool &folderDenied,
                        std::string &reason) {
    static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::random_device random;
    const std::string folder = FolderOf(beside);
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        created = folder + "/.kovarim-";
        for (int i = 0; i < 6; ++i)
            created += kDigits[random() % 36];
        // O_EXCL: never takes over another's file.
        fd = open(created.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        folderDenied = errno == EACCES || errno == EPERM || errno == EROFS;
        reason = Reason();
        return nullptr;
    }
    std::FILE *stream = fdopen(fd, "wb");
    if (stream == nullptr) {
        reason = Reason();
        close(fd);
        unlink(created.c_str());
    }
    return stream;
}

bool SyncToDisk(std::FILE *stream, std::string &reason) {
    if (std::fflush(stream) == 0 && fsync(fileno(stream)) == 0)
        return true;
    reason = Reason();
    return false;
}

bool Truncate(std::FILE *stream, std::string &reason) {
    if (std::fflush(stream) == 0 && ftruncate(fileno(stream), 0) == 0)
        return true;
    reason = Reason();
    return false;
}

bool Replace(const std::string &from, const std::string &to, std::string &reason) {
    if (std::rename(from.c_str(), to.c_str()) == 0)
        return true;
    reason = Reason();
    return false;
}

void Remove(const std::string &path) { unlink(path.c_str()); }

std::string FolderOf(const std::string &path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

void GuardStandardStreams() {
    for (int fd = 0; fd <= 2; ++fd)
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF)
            open("/dev/null", fd == 0 ? O_WRONLY : O_RDONLY); // takes the lowest free number
}

} // namespace kovarim::platform
