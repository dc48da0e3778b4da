#include "FileHelper.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>
#include <filesystem>

#include "ToolsTestSupport.h"

using arxtest::readText;
using arxtest::TempDir;
using arxtest::writeText;
using MeridianSpace::FileHelper;
namespace fs = std::filesystem;

namespace {

// 2021-03-04 05:06:08 local time, DOS-packed.
constexpr std::uint32_t kDos = (41u << 9 | 3u << 5 | 4u) << 16 | (5u << 11 | 6u << 5 | 4u);

time_t localMoment(int year, int month, int day, int hour, int minute, int second) {
    struct tm t {};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    return mktime(&t);
}

void setModificationTime(const std::string& path, time_t moment) {
    struct timespec times[2]{};
    times[0].tv_sec = times[1].tv_sec = moment;
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

time_t modificationTime(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mtime : -1;
}

}  // namespace

TEST(FileHelperContent, ReadWriteAndUnreadableFiles) {
    TempDir tmp;
    const std::string data("bin\0ary\xFF", 8);
    EXPECT_EQ(FileHelper::writeFile(tmp.file("f"), data.data(), static_cast<int>(data.size())), 0);
    char* buffer = nullptr;
    int length = -1;
    EXPECT_EQ(FileHelper::readFile(tmp.file("f"), buffer, length), 0);
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(length)), data);
    delete[] buffer;

    for (const std::string& bad : {tmp.file("missing"), tmp.path()}) {
        length = 99;
        EXPECT_EQ(FileHelper::readFile(bad, buffer, length), 0);
        EXPECT_EQ(buffer, nullptr) << bad;
        EXPECT_EQ(length, 0) << bad;
    }
    EXPECT_EQ(FileHelper::writeFile(tmp.file("no/dir"), "x", 1), 0);  // nothing reported
    EXPECT_FALSE(fs::exists(tmp.file("no")));

    testing::internal::CaptureStdout();
    EXPECT_EQ(FileHelper::fileSizeByte(tmp.file("f")), 8);
    EXPECT_EQ(FileHelper::fileSizeByte(tmp.file("missing")), 0);
    EXPECT_EQ(FileHelper::fileSizeByte(tmp.path()), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "8\n");
}

TEST(FileHelperNames, ExistenceNamesAndDelete) {
    TempDir tmp;
    writeText(tmp.file("a b.txt"), "x");
    EXPECT_TRUE(FileHelper::isFileExists(tmp.file("a b.txt")));
    EXPECT_TRUE(FileHelper::isFileExists(tmp.path()));
    EXPECT_FALSE(FileHelper::isFileExists(tmp.file("nope")));

    EXPECT_EQ(FileHelper::fileNameFromFullPath("/a/b\\c d.txt"), "c d.txt");
    EXPECT_EQ(FileHelper::fileNameFromFullPath("name"), "name");
    EXPECT_EQ(FileHelper::fileNameFromFullPath("/"), "");

    EXPECT_EQ(FileHelper::delFile(tmp.file("a b.txt")), 0);
    EXPECT_EQ(FileHelper::delFile(tmp.file("a b.txt")), -1);
    fs::create_directory(tmp.file("folder"));
    EXPECT_EQ(FileHelper::delFile(tmp.file("folder")), -1);  // folders are not files
}

TEST(FileHelperCopy, CopiesContentAndDate) {
    TempDir tmp;
    const std::string name = tmp.file("\xD6\xD0 source.dat");
    std::string big(200 * 1024 + 7, '\0');
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i * 31);
    writeText(name, big);
    setModificationTime(name, localMoment(2021, 3, 4, 5, 6, 8));
    writeText(tmp.file("target"), "old content, longer than nothing");

    EXPECT_EQ(FileHelper::copyFile(name, tmp.file("target")), 0);
    EXPECT_EQ(readText(tmp.file("target")), big);
    EXPECT_EQ(modificationTime(tmp.file("target")), localMoment(2021, 3, 4, 5, 6, 8));
}

TEST(FileHelperCopy, FailuresAnswerOneOrTwo) {
    TempDir tmp;
    writeText(tmp.file("src"), "x");
    testing::internal::CaptureStdout();
    EXPECT_EQ(FileHelper::copyFile(tmp.file("missing"), tmp.file("t1")), 1);
    EXPECT_EQ(FileHelper::copyFile(tmp.path(), tmp.file("t2")), 1);  // a folder is no file
    EXPECT_EQ(FileHelper::copyFile(tmp.file("src"), tmp.file("src/below")), 2);
    EXPECT_EQ(FileHelper::copyFile(tmp.file("src"), tmp.path()), 2);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Error 1: Fail to open the source file.\nError 1: Fail to open the source file.\n"
              "Error 2: Fail to create the new file.\nError 2: Fail to create the new file.\n");
    EXPECT_FALSE(fs::exists(tmp.file("t1")));
    EXPECT_FALSE(fs::exists(tmp.file("t2")));
}

TEST(FileHelperDates, DosPackingRoundTrip) {
    TempDir tmp;
    writeText(tmp.file("f"), "x");
    fs::create_directory(tmp.file("d"));
    EXPECT_EQ(FileHelper::Directory_SetDosTime(tmp.file("d"), kDos), 1);  // folders too
    std::uint32_t dos = 0;
    EXPECT_EQ(FileHelper::getFileDosTime(tmp.file("d"), dos), 1);
    EXPECT_EQ(dos, kDos);
    EXPECT_EQ(modificationTime(tmp.file("d")), localMoment(2021, 3, 4, 5, 6, 8));

    // Odd seconds round down to the 2-second step of the packing.
    setModificationTime(tmp.file("f"), localMoment(2022, 12, 31, 23, 59, 59));
    EXPECT_EQ(FileHelper::getFileDosTime(tmp.file("f"), dos), 1);
    EXPECT_EQ(dos, (42u << 9 | 12u << 5 | 31u) << 16 | (23u << 11 | 59u << 5 | 29u));

    dos = 7;
    EXPECT_EQ(FileHelper::getFileDosTime(tmp.file("missing"), dos), 0);
    EXPECT_EQ(dos, 7u);
    EXPECT_EQ(FileHelper::Directory_SetDosTime(tmp.file("missing"), kDos), 0);
    EXPECT_EQ(FileHelper::Directory_SetDosTime(tmp.file("f"), 0), 0);  // month 0: no date

    EXPECT_EQ(FileHelper::copyFileDate(tmp.file("d"), tmp.file("f")), 0);
    EXPECT_EQ(modificationTime(tmp.file("f")), localMoment(2021, 3, 4, 5, 6, 8));
    EXPECT_EQ(FileHelper::copyFileDate(tmp.file("missing"), tmp.file("f")), 1);
    EXPECT_EQ(FileHelper::copyFileDate(tmp.file("f"), tmp.file("missing")), 1);
}
