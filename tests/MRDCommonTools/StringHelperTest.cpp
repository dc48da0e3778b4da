#include "StringHelper.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "ToolsTestSupport.h"

using namespace arxtest;
using MeridianSpace::StringHelper;

TEST(StringHelper, NumbersAndText) {
    // What a stream writes with precision 15, which is %.15g.
    EXPECT_EQ(StringHelper::doubleTostring(2.0 / 3.0), "0.666666666666667");
    const std::pair<double, const char*> doubles[] = {
        {100.0, "100"}, {0.0001, "0.0001"}, {1e-5, "1e-05"}, {1e15, "1e+15"}};
    for (const auto& [value, text] : doubles)
        EXPECT_EQ(StringHelper::doubleTostring(value), text);
    // Short decimals take a faster road; it must print what %.15g prints,
    // at every scale and one step either side of each value.
    char expected[64];
    for (int scale = 0; scale <= 8; ++scale) {
        for (int i = -3000; i <= 3000; i += 7) {
            const double exact = i / std::pow(10.0, scale);
            for (double v : {exact, std::nextafter(exact, 1e9), std::nextafter(exact, -1e9)}) {
                std::snprintf(expected, sizeof(expected), "%.15g", v);
                ASSERT_EQ(StringHelper::doubleTostring(v), expected);
            }
        }
    }
    // The longest leading decimal number; hexadecimal and named values are none.
    const std::pair<const char*, double> texts[] = {
        {"  3.25abc", 3.25}, {"-1e3x", -1000.0}, {"2e", 2.0},   {".5", 0.5},
        {"", 0.0},           {"abc", 0.0},       {"0x10", 0.0}, {"inf", 0.0}};
    for (const auto& [text, value] : texts)
        EXPECT_DOUBLE_EQ(StringHelper::stringTodouble(text), value) << text;
    // Blanks, one sign, digits up to the first other character; beyond 32 bits saturates.
    const int max = INT_MAX, min = INT_MIN;
    const std::pair<const char*, int> ints[] = {
        {"abc", 0}, {"12abc", 12},        {" \t-42", -42},      {"+8", 8},
        {"- 8", 0}, {"99999999999", max}, {"-99999999999", min}};
    for (const auto& [text, value] : ints) {
        EXPECT_EQ(StringHelper::string2int(text), value) << text;
        EXPECT_EQ(StringHelper::string2long(text), value) << text;
    }
    std::string s = "aaa-aaa";
    StringHelper::string_replace(s, "a", "aa");  // inserted text is never searched again
    StringHelper::string_replace(s, "-", "");
    StringHelper::string_replace(s, "", "x");  // an empty search changes nothing
    EXPECT_EQ(s, std::string(12, 'a'));
    EXPECT_EQ(StringHelper::splitString(",a,,b,", ","), (V{"a", "b"}));
    EXPECT_EQ(StringHelper::splitString(",,,", ","), V{});
    EXPECT_EQ(StringHelper::splitString("a:b\\c", ":\\"), (V{"a", "b", "c"}));
    // text, part: starts with it, ends with it, contains it
    const std::tuple<const char*, const char*, bool, bool, bool> parts[] = {
        {"abc", "ab", true, false, true}, {"abc", "bc", false, true, true},
        {"abc", "b", false, false, true}, {"abc", "abc", true, true, true},
        {"abc", "", true, true, true},    {"bc", "abc", false, false, false}};
    for (const auto& [text, part, starts, ends, contains] : parts) {
        SCOPED_TRACE(std::string(text) + " / " + part);
        EXPECT_EQ(StringHelper::stringStartWith(text, part), starts);
        EXPECT_EQ(StringHelper::stringEndWith(text, part), ends);
        EXPECT_EQ(StringHelper::isSubStr(text, part), contains);
    }
    EXPECT_EQ(StringHelper::firstCharIndex("banana", 'a'), 1);
    EXPECT_EQ(StringHelper::lastCharIndex("banana", 'a'), 5);
    // Only the space character is trimmed.
    std::string both = "\t a  ", left = "  x ", right = "x \r\n ", blankL = "  ", blankR = "  ";
    StringHelper::TrimSpace(both);
    StringHelper::TrimLeftSpace(left);
    StringHelper::TrimRightSpace(right);
    StringHelper::TrimLeftSpace(blankL);
    StringHelper::TrimRightSpace(blankR);
    EXPECT_EQ((V{both, left, right, blankL, blankR}), (V{"\t a", "x ", "x \r\n", "", ""}));
    // ASCII letters only: "数据" is CA FD BE DD in GBK; DD and FD differ in the
    // bit that tells an upper-case letter.
    const std::string gbk = "数据aB";
    EXPECT_EQ(StringHelper::strToUpper(gbk) + StringHelper::strToLower(gbk), "数据AB数据ab");
    EXPECT_EQ((V{StringHelper::strFirstUpper("userName"), StringHelper::strFirstLower("UserName"),
                 StringHelper::strFirstUpper(""), StringHelper::strFirstLower(gbk)}),
              (V{"UserName", "userName", "", gbk}));
    EXPECT_TRUE(StringHelper::equalsIgnoreCase("T_M_EntityTableID", "t_m_entitytableid"));
    EXPECT_FALSE(StringHelper::equalsIgnoreCase("id", "ids"));
    EXPECT_FALSE(StringHelper::equalsIgnoreCase("数据", "\xCA\xFD\xBE\xFD"));
}

