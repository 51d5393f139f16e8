// The operating system's part on Windows: wide (UTF-16) Win32 calls for
// files, code page 936 for GBK. Paths are UTF-8 everywhere else.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <random>

#include "textio/path_names.h"
#include "textio/platform.h"

namespace kovarim::platform {
namespace {

// UTF-8 and UTF-16 both ways; false for what is not valid in its encoding.
bool Widen(std::string_view utf8, std::wstring &wide) {
    wide.clear();
    if (utf8.empty())
        return true;
    const int size = static_cast<int>(utf8.size());
    const int length =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
    if (length <= 0)
        return false;
    wide.resize(static_cast<std::size_t>(length));
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, wide.data(),
                               length) == length;
}

bool Narrow(std::wstring_view wide, UINT codePage, std::string &out) {
    if (wide.empty())
        return true;
    const int size = static_cast<int>(wide.size());
    // UTF-8 takes every character (a lone surrogate becomes U+FFFD); other
    // code pages tell of a character they lack by the default character
    // they put in its place.
    const DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL defaulted = FALSE;
    BOOL *usedDefault = codePage == CP_UTF8 ? nullptr : &defaulted;
    const int length =
        WideCharToMultiByte(codePage, flags, wide.data(), size, nullptr, 0, nullptr, usedDefault);
    if (length <= 0 || defaulted)
        return false;
    const std::size_t before = out.size();
    out.resize(before + static_cast<std::size_t>(length));
    if (WideCharToMultiByte(codePage, flags, wide.data(), size, out.data() + before, length,
                            nullptr, usedDefault) != length ||
        defaulted) {
        out.resize(before);
        return false;
    }
    return true;
}

std::string Utf8(std::wstring_view wide) {
    std::string text;
    return Narrow(wide, CP_UTF8, text) ? text : std::string();
}

// A path for the wide calls; empty for one that is not UTF-8 (no file has
// such a name here), which every call then fails on as on a missing file.
std::wstring Wide(const std::string &path) {
    std::wstring wide;
    if (!Widen(path, wide))
        return {};
    // Beyond MAX_PATH (less room for a file name in a new folder) only the
    // \\?\ form of a full path reaches a file.
    if (wide.size() < MAX_PATH - 12 || wide.rfind(L"\\\\", 0) == 0)
        return wide;
    const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    std::wstring full(size, L'\0');
    const DWORD length = GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size)
        return wide;
    full.resize(length);
    return L"\\\\?\\" + full;
}

// The common reasons in Chinese, in the words the other systems' build uses
// too; the C library's words for the rest.
std::string ErrnoReason(int code) {
    switch (code) {
    case ENOENT:
        return "找不到该文件或文件夹";
    case EACCES:
    case EPERM:
        return "拒绝访问";
    case ENOSPC:
        return "磁盘已满";
    case EROFS:
        return "文件系统是只读的";
    case EBUSY:
        return "文件正在被使用";
    case EISDIR:
        return "是文件夹";
    default:
        return std::strerror(code);
    }
}

constexpr const char *kReadOnlyFile = "文件是只读的";

// The common reasons as above; the system's own message for the rest.
std::string Reason(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
        return ErrnoReason(ENOENT);
    case ERROR_INVALID_NAME:
        return "文件名不合法";
    case ERROR_ACCESS_DENIED:
        return ErrnoReason(EACCES);
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
        return "文件正在被另一个程序使用";
    case ERROR_WRITE_PROTECT:
        return "磁盘有写保护";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ErrnoReason(ENOSPC);
    default:
        break;
    }
    wchar_t *message = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t *>(&message), 0, nullptr);
    std::wstring_view text(message, message != nullptr ? length : 0);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L'.'))
        text.remove_suffix(1);
    std::string reason = text.empty() ? "error " + std::to_string(error) : Utf8(text);
    LocalFree(message);
    return reason;
}

std::string Reason() { return ErrnoReason(errno); }

std::size_t LastSeparator(const std::string &path) { return path.find_last_of("/\\"); }

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// \\.\ (the device space) or \\?\ (names as they stand) at the start.
bool HasPrefix(const std::string &path, char kind) {
    return path.size() >= 4 && IsSeparator(path[0]) && IsSeparator(path[1]) && path[2] == kind &&
           IsSeparator(path[3]);
}

