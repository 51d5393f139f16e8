#include "testkit.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace kovarim::testkit {

std::filesystem::path Fs(const std::string &utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8(const std::filesystem::path &path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

bool Exists(const std::string &path) { return std::filesystem::exists(Fs(path)); }

void MakeAnotherName(const std::string &target, const std::string &name) {
#ifdef _WIN32
    std::filesystem::create_hard_link(Fs(target), Fs(name));
#else
    std::filesystem::create_symlink(Fs(target), Fs(name));
#endif
}

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
    // Whatever a test made read-only goes too (Windows deletes no read-only file).
    std::error_code ignored;
    const auto writable = [&](const std::filesystem::path &path) {
        std::filesystem::permissions(path, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
    };
    writable(dir_);
    for (auto entry = std::filesystem::recursive_directory_iterator(dir_, ignored);
         entry != std::filesystem::recursive_directory_iterator(); entry.increment(ignored))
        writable(entry->path());
    std::filesystem::remove_all(dir_, ignored);
}

std::string TempDir::Path(const std::string &name) const { return Utf8(dir_ / Fs(name)); }

std::string TempDir::Write(const std::string &name, const std::string &bytes) const {
    const std::string path = Path(name);
    std::ofstream out(Fs(path), std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
    return path;
}

std::vector<std::string> TempDir::Names() const {
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(dir_))
        names.push_back(Utf8(entry.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
}

std::string ReadBytes(const std::string &path) {
    std::ifstream in(Fs(path), std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

#ifdef _WIN32

NamedPipe::NamedPipe(const TempDir &) {
    std::random_device seed;
    path_ = "\\\\.\\pipe\\kovarim-test-" + std::to_string(seed());
    const std::wstring name(path_.begin(), path_.end()); // ASCII
    // One instance, room enough that a small write never waits for a read.
    const HANDLE pipe = CreateNamedPipeW(name.c_str(), PIPE_ACCESS_INBOUND,
                                         PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 0,
                                         1 << 16, 0, nullptr);
    if (pipe == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot make a named pipe");
    reader_ = reinterpret_cast<std::intptr_t>(pipe);
}

NamedPipe::~NamedPipe() { CloseHandle(reinterpret_cast<HANDLE>(reader_)); }

std::string NamedPipe::Received() {
    std::string received;
    char buffer[4096];
    DWORD size = 0;
    while (ReadFile(reinterpret_cast<HANDLE>(reader_), buffer, sizeof buffer, &size, nullptr) &&
           size > 0)
        received.append(buffer, size);
    return received;
}

#else

NamedPipe::NamedPipe(const TempDir &folder) : path_(folder.Path("pipe")) {
    if (mkfifo(path_.c_str(), 0600) != 0)
        throw std::runtime_error("cannot make a FIFO");
    // Opened without waiting for a writer; the writer then finds a reader.
    reader_ = open(path_.c_str(), O_RDONLY | O_NONBLOCK);
    if (reader_ < 0)
        throw std::runtime_error("cannot open the FIFO");
}

NamedPipe::~NamedPipe() { close(static_cast<int>(reader_)); }

std::string NamedPipe::Received() {
    char buffer[4096];
    const ssize_t size = read(static_cast<int>(reader_), buffer, sizeof buffer);
    return std::string(buffer, size > 0 ? static_cast<std::size_t>(size) : 0);
}

std::string AsNobody(const std::function<std::string()> &action) {
    const passwd *nobody = getpwnam("nobody");
    int ends[2];
    if (nobody == nullptr || pipe(ends) != 0)
        throw std::runtime_error("cannot run as nobody");
    const uid_t uid = nobody->pw_uid;
    const gid_t gid = nobody->pw_gid;
    const pid_t child = fork();
    if (child < 0)
        throw std::runtime_error("cannot fork");
    if (child == 0) {
        close(ends[0]);
        const std::string result =
            setgroups(0, nullptr) == 0 && setgid(gid) == 0 && setuid(uid) == 0
                ? action()
                : "<cannot become nobody>";
        const ssize_t written = write(ends[1], result.data(), result.size());
        _exit(written == static_cast<ssize_t>(result.size()) ? 0 : 1);
    }
    close(ends[1]);
    std::string result;
    char buffer[4096];
    for (ssize_t size; (size = read(ends[0], buffer, sizeof buffer)) > 0;)
        result.append(buffer, static_cast<std::size_t>(size));
    close(ends[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return result;
}

FileSizeLimit::FileSizeLimit(unsigned long long bytes) {
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    saved_ = limit.rlim_cur;
    signal_ = std::signal(SIGXFSZ, SIG_IGN);
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit() {
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = saved_;
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, signal_);
}

#endif

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
