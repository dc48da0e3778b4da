#pragma once

// Text toolbox: number/text conversion, search and replace, splitting,
// trimming, case, hexadecimal coding, GBK <-> UTF-8, time stamps and GUIDs.
// All texts are byte strings; positions and lengths count bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ArxExport.h"

namespace MeridianSpace {

/// All functions are static and keep no state; safe from any thread.
class ARX StringHelper {
public:
    StringHelper() = delete;

    /// The text a stream writes for `value` with precision 15 (default float format).
    static std::string doubleTostring(double value);
    /// Longest leading decimal number (sign, fraction, exponent); 0.0 when none.
    static double stringTodouble(const std::string& text);
    /// stringTodouble(doubleTostring(value)): the number a row's text gives back.
    static double readBackDouble(double value);
    static std::string int2String(int value);
    static std::string long2String(std::int32_t value);
    /// Leading blanks, optional sign, digits up to the first non-digit; 0 when none.
    /// Values beyond the 32-bit range saturate.
    static int string2int(const std::string& text);
    static std::int32_t string2long(const std::string& text);
    /// True for an integer written the way int2String writes it ("-12", "0",
    /// no '+', no leading zeros) that fits 64 bits: the integer text a number
    /// column stores as a number.
    static bool parseCanonicalInteger(const std::string& text, long long& value);
    /// True when the whole text is one finite decimal number (sign, fraction,
    /// exponent; no blanks, no "inf" or "nan").
    static bool parseWholeDouble(const std::string& text, double& value);

    /// Replaces every occurrence of `search` left to right; replaced text is
    /// never searched again. An empty `search` leaves the text unchanged.
    static void string_replace(std::string& text, const std::string& search,
                               const std::string& replacement);
    /// Pieces between any of the delimiter characters; never an empty piece.
    static std::vector<std::string> splitString(std::string text, const char* delimiters);

    /// Two upper-case hex digits per byte; also prints the result on stdout.
    static std::string StringToHex(const std::string& text);
    /// Reads pairs of hex digits (the last one alone when the length is odd).
    static std::string HexToStr(const std::string& hex);

    /// Conversions between GBK and UTF-8, up to the first zero byte; characters
    /// that cannot be converted become '?'.
    static std::string GBKToUTF8(const std::string& gbk);
    static std::string UTF8ToGBK(const std::string& utf8);
    /// In-place forms: the caller's buffer must hold the converted text and its
    /// zero (GBK to UTF-8 can grow the text by half). Prefer the sized forms.
    static void GBKToUTF8(char*& buffer);
    static void UTF8ToGBK(char*& buffer);
    /// Sized in-place forms: convert only when the result and its zero fit into
    /// `capacity` bytes; otherwise leave the buffer untouched and answer false.
    static bool GBKToUTF8(char* buffer, std::size_t capacity);
    static bool UTF8ToGBK(char* buffer, std::size_t capacity);
    /// UTF-8 to GBK without replacing anything: npos when all of `utf8` went
    /// into `gbk`, else the byte offset of the first character that is no
    /// UTF-8, is a zero byte or has no GBK form.
    static std::size_t UTF8ToGBKExact(const std::string& utf8, std::string& gbk);

    /// ASCII-only case changes; GBK bytes stay as they are.
    static std::string strToUpper(std::string text);
    static std::string strToLower(std::string text);
    static std::string strFirstUpper(std::string text);
    static std::string strFirstLower(std::string text);
    /// Equality ignoring the case of ASCII letters (the way SQL names compare).
    static bool equalsIgnoreCase(const std::string& a, const std::string& b);

    /// Local time in one of eight formats (see StringHelper.cpp); 0 gives
    /// "%Y-%m-%d %H:%M:%S", 3 "%Y%m%d", 6 minute+second+millisecond, 7 with ".ms".
    static std::string currTimeStr(int format);
    /// Today moved by `days` days, as "%Y%m%d".
    static std::string dateTo(int days);

    /// Remove leading/trailing space characters (0x20 only).
    static void TrimSpace(std::string& text);
    static void TrimLeftSpace(std::string& text);
    static void TrimRightSpace(std::string& text);

    static bool stringStartWith(std::string text, std::string prefix);
    static bool stringEndWith(std::string text, std::string suffix);
    static bool isSubStr(std::string text, std::string part);
    /// Byte position of the first/last occurrence of `c`, -1 when absent.
    static int firstCharIndex(std::string text, char c);
    static int lastCharIndex(std::string text, char c);

    /// Asks the file system: -2 missing, 0 directory, 1 regular file, -1 other.
    /// Prints one line describing the answer.
    static int pathType(std::string path);
    /// A new random GUID "XXXXXXXX-XXXX-xxxx-XXXX-XXXXXXXXXXXX" (third group in
    /// lower case); "error" when none can be made.
    static std::string createGUID();
};

}  // namespace MeridianSpace