// The names DOS reserved in every folder, as Windows tells them: the last
// part of the path up to its first dot or colon, less trailing blanks, in
// any case; COM and LPT take the digits 1 to 9 and the Latin-1 superscripts.
bool ReservedForADevice(const std::string &path) {
    if (HasPrefix(path, '?'))
        return false; // \\?\C:\aux.txt is a file of that name
    // In the device space only a pipe and the null device are anything the
    // program reads or writes: \\.\COM1 would wait for a serial line,
    // \\.\PhysicalDrive0 is a whole disk.
    if (HasPrefix(path, '.')) {
        std::string rest = path.substr(4);
        for (char &c : rest)
            c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
        return !(rest == "NUL" || rest.rfind("PIPE\\", 0) == 0 || rest.rfind("PIPE/", 0) == 0);
    }
    std::size_t start = LastSeparator(path);
    start = start != std::string::npos ? start + 1 : path.size() >= 2 && path[1] == ':' ? 2 : 0;
    std::string base = path.substr(start, path.find_first_of(".:", start) - start);
    while (!base.empty() && base.back() == ' ')
        base.pop_back();
    for (char &c : base)
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    for (const char *name : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
        if (base == name)
            return true;
    if (base.rfind("COM", 0) != 0 && base.rfind("LPT", 0) != 0)
        return false;
    const std::string digit = base.substr(3);
    return (digit.size() == 1 && digit[0] >= '1' && digit[0] <= '9') || digit == "¹" ||
           digit == "²" || digit == "³";
}

// Names of devices and pipes: the device space (\\.\pipe\name, \\.\COM10) and
// the names DOS reserved. Told by the name alone: opening a pipe to ask
// would take its one reader.
bool NamesADevice(const std::string &path) {
    return HasPrefix(path, '.') || ReservedForADevice(path);
}

HANDLE HandleOf(std::FILE *stream) {
    return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
}

// A handle that only asks about the file (folders too), sharing everything.
class Inquiry {
  public:
    explicit Inquiry(const std::string &path)
        : handle_(NamesADevice(path)
                      ? INVALID_HANDLE_VALUE
                      : CreateFileW(Wide(path).c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)) {}
    ~Inquiry() {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
    }
    Inquiry(const Inquiry &) = delete;
    Inquiry &operator=(const Inquiry &) = delete;
    HANDLE handle() const { return handle_; }

  private:
    HANDLE handle_;
};

// The volume and file index that name one file, whatever the names.
bool IdentityOf(HANDLE handle, BY_HANDLE_FILE_INFORMATION &info) {
    return handle != INVALID_HANDLE_VALUE && GetFileType(handle) == FILE_TYPE_DISK &&
           GetFileInformationByHandle(handle, &info) != 0;
}

bool SameIdentity(const BY_HANDLE_FILE_INFORMATION &a, const BY_HANDLE_FILE_INFORMATION &b) {
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
           a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

// Windows opens no file marked read-only for writing; said here too, where
// the system would let an administrator (wine running as root) through.
bool MarkedReadOnly(const std::string &path) {
    const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

// A stream over an open handle, which it then owns; on failure the handle
// is closed.
std::FILE *StreamOf(HANDLE handle, int flags, const char *mode, std::string &reason) {
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), flags | _O_BINARY);
    std::FILE *stream = fd < 0 ? nullptr : _fdopen(fd, mode);
    if (stream == nullptr) {
        reason = Reason();
        if (fd < 0)
            CloseHandle(handle);
        else
            _close(fd);
    }
    return stream;
}

// A new file under the first free name that `next` makes up (CREATE_NEW
// never takes over another's file); `error` says why there is none.
template <typename Names>
HANDLE CreateNew(Names next, DWORD access, DWORD share, DWORD attributes, DWORD &error) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const HANDLE handle =
            CreateFileW(next().c_str(), access, share, nullptr, CREATE_NEW, attributes, nullptr);
        error = GetLastError();
        if (handle != INVALID_HANDLE_VALUE || error != ERROR_FILE_EXISTS)
            return handle;
    }
    return INVALID_HANDLE_VALUE;
}

