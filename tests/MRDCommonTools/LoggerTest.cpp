#include "Logger.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "RollingLogHome.h"

using arxtest::rollingLogHome;
using arxtest::rollingLogLines;
using arxtest::ScopedCwd;
using arxtest::TempDir;
using MeridianSpace::Logger;
using MeridianSpace::LogLevel;
namespace fs = std::filesystem;

namespace {

class LoggerTest : public testing::Test {
protected:
    void SetUp() override { rollingLogHome(); }

    TempDir work_;
    ScopedCwd cwd_{work_.path()};
};

// The message part of the one log line that carries `marker`.
std::string messageOf(const std::string& marker) {
    const std::vector<std::string> lines = rollingLogLines(marker);
    if (lines.size() != 1) return "<" + std::to_string(lines.size()) + " lines>";
    return lines[0].substr(lines[0].find("] ") + 2);
}

}  // namespace

TEST_F(LoggerTest, LevelsMapToInfoDebugErrorAndNothingElse) {
    auto logger = Logger::getInstance();
    EXPECT_EQ(logger, Logger::getInstance());
    testing::internal::CaptureStdout();
    logger->log(MeridianSpace::LOG_LEVEL_INFO, std::string("levels-info"));
    logger->log(MeridianSpace::LOG_LEVEL_DEBUG, std::string("levels-debug"));
    logger->log(MeridianSpace::LOG_LEVEL_ERROR, std::string("levels-error"));
    logger->log(static_cast<LogLevel>(3), std::string("levels-three"));
    logger->log(static_cast<LogLevel>(-1), "levels-minus %d", 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

    const auto info = rollingLogLines("levels-info");
    ASSERT_EQ(info.size(), 1u);
    EXPECT_TRUE(arxtest::hasShape(info[0], "####-##-## ##:##:##,###[INFO] levels-info")) << info[0];
    ASSERT_EQ(rollingLogLines("levels-debug").size(), 1u);
    EXPECT_NE(rollingLogLines("levels-debug")[0].find("[DEBUG] levels-debug"), std::string::npos);
    ASSERT_EQ(rollingLogLines("levels-error").size(), 1u);
    EXPECT_NE(rollingLogLines("levels-error")[0].find("[ERROR] levels-error"), std::string::npos);
    EXPECT_TRUE(rollingLogLines("levels-three").empty());
    EXPECT_TRUE(rollingLogLines("levels-minus").empty());
    // The file lives where the logger was first configured, not in the current folder.
    EXPECT_FALSE(fs::exists("log"));
}

TEST_F(LoggerTest, FormatsPrintfStyleAndKeepsTextAsItIs) {
    auto logger = Logger::getInstance();
    logger->log(MeridianSpace::LOG_LEVEL_INFO, "fmt-mark n=%d s=%s", 42, "x");
    EXPECT_EQ(messageOf("fmt-mark"), "fmt-mark n=42 s=x");
    logger->log(MeridianSpace::LOG_LEVEL_INFO, std::string("pct-mark 100% %d %s"));
    EXPECT_EQ(messageOf("pct-mark"), "pct-mark 100% %d %s");
    const std::string chinese = "gbk-mark 数据已保存。";
    logger->log(MeridianSpace::LOG_LEVEL_INFO, chinese);
    EXPECT_EQ(messageOf("gbk-mark"), chinese);
}

TEST_F(LoggerTest, MessagesAreCutTo1023Bytes) {
    auto logger = Logger::getInstance();
    const std::string text = "cut-text" + std::string(2000, 't');
    logger->log(MeridianSpace::LOG_LEVEL_INFO, text);
    EXPECT_EQ(messageOf("cut-text"), text.substr(0, 1023));

    const std::string tail(1100, 'f');
    logger->log(MeridianSpace::LOG_LEVEL_INFO, "cut-format %s", tail.c_str());
    EXPECT_EQ(messageOf("cut-format"), ("cut-format " + tail).substr(0, 1023));

    const std::string exact = "cut-exact" + std::string(1023 - 9, 'e');
    logger->log(MeridianSpace::LOG_LEVEL_INFO, exact);
    EXPECT_EQ(messageOf("cut-exact"), exact);
}

namespace {

// Runs in a process of its own: the configuration is read only once.
int logThroughConfigurationFile() {
    TempDir dir;
    ScopedCwd cwd(dir.path());
    arxtest::writeText("QMlog.conf",
                       "* GLOBAL:\n"
                       "    FORMAT = \"<%level> %msg\"\n"
                       "    FILENAME = \"from-conf.log\"\n"
                       "    TO_FILE = true\n"
                       "    TO_STANDARD_OUTPUT = false\n");
    Logger::getInstance()->log(MeridianSpace::LOG_LEVEL_ERROR, std::string("configured"));
    const bool ok =
        arxtest::readText("from-conf.log") == "<ERROR> configured\n" && !fs::exists("log");
    return ok ? 0 : 1;
}

}  // namespace

TEST(LoggerConfiguration, FileInTheWorkingDirectoryIsUsed) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(logThroughConfigurationFile()), testing::ExitedWithCode(0), "");
}