TEST(StringHelper, HexCodePagesPathsAndGuids) {
    testing::internal::CaptureStdout();
    EXPECT_EQ(StringHelper::StringToHex(std::string("J\x00\xff", 3)), "4A00FF");
    EXPECT_EQ(
        (std::vector<int>{StringHelper::pathType("/"), StringHelper::pathType("/proc/self/exe"),
                          StringHelper::pathType("/dev/null"), StringHelper::pathType("/no/such")}),
        (std::vector<int>{0, 1, -1, -2}));
    const std::string a = StringHelper::createGUID(), b = StringHelper::createGUID();
    EXPECT_EQ(
        testing::internal::GetCapturedStdout(),
        "4A00FF\nit's a directory\nit's a file\nnot file not directory\nerror, doesn't exist\n"
        "guid: " +
            a + "\nguid: " + b + "\n");
    const std::regex guid("[0-9A-F]{8}-[0-9A-F]{4}-[0-9a-f]{4}-[0-9A-F]{4}-[0-9A-F]{12}");
    EXPECT_TRUE(std::regex_match(a, guid) && std::regex_match(b, guid)) << a << " " << b;
    EXPECT_NE(a, b);
    // Pairs of digits, the last one alone; what is no hex digit reads as 0.
    EXPECT_EQ(StringHelper::HexToStr("4a4B") + StringHelper::HexToStr("zz4"),
              std::string("JK\0\4", 4));
    // Literals are GBK: "数据" is CA FD BE DD, in UTF-8 E6 95 B0 E6 8D AE.
    const std::string gbk = "数据", utf8 = "\xE6\x95\xB0\xE6\x8D\xAE";
    EXPECT_EQ(gbk, "\xCA\xFD\xBE\xDD");
    EXPECT_EQ(StringHelper::GBKToUTF8(gbk), utf8);
    EXPECT_EQ(StringHelper::UTF8ToGBK(utf8), gbk);
    // Conversion stops at a zero; an emoji (no GBK form), a stray UTF-8
    // continuation byte, an invalid GBK byte and a lone lead byte become '?'.
    EXPECT_EQ(StringHelper::UTF8ToGBK(std::string("\xE6\x95\xB0\0\xE6\x8D\xAE", 7)), "\xCA\xFD");
    EXPECT_EQ(StringHelper::UTF8ToGBK("a\xF0\x9F\x98\x80z\x80z"), "a?z?z");
    EXPECT_EQ(StringHelper::GBKToUTF8("\xFFz\xCA"), "?z?");
    // The exact form answers where the first of them (or a zero) stands.
    std::string exact;
    EXPECT_EQ(StringHelper::UTF8ToGBKExact(utf8, exact), std::string::npos);
    EXPECT_EQ(exact, gbk);
    for (const std::string& text :
         {std::string("a\xF0\x9F\x98\x80z"), std::string("a\x80"), std::string("a\0\x80", 3)})
        EXPECT_EQ(StringHelper::UTF8ToGBKExact(text, exact), 1u) << text;
    // In place; the sized forms convert only when the result and its zero fit.
    char buffer[16] = "\xCA\xFD\xBE\xDD";
    char* p = buffer;
    StringHelper::GBKToUTF8(p);
    EXPECT_EQ(p, utf8);
    EXPECT_TRUE(StringHelper::UTF8ToGBK(buffer, 7));
    EXPECT_EQ(p, gbk);
    EXPECT_FALSE(StringHelper::GBKToUTF8(buffer, 6));
    EXPECT_EQ(p, gbk);
    EXPECT_TRUE(StringHelper::GBKToUTF8(buffer, 7));
    EXPECT_EQ(p, utf8);
}

TEST(StringHelper, TimeFormatsShowOneReadingOfTheClock) {
    V got;
    timespec before{}, after{};
    do {  // again when a second ends between the readings
        clock_gettime(CLOCK_REALTIME, &before);
        got.clear();
        for (int format : {0, 1, 2, 3, 4, 5, 9, -1, 6, 7})
            got.push_back(StringHelper::currTimeStr(format));
        for (int days : {-1, 0, 1})
            got.push_back(StringHelper::dateTo(days));
        clock_gettime(CLOCK_REALTIME, &after);
    } while (before.tv_sec != after.tv_sec);
    const std::tm* t = std::localtime(&before.tv_sec);
    char local[32];
    const std::string base(local, std::strftime(local, sizeof(local), "%F %T", t));
    const std::string digits = std::regex_replace(base, std::regex("[-: ]"), "");
    const std::string day = digits.substr(0, 8);
    EXPECT_EQ(V(got.begin(), got.begin() + 8),
              (V{base, digits, std::regex_replace(base, std::regex("[: ]"), "-"), day,
                 digits.substr(2), digits.substr(4), base, base}));
    // Minute, second and millisecond are written without leading zeros.
    const std::string minSec = std::to_string(t->tm_min) + std::to_string(t->tm_sec);
    EXPECT_TRUE(std::regex_match(got[8], std::regex(minSec + "(0|[1-9][0-9]{0,2})"))) << got[8];
    EXPECT_TRUE(std::regex_match(got[9], std::regex(base + "\\.(0|[1-9][0-9]{0,2})"))) << got[9];
    EXPECT_TRUE(got[10] < day && got[11] == day && day < got[12]) << got[10] << got[12];
}