// A stream over a handle that CreateFileW opens; the handle is not
// inherited by programs this one starts.
std::FILE *Open(const std::string &path, DWORD access, DWORD disposition, int flags,
                const char *mode, std::string &reason) {
    if (KindOf(path) == Kind::Folder) {
        errno = EISDIR;
        reason = Reason();
        return nullptr;
    }
    std::wstring wide;
    if (!Widen(path, wide)) {
        reason = Reason(ERROR_INVALID_NAME);
        return nullptr;
    }
    if ((access & GENERIC_WRITE) != 0 && MarkedReadOnly(path)) {
        reason = kReadOnlyFile;
        return nullptr;
    }
    const HANDLE handle =
        CreateFileW(wide.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        reason = Reason(GetLastError());
        return nullptr;
    }
    return StreamOf(handle, flags, mode, reason);
}

// A name as Windows resolves it before a file system sees it: the full path
// with back slashes, "." and ".." gone, and the dots and blanks Windows drops
// dropped (a last part's trailing ones, another part's one trailing dot).
// A \\?\ name reaches the file system as it stands, less its prefix. Empty
// for a name that cannot be resolved.
std::wstring Resolved(const std::string &path) {
    std::wstring wide;
    if (!Widen(path, wide) || wide.empty())
        return {};
    if (wide.rfind(L"\\\\?\\", 0) == 0)
        return wide.rfind(L"\\\\?\\UNC\\", 0) == 0 ? L"\\\\" + wide.substr(8) : wide.substr(4);
    const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    std::wstring full(size, L'\0');
    const DWORD length = size == 0 ? 0 : GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size)
        return {};
    full.resize(length);
    std::wstring resolved;
    for (std::size_t start = 0; start <= full.size();) {
        const std::size_t end = std::min(full.find(L'\\', start), full.size());
        std::wstring part = full.substr(start, end - start);
        const bool last = end == full.size();
        if (last)
            while (!part.empty() && (part.back() == L'.' || part.back() == L' '))
                part.pop_back();
        else if (part.back() == L'.' && part.find_first_not_of(L'.') != std::wstring::npos)
            part.pop_back();
        resolved += part;
        if (!last)
            resolved += L'\\';
        start = end + 1;
    }
    return resolved;
}

// Names compared as Windows compares them, in either case.
bool SameText(std::wstring_view a, std::wstring_view b) {
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// Whether two resolved names of nothing yet would be one file: the same last
// part in folders that are one (by their identity, whatever names they go
// by), or would be.
bool SameResolvedName(const std::wstring &a, const std::wstring &b) {
    if (SameText(a, b))
        return true;
    const std::size_t sa = a.find_last_of(L'\\'), sb = b.find_last_of(L'\\');
    if (sa == std::wstring::npos || sb == std::wstring::npos ||
        !SameText(std::wstring_view(a).substr(sa + 1), std::wstring_view(b).substr(sb + 1)))
        return false;
    const std::wstring folderA = a.substr(0, sa), folderB = b.substr(0, sb);
    const auto root = [](std::wstring folder) { // "C:" stands for the drive's root here
        return folder.size() == 2 && folder[1] == L':' ? folder + L'\\' : folder;
    };
    BY_HANDLE_FILE_INFORMATION ia, ib;
    const Inquiry fa(Utf8(root(folderA))), fb(Utf8(root(folderB)));
    const bool hasA = IdentityOf(fa.handle(), ia), hasB = IdentityOf(fb.handle(), ib);
    if (hasA || hasB)
        return hasA && hasB && SameIdentity(ia, ib);
    return SameResolvedName(folderA, folderB);
}

} // namespace

std::string LastReason() { return Reason(); }

bool IsDeviceName(const std::string &path) { return ReservedForADevice(path); }

std::FILE *OpenForReading(const std::string &path, std::string &reason) {
    return Open(path, GENERIC_READ, OPEN_EXISTING, _O_RDONLY, "rb", reason);
}

