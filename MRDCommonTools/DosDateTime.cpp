#include "DosDateTime.h"

#include <time.h>

namespace MeridianSpace {
namespace detail {

namespace {

constexpr int kDosFirstYear = 1980;
constexpr int kDosLastYear = 2107;

bool isLeap(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeap(year) ? 29 : days[month - 1];
}

}  // namespace

std::uint32_t toDosDateTime(time_t moment) {
    struct tm local {};
    localtime_r(&moment, &local);
    int year = local.tm_year + 1900;
    if (year < kDosFirstYear) return (1u << 5 | 1u) << 16;  // 1980-01-01 00:00:00
    if (year > kDosLastYear) {
        return ((static_cast<std::uint32_t>(kDosLastYear - kDosFirstYear) << 9 | 12u << 5 | 31u)
                << 16) |
               (23u << 11 | 59u << 5 | 29u);
    }
    const std::uint32_t date = static_cast<std::uint32_t>(year - kDosFirstYear) << 9 |
                               static_cast<std::uint32_t>(local.tm_mon + 1) << 5 |
                               static_cast<std::uint32_t>(local.tm_mday);
    // A leap second (tm_sec 60) still fits the 5-bit field as 30.
    const std::uint32_t time = static_cast<std::uint32_t>(local.tm_hour) << 11 |
                               static_cast<std::uint32_t>(local.tm_min) << 5 |
                               static_cast<std::uint32_t>(local.tm_sec / 2);
    return date << 16 | time;
}

bool fromDosDateTime(std::uint32_t dos, time_t& moment) {
    const std::uint32_t date = dos >> 16;
    const std::uint32_t time = dos & 0xFFFFu;
    const int year = static_cast<int>(date >> 9) + kDosFirstYear;
    const int month = static_cast<int>((date >> 5) & 0x0Fu);
    const int day = static_cast<int>(date & 0x1Fu);
    const int hour = static_cast<int>(time >> 11);
    const int minute = static_cast<int>((time >> 5) & 0x3Fu);
    const int second = static_cast<int>(time & 0x1Fu) * 2;
    if (month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month)) return false;
    if (hour > 23 || minute > 59 || second > 59) return false;

    struct tm local {};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;  // let the time zone decide, as for any local time
    moment = mktime(&local);
    return moment != static_cast<time_t>(-1);
}

}  // namespace detail
}  // namespace MeridianSpace
