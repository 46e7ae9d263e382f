#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/path.h"
#include "platform_support.h"

namespace {

std::string resolve(const std::string& path)
{
    char host[1024];
    if (!platform_resolve_path(path.c_str(), host, sizeof host))
        return "<refused>";
    return host;
}

}  // namespace

TEST(PathResolver, MatchesComponentsWithoutRegardToCase)
{
    TempDir dir;
    dir.write("Data/Win/Entity/Hero.ENW", "x");
    dir.write("Data/Win/entity.txt", "y");
    EXPECT_EQ(resolve(dir.path() + "\\data\\win\\entity\\hero.enw"),
              dir.path() + "/Data/Win/Entity/Hero.ENW");
    // An exact match wins over a case-insensitive one.
    EXPECT_EQ(resolve(dir.path() + "/Data/Win/entity.txt"), dir.path() + "/Data/Win/entity.txt");
    // What does not exist is kept as written, so files can be created.
    EXPECT_EQ(resolve(dir.path() + "\\DATA\\new\\File.cfg"), dir.path() + "/Data/new/File.cfg");
}

// Directories read for a match are kept while unchanged; a file that comes
// after the reading is found all the same, in a directory changed long ago
// and in one changed a moment before it was read.
TEST(PathResolver, FindsFilesMadeAfterTheirDirectoryWasRead)
{
    TempDir dir;
    dir.write("old/keep.txt", "x");
    dir.write("new/keep.txt", "x");
    struct timespec long_ago[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, (dir.path() + "/old").c_str(), long_ago, 0), 0);
    for (const char* folder : {"old", "new"}) {
        SCOPED_TRACE(folder);
        std::string base = dir.path() + "/" + folder;
        EXPECT_EQ(resolve(base + "/KEEP.TXT"), base + "/keep.txt");
        EXPECT_EQ(resolve(base + "/LATE.TXT"), base + "/LATE.TXT");  // read, and missing
        dir.write(std::string(folder) + "/late.txt", "y");
        EXPECT_EQ(resolve(base + "/LATE.TXT"), base + "/late.txt");
    }
}

TEST(PathResolver, ResolvesDotsLexically)
{
    TempDir dir;
    dir.write("win/script/a.scw", "x");
    EXPECT_EQ(resolve(dir.path() + "\\win\\script\\..\\.\\script\\A.SCW"),
              dir.path() + "/win/script/a.scw");
    EXPECT_EQ(resolve("a\\..\\..\\b"), "../b");
    EXPECT_EQ(resolve("/.."), "/");
}

TEST(PathResolver, MapsDriveLetters)
{
    TempDir dir;
    dir.write("data/win/startup.scw", "x");
    ::setenv("VARNOCK_DRIVE_Q", dir.path().c_str(), 1);
    EXPECT_EQ(resolve("q:\\DATA\\win\\STARTUP.scw"), dir.path() + "/data/win/startup.scw");
    EXPECT_EQ(resolve("Q:\\..\\x"), dir.path() + "/x");  // never above the drive's root
    ::unsetenv("VARNOCK_DRIVE_Q");
    EXPECT_EQ(resolve("q:\\data"), "drive_q/data");

    FILE* file = platform_fopen((dir.path() + "/DATA/WIN/startup.SCW").c_str(), "rt");
    ASSERT_NE(file, nullptr);
    std::fclose(file);
}

// What a player is told names the folder from the root.
TEST(PathResolver, AbsolutePathsStartFromTheWorkingDirectory)
{
    char cwd[4096], absolute[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    EXPECT_EQ(platform_absolute_path("drive_c/data", absolute, sizeof absolute), 1);
    EXPECT_EQ(std::string(absolute), std::string(cwd) + "/drive_c/data");
    EXPECT_EQ(platform_absolute_path("/srv/data", absolute, sizeof absolute), 1);
    EXPECT_STREQ(absolute, "/srv/data");
    char small[8];
    EXPECT_EQ(platform_absolute_path("/srv/data", small, sizeof small), 0);
    EXPECT_STREQ(small, "");
    EXPECT_EQ(platform_absolute_path(nullptr, absolute, sizeof absolute), 0);
}

TEST(PathResolver, RefusesWhatDoesNotFit)
{
    char host[8];
    EXPECT_EQ(platform_resolve_path("abcdefghij", host, sizeof host), 0);
    EXPECT_EQ(platform_resolve_path(nullptr, host, sizeof host), 0);
}

// The C library opens a directory for reading; the original platform, and so
// the stand-in, does not.
TEST(PathResolver, DirectoriesDoNotOpenAsFiles)
{
    TempDir dir;
    dir.write("Data/x.txt", "x");
    errno = 0;
    EXPECT_EQ(platform_fopen(dir.file("data").c_str(), "rb"), nullptr);
    EXPECT_EQ(errno, EISDIR);
    char host[4096];
    EXPECT_EQ(platform_directory_error(dir.file("data").c_str(), host, sizeof host), 0);
    EXPECT_EQ(std::string(host), dir.file("Data"));
    EXPECT_EQ(platform_directory_error(dir.file("data/x.txt").c_str(), host, sizeof host), ENOTDIR);
    EXPECT_EQ(platform_directory_error(dir.file("none").c_str(), host, sizeof host), ENOENT);
    EXPECT_EQ(std::string(host), dir.file("none"));

    FILE* file = platform_fopen(dir.file("data/x.txt").c_str(), "rb");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(platform_file_size(file), 1);
    std::fclose(file);
}
