#include "StringHelper.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <regex>

using MeridianSpace::StringHelper;

TEST(StringHelperNumbers, DoubleTextUsesFifteenSignificantDigits) {
    EXPECT_EQ(StringHelper::doubleTostring(0.1), "0.1");
    EXPECT_EQ(StringHelper::doubleTostring(100.0), "100");
    EXPECT_EQ(StringHelper::doubleTostring(1.0 / 3.0), "0.333333333333333");
    EXPECT_EQ(StringHelper::doubleTostring(1e20), "1e+20");
    EXPECT_EQ(StringHelper::doubleTostring(1e-5), "1e-05");
    EXPECT_EQ(StringHelper::doubleTostring(0.0001), "0.0001");
    EXPECT_EQ(StringHelper::doubleTostring(-2.5), "-2.5");
    EXPECT_EQ(StringHelper::doubleTostring(123456789012345678.0), "1.23456789012346e+17");
}

TEST(StringHelperNumbers, TextToDoubleTakesTheLongestDecimalPrefix) {
    EXPECT_DOUBLE_EQ(StringHelper::stringTodouble("  3.25abc"), 3.25);
    EXPECT_DOUBLE_EQ(StringHelper::stringTodouble("-1e3x"), -1000.0);
    EXPECT_DOUBLE_EQ(StringHelper::stringTodouble("2e"), 2.0);
    EXPECT_DOUBLE_EQ(StringHelper::stringTodouble(".5"), 0.5);
    EXPECT_DOUBLE_EQ(StringHelper::stringTodouble(""), 0.0);
    EXPECT_DOUBLE_EQ(StringHelper::stringTodouble("abc"), 0.0);
    // Hexadecimal and named values are not decimal numbers.
    EXPECT_DOUBLE_EQ(StringHelper::stringTodouble("0x10"), 0.0);
    EXPECT_DOUBLE_EQ(StringHelper::stringTodouble("inf"), 0.0);
    // Round trip through the text form.
    EXPECT_DOUBLE_EQ(StringHelper::stringTodouble(StringHelper::doubleTostring(0.1)), 0.1);
}

TEST(StringHelperNumbers, IntegerTextRules) {
    EXPECT_EQ(StringHelper::int2String(-7), "-7");
    EXPECT_EQ(StringHelper::int2String(0), "0");
    EXPECT_EQ(StringHelper::long2String(INT32_MIN), "-2147483648");
    EXPECT_EQ(StringHelper::string2int(""), 0);
    EXPECT_EQ(StringHelper::string2int("abc"), 0);
    EXPECT_EQ(StringHelper::string2int("12abc"), 12);
    EXPECT_EQ(StringHelper::string2int("  -42"), -42);
    EXPECT_EQ(StringHelper::string2int("+8"), 8);
    EXPECT_EQ(StringHelper::string2int("- 8"), 0);
    EXPECT_EQ(StringHelper::string2long("\t15"), 15);
    // Out-of-range texts saturate instead of wrapping.
    EXPECT_EQ(StringHelper::string2int("99999999999"), INT32_MAX);
    EXPECT_EQ(StringHelper::string2int("-99999999999"), INT32_MIN);
}

TEST(StringHelperText, ReplaceNeverRescansInsertedText) {
    std::string s = "aaa";
    StringHelper::string_replace(s, "a", "aa");
    EXPECT_EQ(s, "aaaaaa");
    s = "x-y-z";
    StringHelper::string_replace(s, "-", "");
    EXPECT_EQ(s, "xyz");
    s = "Abc";
    StringHelper::string_replace(s, "a", "Q");  // case-sensitive
    EXPECT_EQ(s, "Abc");
    s = "abc";
    StringHelper::string_replace(s, "", "x");  // empty search: left alone
    EXPECT_EQ(s, "abc");
}

TEST(StringHelperText, SplitDropsEmptyPieces) {
    using V = std::vector<std::string>;
    EXPECT_EQ(StringHelper::splitString(",a,,b,", ","), (V{"a", "b"}));
    EXPECT_EQ(StringHelper::splitString("", ","), V{});
    EXPECT_EQ(StringHelper::splitString(",,,", ","), V{});
    EXPECT_EQ(StringHelper::splitString("a:b\\c", ":\\"), (V{"a", "b", "c"}));
    EXPECT_EQ(StringHelper::splitString("abc", ","), V{"abc"});
    EXPECT_EQ(StringHelper::splitString("12,=#13,like", "#"), (V{"12,=", "13,like"}));
}

