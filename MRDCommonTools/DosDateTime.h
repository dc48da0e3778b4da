#pragma once

// The 32-bit DOS packing of a local date and time: the date in the high 16
// bits (years since 1980 << 9 | month << 5 | day), the time in the low 16 bits
// (hour << 11 | minute << 5 | seconds / 2). Internal to arx_tools.
#include <sys/types.h>

#include <cstdint>

namespace MeridianSpace {
namespace detail {

/// Packs the local time of `moment`. Moments outside the DOS range
/// (1980-01-01 to 2107-12-31) are clamped to its ends; odd seconds round down.
std::uint32_t toDosDateTime(time_t moment);

/// Unpacks a DOS value as local time. False when the value names no valid
/// date or time (month 0, day 0, hour 24, ...).
bool fromDosDateTime(std::uint32_t dos, time_t& moment);

}  // namespace detail
}  // namespace MeridianSpace
