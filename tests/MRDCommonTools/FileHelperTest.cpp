#include "FileHelper.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <ctime>

#include "ToolsTestSupport.h"

using namespace arxtest;
using MeridianSpace::FileHelper;

static constexpr std::uint32_t dos(unsigned y, unsigned mo, unsigned d, unsigned h, unsigned mi,
                                   unsigned s) {
    return ((y - 1980) << 9 | mo << 5 | d) << 16 | (h << 11 | mi << 5 | s / 2);
}

static void setModified(const std::string& path, const char* local) {
    struct tm t {};
    strptime(local, "%Y-%m-%d %H:%M:%S", &t);
    t.tm_isdst = -1;
    struct timespec times[2]{};
    times[0].tv_sec = times[1].tv_sec = mktime(&t);
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

static std::uint32_t dosModified(const std::string& path) {
    std::uint32_t value = 0;
    EXPECT_EQ(FileHelper::getFileDosTime(path, value), 1) << path;
    return value;
}

TEST(FileHelper, ContentNamesAndCopies) {
    TempDir tmp;
    const std::string data("bin\0ary\xFF", 8);
    writeText(tmp.file("f"), "older and longer content");
    EXPECT_EQ(FileHelper::writeFile(tmp.file("f"), data.data(), 8), 0);
    char* buffer = nullptr;
    int length = -1;
    EXPECT_EQ(FileHelper::readFile(tmp.file("f"), buffer, length), 0);
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(length)), data);
    delete[] buffer;
    writeText(tmp.file("empty"), "");
    for (const std::string& bad : {tmp.file("missing"), tmp.file("empty"), tmp.path()}) {
        EXPECT_EQ(FileHelper::readFile(bad, buffer, length), 0);
        EXPECT_TRUE(buffer == nullptr && length == 0) << bad;
    }
    EXPECT_EQ(FileHelper::writeFile(tmp.file("no/dir"), "x", 1), 0);  // nothing reported
    testing::internal::CaptureStdout();
    EXPECT_EQ(FileHelper::fileSizeByte(tmp.file("f")), 8);
    EXPECT_EQ(FileHelper::fileSizeByte(tmp.file("no")) + FileHelper::fileSizeByte(tmp.path()), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "8\n");
    EXPECT_EQ((V{FileHelper::fileNameFromFullPath("/a/b\\c d.txt"),
                 FileHelper::fileNameFromFullPath("name"), FileHelper::fileNameFromFullPath("/")}),
              (V{"c d.txt", "name", ""}));
    // Several chunks of distinct bytes over a longer target; the date comes along.
    const std::string source = tmp.file("\xD6\xD0 source"), target = tmp.file("target");
    const std::string big = std::string(70000, '\0') + std::string(70009, 'b');
    writeText(source, big);
    setModified(source, "2021-03-04 05:06:08");
    writeText(target, std::string(150000, 'x'));
    EXPECT_EQ(FileHelper::copyFile(source, target), 0);
    EXPECT_TRUE(readText(target) == big);
    EXPECT_EQ(dosModified(target), dos(2021, 3, 4, 5, 6, 8));
    const std::string error1 = "Error 1: Fail to open the source file.\n";
    const std::string error2 = "Error 2: Fail to create the new file.\n";
    testing::internal::CaptureStdout();
    EXPECT_EQ(FileHelper::copyFile(tmp.file("missing"), tmp.file("t1")), 1);
    EXPECT_EQ(FileHelper::copyFile(tmp.path(), tmp.file("t2")), 1);  // a folder is no file
    EXPECT_EQ(FileHelper::copyFile(source, tmp.path()), 2);
    EXPECT_EQ(FileHelper::copyFile(source, tmp.path() + "/./\xD6\xD0 source"), 2);  // itself
    EXPECT_EQ(testing::internal::GetCapturedStdout(), error1 + error1 + error2 + error2);
    EXPECT_FALSE(fs::exists(tmp.file("t1")) || fs::exists(tmp.file("t2")));
    EXPECT_EQ(readText(source).size(), big.size());
    fs::create_directory(tmp.file("folder"));  // a folder exists but is no file
    EXPECT_TRUE(FileHelper::isFileExists(tmp.file("folder")));
    EXPECT_EQ((std::vector<int>{FileHelper::delFile(source), FileHelper::delFile(source),
                                FileHelper::delFile(tmp.file("folder"))}),
              (std::vector<int>{0, -1, -1}));
}

TEST(FileHelper, DosPackingOfModificationTimes) {
    TempDir tmp;
    writeText(tmp.file("f"), "x");
    // Odd seconds round down; moments outside 1980..2107 are clamped to its ends.
    const std::pair<const char*, std::uint32_t> cases[] = {
        {"2022-12-31 23:59:59", dos(2022, 12, 31, 23, 59, 58)},
        {"1975-06-01 12:00:00", dos(1980, 1, 1, 0, 0, 0)},
        {"2200-01-01 00:00:00", dos(2107, 12, 31, 23, 59, 58)}};
    for (const auto& [moment, packed] : cases) {
        setModified(tmp.file("f"), moment);
        EXPECT_EQ(dosModified(tmp.file("f")), packed) << moment;
    }
    std::uint32_t untouched = 7;
    EXPECT_EQ(FileHelper::getFileDosTime(tmp.file("missing"), untouched), 0);
    EXPECT_EQ(untouched, 7u);
    // Set: a leap day, a folder. Refused: month 0, 29 February 2021, hour 24, second 60.
    EXPECT_EQ(FileHelper::Directory_SetDosTime(tmp.file("f"), dos(2020, 2, 29, 0, 0, 0)), 1);
    EXPECT_EQ(FileHelper::Directory_SetDosTime(tmp.path(), dos(2021, 3, 4, 5, 6, 8)), 1);
    for (std::uint32_t bad :
         {0u, dos(2021, 2, 29, 0, 0, 0), dos(2021, 1, 1, 24, 0, 0), dos(2021, 1, 1, 0, 0, 60)})
        EXPECT_EQ(FileHelper::Directory_SetDosTime(tmp.file("f"), bad), 0) << bad;
    EXPECT_EQ(FileHelper::Directory_SetDosTime(tmp.file("missing"), dos(2021, 3, 4, 5, 6, 8)), 0);
    EXPECT_EQ(FileHelper::copyFileDate(tmp.file("missing"), tmp.file("f")), 1);
    EXPECT_EQ(FileHelper::copyFileDate(tmp.file("f"), tmp.file("missing")), 1);
    EXPECT_EQ(FileHelper::copyFileDate(tmp.path(), tmp.file("f")), 0);  // the folder's own time
    EXPECT_EQ(dosModified(tmp.file("f")), dos(2021, 3, 4, 5, 6, 8));
}