TEST(StringHelperText, PrefixSuffixAndSearch) {
    EXPECT_TRUE(StringHelper::stringStartWith("abc", "ab"));
    EXPECT_TRUE(StringHelper::stringStartWith("abc", ""));
    EXPECT_FALSE(StringHelper::stringStartWith("a", "ab"));
    EXPECT_TRUE(StringHelper::stringEndWith("abc", "bc"));
    EXPECT_TRUE(StringHelper::stringEndWith("abc", ""));
    EXPECT_FALSE(StringHelper::stringEndWith("c", "bc"));
    EXPECT_TRUE(StringHelper::isSubStr("a\\\\b", "\\\\"));
    EXPECT_TRUE(StringHelper::isSubStr("abc", ""));
    EXPECT_FALSE(StringHelper::isSubStr("abc", "abcd"));
    EXPECT_EQ(StringHelper::firstCharIndex("", 'a'), -1);
    EXPECT_EQ(StringHelper::firstCharIndex("banana", 'a'), 1);
    EXPECT_EQ(StringHelper::lastCharIndex("banana", 'a'), 5);
    EXPECT_EQ(StringHelper::lastCharIndex("banana", 'z'), -1);
}

TEST(StringHelperText, CaseChangesTouchOnlyAsciiLetters) {
    const std::string gbk = "数据aB";  // GBK bytes followed by ASCII
    EXPECT_EQ(StringHelper::strToUpper(gbk), std::string("数据AB"));
    EXPECT_EQ(StringHelper::strToLower(gbk), std::string("数据ab"));
    EXPECT_EQ(StringHelper::strFirstUpper("userName"), "UserName");
    EXPECT_EQ(StringHelper::strFirstLower("UserName"), "userName");
    EXPECT_EQ(StringHelper::strFirstUpper(""), "");
    EXPECT_EQ(StringHelper::strFirstUpper(gbk), gbk);
    EXPECT_TRUE(StringHelper::equalsIgnoreCase("T_M_EntityTableID", "t_m_entitytableid"));
    EXPECT_FALSE(StringHelper::equalsIgnoreCase("id", "ids"));
    EXPECT_FALSE(StringHelper::equalsIgnoreCase("数据", "\xCA\xFD\xBE\xFD"));
}

TEST(StringHelperText, TrimOnlyRemovesSpaces) {
    std::string s = "\t a  ";
    StringHelper::TrimSpace(s);
    EXPECT_EQ(s, "\t a");
    s = "   ";
    StringHelper::TrimSpace(s);
    EXPECT_EQ(s, "");
    s = "  x";
    StringHelper::TrimLeftSpace(s);
    EXPECT_EQ(s, "x");
    s = "x \r\n ";
    StringHelper::TrimRightSpace(s);
    EXPECT_EQ(s, "x \r\n");
}

TEST(StringHelperHex, EncodeAndDecode) {
    testing::internal::CaptureStdout();
    EXPECT_EQ(StringHelper::StringToHex("JK"), "4A4B");
    EXPECT_EQ(StringHelper::StringToHex(std::string("\x00\xff", 2)), "00FF");
    EXPECT_EQ(StringHelper::StringToHex(""), "");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "4A4B\n00FF\n\n");

    EXPECT_EQ(StringHelper::HexToStr("4a4B"), "JK");
    EXPECT_EQ(StringHelper::HexToStr("414"), std::string("A\x04", 2));
    EXPECT_EQ(StringHelper::HexToStr("zz"), std::string(1, '\0'));
    EXPECT_EQ(StringHelper::HexToStr(""), "");
    const std::string bytes = "数据\x01";
    testing::internal::CaptureStdout();
    EXPECT_EQ(StringHelper::HexToStr(StringHelper::StringToHex(bytes)), bytes);
    testing::internal::GetCapturedStdout();
}

TEST(StringHelperCodePage, LiteralsAreGbkAndConvertBothWays) {
    // "数据" compiled as GBK, and the same word in UTF-8.
    const std::string gbk = "数据";
    const std::string utf8 = "\xE6\x95\xB0\xE6\x8D\xAE";
    EXPECT_EQ(gbk, "\xCA\xFD\xBE\xDD");
    EXPECT_EQ(StringHelper::GBKToUTF8(gbk), utf8);
    EXPECT_EQ(StringHelper::UTF8ToGBK(utf8), gbk);
    EXPECT_EQ(StringHelper::GBKToUTF8("plain"), "plain");
}

TEST(StringHelperCodePage, StopsAtZeroAndReplacesWhatCannotConvert) {
    const std::string withZero("\xE6\x95\xB0\0\xE6\x8D\xAE", 7);
    EXPECT_EQ(StringHelper::UTF8ToGBK(withZero), "\xCA\xFD");
    // An emoji has no GBK form; a stray continuation byte is no UTF-8.
    EXPECT_EQ(StringHelper::UTF8ToGBK("a\xF0\x9F\x98\x80"
                                      "b"),
              "a?b");
    EXPECT_EQ(StringHelper::UTF8ToGBK("a\x80"
                                      "b"),
              "a?b");
    // A lone GBK lead byte at the end, and an invalid lead byte.
    EXPECT_EQ(StringHelper::GBKToUTF8("a\xCA"), "a?");
    EXPECT_EQ(StringHelper::GBKToUTF8("\xFF"
                                      "z"),
              "?z");
}

