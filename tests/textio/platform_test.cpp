// The platform layer does the same on every system: files under Chinese
// folder names, replacement, identity, kinds, the temporary file, GBK.
#include "textio/platform.h"

#include <filesystem>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "testkit.h"

#ifdef _WIN32
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <share.h>
#else
#include <unistd.h>
#endif

namespace kovarim {
namespace {

// A file of the platform's, written and closed.
void WriteWith(std::FILE *file, const std::string &bytes) {
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
    EXPECT_EQ(std::fclose(file), 0);
}

std::string ReadWith(const std::string &path) {
    std::string reason;
    std::FILE *file = platform::OpenForReading(path, reason);
    EXPECT_NE(file, nullptr) << path << ": " << reason;
    if (file == nullptr)
        return "<none>";
    std::string bytes;
    char buffer[256];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        bytes.append(buffer, n);
    std::fclose(file);
    return bytes;
}

class ChineseFolder : public testing::Test {
  protected:
    ChineseFolder() { std::filesystem::create_directory(testkit::Fs(folder_)); }
    testkit::TempDir dir_;
    const std::string folder_ = dir_.Path("测量 数据");
};

TEST_F(ChineseFolder, FilesAreWrittenReadAndAppendedUnderTheirUtf8Names) {
    const std::string path = folder_ + "/控制点.txt";
    std::string reason;
    WriteWith(platform::OpenForWriting(path, false, reason), "A\r\n");
    WriteWith(platform::OpenForWriting(path, true, reason), "B\n");
    EXPECT_EQ(ReadWith(path), "A\r\nB\n"); // bytes as written, no line ends changed
    EXPECT_EQ(testkit::ReadBytes(path), "A\r\nB\n");
    EXPECT_EQ(testkit::Utf8(testkit::Fs(path).filename()), "控制点.txt");
    EXPECT_EQ(platform::FolderOf(path), folder_);
}

TEST_F(ChineseFolder, KindsAndIdentityFollowTheFileNotTheName) {
    const std::string file = dir_.Write("测量 数据/点.txt", "x");
    dir_.Write("测量 数据/另一点.txt", "x");
    std::filesystem::create_hard_link(testkit::Fs(file), testkit::Fs(folder_ + "/硬链接.txt"));
    const struct {
        const char *name;
        std::string path;
        platform::Kind kind;
    } kinds[] = {
        {"file", file, platform::Kind::Regular},
        {"folder", folder_, platform::Kind::Folder},
        {"nothing", folder_ + "/无.txt", platform::Kind::Missing},
        {"a device", testkit::kNullDevice, platform::Kind::Other},
    };
    for (const auto &c : kinds)
        EXPECT_EQ(platform::KindOf(c.path), c.kind) << c.name;

    const struct {
        const char *name;
        std::string a, b;
        bool same;
    } pairs[] = {
        {"one name", file, file, true},
        {"a hard link", file, folder_ + "/硬链接.txt", true},
        {"through the folder's own name", file, folder_ + "/./点.txt", true},
        {"another file of the same bytes", file, folder_ + "/另一点.txt", false},
        {"a file and a name of nothing", file, folder_ + "/无.txt", false},
        {"one name of nothing, twice", folder_ + "/无.txt", folder_ + "/./无.txt", true},
        {"names of nothing in two folders", folder_ + "/无.txt", dir_.Path("无.txt"), false},
#ifdef _WIN32 // where names are the same in either case
        {"a name in other letters' case", file, folder_ + "/点.TXT", true},
        {"names of nothing in other letters' case", folder_ + "/无.txt", folder_ + "/无.TXT", true},
        {"back slashes", file, dir_.Path("测量 数据\\点.txt"), true},
#endif
    };
    for (const auto &c : pairs)
        EXPECT_EQ(platform::SameFile(c.a, c.b), c.same) << c.name;
}

#ifdef _WIN32
// The folder's 8.3 name, as Windows gives it (and wine makes it up); the
// name itself where the file system keeps none.
std::string ShortName(const std::string &path) {
    const std::wstring wide = testkit::Fs(path).wstring();
    std::wstring shortName(GetShortPathNameW(wide.c_str(), nullptr, 0), L'\0');
    shortName.resize(
        GetShortPathNameW(wide.c_str(), shortName.data(), static_cast<DWORD>(shortName.size())));
    return testkit::Utf8(shortName);
}
#endif

// Before a file is there, its names are compared as the system will resolve
// them once it is: Windows drops a name's trailing dots and blanks, takes
// either case, and knows a folder by its short and its \\?\ names too.
TEST_F(ChineseFolder, NamesOfNothingAreComparedAsTheSystemResolvesThem) {
    const std::string name = folder_ + "/无.txt";
    std::string backSlashed = name;
    for (char &c : backSlashed)
        c = c == '/' ? '\\' : c;
    const struct {
        const char *name;
        std::string other;
        bool sameOnWindows, sameElsewhere;
    } cases[] = {
        {"itself", name, true, true},
        {"a trailing dot", name + ".", true, false},
        {"a trailing blank", name + " ", true, false},
        {"trailing dots and blanks", name + ". .  ..", true, false},
        {"through the folder and back", folder_ + "/../测量 数据/无.txt", true, true},
        {"a dot before the name", folder_ + "./无.txt", true, false},
        {"other letters' case", folder_ + "/无.TXT", true, false},
        {"another name", folder_ + "/无.txt2", false, false},
        {"a dot inside", folder_ + "/无..txt", false, false},
        {"a blank before", folder_ + "/ 无.txt", false, false},
#ifdef _WIN32
        {"the full \\\\?\\ name", "\\\\?\\" + backSlashed, true, false},
        {"a \\\\?\\ name keeps its dot", "\\\\?\\" + backSlashed + ".", false, false},
        {"the folder's short name", ShortName(folder_) + "\\无.txt", true, false},
#endif
    };
    for (const auto &c : cases) {
#ifdef _WIN32
        const bool same = c.sameOnWindows;
#else
        const bool same = c.sameElsewhere;
#endif
        EXPECT_EQ(platform::SameFile(name, c.other), same) << c.name << ": " << c.other;
        EXPECT_EQ(platform::SameFile(c.other, name), same) << c.name << ", the other way";
    }
    // Once the file is there, its identity says the same.
    dir_.Write("测量 数据/无.txt", "x");
#ifdef _WIN32
    EXPECT_TRUE(platform::SameFile(name, folder_ + "/无.TXT"));
    EXPECT_TRUE(platform::SameFile(name, name + ". "));
    EXPECT_TRUE(platform::SameFile(name, ShortName(name)));
#endif
}

// Windows takes these names for devices in every folder: opening one would
// read a serial port or the console. Elsewhere they are names like any other.
TEST(Platform, DeviceNamesAreTheSystemsOwn) {
    const struct {
        const char *name;
        bool device; // on Windows
    } cases[] = {
        {"CON", true},
        {"prn", true},
        {"aux.txt", true},
        {"Nul.Tar.Gz", true},
        {"COM1", true},
        {"com9.dat", true},
        {"LPT5", true},
        {"COM\u00B9", true}, // COM¹
        {"lpt\u00B3.txt", true},
        {"C:\\数据\\aux.txt", true},
        {"数据/Com3.txt", true},
        {"C:nul", true},
        {"NUL:", true},
        {"COM1 .txt", true},
        {"CONOUT$", true},
        {"COM0", false},
        {"COM10", false},
        {"COM\u2074", false}, // COM⁴: no digit Windows knows
        {"LPT", false},
        {"auxiliary.txt", false},
        {"nul2.txt", false},
        {" nul", false},
        {"aux.txt/点.txt", false},
        {"\\\\?\\C:\\aux.txt", false}, // the file of that name
        {"\\\\.\\pipe\\aux", false},   // a pipe of the device space, read as any pipe
        {"\\\\.\\NUL", false},         // the null device, written in place
        {"\\\\.\\COM1", true},         // a serial line would be waited on for ever
        {"//./com10", true},
        {"\\\\.\\PhysicalDrive0", true}, // a whole disk
        {"控制点.txt", false},
    };
    for (const auto &c : cases) {
#ifdef _WIN32
        EXPECT_EQ(platform::IsDeviceName(c.name), c.device) << c.name;
#else
        EXPECT_FALSE(platform::IsDeviceName(c.name)) << c.name;
#endif
    }
}

// The common reasons in Chinese, in the same words on every system.
TEST_F(ChineseFolder, TheCommonReasonsAreGivenInChinese) {
    const std::string file = dir_.Write("测量 数据/点.txt", "x");
    std::string reason;
    EXPECT_EQ(platform::OpenForReading(folder_ + "/无.txt", reason), nullptr);
    EXPECT_EQ(reason, "找不到该文件或文件夹");
    reason.clear();
    EXPECT_EQ(platform::OpenForWriting(folder_ + "/无/点.txt", false, reason), nullptr);
    EXPECT_EQ(reason, "找不到该文件或文件夹");
    reason.clear();
    EXPECT_EQ(platform::OpenForWriting(folder_, false, reason), nullptr);
    EXPECT_EQ(reason, "是文件夹");
#ifdef _WIN32
    // Held open by another program that shares it with no one.
    const int held = _wsopen(testkit::Fs(file).wstring().c_str(), _O_RDONLY, _SH_DENYRW);
    ASSERT_GE(held, 0);
    reason.clear();
    EXPECT_EQ(platform::OpenForReading(file, reason), nullptr);
    EXPECT_EQ(reason, "文件正在被另一个程序使用");
    _close(held);
    // Marked read-only.
    std::filesystem::permissions(testkit::Fs(file), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    reason.clear();
    EXPECT_EQ(platform::OpenForWriting(file, true, reason), nullptr);
    EXPECT_EQ(reason, "文件是只读的");
    reason.clear();
    EXPECT_FALSE(platform::CanWrite(file, reason));
    EXPECT_EQ(reason, "文件是只读的");
    std::filesystem::permissions(testkit::Fs(file), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
#else
    // Readable by no one but root.
    std::filesystem::permissions(file, std::filesystem::perms::none);
    const auto denied = [&] {
        std::string why;
        std::FILE *opened = platform::OpenForReading(file, why);
        if (opened != nullptr)
            std::fclose(opened);
        return why;
    };
    EXPECT_EQ(geteuid() == 0 ? testkit::AsNobody(denied) : denied(), "拒绝访问");
    // A disk that is full.
    std::FILE *full = platform::OpenForWriting("/dev/full", false, reason);
    ASSERT_NE(full, nullptr) << reason;
    std::setvbuf(full, nullptr, _IONBF, 0);
    EXPECT_EQ(std::fputs("x", full), EOF);
    EXPECT_EQ(platform::LastReason(), "磁盘已满");
    std::fclose(full);
#endif
}

// Text for a pipe or a file is its UTF-8 bytes, as they are, on every system:
// no CR before LF, nothing recoded, even bytes that are not UTF-8.
TEST(Platform, TextForAFileIsItsBytes) {
    testkit::TempDir dir;
    const std::string path = dir.Path("out.txt");
    std::string reason;
    std::FILE *file = platform::OpenForWriting(path, false, reason);
    ASSERT_NE(file, nullptr) << reason;
    const std::string text = "报告 report: 石桥\n σ0 = 2.3 \xB5\xE3\n";
    EXPECT_TRUE(platform::WriteText(file, text));
    EXPECT_TRUE(platform::WriteText(file, ""));
    EXPECT_EQ(testkit::ReadBytes(path), text); // there already: WriteText flushes
    EXPECT_EQ(std::fclose(file), 0);
}

TEST_F(ChineseFolder, ReplaceTakesTheOldFilesPlaceAndLeavesNothingElse) {
    const std::string final = dir_.Write("测量 数据/报告.txt", "old report");
    std::string created, reason;
    bool denied = false;
    std::FILE *file = platform::CreateBeside(final, created, denied, reason);
    ASSERT_NE(file, nullptr) << reason;
    EXPECT_EQ(platform::FolderOf(created), folder_);
    EXPECT_GE(std::fputs("new report", file), 0);
    EXPECT_TRUE(platform::SyncToDisk(file, reason)) << reason;
    EXPECT_EQ(std::fclose(file), 0);
    EXPECT_EQ(testkit::ReadBytes(final), "old report"); // untouched until replaced
    ASSERT_TRUE(platform::Replace(created, final, reason)) << reason;
    EXPECT_EQ(testkit::ReadBytes(final), "new report");
    EXPECT_FALSE(testkit::Exists(created));
    const auto names = std::distance(std::filesystem::directory_iterator(testkit::Fs(folder_)),
                                     std::filesystem::directory_iterator());
    EXPECT_EQ(names, 1);
}

TEST_F(ChineseFolder, AFailedReplaceLeavesTheOldFileAndSaysWhy) {
    std::filesystem::create_directory(testkit::Fs(folder_ + "/报告.txt"));
    const std::string from = dir_.Write("测量 数据/新.txt", "new");
    std::string reason;
    EXPECT_FALSE(platform::Replace(from, folder_ + "/报告.txt", reason));
    EXPECT_NE(reason, "");
    EXPECT_TRUE(std::filesystem::is_directory(testkit::Fs(folder_ + "/报告.txt")));
    EXPECT_EQ(testkit::ReadBytes(from), "new");
}

TEST(Platform, TruncateEmptiesAFileAndWritesGoOnFromItsStart) {
    testkit::TempDir dir;
    const std::string path = dir.Write("out.txt", "old old old");
    std::string reason;
    std::FILE *file = platform::OpenForWriting(path, true, reason);
    ASSERT_NE(file, nullptr) << reason;
    EXPECT_TRUE(platform::IsRegular(file));
    EXPECT_TRUE(platform::SameFile(file, path));
    EXPECT_TRUE(platform::Truncate(file, reason)) << reason;
    WriteWith(file, "new");
    EXPECT_EQ(testkit::ReadBytes(path), "new");
}

TEST(Platform, TheTemporaryFileReadsBackWhatWasWritten) {
    std::string reason;
    std::FILE *file = platform::OpenTemporary(reason);
    ASSERT_NE(file, nullptr) << reason;
    const std::string bytes = "\"P1\",1,2,3\r\n\n\x1A\xB5\xE3";
    EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
    std::rewind(file);
    char back[64] = {};
    EXPECT_EQ(std::fread(back, 1, sizeof back, file), bytes.size());
    EXPECT_EQ(std::string(back, bytes.size()), bytes);
    EXPECT_EQ(std::fclose(file), 0);
}

// The system's GBK converter (iconv, or Windows' code page 936): appends on
// success, and nothing on failure.
TEST(Platform, GbkConvertsBothWaysAsTheSystemDoes) {
    const struct {
        const char *name;
        std::string gbk, utf8;
    } both[] = {
        {"ASCII", "P1,2", "P1,2"},
        {"names", "\xCA\xAF\xC7\xC5\xB5\xE3", "石桥点"},
        {"full-width and symbols", "\xA3\xA8\xA1\xC1\xA6\xA4", "（×Δ"},
        {"GBK's euro sign", "\x80", "€"},
    };
    for (const auto &c : both) {
        std::string utf8 = "<", gbk = "<";
        EXPECT_TRUE(platform::GbkToUtf8(c.gbk, utf8)) << c.name;
        EXPECT_EQ(utf8, "<" + c.utf8) << c.name;
        EXPECT_TRUE(platform::Utf8ToGbk(c.utf8, gbk)) << c.name;
        EXPECT_EQ(gbk, "<" + c.gbk) << c.name;
    }
    const struct {
        const char *name;
        std::string bytes;
        bool gbk; // the bytes are for GbkToUtf8, else for Utf8ToGbk
    } refused[] = {
        {"a lead byte alone", "A\xB5", true},
        {"FF", "\xFF", true},
        {"a character GBK lacks", "A\xF0\xA0\x80\x80", false},
        {"not UTF-8", "A\xB5\xE3", false},
    };
    for (const auto &c : refused) {
        std::string out = "kept";
        EXPECT_FALSE(c.gbk ? platform::GbkToUtf8(c.bytes, out) : platform::Utf8ToGbk(c.bytes, out))
            << c.name;
        EXPECT_EQ(out, "kept") << c.name;
    }
}

TEST(Platform, FolderOfAPath) {
    const struct {
        std::string path, folder;
    } cases[] = {
        {"点.txt", "."},
        {"数据/点.txt", "数据"},
        {"/点.txt", "/"},
#ifdef _WIN32
        {"C:\\数据\\点.txt", "C:\\数据"},
        {"C:\\点.txt", "C:\\"},
        {"C:点.txt", "C:"},
        {"D:/数据/点.txt", "D:/数据"},
#endif
    };
    for (const auto &c : cases)
        EXPECT_EQ(platform::FolderOf(c.path), c.folder) << c.path;
}

} // namespace
} // namespace kovarim
