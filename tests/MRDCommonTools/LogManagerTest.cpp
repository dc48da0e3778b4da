#include "LogManager.h"

#include "FolderHelper.h"
#include "StringHelper.h"
#include "ToolsTestSupport.h"

using namespace arxtest;
using namespace MeridianSpace;

class LogManagerTest : public testing::Test {
protected:
    static std::string dayName() { return "db_log" + StringHelper::currTimeStr(3) + ".log"; }
    // Shows each line's "date time.ms__tag: " prefix as "| " and a title's time as "<time>".
    static std::string stamped(const std::string& text) {
        static const std::regex prefix(
            R"((^|\n)\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d+__test_tools_\d+: )");
        static const std::regex title(R"(Log \d{4}-\d\d-\d\d \d\d:\d\d:\d\d-)");
        return std::regex_replace(std::regex_replace(text, prefix, "$1| "), title, "Log <time>-");
    }
    static V others() {
        V names = FolderHelper::FilesInFolder("DB_Log");
        names.erase(std::remove(names.begin(), names.end(), dayName()), names.end());
        return names;
    }
    TempDir work_;  // each test in a fresh folder: the log folder is relative to it
    ScopedCwd cwd_{work_.path()};
};

TEST_F(LogManagerTest, LineLayoutsOfEachMode) {
    rollingLogHome();
    testing::internal::CaptureStdout();
    for (int mode : {0, 2, 1}) {  // 0 writes nothing, 2 the rolling log, 1 the day file
        EXPECT_TRUE(fs::is_empty("."));
        LogManager log(mode);
        log.appendMsg("layout 100% 数据");
        log.appFunRunPoint("step 2");
        log.appFunBegin("M_X::f()");
        log.appFunEnd("M_X::f()");
        log.appendError("M_X::g() ", "bad");
        log.appendError(1, "pos1", "msg1");
        log.appendError(0, "pos0", "msg0");
        log.writeHeader();
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    const std::string exe = fs::read_symlink("/proc/self/exe").string();
    const std::string expected =
        "| [Msg]:layout 100% 数据\n| run>: step 2\n| \n"
        "| >> ++++++++++++++ [BEGIN]: M_X::f() ++++++++++++++ \n"
        "| >> ************** [ END ]: M_X::f() ************* \n"
        "| [ERROR Pos]: M_X::g() \n| [ERROR Msg]:bad\n| [ERROR Pos]: pos1\n| [ERROR Msg]:msg1\n"
        "\n\n--------------------------- MeridianNEW Log <time>-------------------------\n";
    EXPECT_EQ(stamped(readText("DB_Log/" + dayName())), expected + "[Process Path]  " + exe + "\n");
    // Mode 2: one line per call; an error is one line at its own level.
    EXPECT_EQ((V{rollingLine("layout 100%"), rollingLine("M_X::g()"), rollingLine("pos0"),
                 rollingLine("[Process Path]  /")}),
              (V{"<time>[INFO] [Msg]:layout 100% 数据",
                 "<time>[ERROR] [ERROR Pos]: M_X::g()   [ERROR Msg]:bad", "<0 lines>",
                 "<time>[INFO] [Process Path]  " + exe}));
    // A file where the folder should be: the lines are lost.
    fs::remove_all("DB_Log");
    writeText("DB_Log", "a file where the folder should be");
    testing::internal::CaptureStdout();
    LogManager blocked;
    blocked.appendMsg("lost");
    blocked.writeHeader();
    // " Can't create ./DB_Log folder! 文件夹创建失败-1" with the Chinese part in GBK.
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              " Can't create ./DB_Log folder! \xCE\xC4\xBC\xFE\xBC\xD0\xB4\xB4\xBD\xA8\xCA\xA7"
              "\xB0\xDC-1\n");
    EXPECT_EQ(blocked.openLogFile(), 1);
}

TEST_F(LogManagerTest, BackupOverTheLimitAndCleanUpOfOldDays) {
    // The line counter is process-wide: of 100 lines exactly one checks the size (and prints it).
    fs::create_directory("DB_Log");
    const std::string limit(2097152, 'o');
    writeText("DB_Log/" + dayName(), limit);
    LogManager log;  // appends to the day file
    int checkedAt = -1;
    for (int i = 0; i < 100; ++i) {
        testing::internal::CaptureStdout();
        EXPECT_EQ(log.checkAndBakupLogFile(), 0);  // exactly the limit: kept
        if (testing::internal::GetCapturedStdout() == "2097152\n") checkedAt = i;
    }
    ASSERT_GE(checkedAt, 0);
    // Over it, the line that triggers the check goes after the backup and its marker.
    const std::string original = limit + "\n";
    writeText("DB_Log/" + dayName(), original);
    testing::internal::CaptureStdout();
    std::string before,
        after = "| " + std::string(36, '[') + "backuped" + std::string(44, ']') + "\n";
    for (int i = 0; i < 100; ++i) {
        log.appendLog("line-" + std::to_string(i));
        (i < checkedAt ? before : after) += "| line-" + std::to_string(i) + "\n";
    }
    testing::internal::GetCapturedStdout();
    const V backups = others();
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_TRUE(std::regex_match(backups[0], std::regex(R"(db_log\d{8}_\d+\.log)"))) << backups[0];
    EXPECT_EQ(stamped(readText("DB_Log/" + backups[0])), original + before);
    EXPECT_EQ(stamped(readText("DB_Log/" + dayName())), after);
    // With 31 files (not 30) those dated before the day before yesterday go.
    for (int k = 1; k <= 26; ++k)
        writeText("DB_Log/db_log" + StringHelper::dateTo(-k) + ".log", "");
    V kept{"abc", "db_log" + StringHelper::dateTo(-2) + "_4512.log"};  // "abc" carries no date
    for (const std::string& name : kept)
        writeText("DB_Log/" + name, "");
    EXPECT_EQ(log.cleanLogFolder(), 0);
    EXPECT_EQ(others().size(), 29u);
    writeText("DB_Log/db_log" + StringHelper::dateTo(-3) + "_777.log", "");
    EXPECT_EQ(log.cleanLogFolder(), 0);
    kept.insert(kept.end(), {backups[0], "db_log" + StringHelper::dateTo(-2) + ".log",
                             "db_log" + StringHelper::dateTo(-1) + ".log"});
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(others(), kept);
}