TEST(StringHelperCodePage, InPlaceConversionsRespectTheBuffer) {
    char buffer[16] = "\xCA\xFD\xBE\xDD";
    char* p = buffer;
    StringHelper::GBKToUTF8(p);
    EXPECT_EQ(p, buffer);
    EXPECT_STREQ(buffer, "\xE6\x95\xB0\xE6\x8D\xAE");
    StringHelper::UTF8ToGBK(p);
    EXPECT_STREQ(buffer, "\xCA\xFD\xBE\xDD");

    // Four GBK bytes need six UTF-8 bytes and a zero: 6 bytes of room are too few.
    char tight[6] = "\xCA\xFD\xBE\xDD";
    EXPECT_FALSE(StringHelper::GBKToUTF8(tight, sizeof(tight)));
    EXPECT_STREQ(tight, "\xCA\xFD\xBE\xDD");
    char roomy[7] = "\xCA\xFD\xBE\xDD";
    EXPECT_TRUE(StringHelper::GBKToUTF8(roomy, sizeof(roomy)));
    EXPECT_STREQ(roomy, "\xE6\x95\xB0\xE6\x8D\xAE");
    EXPECT_TRUE(StringHelper::UTF8ToGBK(roomy, sizeof(roomy)));
    EXPECT_STREQ(roomy, "\xCA\xFD\xBE\xDD");
}

TEST(StringHelperTime, SelectorsShapeOneReading) {
    const std::regex full(R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2})");
    EXPECT_TRUE(std::regex_match(StringHelper::currTimeStr(0), full));
    EXPECT_TRUE(std::regex_match(StringHelper::currTimeStr(9), full));
    EXPECT_TRUE(std::regex_match(StringHelper::currTimeStr(-1), full));
    EXPECT_TRUE(std::regex_match(StringHelper::currTimeStr(1), std::regex(R"(\d{14})")));
    EXPECT_TRUE(std::regex_match(StringHelper::currTimeStr(2),
                                 std::regex(R"(\d{4}-\d{2}-\d{2}-\d{2}-\d{2}-\d{2})")));
    EXPECT_TRUE(std::regex_match(StringHelper::currTimeStr(3), std::regex(R"(\d{8})")));
    EXPECT_TRUE(std::regex_match(StringHelper::currTimeStr(4), std::regex(R"(\d{12})")));
    EXPECT_TRUE(std::regex_match(StringHelper::currTimeStr(5), std::regex(R"(\d{10})")));
    // Minute, second and millisecond without leading zeros: 3 to 7 digits.
    EXPECT_TRUE(std::regex_match(StringHelper::currTimeStr(6), std::regex(R"([0-9]{3,7})")));
    EXPECT_TRUE(
        std::regex_match(StringHelper::currTimeStr(7),
                         std::regex(R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.(0|[1-9]\d{0,2}))")));
    EXPECT_EQ(StringHelper::dateTo(0), StringHelper::currTimeStr(3));
    const int today = StringHelper::string2int(StringHelper::dateTo(0));
    const int yesterday = StringHelper::string2int(StringHelper::dateTo(-1));
    EXPECT_LT(yesterday, today);
    EXPECT_LT(today, StringHelper::string2int(StringHelper::dateTo(1)));
}

TEST(StringHelperPaths, PathTypeAsksTheFileSystem) {
    char dir[] = "/tmp/arx_sh_XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string file = std::string(dir) + "/f.txt";
    FILE* f = std::fopen(file.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);

    testing::internal::CaptureStdout();
    EXPECT_EQ(StringHelper::pathType(dir), 0);
    EXPECT_EQ(StringHelper::pathType(file), 1);
    EXPECT_EQ(StringHelper::pathType(std::string(dir) + "/missing"), -2);
    EXPECT_EQ(StringHelper::pathType("/dev/null"), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "it's a directory\nit's a file\nerror, doesn't exist\nnot file not directory\n");
    std::remove(file.c_str());
    rmdir(dir);
}

TEST(StringHelperGuid, FormatAndUniqueness) {
    testing::internal::CaptureStdout();
    const std::string a = StringHelper::createGUID();
    const std::string b = StringHelper::createGUID();
    const std::string out = testing::internal::GetCapturedStdout();
    const std::regex form("[0-9A-F]{8}-[0-9A-F]{4}-[0-9a-f]{4}-[0-9A-F]{4}-[0-9A-F]{12}");
    EXPECT_TRUE(std::regex_match(a, form)) << a;
    EXPECT_TRUE(std::regex_match(b, form)) << b;
    EXPECT_NE(a, b);
    EXPECT_EQ(out, "guid: " + a + "\nguid: " + b + "\n");
}