std::FILE *OpenForWriting(const std::string &path, bool append, std::string &reason) {
    // A device or a pipe is opened as it is; a file is made, or emptied.
    const DWORD disposition = KindOf(path) == Kind::Other ? OPEN_EXISTING
                              : append                    ? OPEN_ALWAYS
                                                          : CREATE_ALWAYS;
    return Open(path, GENERIC_WRITE, disposition, append ? _O_WRONLY | _O_APPEND : _O_WRONLY,
                append ? "ab" : "wb", reason);
}

Kind KindOf(const std::string &path) {
    if (NamesADevice(path))
        return Kind::Other;
    const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return Kind::Missing;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? Kind::Folder : Kind::Regular;
}

bool IsRegular(std::FILE *stream) { return GetFileType(HandleOf(stream)) == FILE_TYPE_DISK; }

long long LengthOf(std::FILE *stream, std::string &reason) {
    // ftell's long has 32 bits here: a file of 4 GB would seem empty.
    if (std::fflush(stream) != 0) {
        reason = Reason();
        return -1;
    }
    LARGE_INTEGER size;
    if (GetFileSizeEx(HandleOf(stream), &size) != 0)
        return size.QuadPart;
    reason = Reason(GetLastError());
    return -1;
}

std::string FollowLinks(const std::string &path) {
    const DWORD attributes =
        NamesADevice(path) ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(Wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
        return path;
    const Inquiry file(path); // opening follows the link
    const DWORD flags = FILE_NAME_NORMALIZED | VOLUME_NAME_DOS;
    const DWORD size = file.handle() == INVALID_HANDLE_VALUE
                           ? 0
                           : GetFinalPathNameByHandleW(file.handle(), nullptr, 0, flags);
    std::wstring target(size, L'\0');
    const DWORD length =
        size == 0 ? 0 : GetFinalPathNameByHandleW(file.handle(), target.data(), size, flags);
    if (length == 0 || length >= size)
        return path; // a link to nothing: replaced as it stands
    target.resize(length);
    // The final name comes as \\?\C:\... or \\?\UNC\server\...
    if (target.rfind(L"\\\\?\\UNC\\", 0) == 0)
        target.replace(0, 8, L"\\\\");
    else if (target.rfind(L"\\\\?\\", 0) == 0)
        target.erase(0, 4);
    return Utf8(target);
}

bool SameFile(const std::string &a, const std::string &b) {
    BY_HANDLE_FILE_INFORMATION ia, ib;
    const Inquiry fa(a), fb(b);
    const bool hasA = IdentityOf(fa.handle(), ia), hasB = IdentityOf(fb.handle(), ib);
    if (hasA && hasB)
        return SameIdentity(ia, ib);
    if (hasA || hasB || KindOf(a) != Kind::Missing || KindOf(b) != Kind::Missing)
        return false;
    // Neither is there yet: the same name, as Windows resolves names, in the
    // same folder.
    const std::wstring ra = Resolved(a), rb = Resolved(b);
    return !ra.empty() && !rb.empty() && SameResolvedName(ra, rb);
}

bool SameFile(std::FILE *stream, const std::string &path) {
    BY_HANDLE_FILE_INFORMATION is, ip;
    const Inquiry file(path);
    return IdentityOf(HandleOf(stream), is) && IdentityOf(file.handle(), ip) &&
           SameIdentity(is, ip);
}

bool CanWrite(const std::string &path, std::string &reason) {
    // Marked read-only: no open writes it, nor may a replacement take its place.
    if (MarkedReadOnly(path)) {
        reason = kReadOnlyFile;
        return false;
    }
    const HANDLE handle = CreateFileW(Wide(path).c_str(), GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        reason = Reason(GetLastError());
        return false;
    }
    CloseHandle(handle);
    return true;
}

std::FILE *CreateBeside(const std::string &beside, std::string &created, bool &folderDenied,
                        std::string &reason) {
    const auto next = [&] {
        created = TemporaryNameIn(FolderOf(beside));
        return Wide(created);
    };
    // A file that is there already hands on its attributes (hidden, system,
    // not indexed); read-only never gets this far, and a new file is to be
    // archived anyway.
    const DWORD kept =
        FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    const DWORD old = KindOf(beside) == Kind::Regular ? GetFileAttributesW(Wide(beside).c_str())
                                                      : INVALID_FILE_ATTRIBUTES;
    const DWORD attributes =
        old != INVALID_FILE_ATTRIBUTES && (old & kept) != 0 ? old & kept : FILE_ATTRIBUTE_NORMAL;
    DWORD error = ERROR_SUCCESS;
    const HANDLE handle = CreateNew(next, GENERIC_WRITE, FILE_SHARE_READ, attributes, error);
    if (handle == INVALID_HANDLE_VALUE) {
        folderDenied = error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT;
        reason = Reason(error);
        return nullptr;
    }
    // Not every attribute can be given at creation (not indexed cannot);
    // times of 0 stay as they are.
    if (attributes != FILE_ATTRIBUTE_NORMAL) {
        FILE_BASIC_INFO basic{};
        basic.FileAttributes = attributes | FILE_ATTRIBUTE_ARCHIVE;
        SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof basic);
    }
    std::FILE *stream = StreamOf(handle, _O_WRONLY, "wb", reason);
    if (stream == nullptr)
        Remove(created);
    return stream;
}

