#pragma once

// Process-wide rolling logger: writes time-stamped lines at three levels into
// a file per day. The configuration comes from "QMlog.conf" in the working
// directory when present, otherwise lines go to "log/YYYYMMDD.log" there.
// The first line after the date changes goes to the new day's file.
#include <ctime>
#include <memory>
#include <string>

#include "ArxExport.h"

namespace MeridianSpace {

/// Levels of Logger::log. Any other value writes nothing.
enum LogLevel : int {
    LOG_LEVEL_INFO = 0,
    LOG_LEVEL_DEBUG = 1,
    LOG_LEVEL_ERROR = 2,
};

/// Safe from any thread: made once, never changed; Easylogging++ serialises the writes.
class ARX Logger {
public:
    /// The one instance; created on the first call and configured from the
    /// working directory of that moment.
    static std::shared_ptr<Logger> getInstance();

    /// printf-style message, cut to 1023 bytes.
    void log(LogLevel level, const char* format, ...) __attribute__((format(printf, 3, 4)));
    /// The text as it is (no directives are interpreted), cut to 1023 bytes.
    void log(LogLevel level, std::string text);

    /// The clock that decides the day of the file a line goes to (the date
    /// in file names); null, the default, is the system clock. Lets a test
    /// cross midnight without waiting for it.
    static void setClock(std::time_t (*now)());

    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;
    ~Logger() = default;

private:
    Logger();
};

}  // namespace MeridianSpace
