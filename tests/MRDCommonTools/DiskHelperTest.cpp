#include "DiskHelper.h"

#include "ToolsTestSupport.h"

using namespace arxtest;
using MeridianSpace::DiskHelper;

static std::string codeAndText(const MeridianSpace::ResultMsg& r) {
    return std::to_string(r.rCode) + " " + r.rMsg;
}

TEST(DiskHelper, PathKindsSizesAndFreeSpace) {
    const std::pair<const char*, const char*> byText[] = {
        {"/data/a.txt", "1 file"}, {"\\data\\a.txt", "1 file"},
        {"/a.b/c.d", "1 file"},    {"/data.old/x", "0 folder"},
        {"/data", "0 folder"},     {"data/a.txt", "-1 路径格式错误"}};
    for (const auto& [path, kind] : byText)
        EXPECT_EQ(codeAndText(DiskHelper::pathType(path)), kind) << path;
    TempDir tmp;
    fs::create_directories(tmp.file("t/sub/deeper"));
    writeText(tmp.file("t/a"), std::string(1024, 'a'));
    writeText(tmp.file("t/sub/b c"), std::string(2048, 'b'));
    writeText(tmp.file("t/sub/deeper/d"), std::string(512, 'd'));
    fs::create_symlink(tmp.file("t/a"), tmp.file("t/sub/link"));  // not followed
    testing::internal::CaptureStdout();
    EXPECT_EQ(codeAndText(DiskHelper::pathType_Existed(tmp.path())), "0 ");
    EXPECT_EQ(codeAndText(DiskHelper::pathType_Existed(tmp.file("t/a"))), "1 ");
    EXPECT_EQ(codeAndText(DiskHelper::pathType_Existed("/dev/null")), "2 ");
    EXPECT_EQ(codeAndText(DiskHelper::pathType_Existed(tmp.file("gone.txt"))), "-1 ");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "it's a folder\nit's a file\nnot file not directory\nerror, doesn't exist\n");
    double size = 1.5;  // sizes add up, in K
    EXPECT_EQ(DiskHelper::folderSizeK("  " + tmp.file("t") + "  ", size), 0);
    DiskHelper::folderSizeK(tmp.file("missing"), size);
    EXPECT_DOUBLE_EQ(size, 1.5 + 1.0 + 2.0 + 0.5);
    // A path that does not exist (yet) or names a file stands for its file system.
    for (const std::string& path : {std::string("/"), tmp.file("not/yet/"), tmp.file("t/a")})
        EXPECT_GT(DiskHelper::getDiskFreeSpaceK(path), 0.0) << path;
    EXPECT_EQ(DiskHelper::getDiskFreeSpaceK("relative"), -1.0);
    EXPECT_EQ(codeAndText(DiskHelper::isDiskEnough("relative/out", 0.0)), "1 路径格式不正确!");
    EXPECT_EQ(codeAndText(DiskHelper::isDiskEnough(tmp.file("new/file.db"), 0.0)), "0 ");
    const std::string full = codeAndText(DiskHelper::isDiskEnough(tmp.path(), 1e18));
    const std::string lack = "盘\\(目标磁盘\\)空间不够\\. 目标磁盘剩余：[0-9.e+]+k";
    EXPECT_TRUE(std::regex_match(full, std::regex("1 " + tmp.path() + lack))) << full;
    EXPECT_EQ(full.substr(2 + tmp.path().size(), 2), "\xC5\xCC");  // "盘" in GBK
    testing::internal::CaptureStdout();
    EXPECT_EQ(codeAndText(DiskHelper::isDiskEnough(tmp.path(), tmp.file("t"))), "0 ");
    EXPECT_EQ(codeAndText(DiskHelper::isDiskEnough(tmp.path(), tmp.file("gone"))), "1 路径不合理");
    testing::internal::GetCapturedStdout();
}