bool SyncToDisk(std::FILE *stream, std::string &reason) {
    if (std::fflush(stream) != 0) {
        reason = Reason();
        return false;
    }
    if (FlushFileBuffers(HandleOf(stream)) != 0)
        return true;
    reason = Reason(GetLastError());
    return false;
}

bool Truncate(std::FILE *stream, std::string &reason) {
    if (std::fflush(stream) == 0 && _chsize(_fileno(stream), 0) == 0)
        return true;
    reason = Reason();
    return false;
}

bool Replace(const std::string &from, const std::string &to, std::string &reason) {
    // One step that replaces an existing file (rename would refuse it), and
    // returns only once the change is on the disk.
    if (MoveFileExW(Wide(from).c_str(), Wide(to).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0)
        return true;
    reason = Reason(GetLastError());
    return false;
}

void Remove(const std::string &path) { DeleteFileW(Wide(path).c_str()); }

std::string FolderOf(const std::string &path) {
    const std::size_t separator = LastSeparator(path);
    const bool drive = path.size() >= 2 && path[1] == ':';
    if (separator == std::string::npos)
        return drive ? path.substr(0, 2) : ".";
    // The root of a drive or of the current drive keeps its separator.
    if (separator == 0 || (drive && separator == 2))
        return path.substr(0, separator + 1);
    return path.substr(0, separator);
}

std::size_t NameStart(const std::string &path) {
    const std::size_t separator = LastSeparator(path);
    if (separator != std::string::npos)
        return separator + 1;
    return path.size() >= 2 && path[1] == ':' ? 2 : 0; // "C:name", in the drive's current folder
}

std::FILE *OpenTemporary(std::string &reason) {
    // tmpfile would make its file in the root of the drive, where users may
    // not write; this one lives in the user's temporary folder, is shared
    // with no one, and goes when its handle closes, whatever ends the program.
    wchar_t folder[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH) {
        reason = Reason(GetLastError());
        return nullptr;
    }
    std::random_device random;
    const auto next = [&] {
        return std::wstring(folder, length) + L"kovarim-" + std::to_wstring(random()) + L".tmp";
    };
    DWORD error = ERROR_SUCCESS;
    const HANDLE handle = CreateNew(next, GENERIC_READ | GENERIC_WRITE, 0,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, error);
    if (handle == INVALID_HANDLE_VALUE) {
        reason = Reason(error);
        return nullptr;
    }
    return StreamOf(handle, _O_RDWR, "w+b", reason);
}

bool GbkToUtf8(std::string_view gbk, std::string &utf8) {
    if (gbk.empty())
        return true;
    const int size = static_cast<int>(gbk.size());
    const int length = MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, gbk.data(), size, nullptr, 0);
    if (length <= 0)
        return false;
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    return MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, gbk.data(), size, wide.data(), length) ==
               length &&
           Narrow(wide, CP_UTF8, utf8);
}

bool Utf8ToGbk(std::string_view utf8, std::string &gbk) {
    std::wstring wide;
    return Widen(utf8, wide) && Narrow(wide, 936, gbk);
}

