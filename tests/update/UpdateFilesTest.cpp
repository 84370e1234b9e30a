#include "update/UpdateFiles.h"

#include "TestSupport.h"
#include "platform/Files.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace tabulonix;
using namespace tabulonix::test;

TEST(UpdateFiles, DownloadNameIsTheLastPathSegment)
{
    struct Case {
        const char* url;
        const char* name;
    } cases[] = {
        {"http://www.example.test/files/setup.exe", "setup.exe"},
        {"http://www.example.test/get?file=setup.exe", "get?file=setup.exe"},
        {"http://www.example.test/files/", ""},
        {"http://www.example.test:8080", "8080"},
        {"setup.exe", "setup.exe"},
        {"http://h/a\\b\\c.zip", "c.zip"},
        {"http://h/..", ".."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DownloadFileName(c.url), c.name) << c.url;
}

TEST(UpdateFiles, AHeldFileCannotBeTakenTruncatedOrDeleted)
{
    TempDir dir;
    const std::string path = dir.File("Tabulonix.upd");
    WriteText(path, "an older copy");
    {
        TExclusiveFile first(path);
        EXPECT_EQ(ReadText(path), ""); // created or truncated
        first.Write("abc", 3);
        EXPECT_THROW(TExclusiveFile second(path), EFCreateError);
        DeleteUnlessInUse(path);
        EXPECT_TRUE(FileExists(path));
        first.Write("def", 3);
        first.Close();
        first.Close();
        EXPECT_EQ(ReadText(path), "abcdef");
        EXPECT_THROW(first.Write("x", 1), EStreamError);
        TExclusiveFile third(path); // free again once closed
    }
    DeleteUnlessInUse(path);
    EXPECT_FALSE(FileExists(path));
    DeleteUnlessInUse(path); // nothing there: no error
}

TEST(UpdateFiles, LimitRefusesMoreThanItAllows)
{
    TempDir dir;
    TExclusiveFile file(dir.File("small"), 10);
    file.Write("0123456789", 10);
    try {
        file.Write("x", 1);
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Document too large");
    }
    EXPECT_EQ(file.Size(), 10u);
}

TEST(UpdateFiles, OnlyRegularFilesAreCreatedOrDeleted)
{
    TempDir dir;
    ASSERT_TRUE(ForceDirectories(dir.File("folder")));
    EXPECT_THROW(TExclusiveFile(dir.File("folder")), EFCreateError);
    DeleteUnlessInUse(dir.File("folder"));
    EXPECT_TRUE(DirectoryExists(dir.File("folder")));
    EXPECT_THROW(TExclusiveFile(dir.File("missing/name")), EFCreateError);

    // A link placed under the download's name is not followed.
    WriteText(dir.File("target"), "keep");
    ASSERT_EQ(::symlink(dir.File("target").c_str(), dir.File("link").c_str()), 0);
    EXPECT_THROW(TExclusiveFile(dir.File("link")), EFCreateError);
    EXPECT_EQ(ReadText(dir.File("target")), "keep");
    DeleteUnlessInUse(dir.File("link"));
    EXPECT_EQ(ReadText(dir.File("target")), "keep");

    ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
    EXPECT_THROW(TExclusiveFile(dir.File("fifo")), EFCreateError); // and does not hang
}
