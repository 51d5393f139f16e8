// Files that replace others: all of a command's files or none, and a
// replaced file keeps what the user gave the old one (mode, owner, group;
// attributes on Windows).
#include "textio/text_file.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <functional>
#include <map>

#include <gtest/gtest.h>

#include "base/error.h"
#include "testkit.h"

namespace kovarim {
namespace {

namespace fs = std::filesystem;

// Two files written under temporary names and committed together; the text
// of the Error, or nothing when all went in.
std::string CommitTwo(
    const std::string &first, const std::string &second,
    const std::function<void()> &beforeCommit = [] {}) {
    try {
        ReplacementFile a(first), b(second);
        a.writer().Write("new first");
        b.writer().Write("new second");
        beforeCommit();
        CommitAll({&a, &b});
        return "";
    } catch (const Error &e) {
        return e.what();
    }
}

// What a folder holds, name by name with the bytes of each file.
std::map<std::string, std::string> Contents(const testkit::TempDir &dir) {
    std::map<std::string, std::string> contents;
    for (const std::string &name : dir.Names())
        contents[name] = fs::is_directory(testkit::Fs(dir.Path(name)))
                             ? "<folder>"
                             : testkit::ReadBytes(dir.Path(name));
    return contents;
}

TEST(CommitAll, PutsEveryFileInPlaceAndKeepsNoOldOne) {
    for (const bool existed : {true, false}) {
        testkit::TempDir dir;
        if (existed) {
            dir.Write("report.txt", "old first");
            dir.Write("params.txt", "old second");
        }
        EXPECT_EQ(CommitTwo(dir.Path("report.txt"), dir.Path("params.txt")), "") << existed;
        const std::map<std::string, std::string> expected = {{"params.txt", "new second"},
                                                             {"report.txt", "new first"}};
        EXPECT_EQ(Contents(dir), expected) << existed;
    }
}

// The second file cannot take its place (a folder came where it was): the
// first is taken out again, whether it replaced a file or was new, and the
// message says so. Nothing of ours is left in the folder.
TEST(CommitAll, ALaterFailureUndoesTheEarlierReplacements) {
    for (const bool firstExisted : {true, false}) {
        testkit::TempDir dir;
        if (firstExisted)
            dir.Write("report.txt", "old first");
        dir.Write("params.txt", "old second");
        const std::string error = CommitTwo(dir.Path("report.txt"), dir.Path("params.txt"), [&] {
            fs::remove(testkit::Fs(dir.Path("params.txt")));
            fs::create_directory(testkit::Fs(dir.Path("params.txt")));
            dir.Write("params.txt/inside.txt", "x");
        });
        EXPECT_NE(error.find("params.txt"), std::string::npos) << error;
        EXPECT_NE(error.find("没有改变任何文件，原有文件都保持原样"), std::string::npos) << error;
        std::map<std::string, std::string> expected = {{"params.txt", "<folder>"}};
        if (firstExisted)
            expected["report.txt"] = "old first";
        EXPECT_EQ(Contents(dir), expected) << firstExisted;
    }
}

#ifndef _WIN32
// A device is written last, so that when it fails every file is still as it was.
TEST(CommitAll, ADeviceThatFailsLeavesTheFilesAsTheyWere) {
    testkit::TempDir dir;
    dir.Write("report.txt", "old first");
    const std::string error = CommitTwo(dir.Path("report.txt"), "/dev/full");
    EXPECT_NE(error.find("/dev/full"), std::string::npos) << error;
    EXPECT_NE(error.find("没有改变任何文件"), std::string::npos) << error;
    const std::map<std::string, std::string> expected = {{"report.txt", "old first"}};
    EXPECT_EQ(Contents(dir), expected);
}

// In a folder where everyone may make files but only an owner may take them
// away (the sticky bit, as /tmp has), another user's file can be written but
// not replaced. Root may do anything, so the user nobody commits.
TEST(CommitAll, AFileThatCannotBeReplacedInAStickyFolderChangesNothing) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root, to make a file of another user's";
    for (const bool firstExisted : {true, false}) {
        testkit::TempDir dir;
        fs::permissions(testkit::Fs(dir.Path("")), fs::perms::all | fs::perms::sticky_bit);
        const std::string params = dir.Write("params.txt", "root's parameters");
        fs::permissions(testkit::Fs(params), fs::perms::all & ~fs::perms::owner_exec &
                                                 ~fs::perms::group_exec & ~fs::perms::others_exec);
        const std::string error = testkit::AsNobody([&] {
            if (firstExisted)
                dir.Write("report.txt", "nobody's report");
            return CommitTwo(dir.Path("report.txt"), params);
        });
        EXPECT_NE(error.find("无法替换文件（拒绝访问）；没有改变任何文件"), std::string::npos)
            << error;
        std::map<std::string, std::string> expected = {{"params.txt", "root's parameters"}};
        if (firstExisted)
            expected["report.txt"] = "nobody's report";
        EXPECT_EQ(Contents(dir), expected) << firstExisted;
    }
}

// The replaced file keeps its permission bits, and as far as the user may
// give them, its owner and group.
TEST(ReplacementFile, KeepsTheModeOwnerAndGroupOfTheFileItReplaces) {
    const passwd *nobody = getpwnam("nobody");
    const bool root = geteuid() == 0 && nobody != nullptr;
    for (const mode_t mode : {0600, 0640, 0604, 0666}) {
        testkit::TempDir dir;
        const std::string path = dir.Write("params.txt", "old");
        ASSERT_EQ(chmod(path.c_str(), mode), 0);
        if (root) {
            ASSERT_EQ(chown(path.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
        }
        struct stat before {};
        ASSERT_EQ(stat(path.c_str(), &before), 0);
        ReplacementFile file(path);
        file.writer().Write("new");
        file.Commit();
        struct stat after {};
        ASSERT_EQ(stat(path.c_str(), &after), 0);
        EXPECT_EQ(testkit::ReadBytes(path), "new");
        EXPECT_EQ(after.st_ino == before.st_ino, false) << "not replaced";
        EXPECT_EQ(after.st_mode & 07777, mode) << std::oct << mode;
        EXPECT_EQ(after.st_uid, before.st_uid) << std::oct << mode;
        EXPECT_EQ(after.st_gid, before.st_gid) << std::oct << mode;
    }
}

// Until it is complete, a replacement for a private file is private too.
TEST(ReplacementFile, IsNoMoreOpenThanTheFileItReplacesWhileItIsWritten) {
    testkit::TempDir dir;
    const std::string path = dir.Write("params.txt", "old");
    ASSERT_EQ(chmod(path.c_str(), 0600), 0);
    ReplacementFile file(path);
    file.writer().Write("secret");
    for (const std::string &name : dir.Names()) {
        struct stat status {};
        ASSERT_EQ(stat(dir.Path(name).c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 0077, 0u) << name;
    }
}

#else

// An editor that holds the file open without sharing its deletion: it cannot
// be renamed over, and so nothing is changed.
TEST(CommitAll, AFileHeldOpenWithoutDeleteSharingChangesNothing) {
    for (const bool firstExisted : {true, false}) {
        testkit::TempDir dir;
        if (firstExisted)
            dir.Write("report.txt", "old first");
        const std::string params = dir.Write("params.txt", "old second");
        const HANDLE editor = CreateFileW(testkit::Fs(params).c_str(), GENERIC_READ | GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(editor, INVALID_HANDLE_VALUE);
        const std::string error = CommitTwo(dir.Path("report.txt"), params);
        CloseHandle(editor);
        EXPECT_NE(error.find("params.txt"), std::string::npos) << error;
        EXPECT_NE(error.find("没有改变任何文件，原有文件都保持原样"), std::string::npos) << error;
        std::map<std::string, std::string> expected = {{"params.txt", "old second"}};
        if (firstExisted)
            expected["report.txt"] = "old first";
        EXPECT_EQ(Contents(dir), expected) << firstExisted;
    }
}

// Hidden, system and not indexed stay; archive is what every changed file gets.
TEST(ReplacementFile, KeepsTheAttributesOfTheFileItReplaces) {
    const DWORD archive = FILE_ATTRIBUTE_ARCHIVE;
    for (const DWORD attributes :
         {DWORD{FILE_ATTRIBUTE_HIDDEN}, DWORD{FILE_ATTRIBUTE_SYSTEM},
          DWORD{FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM},
          DWORD{FILE_ATTRIBUTE_NOT_CONTENT_INDEXED}, DWORD{FILE_ATTRIBUTE_NORMAL}}) {
        testkit::TempDir dir;
        const std::string path = dir.Write("params.txt", "old");
        const std::wstring wide = testkit::Fs(path).wstring();
        ASSERT_TRUE(SetFileAttributesW(wide.c_str(), attributes));
        // As the system keeps them (wine keeps hidden and system only).
        const DWORD before = GetFileAttributesW(wide.c_str());
        ReplacementFile file(path);
        file.writer().Write("new");
        file.Commit();
        EXPECT_EQ(testkit::ReadBytes(path), "new");
        const DWORD after = GetFileAttributesW(wide.c_str());
        EXPECT_EQ(after & ~archive & ~DWORD{FILE_ATTRIBUTE_NORMAL},
                  before & ~archive & ~DWORD{FILE_ATTRIBUTE_NORMAL})
            << attributes;
    }
}

#endif

} // namespace
} // namespace kovarim
