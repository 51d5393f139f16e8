// The file operations of the program on POSIX systems.
#include <fcntl.h>
#include <iconv.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "textio/path_names.h"
#include "textio/platform.h"

namespace kovarim::platform {
namespace {

// The common reasons in Chinese, in the words the Windows build uses too; the
// C library's for the rest.
std::string Reason(int code) {
    switch (code) {
    case ENOENT:
        return "找不到该文件或文件夹";
    case EACCES:
    case EPERM:
        return "拒绝访问";
    case ENOSPC:
        return "磁盘已满";
    case EDQUOT:
        return "超出磁盘配额";
    case EROFS:
        return "文件系统是只读的";
    case EBUSY:
    case ETXTBSY:
        return "文件正在被使用";
    case EISDIR:
        return "是文件夹";
    default:
        return std::strerror(code);
    }
}

std::string Reason() { return Reason(errno); }

// One iconv conversion; each thread makes its own.
class Converter {
  public:
    Converter(const char *to, const char *from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter &) = delete;
    Converter &operator=(const Converter &) = delete;

    // Appends all of `in` converted to `out`; false, with nothing appended,
    // at a byte sequence it cannot convert.
    bool Convert(std::string_view in, std::string &out) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char *inPtr = const_cast<char *>(in.data());
        std::size_t inLeft = in.size();
        const std::size_t before = out.size();
        while (inLeft > 0) { // GBK and UTF-8 have no shift state to end
            char buffer[256];
            char *outPtr = buffer;
            std::size_t outLeft = sizeof buffer;
            const std::size_t result = iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft);
            out.append(buffer, sizeof buffer - outLeft);
            if (result == static_cast<std::size_t>(-1) && errno != E2BIG) {
                out.resize(before);
                return false;
            }
        }
        return true;
    }

  private:
    iconv_t cd_;
};

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

// Gives a new file the owner, group and mode of the one it is to replace, as
// far as the user may: another's owner only root may give, a group of the
// user's own anyone. What cannot be given stays the user's; false then.
bool TakeOver(int fd, const struct stat &old) {
    const bool owner = fchown(fd, old.st_uid, old.st_gid) == 0;
    const bool group = owner || fchown(fd, static_cast<uid_t>(-1), old.st_gid) == 0;
    const bool mode = fchmod(fd, old.st_mode & 0777) == 0;
    return owner && group && mode;
}

} // namespace

std::string LastReason() { return Reason(); }

bool IsDeviceName(const std::string &) { return false; } // devices live under /dev

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

long long LengthOf(std::FILE *stream, std::string &reason) {
    struct stat status;
    if (std::fflush(stream) == 0 && fstat(fileno(stream), &status) == 0)
        return status.st_size;
    reason = Reason();
    return -1;
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
    // A file that is there already hands on its mode, owner and group; until
    // it has them the new one is the program's alone.
    struct stat old;
    const bool replaces = stat(beside.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        created = TemporaryNameIn(FolderOf(beside));
        // O_EXCL: never takes over another's file.
        fd = open(created.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, replaces ? 0600 : 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        folderDenied = errno == EACCES || errno == EPERM || errno == EROFS;
        reason = Reason();
        return nullptr;
    }
    if (replaces)
        TakeOver(fd, old);
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

std::size_t NameStart(const std::string &path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? 0 : slash + 1;
}

std::FILE *OpenTemporary(std::string &reason) {
    // glibc's tmpfile opens the file without a name (O_TMPFILE) or unlinks it at once.
    std::FILE *file = std::tmpfile();
    if (file == nullptr)
        reason = Reason();
    return file;
}

bool GbkToUtf8(std::string_view gbk, std::string &utf8) {
    thread_local Converter fromGbk("UTF-8", "GBK");
    return fromGbk.Convert(gbk, utf8);
}

bool Utf8ToGbk(std::string_view utf8, std::string &gbk) {
    thread_local Converter toGbk("GBK", "UTF-8");
    return toGbk.Convert(utf8, gbk);
}

bool IsTerminal(std::FILE *stream) { return isatty(fileno(stream)) == 1; }

void GuardStandardStreams() {
    for (int fd = 0; fd <= 2; ++fd)
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF)
            open("/dev/null", fd == 0 ? O_WRONLY : O_RDONLY); // takes the lowest free number
}

void WriteFailuresAsErrors() { std::signal(SIGXFSZ, SIG_IGN); }

namespace {
std::atomic<bool> *interruptStop = nullptr;
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");
void Interrupted(int) { interruptStop->store(true); }
} // namespace

void StopOnInterrupt(std::atomic<bool> &stop) {
    interruptStop = &stop;
    // What a user sends on purpose ends the program the second time; a
    // hangup or a closed pipe may well come twice by itself.
    const struct {
        int signal;
        bool once;
    } signals[] = {
        {SIGINT, true}, {SIGTERM, true}, {SIGQUIT, true}, {SIGHUP, false}, {SIGPIPE, false}};
    for (const auto &s : signals) {
        struct sigaction old {};
        if (sigaction(s.signal, nullptr, &old) != 0 || old.sa_handler == SIG_IGN)
            continue;
        struct sigaction action {};
        action.sa_handler = Interrupted;
        sigemptyset(&action.sa_mask);
        // Without SA_RESTART: a read that waits (a pipe, a terminal) gives up
        // at once, and the work sees `stop`.
        action.sa_flags = s.once ? SA_RESETHAND : 0;
        sigaction(s.signal, &action, nullptr);
    }
}

void UseStandardStreamsForBytes() {} // POSIX streams are bytes already

bool WriteBytes(std::FILE *stream, std::string_view bytes) {
    return std::fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size();
}

bool WriteText(std::FILE *stream, std::string_view utf8) {
    return std::fwrite(utf8.data(), 1, utf8.size(), stream) == utf8.size() &&
           std::fflush(stream) == 0;
}

} // namespace kovarim::platform
