#include "StringHelper.h"
#include "ConsoleSink.h"

#include <iconv.h>
#include <locale.h>
#include <sys/stat.h>
#include <time.h>
#include <uuid/uuid.h>

#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string_view>

namespace MeridianSpace {

namespace {

bool isCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Parses "[blanks][sign]digits..." as the runtime's atol would, saturating at
// the 32-bit range instead of overflowing.
std::int32_t parseLeadingInt(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && isCSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT32_MAX) + 1) break;
    }
    if (negative) value = -value;
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<std::int32_t>(value);
}

// Length of the longest prefix of `s` that is a decimal floating-point
// number: [sign] digits [. digits] [e [sign] digits]; 0 when there is none.
std::size_t decimalPrefixLength(std::string_view s) {
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i < s.size() && isDigit(s[i]))
        ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && isDigit(s[i]))
            ++i, ++digits;
    }
    if (digits == 0) return 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
        if (j < s.size() && isDigit(s[j])) {
            while (j < s.size() && isDigit(s[j]))
                ++j;
            i = j;
        }
    }
    return i;
}

// Made once (a thread-safe static) and only read afterwards, so every thread
// may parse with it.
locale_t cLocale() {
    static locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return loc;
}

// Byte length of the UTF-8 character that starts at `s`, when it is a
// well-formed sequence; 0 otherwise.
std::size_t utf8SequenceLength(const unsigned char* s, std::size_t left) {
    std::size_t len = 0;
    if (s[0] >= 0xC2 && s[0] <= 0xDF) {
        len = 2;
    } else if (s[0] >= 0xE0 && s[0] <= 0xEF) {
        len = 3;
    } else if (s[0] >= 0xF0 && s[0] <= 0xF4) {
        len = 4;
    } else {
        return 0;
    }
    if (len > left) return 0;
    for (std::size_t k = 1; k < len; ++k) {
        if ((s[k] & 0xC0) != 0x80) return 0;
    }
    return len;
}

// Byte length of the GBK character that starts at `s` (1 or 2).
std::size_t gbkSequenceLength(const unsigned char* s, std::size_t left) {
    if (s[0] >= 0x81 && s[0] <= 0xFE && left >= 2 && s[1] >= 0x40 && s[1] <= 0xFE && s[1] != 0x7F) {
        return 2;
    }
    return 1;
}

enum class Charset { Gbk, Utf8 };

class IconvHandle {
public:
    IconvHandle(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~IconvHandle() {
        if (valid()) iconv_close(cd_);
    }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;
    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

private:
    iconv_t cd_;
};

// Converts `whole` (taken up to its first zero byte) between GBK and UTF-8.
// What cannot be converted becomes '?', the way the platform's code-page
// functions put their default character in; nothing is reported. With
// `failure`, the conversion stops instead at the first such character (or
// the zero byte) and its offset goes there; npos when there was none.
std::string convertText(std::string_view whole, Charset from, std::size_t* failure = nullptr) {
    const std::string_view input = whole.substr(0, whole.find('\0'));
    if (failure != nullptr)
        *failure = input.size() < whole.size() ? input.size() : std::string::npos;
    const char* fromName = from == Charset::Gbk ? "GBK" : "UTF-8";
    const char* toName = from == Charset::Gbk ? "UTF-8" : "GBK";
    IconvHandle cd(toName, fromName);
    if (!cd.valid()) {
        if (failure != nullptr) *failure = 0;
        return std::string(input);
    }

    std::string out;
    out.reserve(input.size() * 3 / 2 + 4);
    char chunk[1024];
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    while (inLeft > 0) {
        char* outPtr = chunk;
        std::size_t outLeft = sizeof(chunk);
        std::size_t rc = iconv(cd.get(), &in, &inLeft, &outPtr, &outLeft);
        out.append(chunk, outPtr - chunk);
        if (rc != static_cast<std::size_t>(-1)) continue;
        if (errno == E2BIG) continue;
        if (failure != nullptr) {
            *failure = static_cast<std::size_t>(in - input.data());
            return out;
        }
        // EILSEQ or EINVAL: skip the offending character and put '?' in its place.
        const auto* u = reinterpret_cast<const unsigned char*>(in);
        std::size_t skip =
            from == Charset::Gbk ? gbkSequenceLength(u, inLeft) : utf8SequenceLength(u, inLeft);
        if (skip == 0) skip = 1;
        if (skip > inLeft) skip = inLeft;
        out.push_back('?');
        in += skip;
        inLeft -= skip;
        iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
    }
    return out;
}

void convertInPlaceUnchecked(char* buffer, Charset from) {
    if (buffer == nullptr) return;
    std::string converted = convertText(buffer, from);
    std::memcpy(buffer, converted.c_str(), converted.size() + 1);
}

bool convertInPlaceSized(char* buffer, std::size_t capacity, Charset from) {
    if (buffer == nullptr || capacity == 0) return false;
    std::string_view current(buffer, strnlen(buffer, capacity));
    std::string converted = convertText(current, from);
    if (converted.size() + 1 > capacity) return false;
    std::memcpy(buffer, converted.c_str(), converted.size() + 1);
    return true;
}

std::string formatTime(const char* format, const struct tm& t) {
    char buffer[64];
    std::size_t n = strftime(buffer, sizeof(buffer), format, &t);
    return std::string(buffer, n);
}

// "-" when negative, then m with a decimal point k digits from the right.
std::string fixedDecimal(bool negative, long long m, int k) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof(digits), m).ptr;
    const int count = static_cast<int>(end - digits);
    std::string out = negative ? "-" : "";
    if (k == 0) return out.append(digits, end);
    if (count > k) return out.append(digits, count - k).append(".").append(digits + count - k, end);
    return out.append("0.").append(k - count, '0').append(digits, end);
}

