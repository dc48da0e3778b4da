#include "FolderHelper.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "ToolsTestSupport.h"

using arxtest::readText;
using arxtest::TempDir;
using arxtest::writeText;
using MeridianSpace::FolderHelper;
namespace fs = std::filesystem;
using V = std::vector<std::string>;

namespace {

const std::string kGbkName = "\xD6\xD0\xCE\xC4";  // "中文" in GBK

// root/{a.txt, "b c.txt", <GBK>/deep.bin, sub/{x/, y.txt}}
void buildTree(const std::string& root) {
    fs::create_directories(root + "/" + kGbkName);
    fs::create_directories(root + "/sub/x");
    writeText(root + "/a.txt", "alpha");
    writeText(root + "/b c.txt", "with blank");
    writeText(root + "/" + kGbkName + "/deep.bin", std::string("\0\1\2", 3));
    writeText(root + "/sub/y.txt", "why");
}

std::string normalised(std::string path) {
    FolderHelper::folderPathStrNormalize(path);
    return path;
}

}  // namespace

TEST(FolderHelperFolders, ExistAndCreate) {
    TempDir tmp;
    writeText(tmp.file("plain"), "x");
    EXPECT_FALSE(FolderHelper::FolderExists("   "));
    EXPECT_TRUE(FolderHelper::FolderExists("/"));
    EXPECT_TRUE(FolderHelper::FolderExists(tmp.path() + "/"));
    EXPECT_FALSE(FolderHelper::FolderExists(tmp.file("plain")));
    EXPECT_FALSE(FolderHelper::FolderExists(" " + tmp.path()));  // trimmed only for the test

    EXPECT_EQ(FolderHelper::createDirFolder(tmp.file("one")), 0);
    EXPECT_EQ(FolderHelper::createDirFolder(tmp.file("one")), 1);
    EXPECT_EQ(FolderHelper::createDirFolder(tmp.file("no/parent")), -1);
    EXPECT_TRUE(FolderHelper::createDirs(tmp.file("a b/") + kGbkName + "/c/"));
    EXPECT_TRUE(fs::is_directory(tmp.file("a b/") + kGbkName + "/c"));
    EXPECT_THROW(FolderHelper::createDirs(tmp.file("plain/below")), fs::filesystem_error);
}

TEST(FolderHelperPaths, NormaliseAndCut) {
    EXPECT_EQ(normalised("a//b/"), "a/b/");
    EXPECT_EQ(normalised("a"), "a/");
    EXPECT_EQ(normalised("/x\\/\\y\\\\z"), "/x/y/z/");

    EXPECT_EQ(FolderHelper::folderPathFromFileFullPathStr("C:/a\\b.txt"), "C:/a");
    EXPECT_EQ(FolderHelper::folderPathFromFileFullPathStr("/a/b/"), "/a");
    EXPECT_EQ(FolderHelper::folderPathFromFileFullPathStr("/b.txt"), "/");
    EXPECT_EQ(FolderHelper::folderPathFromFileFullPathStr("b.txt"), "");

    TempDir tmp;
    writeText(tmp.file("f.txt"), "x");
    testing::internal::CaptureStdout();
    EXPECT_EQ(FolderHelper::folderPathFromFullPath(tmp.path()), tmp.path());
    EXPECT_EQ(FolderHelper::folderPathFromFullPath(tmp.file("f.txt")), tmp.path());
    EXPECT_EQ(FolderHelper::folderPathFromFullPath(tmp.file("missing.txt")), "");
    testing::internal::GetCapturedStdout();
}

TEST(FolderHelperListing, SortedByBytesAndLinksAreNotFolders) {
    TempDir tmp;
    buildTree(tmp.path());
    fs::create_directory_symlink(tmp.file("sub"), tmp.file("link"));

    EXPECT_EQ(FolderHelper::SubFolderNames(tmp.path()), (V{"sub", kGbkName}));
    EXPECT_EQ(FolderHelper::FilesInFolder(" " + tmp.path() + " "), (V{"a.txt", "b c.txt", "link"}));
    EXPECT_EQ(FolderHelper::FilesInFolder(tmp.file("missing")), V{});
    V paths{"kept"};
    FolderHelper::SubFolderPathsR(tmp.path() + "/", paths);
    EXPECT_EQ(paths, (V{"kept", tmp.file("sub"), tmp.file("sub/x"), tmp.file(kGbkName)}));
}

