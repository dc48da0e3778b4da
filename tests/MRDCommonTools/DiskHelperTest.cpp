#include "DiskHelper.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "ToolsTestSupport.h"

using arxtest::TempDir;
using arxtest::writeText;
using MeridianSpace::DiskHelper;
using MeridianSpace::ResultMsg;
namespace fs = std::filesystem;

namespace {

testing::AssertionResult Is(const ResultMsg& r, int code, const std::string& msg) {
    if (r.rCode == code && r.rMsg == msg) return testing::AssertionSuccess();
    return testing::AssertionFailure() << "got " << r.rCode << " \"" << r.rMsg << "\"";
}

}  // namespace

TEST(DiskHelperPathType, FromTextAndFromDisk) {
    EXPECT_TRUE(Is(DiskHelper::pathType("/data/a.txt"), 1, "file"));
    EXPECT_TRUE(Is(DiskHelper::pathType("\\data\\a.txt"), 1, "file"));
    EXPECT_TRUE(Is(DiskHelper::pathType("/data.old/x"), 0, "folder"));
    EXPECT_TRUE(Is(DiskHelper::pathType("/data"), 0, "folder"));
    EXPECT_TRUE(Is(DiskHelper::pathType("data/a.txt"), -1, "路径格式错误"));

    TempDir tmp;
    writeText(tmp.file("f.txt"), "x");
    testing::internal::CaptureStdout();
    EXPECT_TRUE(Is(DiskHelper::pathType_Existed(tmp.path()), 0, ""));
    EXPECT_TRUE(Is(DiskHelper::pathType_Existed(tmp.file("f.txt")), 1, ""));
    EXPECT_TRUE(Is(DiskHelper::pathType_Existed("/dev/null"), 2, ""));
    EXPECT_TRUE(Is(DiskHelper::pathType_Existed(tmp.file("gone.txt")), -1, ""));
    EXPECT_TRUE(Is(DiskHelper::pathType_Existed("relative/gone"), -1, ""));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "it's a folder\nit's a file\nnot file not directory\n"
              "error, doesn't exist\nerror, doesn't exist\n");
}

TEST(DiskHelperSizes, FolderSizeAddsKilobytesOfTheWholeTree) {
    TempDir tmp;
    fs::create_directories(tmp.file("t/sub/deeper"));
    writeText(tmp.file("t/a"), std::string(1024, 'a'));
    writeText(tmp.file("t/sub/b c"), std::string(2048, 'b'));
    writeText(tmp.file("t/sub/deeper/d"), std::string(512, 'd'));
    fs::create_symlink(tmp.file("t/a"), tmp.file("t/sub/link"));  // not followed

    double size = 1.5;
    EXPECT_EQ(DiskHelper::folderSizeK("  " + tmp.file("t") + "  ", size), 0);
    EXPECT_DOUBLE_EQ(size, 1.5 + 1.0 + 2.0 + 0.5);
    size = 0.0;
    DiskHelper::folderSizeK(tmp.file("missing"), size);
    EXPECT_DOUBLE_EQ(size, 0.0);
}

TEST(DiskHelperSpace, FreeSpaceAndVerdicts) {
    TempDir tmp;
    writeText(tmp.file("src.bin"), std::string(4096, 'x'));
    EXPECT_GT(DiskHelper::getDiskFreeSpaceK("/"), 0.0);
    EXPECT_GT(DiskHelper::getDiskFreeSpaceK(tmp.file("not/yet/there/")), 0.0);
    EXPECT_GT(DiskHelper::getDiskFreeSpaceK(tmp.file("src.bin")), 0.0);
    EXPECT_EQ(DiskHelper::getDiskFreeSpaceK("relative"), -1.0);

    EXPECT_TRUE(Is(DiskHelper::isDiskEnough("relative/out", 0.0), 1, "路径格式不正确!"));
    EXPECT_TRUE(Is(DiskHelper::isDiskEnough(tmp.file("new/file.db"), 0.0), 0, ""));
    const ResultMsg full = DiskHelper::isDiskEnough(tmp.path(), 1e18);
    EXPECT_EQ(full.rCode, 1);
    const std::string head = tmp.path() + "盘(目标磁盘)空间不够. 目标磁盘剩余：";
    EXPECT_EQ(full.rMsg.substr(0, head.size()), head);
    EXPECT_EQ(full.rMsg.back(), 'k');
    EXPECT_EQ(full.rMsg.substr(tmp.path().size(), 2), "\xC5\xCC");  // "盘" in GBK

    testing::internal::CaptureStdout();
    EXPECT_TRUE(Is(DiskHelper::isDiskEnough(tmp.path(), tmp.file("src.bin")), 0, ""));
    EXPECT_TRUE(Is(DiskHelper::isDiskEnough(tmp.path(), tmp.path()), 0, ""));
    EXPECT_TRUE(Is(DiskHelper::isDiskEnough(tmp.path(), tmp.file("gone")), 1, "路径不合理"));
    testing::internal::GetCapturedStdout();
}

TEST(DiskHelperProcess, NamesTheRunningExecutable) {
    std::string fullPath;
    std::string exeName;
    DiskHelper::CheckProcess(fullPath, exeName);
    EXPECT_EQ(fullPath, fs::read_symlink("/proc/self/exe").string());
    EXPECT_EQ(exeName, "test_tools");
}