// Whether |value| is m / 10^k for an integer m of at most 15 digits and
// k < 7 (m and k set): most numbers in rows are, and that decimal is exactly
// what %.15g prints (the value lies within half a unit in its last place of
// it, far inside half a step of the 15-digit grid), and reads back as the
// same value (the division is correctly rounded, as is the reading).
bool shortDecimal(double value, long long& m, int& k) {
    const double magnitude = value < 0 ? -value : value;
    if (!(magnitude >= 1e-4 && magnitude < 1e15)) return false;
    static const double kPowersOfTen[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6};
    for (k = 0; k < 7; ++k) {
        const double scaled = magnitude * kPowersOfTen[k];
        if (scaled >= 1e15) break;
        m = static_cast<long long>(scaled + 0.5);
        if (static_cast<double>(m) / kPowersOfTen[k] == magnitude) return true;
    }
    return false;
}

}  // namespace

std::string StringHelper::doubleTostring(double value) {
    // What a stream writes with precision 15 in its default format, which is
    // printf's %.15g in the C locale. Rows carry every number as this text,
    // so it is on the path of every save; a short decimal is much cheaper to
    // write out than to derive.
    long long m = 0;
    int k = 0;
    if (shortDecimal(value, m, k)) return fixedDecimal(value < 0, m, k);
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof(buffer), value, std::chars_format::general, 15);
    return std::string(buffer, result.ptr);
}

double StringHelper::stringTodouble(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && isCSpace(text[i]))
        ++i;
    std::string_view rest(text.data() + i, text.size() - i);
    std::size_t len = decimalPrefixLength(rest);
    if (len == 0) return 0.0;
    // from_chars reads the same decimal, correctly rounded as strtod does in
    // the C locale, at a fraction of the cost; it takes no '+' and leaves
    // values out of range to strtod, which saturates them.
    const std::size_t sign = rest[0] == '+' ? 1 : 0;
    double value = 0.0;
    const auto read = std::from_chars(rest.data() + sign, rest.data() + len, value);
    if (read.ec == std::errc() && read.ptr == rest.data() + len) return value;
    std::string number(rest.substr(0, len));
    return strtod_l(number.c_str(), nullptr, cLocale());
}

double StringHelper::readBackDouble(double value) {
    long long m = 0;
    int k = 0;
    if (shortDecimal(value, m, k)) return value;
    return stringTodouble(doubleTostring(value));
}

std::string StringHelper::int2String(int value) {
    return std::to_string(value);
}

std::string StringHelper::long2String(std::int32_t value) {
    return std::to_string(value);
}

int StringHelper::string2int(const std::string& text) {
    return parseLeadingInt(text);
}

std::int32_t StringHelper::string2long(const std::string& text) {
    return parseLeadingInt(text);
}

