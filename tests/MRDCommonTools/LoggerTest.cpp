#include "Logger.h"

#include "ToolsTestSupport.h"

using namespace arxtest;
using namespace MeridianSpace;

TEST(Logger, LevelsFormatsAndTheCutAt1023Bytes) {
    rollingLogHome();
    const auto logger = Logger::getInstance();
    testing::internal::CaptureStdout();
    logger->log(LOG_LEVEL_INFO, std::string("lv-info"));
    logger->log(LOG_LEVEL_DEBUG, std::string("lv-debug"));
    logger->log(LOG_LEVEL_ERROR, "lv-error %d", 2);
    logger->log(static_cast<LogLevel>(3), std::string("lv-three"));
    // Text is kept as it is, up to 1023 bytes; only the printf form interprets directives.
    logger->log(LOG_LEVEL_INFO, "lv-fmt n=%d s=%s", 42, "x");
    logger->log(LOG_LEVEL_INFO, std::string("lv-pct 100% %d %s 数据已保存。"));
    const std::string text = "lv-cut-str" + std::string(2000, 't'), tail(1100, 'f');
    logger->log(LOG_LEVEL_INFO, text);
    logger->log(LOG_LEVEL_INFO, "lv-cut-fmt %s", tail.c_str());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(
        (V{rollingLine("lv-info"), rollingLine("lv-debug"), rollingLine("lv-error"),
           rollingLine("lv-three"), rollingLine("lv-fmt"), rollingLine("lv-pct"),
           rollingLine("lv-cut-str"), rollingLine("lv-cut-fmt")}),
        (V{"<time>[INFO] lv-info", "<time>[DEBUG] lv-debug", "<time>[ERROR] lv-error 2",
           "<0 lines>", "<time>[INFO] lv-fmt n=42 s=x",
           "<time>[INFO] lv-pct 100% %d %s 数据已保存。", "<time>[INFO] " + text.substr(0, 1023),
           "<time>[INFO] " + ("lv-cut-fmt " + tail).substr(0, 1023)}));
}

static std::time_t fakeNow = 0;

TEST(Logger, TheFirstLineAfterMidnightGoesToTheNewDaysFile) {
    const std::string log = rollingLogHome() + "/log/";
    std::tm lastSecond{};  // 2031-05-06 23:59:59
    lastSecond.tm_year = 131, lastSecond.tm_mon = 4, lastSecond.tm_mday = 6;
    lastSecond.tm_hour = 23, lastSecond.tm_min = lastSecond.tm_sec = 59, lastSecond.tm_isdst = -1;
    fakeNow = std::mktime(&lastSecond);
    Logger::setClock([] { return fakeNow; });
    Logger::getInstance()->log(LOG_LEVEL_INFO, std::string("day-one"));
    ++fakeNow;
    Logger::getInstance()->log(LOG_LEVEL_INFO, std::string("day-two"));
    Logger::setClock(nullptr);
    // Each file holds its day's line after the time stamp (the time of writing).
    const auto after = [&](const char* day) {
        const std::string text = readText(log + day + ".log");
        return text.substr(std::min(text.find('['), text.size()));
    };
    EXPECT_EQ(V({after("20310506"), after("20310507")}),
              V({"[INFO] day-one\n", "[INFO] day-two\n"}));
}

// Runs in a process of its own: the configuration is read only once.
static int logThroughConfigurationFile() {
    TempDir dir;
    ScopedCwd cwd(dir.path());
    writeText("QMlog.conf",
              "* GLOBAL:\n FORMAT = \"<%level> %msg\"\n FILENAME = \"from-conf.log\"\n"
              " TO_STANDARD_OUTPUT = false\n");
    Logger::getInstance()->log(LOG_LEVEL_ERROR, std::string("configured"));
    return readText("from-conf.log") == "<ERROR> configured\n" && !fs::exists("log") ? 0 : 1;
}

TEST(LoggerConfiguration, FileInTheWorkingDirectoryIsUsed) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(logThroughConfigurationFile()), testing::ExitedWithCode(0), "");
}
