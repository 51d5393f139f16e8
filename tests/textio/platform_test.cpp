// The platform layer does the same on every system: files under Chinese
// folder names, replacement, identity, kinds, the temporary file, GBK.
#include "textio/platform.h"

#include <filesystem>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "testkit.h"

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