bool StringHelper::parseCanonicalInteger(const std::string& text, long long& value) {
    std::size_t i = text.size() > 0 && text[0] == '-' ? 1 : 0;
    const std::size_t digits = text.size() - i;
    if (digits == 0 || digits > 19) return false;
    if (text[i] == '0' && (digits > 1 || i == 1)) return false;
    unsigned long long magnitude = 0;
    for (std::size_t k = i; k < text.size(); ++k) {
        if (text[k] < '0' || text[k] > '9') return false;
        // At most 19 digits: below 10^19, which fits the unsigned type.
        magnitude = magnitude * 10 + static_cast<unsigned>(text[k] - '0');
    }
    const unsigned long long limit = static_cast<unsigned long long>(LLONG_MAX) + (i == 1 ? 1 : 0);
    if (magnitude > limit) return false;
    value = i == 1 ? static_cast<long long>(0 - magnitude) : static_cast<long long>(magnitude);
    return true;
}

bool StringHelper::parseWholeDouble(const std::string& text, double& value) {
    if (text.empty()) return false;
    // The text must be exactly a decimal number: what stringTodouble reads,
    // with nothing left over.
    const char first = text[0];
    if (!(first == '-' || first == '+' || first == '.' || (first >= '0' && first <= '9'))) {
        return false;
    }
    for (char c : text) {
        const bool allowed =
            (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E';
        if (!allowed) return false;
    }
    // from_chars takes no '+', and would read "+-1" as -1.
    if (first == '+' && text.size() > 1 && text[1] == '-') return false;
    const char* begin = text.data() + (first == '+' ? 1 : 0);
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(begin, end, value);
    return result.ec == std::errc() && result.ptr == end && std::isfinite(value);
}

void StringHelper::string_replace(std::string& text, const std::string& search,
                                  const std::string& replacement) {
    if (search.empty()) return;
    std::size_t pos = 0;
    while ((pos = text.find(search, pos)) != std::string::npos) {
        text.replace(pos, search.size(), replacement);
        pos += replacement.size();
    }
}

std::vector<std::string> StringHelper::splitString(std::string text, const char* delimiters) {
    std::vector<std::string> pieces;
    std::string_view delims = delimiters == nullptr ? std::string_view() : delimiters;
    std::size_t start = 0;
    while (start < text.size()) {
        start = text.find_first_not_of(delims, start);
        if (start == std::string::npos) break;
        std::size_t end = text.find_first_of(delims, start);
        if (end == std::string::npos) end = text.size();
        pieces.push_back(text.substr(start, end - start));
        start = end;
    }
    return pieces;
}

std::string StringHelper::StringToHex(const std::string& text) {
    static const char digits[] = "0123456789ABCDEF";
    std::string hex;
    hex.reserve(text.size() * 2);
    for (unsigned char c : text) {
        hex.push_back(digits[c >> 4]);
        hex.push_back(digits[c & 0x0F]);
    }
    ConsoleSink::stream() << hex << std::endl;
    return hex;
}

std::string StringHelper::HexToStr(const std::string& hex) {
    std::string out;
    out.reserve(hex.size() / 2 + 1);
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        std::string piece = hex.substr(i, 2);
        long value = std::strtol(piece.c_str(), nullptr, 16);
        out.push_back(static_cast<char>(value & 0xFF));
    }
    return out;
}

std::string StringHelper::GBKToUTF8(const std::string& gbk) {
    return convertText(gbk, Charset::Gbk);
}

std::string StringHelper::UTF8ToGBK(const std::string& utf8) {
    return convertText(utf8, Charset::Utf8);
}

std::size_t StringHelper::UTF8ToGBKExact(const std::string& utf8, std::string& gbk) {
    std::size_t failure = std::string::npos;
    gbk = convertText(utf8, Charset::Utf8, &failure);
    return failure;
}

void StringHelper::GBKToUTF8(char*& buffer) {
    convertInPlaceUnchecked(buffer, Charset::Gbk);
}

void StringHelper::UTF8ToGBK(char*& buffer) {
    convertInPlaceUnchecked(buffer, Charset::Utf8);
}

bool StringHelper::GBKToUTF8(char* buffer, std::size_t capacity) {
    return convertInPlaceSized(buffer, capacity, Charset::Gbk);
}

bool StringHelper::UTF8ToGBK(char* buffer, std::size_t capacity) {
    return convertInPlaceSized(buffer, capacity, Charset::Utf8);
}

std::string StringHelper::strToUpper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

std::string StringHelper::strToLower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

