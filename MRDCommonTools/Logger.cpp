#include "Logger.h"

#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "easylogging++.h"

INITIALIZE_EASYLOGGINGPP

namespace MeridianSpace {

namespace {

constexpr const char* kConfigFile = "QMlog.conf";
constexpr const char* kLoggerId = "default";
constexpr std::size_t kMessageBytes = 1024;

void setDefaults(el::Configurations& conf) {
    using el::ConfigurationType;
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
}

// A configuration file that Easylogging++ cannot parse is reported by it on
// standard error; the default configuration is used instead.
bool configureFromFile(el::Configurations& conf) {
    if (::access(kConfigFile, F_OK) != 0) return false;
    if (!conf.parseFromFile(kConfigFile)) {
        conf.clear();
        return false;
    }
    conf.setRemainingToDefault();
    return true;
}

// Easylogging++ puts the date into a file name once, when it is configured.
// The configuration is therefore kept with its file names unresolved and
// applied again, with the names resolved here, at the first line of a new day.
struct Rolling {
    std::mutex mutex;
    el::Configurations pattern;  // file names absolute, their dates not resolved
    bool allLoggers = false;     // QMlog.conf: every logger; the default: "default"
    std::string day;             // YYYYMMDD the files in use were resolved for
    std::time_t (*clock)() = nullptr;
};

Rolling& rolling() {
    static Rolling state;
    return state;
}

std::string dayOf(std::time_t time) {
    std::tm local{};
    ::localtime_r(&time, &local);
    char text[16] = {};
    std::strftime(text, sizeof(text), "%Y%m%d", &local);
    return text;
}

// `pattern` with its "%datetime" or "%datetime{format}" ("%%datetime" is
// not one) replaced by `time`, as Easylogging++ writes it.
std::string resolvedFilename(const std::string& pattern, std::time_t time) {
    const std::string directive = "%datetime";
    std::size_t at = pattern.find(directive);
    while (at != std::string::npos && at > 0 && pattern[at - 1] == '%')
        at = pattern.find(directive, at + 1);
    if (at == std::string::npos) return pattern;
    std::size_t end = at + directive.size();
    std::string format = "%Y-%M-%d_%H-%m";
    if (end < pattern.size() && pattern[end] == '{') {
        const std::size_t close = pattern.find('}', end);
        format = pattern.substr(end + 1, close == std::string::npos ? close : close - end - 1);
        end = close == std::string::npos ? pattern.size() : close + 1;
    }
    struct timeval moment {};
    moment.tv_sec = time;
    const el::base::SubsecondPrecision precision(3);
    std::string date =
        el::base::utils::DateTime::timevalToString(moment, format.c_str(), &precision);
    std::replace(date.begin(), date.end(), '/', '-');
    return pattern.substr(0, at) + date + pattern.substr(end);
}

// Applies the configuration with the file names of the day of `time`.
void applyFor(Rolling& state, std::time_t time) {
    el::Configurations resolved;
    resolved.setFromBase(&state.pattern);
    for (el::Configuration* conf : resolved) {
        if (conf->configurationType() == el::ConfigurationType::Filename)
            conf->setValue(resolvedFilename(conf->value(), time));
    }
    if (state.allLoggers) {
        el::Loggers::reconfigureAllLoggers(resolved);
    } else {
        el::Loggers::reconfigureLogger(kLoggerId, resolved);
    }
    state.day = dayOf(time);
}

std::time_t now(const Rolling& state) {
    return state.clock != nullptr ? state.clock() : std::time(nullptr);
}

void write(LogLevel level, const char* message) {
    try {
        Rolling& state = rolling();
        {
            std::lock_guard<std::mutex> lock(state.mutex);
            const std::time_t time = now(state);
            if (dayOf(time) != state.day) applyFor(state, time);
        }
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
    Rolling& state = rolling();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.allLoggers = configureFromFile(state.pattern);
    if (!state.allLoggers) setDefaults(state.pattern);
    // A new day's file lies where the first one did, whatever the working
    // directory has become.
    char cwd[PATH_MAX] = {};
    if (::getcwd(cwd, sizeof(cwd)) != nullptr) {
        for (el::Configuration* conf : state.pattern) {
            if (conf->configurationType() == el::ConfigurationType::Filename &&
                !conf->value().empty() && conf->value()[0] != '/')
                conf->setValue(std::string(cwd) + "/" + conf->value());
        }
    }
    applyFor(state, now(state));
}

void Logger::setClock(std::time_t (*clock)()) {
    Rolling& state = rolling();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.clock = clock;
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