bool IsTerminal(std::FILE *stream) {
    DWORD mode = 0;
    return GetConsoleMode(HandleOf(stream), &mode) != 0;
}

void WriteFailuresAsErrors() {} // a write past a quota fails as it is

void GuardStandardStreams() {
    // A stream the caller gave no handle has a free number, which the next
    // file opened would take; NUL takes it instead, opened so that writes to
    // standard output and error fail and reads of standard input do.
    for (int fd = 0; fd <= 2; ++fd) {
        const intptr_t handle = _get_osfhandle(fd);
        if (handle != -1 && handle != -2 && handle != 0)
            continue;
        const int nul = _wopen(L"NUL", fd == 0 ? _O_WRONLY : _O_RDONLY);
        if (nul >= 0 && nul != fd) {
            _dup2(nul, fd);
            _close(nul);
        }
    }
}

namespace {
std::atomic<bool> *interruptStop = nullptr;
std::atomic<bool> breakSeen{false};

// Called on a thread of its own.
BOOL WINAPI ConsoleEvent(DWORD event) {
    interruptStop->store(true);
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT)
        return breakSeen.exchange(true) ? FALSE : TRUE; // a second one: the system's way, at once
    // The console closes, or the session ends: the process ends when this
    // returns, so it waits for the program to stop its work and end first
    // (the system gives it a few seconds).
    Sleep(INFINITE);
    return TRUE;
}
} // namespace

void StopOnInterrupt(std::atomic<bool> &stop) {
    interruptStop = &stop;
    SetConsoleCtrlHandler(ConsoleEvent, TRUE);
}

void UseStandardStreamsForBytes() {
    for (int fd = 0; fd <= 2; ++fd)
        _setmode(fd, _O_BINARY);
}

namespace {
bool IsConsole(HANDLE handle) {
    DWORD mode = 0;
    return GetConsoleMode(handle, &mode) != 0;
}
} // namespace

bool WriteBytes(std::FILE *stream, std::string_view bytes) {
    const HANDLE handle = HandleOf(stream);
    if (!IsConsole(handle))
        return std::fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size();
    // The C library may recode what it hands a console; the console itself
    // takes the bytes in its code page.
    if (std::fflush(stream) != 0)
        return false;
    while (!bytes.empty()) {
        DWORD written = 0;
        const auto piece = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1 << 16));
        if (WriteFile(handle, bytes.data(), piece, &written, nullptr) == 0 || written == 0) {
            errno = EIO;
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

bool WriteText(std::FILE *stream, std::string_view utf8) {
    const HANDLE handle = HandleOf(stream);
    if (!IsConsole(handle)) // a pipe or a file: the bytes
        return std::fwrite(utf8.data(), 1, utf8.size(), stream) == utf8.size() &&
               std::fflush(stream) == 0;
    // A console shows bytes in its code page (936 on Chinese Windows), and
    // the C library hands it an unbuffered stream a byte at a time, which
    // splits every character: it gets UTF-16, after what went before.
    if (std::fflush(stream) != 0)
        return false;
    std::wstring wide;
    if (!utf8.empty()) { // bytes that are not UTF-8 show as U+FFFD
        const int size = static_cast<int>(utf8.size());
        wide.resize(static_cast<std::size_t>(
            MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0)));
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(),
                            static_cast<int>(wide.size()));
    }
    // In pieces a console surely takes, never between the halves of a pair.
    for (std::size_t start = 0; start < wide.size();) {
        std::size_t end = std::min(wide.size(), start + 4096);
        if (end < wide.size() && IS_HIGH_SURROGATE(wide[end - 1]))
            --end;
        DWORD written = 0;
        if (WriteConsoleW(handle, wide.data() + start, static_cast<DWORD>(end - start), &written,
                          nullptr) == 0 ||
            written == 0) {
            errno = EIO;
            return false;
        }
        start += written;
    }
    return true;
}

std::vector<std::string> Utf8Arguments(int argc, wchar_t *argv[]) {
    std::vector<std::string> arguments;
    for (int i = 0; i < argc; ++i)
        arguments.push_back(Utf8(argv[i]));
    return arguments;
}

} // namespace kovarim::platform