std::string StringHelper::strFirstUpper(std::string text) {
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') {
        text[0] = static_cast<char>(text[0] - 'a' + 'A');
    }
    return text;
}

std::string StringHelper::strFirstLower(std::string text) {
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z') {
        text[0] = static_cast<char>(text[0] - 'A' + 'a');
    }
    return text;
}

bool StringHelper::equalsIgnoreCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const char x = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
        const char y = b[i] >= 'A' && b[i] <= 'Z' ? static_cast<char>(b[i] - 'A' + 'a') : b[i];
        if (x != y) return false;
    }
    return true;
}

std::string StringHelper::currTimeStr(int format) {
    // One reading of the clock serves the seconds and the milliseconds, so the
    // two never disagree across a second boundary.
    struct timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    struct tm local {};
    localtime_r(&now.tv_sec, &local);
    const int millis = static_cast<int>(now.tv_nsec / 1000000);
    std::string base = formatTime("%Y-%m-%d %H:%M:%S", local);

    switch (format) {
        case 1:
        case 4: {
            string_replace(base, "-", "");
            string_replace(base, ":", "");
            string_replace(base, " ", "");
            return format == 1 ? base : base.substr(2);
        }
        case 2:
            string_replace(base, ":", "-");
            string_replace(base, " ", "-");
            return base;
        case 3:
            return formatTime("%Y%m%d", local);
        case 5:
            return formatTime("%m%d%H%M%S", local);
        case 6:
            return std::to_string(local.tm_min) + std::to_string(local.tm_sec) +
                   std::to_string(millis);
        case 7:
            return base + "." + std::to_string(millis);
        default:
            return base;
    }
}

std::string StringHelper::dateTo(int days) {
    time_t moment = time(nullptr) + static_cast<time_t>(days) * 86400;
    struct tm local {};
    localtime_r(&moment, &local);
    return formatTime("%Y%m%d", local);
}

void StringHelper::TrimLeftSpace(std::string& text) {
    std::size_t first = text.find_first_not_of(' ');
    text.erase(0, first == std::string::npos ? text.size() : first);
}

void StringHelper::TrimRightSpace(std::string& text) {
    std::size_t last = text.find_last_not_of(' ');
    text.erase(last == std::string::npos ? 0 : last + 1);
}

void StringHelper::TrimSpace(std::string& text) {
    TrimLeftSpace(text);
    TrimRightSpace(text);
}

bool StringHelper::stringStartWith(std::string text, std::string prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

bool StringHelper::stringEndWith(std::string text, std::string suffix) {
    if (text.size() < suffix.size()) return false;
    return text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool StringHelper::isSubStr(std::string text, std::string part) {
    return text.find(part) != std::string::npos;
}

int StringHelper::firstCharIndex(std::string text, char c) {
    std::size_t pos = text.find(c);
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int StringHelper::lastCharIndex(std::string text, char c) {
    std::size_t pos = text.rfind(c);
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int StringHelper::pathType(std::string path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        ConsoleSink::stream() << "error, doesn't exist" << std::endl;
        return -2;
    }
    if (S_ISDIR(st.st_mode)) {
        ConsoleSink::stream() << "it's a directory" << std::endl;
        return 0;
    }
    if (!S_ISREG(st.st_mode)) {
        ConsoleSink::stream() << "not file not directory" << std::endl;
        return -1;
    }
    ConsoleSink::stream() << "it's a file" << std::endl;
    return 1;
}

std::string StringHelper::createGUID() {
    uuid_t id;
    uuid_generate_random(id);
    const unsigned data1 = (unsigned{id[0]} << 24) | (unsigned{id[1]} << 16) |
                           (unsigned{id[2]} << 8) | unsigned{id[3]};
    const unsigned data2 = (unsigned{id[4]} << 8) | unsigned{id[5]};
    const unsigned data3 = (unsigned{id[6]} << 8) | unsigned{id[7]};
    char buffer[64];
    int n = std::snprintf(buffer, sizeof(buffer),
                          "%08X-%04X-%04x-%02X%02X-%02X%02X%02X%02X%02X%02X", data1, data2, data3,
                          id[8], id[9], id[10], id[11], id[12], id[13], id[14], id[15]);
    if (n != 36) {
        std::cerr << "create guid error\n";
        return "error";
    }
    ConsoleSink::stream() << "guid: " << buffer << "\n";
    return std::string(buffer, 36);
}

}  // namespace MeridianSpace
