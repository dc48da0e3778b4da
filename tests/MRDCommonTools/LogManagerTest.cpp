#include "LogManager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "RollingLogHome.h"
#include "StringHelper.h"

using arxtest::readText;
using arxtest::writeText;
using MeridianSpace::LogManager;
using MeridianSpace::StringHelper;
namespace fs = std::filesystem;
using V = std::vector<std::string>;

namespace {

const std::string kMarker = std::string(36, '[') + "backuped" + std::string(44, ']');
constexpr std::size_t kLimit = 2097152;

V linesOf(const std::string& text) {
    V lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The text after the "date time.ms__tag: " prefix of a file line.
std::string textOf(const std::string& line) {
    std::size_t pos = 0;
    if (!arxtest::consumeShape(line, pos, "####-##-## ##:##:##.+__test_tools_+: ")) {
        return "<bad prefix> " + line;
    }
    return line.substr(pos);
}

// Every test works in a fresh folder: the log folder is relative to it.
class LogManagerTest : public testing::Test {
protected:
    static std::string dayFile() { return "DB_Log/db_log" + StringHelper::currTimeStr(3) + ".log"; }

    // Names in DB_Log other than today's file.
    static V backups() {
        V names;
        for (const auto& e : fs::directory_iterator("DB_Log")) {
            if (e.path() != dayFile()) names.push_back(e.path().filename());
        }
        return names;
    }

    arxtest::TempDir work_;
    arxtest::ScopedCwd cwd_{work_.path()};
};

}  // namespace

TEST_F(LogManagerTest, FileModeWritesTheLineLayouts) {
    testing::internal::CaptureStdout();
    {
        LogManager log;
        log.appendMsg("hello 100% 数据已保存。");
        log.appFunRunPoint("step 2");
        log.appFunBegin("M_X::f()");
        log.appFunEnd("M_X::f()");
        log.appendError("M_X::g() ", "bad");
        log.appendError(1, "pos1", "msg1");
        log.appendError(0, "pos0", "msg0");
        log.writeHeader();
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

    const V lines = linesOf(readText(dayFile()));
    ASSERT_EQ(lines.size(), 13u);
    const V texts{"[Msg]:hello 100% 数据已保存。",
                  "run>: step 2",
                  "",
                  ">> ++++++++++++++ [BEGIN]: M_X::f() ++++++++++++++ ",
                  ">> ************** [ END ]: M_X::f() ************* ",
                  "[ERROR Pos]: M_X::g() ",
                  "[ERROR Msg]:bad",
                  "[ERROR Pos]: pos1",
                  "[ERROR Msg]:msg1"};
    for (std::size_t i = 0; i < texts.size(); ++i)
        EXPECT_EQ(textOf(lines[i]), texts[i]) << i;
    // The Chinese text is GBK: 数据已保存。 = CA FD BE DD D2 D1 B1 A3 B4 E6 A1 A3.
    EXPECT_NE(lines[0].find("\xCA\xFD\xBE\xDD\xD2\xD1\xB1\xA3\xB4\xE6\xA1\xA3"), std::string::npos);
    EXPECT_EQ(lines[9] + lines[10], "");
    EXPECT_TRUE(arxtest::hasShape(lines[11], std::string(27, '-') + " MeridianNEW Log " +
                                                 "####-##-## ##:##:##" + std::string(25, '-')))
        << lines[11];
    EXPECT_EQ(lines[12], "[Process Path]  " + fs::read_symlink("/proc/self/exe").string());

    LogManager again(1);  // a second instance appends to the same day file
    again.appendMsg("second");
    EXPECT_EQ(textOf(linesOf(readText(dayFile())).back()), "[Msg]:second");
}

TEST_F(LogManagerTest, UncreatableFolderDropsLinesSilently) {
    writeText("DB_Log", "a file where the folder should be");
    testing::internal::CaptureStdout();
    LogManager log;
    log.appendMsg("lost");
    log.writeHeader();
    // " Can't create ./DB_Log folder! 文件夹创建失败-1" with the Chinese part in GBK.
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              " Can't create ./DB_Log folder! \xCE\xC4\xBC\xFE\xBC\xD0\xB4\xB4\xBD\xA8\xCA\xA7"
              "\xB0\xDC-1\n");
    EXPECT_EQ(readText("DB_Log"), "a file where the folder should be");
    EXPECT_EQ(log.openLogFile(), 1);
}

TEST_F(LogManagerTest, ModeZeroWritesNothing) {
    testing::internal::CaptureStdout();
    LogManager log(0);
    log.appendMsg("nothing");
    log.appendError("p", "m");
    log.writeHeader();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_TRUE(fs::is_empty("."));
}

TEST_F(LogManagerTest, ModeTwoHandsLinesToTheRollingLog) {
    arxtest::rollingLogHome();
    LogManager log(2);
    log.appendMsg("mode2-msg 50%");
    log.appendError("mode2-pos", "mode2-err");
    log.appendError(0, "mode2-never", "x");
    log.writeHeader();
    EXPECT_TRUE(fs::is_empty("."));

    using arxtest::rollingLogLines;
    EXPECT_EQ(rollingLogLines("[INFO] [Msg]:mode2-msg 50%").size(), 1u);
    EXPECT_EQ(rollingLogLines("[ERROR] [ERROR Pos]: mode2-pos  [ERROR Msg]:mode2-err").size(), 1u);
    EXPECT_TRUE(rollingLogLines("mode2-never").empty());
    EXPECT_FALSE(rollingLogLines("[INFO] [Process Path]  /").empty());
}

TEST_F(LogManagerTest, SizeCheckBacksUpOnlyAFileOverTheLimit) {
    // The line counter is process-wide: of 100 checks exactly one tests the size.
    fs::create_directory("DB_Log");
    writeText(dayFile(), std::string(kLimit, 'o'));
    LogManager log;
    testing::internal::CaptureStdout();
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(log.checkAndBakupLogFile(), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "2097152\n");
    EXPECT_TRUE(backups().empty());

    const std::string original = std::string(kLimit, 'o') + "\n";
    writeText(dayFile(), original);
    V results;
    testing::internal::CaptureStdout();
    for (int i = 0; i < 100; ++i)
        results.push_back(std::to_string(log.checkAndBakupLogFile()));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(std::count(results.begin(), results.end(), "-2"), 1);
    EXPECT_EQ(std::count(results.begin(), results.end(), "0"), 99);
    const V names = backups();
    ASSERT_EQ(names.size(), 1u);
    EXPECT_TRUE(arxtest::hasShape(names[0], "db_log########_+.log")) << names[0];
    EXPECT_EQ(readText("DB_Log/" + names[0]), original);
    const V lines = linesOf(readText(dayFile()));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(textOf(lines[0]), kMarker);
}

TEST_F(LogManagerTest, BackupMarkerPrecedesTheLineThatTriggeredIt) {
    fs::create_directory("DB_Log");
    const std::string original = std::string(kLimit, 'o') + "\n";
    writeText(dayFile(), original);
    LogManager log;
    testing::internal::CaptureStdout();
    for (int i = 0; i < 100; ++i)
        log.appendLog("line-" + std::to_string(100 + i));
    testing::internal::GetCapturedStdout();

    const V names = backups();
    ASSERT_EQ(names.size(), 1u);
    const std::string saved = readText("DB_Log/" + names[0]);
    ASSERT_EQ(saved.substr(0, original.size()), original);
    V texts;
    for (const std::string& line : linesOf(saved.substr(original.size()))) {
        texts.push_back(textOf(line));
    }
    const std::size_t before = texts.size();
    // The emptied day file goes on with the marker, then the remaining lines.
    const V after = linesOf(readText(dayFile()));
    for (const std::string& line : after)
        texts.push_back(textOf(line));

    V expected;
    for (std::size_t i = 0; i < 100; ++i) {
        if (i == before) expected.push_back(kMarker);
        expected.push_back("line-" + std::to_string(100 + i));
    }
    EXPECT_EQ(texts, expected);
}

TEST_F(LogManagerTest, CleanUpKeepsTheLastTwoDaysOnceThereAreThirtyOneFiles) {
    LogManager log;  // creates today's file
    for (int k = 1; k <= 29; ++k)
        writeText("DB_Log/db_log" + StringHelper::dateTo(-k) + ".log", "");
    EXPECT_EQ(log.cleanLogFolder(), 0);
    EXPECT_EQ(std::distance(fs::directory_iterator("DB_Log"), fs::directory_iterator()), 30);

    const std::string keptBackup = "db_log" + StringHelper::dateTo(-2) + "_4512.log";
    writeText("DB_Log/" + keptBackup, "");
    writeText("DB_Log/db_log" + StringHelper::dateTo(-3) + "_777.log", "");
    writeText("DB_Log/abc", "");  // too short to carry a date
    EXPECT_EQ(log.cleanLogFolder(), 0);

    V left = backups();
    std::sort(left.begin(), left.end());
    V expected{"abc", "db_log" + StringHelper::dateTo(-2) + ".log", keptBackup,
               "db_log" + StringHelper::dateTo(-1) + ".log"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(left, expected);
    EXPECT_TRUE(fs::exists(dayFile()));
}
