#include "LogManager.h"
#include "ConsoleSink.h"

#include <ctime>
#include <iostream>
#include <vector>

#include "DiskHelper.h"
#include "FileHelper.h"
#include "FolderHelper.h"
#include "Logger.h"
#include "StringHelper.h"

namespace MeridianSpace {

namespace {

constexpr int kModeFile = 1;
constexpr int kModeRolling = 2;
constexpr int kCheckEveryLines = 100;
constexpr int kMaxDayFileBytes = 2097152;

// Lines appended by all instances since the last size check.
std::int32_t linesSinceSizeCheck = 0;

const std::string& backupMarker() {
    static const std::string marker = std::string(36, '[') + "backuped" + std::string(44, ']');
    return marker;
}

// Hands a line to the rolling logger; a logger that cannot be set up loses
// the line rather than failing the caller.
void toRollingLog(LogLevel level, std::string text) {
    try {
        Logger::getInstance()->log(level, std::move(text));
    } catch (...) {
    }
}

}  // namespace

LogManager::LogManager() : LogManager(kModeFile) {}

LogManager::LogManager(int logMode) : _logFolder("./DB_Log"), _logMode(logMode) {
    createFolder();
    _logOn = 1;
    openLogFile();
    DiskHelper::CheckProcess(_processPath, _processTag);
    _processTag += "_" + StringHelper::int2String(static_cast<int>(std::clock()));
}

LogManager::~LogManager() {
    closeLogFile();
}

int LogManager::createFolder() {
    if (_logMode != kModeFile || FolderHelper::FolderExists(_logFolder)) return 0;
    const int created = FolderHelper::createDirFolder(_logFolder);
    if (created == 1) {
        ConsoleSink::stream() << " Can't create " << _logFolder << " folder! 文件夹已存在" << 1
                              << std::endl;
        return 1;
    }
    if (created == -1) {
        ConsoleSink::stream() << " Can't create " << _logFolder << " folder! 文件夹创建失败" << -1
                              << std::endl;
        return -1;
    }
    return 0;
}

int LogManager::cleanLogFolder() {
    const int cutOff = StringHelper::string2int(StringHelper::dateTo(-2));
    if (!FolderHelper::FolderExists(_logFolder)) return 0;
    const std::vector<std::string> files = FolderHelper::FilesInFolder(_logFolder);
    if (files.size() < 31) return 0;
    for (const std::string& name : files) {
        if (name.size() < 6) continue;  // no date to read
        if (StringHelper::string2int(name.substr(6, 8)) < cutOff) {
            FileHelper::delFile(_logFolder + "/" + name);
        }
    }
    return 0;
}

std::string LogManager::logFileName() {
    return "db_log" + StringHelper::currTimeStr(3) + ".log";
}

std::string LogManager::dayFilePath() {
    return _logFolder + "/" + logFileName();
}

int LogManager::openLogFile() {
    if (_logMode != kModeFile || _logOn != 1) return 0;
    // Reopening an open stream would fail and leave it unusable; start afresh.
    if (_logFile.is_open()) _logFile.close();
    _logFile.clear();
    _logFile.open(dayFilePath(), std::ios::out | std::ios::app);
    return _logFile.is_open() ? 0 : 1;
}

int LogManager::closeLogFile() {
    if (_logFile.is_open()) _logFile.close();
    return 0;
}

void LogManager::writeHeader() {
    const std::string title = "--------------------------- MeridianNEW Log " +
                              StringHelper::currTimeStr(0) + "-------------------------";
    if (_logMode == kModeFile) {
        if (!_logFile.is_open()) return;
        _logFile << "\n\n" << title << std::endl << "[Process Path]  " << _processPath << std::endl;
    } else if (_logMode == kModeRolling) {
        toRollingLog(LOG_LEVEL_INFO, title);
        toRollingLog(LOG_LEVEL_INFO, "[Process Path]  " + _processPath);
    }
}

void LogManager::appendLog(std::string text) {
    if (_logMode == kModeFile) {
        if (!_logFile.is_open() || _logOn != 1) return;
        checkAndBakupLogFile();
        _logFile << StringHelper::currTimeStr(7) << "__" << _processTag << ": " << text
                 << std::endl;
    } else if (_logMode == kModeRolling) {
        toRollingLog(LOG_LEVEL_INFO, std::move(text));
    }
}

void LogManager::appendError(std::string pos, std::string msg) {
    if (_logMode == kModeFile) {
        appendLog("[ERROR Pos]: " + pos);
        appendLog("[ERROR Msg]:" + msg);
    } else if (_logMode == kModeRolling) {
        toRollingLog(LOG_LEVEL_ERROR, "[ERROR Pos]: " + pos + "  [ERROR Msg]:" + msg);
    }
}

void LogManager::appendError(int flag, std::string pos, std::string msg) {
    if (flag != 0) appendError(std::move(pos), std::move(msg));
}

void LogManager::appFunBegin(std::string name) {
    appendLog("");
    appendLog(">> " + std::string(14, '+') + " [BEGIN]: " + name + " " + std::string(14, '+') +
              " ");
}

void LogManager::appFunEnd(std::string name) {
    appendLog(">> " + std::string(14, '*') + " [ END ]: " + name + " " + std::string(13, '*') +
              " ");
}

void LogManager::appFunRunPoint(std::string text) {
    appendLog("run>: " + text);
}

void LogManager::appendMsg(std::string text) {
    appendLog("[Msg]:" + text);
}

int LogManager::checkAndBakupLogFile() {
    if (_logOn == 0) return 0;
    if (++linesSinceSizeCheck < kCheckEveryLines) return 0;
    linesSinceSizeCheck = 0;

    const std::string path = dayFilePath();
    if (DiskHelper::fileSizeByte(path) <= kMaxDayFileBytes) return 0;
    std::string backup = path;
    StringHelper::string_replace(backup, ".log", "_" + StringHelper::currTimeStr(6) + ".log");
    if (FileHelper::copyFile(path, backup) != 0) return -1;

    closeLogFile();
    {
        // Opening for writing empties the day file; nothing is written.
        std::ofstream emptied(path, std::ios::out | std::ios::trunc);
    }
    openLogFile();
    appendLog(backupMarker());
    return -2;
}

}  // namespace MeridianSpace