TEST(FolderHelperCopy, CopiesTheTreeWithContentAndDates) {
    TempDir tmp;
    buildTree(tmp.file("src"));
    const auto stamp = fs::file_time_type::clock::now() - std::chrono::hours(24 * 40);
    fs::last_write_time(tmp.file("src/b c.txt"), stamp);

    ASSERT_EQ(FolderHelper::copyDir(tmp.file("src"), tmp.file("dst")), 0);
    for (const std::string& rel : V{"a.txt", "b c.txt", "sub/y.txt", kGbkName + "/deep.bin"}) {
        EXPECT_EQ(readText(tmp.file("dst/") + rel), readText(tmp.file("src/") + rel)) << rel;
    }
    EXPECT_TRUE(fs::is_directory(tmp.file("dst/sub/x")));
    const auto copied = fs::last_write_time(tmp.file("dst/b c.txt"));
    EXPECT_LE(std::chrono::abs(copied - stamp), std::chrono::seconds(2));  // DOS time step
}

TEST(FolderHelperCopy, RefusesAndReportsFailures) {
    TempDir tmp;
    buildTree(tmp.file("src"));
    EXPECT_EQ(FolderHelper::copyDir(tmp.file("src"), tmp.file("src/inner")), 11);
    EXPECT_FALSE(fs::exists(tmp.file("src/inner")));
    EXPECT_EQ(FolderHelper::copyDir(tmp.file("missing"), tmp.file("out")), 3);

    // Below a regular file nothing can be created: a file entry fails with 2,
    // a folder entry with 1.
    writeText(tmp.file("plain"), "x");
    fs::create_directories(tmp.file("nest/d"));
    writeText(tmp.file("nest/d/f"), "f");
    testing::internal::CaptureStdout();
    EXPECT_EQ(FolderHelper::copyDir(tmp.file("src"), tmp.file("plain/t")), 2);
    EXPECT_EQ(FolderHelper::copyDir(tmp.file("nest"), tmp.file("plain/t")), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Error 2: Fail to create the new file.\nError 2: Fail to create the new file.\n");
}

TEST(FolderHelperDelete, DeletesTheTreeLineByLineAndKeepsLinkTargets) {
    TempDir tmp;
    fs::create_directories(tmp.file("victim/sub"));
    writeText(tmp.file("victim/sub/f 1.txt"), "1");
    fs::create_directories(tmp.file("outdir"));
    writeText(tmp.file("outdir/kept.txt"), "keep");
    fs::create_symlink(tmp.file("outdir"), tmp.file("victim/dirlink"));

    const std::string arg = tmp.path() + "\\victim";  // '\' is taken as a separator
    testing::internal::CaptureStdout();
    EXPECT_EQ(FolderHelper::DelDir(arg), 0);
    const std::string out = testing::internal::GetCapturedStdout();
    const std::string v = tmp.file("victim/");
    EXPECT_EQ(out, "删除文件: " + v + "dirlink\n" + "删除文件: " + v + "sub/f 1.txt\n" +
                       "删除目录: " + v + "sub/\n" + "删除目录: " + v + "\n");
    // The folder line in GBK bytes: 删除目录 = C9 BE B3 FD C4 BF C2 BC.
    EXPECT_NE(out.find("\xC9\xBE\xB3\xFD\xC4\xBF\xC2\xBC: " + v + "\n"), std::string::npos);
    EXPECT_FALSE(fs::exists(tmp.file("victim")));
    EXPECT_EQ(readText(tmp.file("outdir/kept.txt")), "keep");

    testing::internal::CaptureStdout();
    EXPECT_EQ(FolderHelper::DelDir(tmp.file("victim")), -3);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              v + "read first file fail! Maybe this file doesn't exist!\n");
}
