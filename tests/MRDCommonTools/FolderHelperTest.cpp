#include "FolderHelper.h"

#include "ToolsTestSupport.h"

using namespace arxtest;
using MeridianSpace::FolderHelper;

TEST(FolderHelper, FoldersPathsAndTrees) {
    TempDir tmp;
    writeText(tmp.file("plain"), "x");
    // Blank is no folder; one trailing '/' is dropped; blanks count in the path itself.
    EXPECT_EQ((std::vector<bool>{FolderHelper::FolderExists("   "), FolderHelper::FolderExists("/"),
                                 FolderHelper::FolderExists(tmp.path() + "/"),
                                 FolderHelper::FolderExists(tmp.file("plain")),
                                 FolderHelper::FolderExists(" " + tmp.path())}),
              (std::vector<bool>{false, true, true, false, false}));
    EXPECT_EQ(FolderHelper::createDirFolder(tmp.file("one")), 0);
    EXPECT_EQ(FolderHelper::createDirFolder(tmp.file("one")), 1);
    EXPECT_EQ(FolderHelper::createDirFolder(tmp.file("no/parent")), -1);
    EXPECT_TRUE(FolderHelper::createDirs(tmp.file("a b/c/d/")));
    EXPECT_THROW(FolderHelper::createDirs(tmp.file("plain/below")), fs::filesystem_error);
    std::string path = "/x\\/\\y\\\\z", word = "a";
    FolderHelper::folderPathStrNormalize(path);
    FolderHelper::folderPathStrNormalize(word);
    EXPECT_EQ(path + " " + word, "/x/y/z/ a/");
    // The folder of a file, on the text alone and asking the disk.
    const std::pair<const char*, const char*> folders[] = {
        {"C:/a\\b.txt", "C:/a"}, {"/a/b/", "/a"}, {"/b.txt", "/"}, {"b.txt", ""}};
    for (const auto& [file, folder] : folders)
        EXPECT_EQ(FolderHelper::folderPathFromFileFullPathStr(file), folder) << file;
    testing::internal::CaptureStdout();
    EXPECT_EQ((V{FolderHelper::folderPathFromFullPath(tmp.path()),
                 FolderHelper::folderPathFromFullPath(tmp.file("plain")),
                 FolderHelper::folderPathFromFullPath(tmp.file("missing.txt")),
                 FolderHelper::folderPathFromFullPath("/dev/null")}),
              (V{tmp.path(), tmp.path(), "", ""}));
    testing::internal::GetCapturedStdout();
    // src/{a.txt, "b c.txt", <GBK>/deep.bin, sub/{x/, y.txt}}
    const std::string gbk = "\xD6\xD0\xCE\xC4";  // "中文" in GBK
    fs::create_directories(tmp.file("src/" + gbk));
    fs::create_directories(tmp.file("src/sub/x"));
    writeText(tmp.file("src/a.txt"), "alpha");
    writeText(tmp.file("src/b c.txt"), "with blank");
    writeText(tmp.file("src/" + gbk + "/deep.bin"), std::string("\0\1\2", 3));
    writeText(tmp.file("src/sub/y.txt"), "why");
    fs::create_directory_symlink(tmp.file("src/sub"), tmp.file("src/link"));
    // In byte order; a link to a folder is listed as a file.
    EXPECT_EQ(FolderHelper::SubFolderNames(tmp.file("src")), (V{"sub", gbk}));
    EXPECT_EQ(FolderHelper::FilesInFolder(" " + tmp.file("src") + " "),
              (V{"a.txt", "b c.txt", "link"}));
    EXPECT_EQ(FolderHelper::FilesInFolder(tmp.file("missing")), V{});
    V paths{"kept"};
    FolderHelper::SubFolderPathsR(tmp.file("src/"), paths);
    EXPECT_EQ(paths,
              (V{"kept", tmp.file("src/sub"), tmp.file("src/sub/x"), tmp.file("src/" + gbk)}));
    fs::remove(tmp.file("src/link"));
    ASSERT_EQ(FolderHelper::copyDir(tmp.file("src"), tmp.file("dst")), 0);
    for (const std::string& rel : V{"a.txt", "b c.txt", "sub/y.txt", gbk + "/deep.bin"})
        EXPECT_EQ(readText(tmp.file("dst/") + rel), readText(tmp.file("src/") + rel)) << rel;
    EXPECT_EQ(FolderHelper::copyDir(tmp.file("src"), tmp.file("src/inner")), 11);
    EXPECT_FALSE(fs::exists(tmp.file("src/inner")));
    EXPECT_EQ(FolderHelper::copyDir(tmp.file("missing"), tmp.file("out")), 3);
    // Below a regular file nothing can be created: a file entry fails with 2, a
    // folder entry with 1. The source under another spelling is no target either.
    writeText(tmp.file("dst/sub/x/f"), "f");
    testing::internal::CaptureStdout();
    EXPECT_EQ(FolderHelper::copyDir(tmp.file("src"), tmp.file("plain/t")), 2);
    EXPECT_EQ(FolderHelper::copyDir(tmp.file("dst/sub"), tmp.file("plain/t")), 1);
    EXPECT_EQ(FolderHelper::copyDir(tmp.file("src"), tmp.path() + "/./src"), 2);
    const std::string error2 = "Error 2: Fail to create the new file.\n";
    EXPECT_EQ(testing::internal::GetCapturedStdout(), error2 + error2 + error2);
    EXPECT_EQ(readText(tmp.file("src/a.txt")), "alpha");
    // Deleting lists every file and folder; a link goes, not what it points to.
    fs::create_directory_symlink(tmp.file("src"), tmp.file("dst/link"));
    testing::internal::CaptureStdout();
    EXPECT_EQ(FolderHelper::DelDir(tmp.path() + "\\dst"), 0);  // '\' is a separator
    // "删除文件: " and "删除目录: " in GBK.
    const std::string file = "\xC9\xBE\xB3\xFD\xCE\xC4\xBC\xFE: " + tmp.file("dst/");
    const std::string dir = "\xC9\xBE\xB3\xFD\xC4\xBF\xC2\xBC: " + tmp.file("dst/");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              file + "a.txt\n" + file + "b c.txt\n" + file + "link\n" + file + "sub/x/f\n" + dir +
                  "sub/x/\n" + file + "sub/y.txt\n" + dir + "sub/\n" + file + gbk + "/deep.bin\n" +
                  dir + gbk + "/\n" + dir + "\n");
    EXPECT_FALSE(fs::exists(tmp.file("dst")));
    EXPECT_EQ(readText(tmp.file("src/a.txt")), "alpha");
    testing::internal::CaptureStdout();
    EXPECT_EQ(FolderHelper::DelDir(tmp.file("dst")), -3);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              tmp.file("dst/") + "read first file fail! Maybe this file doesn't exist!\n");
}
