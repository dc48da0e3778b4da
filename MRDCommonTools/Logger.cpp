#include "Logger.h"

#include <unistd.h>

#include <cstdarg>
#include <cstdio>

#include "easylogging++.h"

INITIALIZE_EASYLOGGINGPP

namespace MeridianSpace {

namespace {

constexpr const char* kConfigFile = "QMlog.conf";
constexpr const char* kLoggerId = "default";
constexpr std::size_t kMessageBytes = 1024;

el::Configurations defaultConfiguration() {
    using el::ConfigurationType;
    el::Configurations conf;
    conf.setToDefault();
    conf.setGlobally(ConfigurationType::Format, "%datetime{%Y-%M-%d%  %H:%m:%s,%g}[%level] %msg");
    conf.setGlobally(ConfigurationType::Enabled, "true");
    conf.setGlobally(ConfigurationType::ToFile, "true");
    conf.setGlobally(ConfigurationType::ToStandardOutput, "false");
    conf.setGlobally(ConfigurationType::Filename, "log/%datetime{%Y%M%d}.log");
    conf.setGlobally(ConfigurationType::SubsecondPrecision, "3");
    conf.setGlobally(ConfigurationType::LogFlushThreshold, "0");
    conf.setGlobally(ConfigurationType::PerformanceTracking, "false");
    conf.set(el::Level::Debug, ConfigurationType::Enabled, "true");
    conf.set(el::Level::Error, ConfigurationType::Enabled, "true");
    conf.set(el::Level::Info, ConfigurationType::Enabled, "true");
    return conf;
}

// A configuration file that Easylogging++ cannot parse is reported by it on
// standard error; the default configuration is used instead.
bool configureFromFile() {
    if (::access(kConfigFile, F_OK) != 0) return false;
    el::Configurations conf;
    if (!conf.parseFromFile(kConfigFile)) return false;
    conf.setRemainingToDefault();
    el::Loggers::reconfigureAllLoggers(conf);
    return true;
}

void write(LogLevel level, const char* message) {
    try {
        el::Logger* logger = el::Loggers::getLogger(kLoggerId, true);
        if (logger == nullptr) return;
        switch (level) {
            case LOG_LEVEL_INFO:
                logger->info(message);
                break;
            case LOG_LEVEL_DEBUG:
                logger->debug(message);
                break;
            case LOG_LEVEL_ERROR:
                logger->error(message);
                break;
            default:
                break;
        }
    } catch (...) {
        // Logging never fails its caller.
    }
}

}  // namespace

Logger::Logger() {
    if (!configureFromFile()) el::Loggers::reconfigureLogger(kLoggerId, defaultConfiguration());
}

std::shared_ptr<Logger> Logger::getInstance() {
    static const std::shared_ptr<Logger> instance(new Logger());
    return instance;
}

void Logger::log(LogLevel level, const char* format, ...) {
    char buffer[kMessageBytes] = {};
    if (format != nullptr) {
        va_list args;
        va_start(args, format);
        std::vsnprintf(buffer, sizeof(buffer), format, args);
        va_end(args);
    }
    write(level, buffer);
}

void Logger::log(LogLevel level, std::string text) {
    char buffer[kMessageBytes] = {};
    text.copy(buffer, sizeof(buffer) - 1);
    write(level, buffer);
}

}  // namespace MeridianSpace
