#pragma once

// The run log: one text file per day in "./DB_Log", a time-stamped line per
// message, error, function entry and exit; a day file over 2 MiB is copied
// aside and started afresh, and files older than the day before yesterday can
// be cleaned up. Mode 1 writes the file, mode 2 hands every line to the
// rolling Logger, any other mode writes nothing. Nothing here throws; a log
// that cannot be written drops its lines.
#include <cstdint>
#include <fstream>
#include <string>

#include "ArxExport.h"

namespace MeridianSpace {

/// Callers serialise each instance, and all mode-1 instances together (one day file and counter).
class ARX LogManager {
public:
    /// Mode 1: the day file.
    LogManager();
    explicit LogManager(int logMode);
    ~LogManager();
    LogManager(const LogManager&) = delete;
    LogManager& operator=(const LogManager&) = delete;

    /// Creates the log folder in mode 1: 0 when created or nothing was to do,
    /// 1 when it already existed, -1 when creation failed (with a line on
    /// standard output for 1 and -1).
    int createFolder();
    /// With 31 or more files in the log folder, deletes those whose name
    /// carries (from position 6) a date before the day before yesterday. Always 0.
    int cleanLogFolder();
    /// "db_log" + today as YYYYMMDD + ".log".
    std::string logFileName();
    /// Opens today's file for appending (mode 1 only): 0 when open or nothing
    /// was to be opened, 1 when opening failed.
    int openLogFile();
    /// Always 0.
    int closeLogFile();
    /// Two empty lines, the title line with the time and the process path line.
    void writeHeader();
    /// One line: time stamp, "__", process tag, ": ", text.
    void appendLog(std::string text);
    void appendError(std::string pos, std::string msg);
    /// As appendError(pos, msg) when flag is not 0, else nothing.
    void appendError(int flag, std::string pos, std::string msg);
    void appFunBegin(std::string name);
    void appFunEnd(std::string name);
    void appFunRunPoint(std::string text);
    void appendMsg(std::string text);
    /// Runs before each file line. Every hundredth line of the process checks
    /// the size of today's file; over 2097152 bytes the file is copied to a
    /// backup and emptied, and a marker line starts it again. 0 when nothing
    /// was done, -2 after a backup, -1 when the copy failed (file unchanged).
    int checkAndBakupLogFile();

private:
    std::string dayFilePath();

    std::string _logFolder;
    std::ofstream _logFile;
    std::int32_t _logOn = 0;
    std::string _processPath;
    std::string _processTag;
    std::int32_t _logMode = 1;
};

}  // namespace MeridianSpace
