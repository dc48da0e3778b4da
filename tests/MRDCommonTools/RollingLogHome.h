#pragma once

// The rolling logger is configured once per process, relative to the working
// directory of its first use. Every test that reaches it comes through here
// first, so that this happens inside a folder that belongs to the tests.
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "Logger.h"
#include "ToolsTestSupport.h"

namespace arxtest {

inline const std::string& rollingLogHome() {
    static arxtest::TempDir home;
    static const bool configured = [] {
        arxtest::ScopedCwd cwd(home.path());
        MeridianSpace::Logger::getInstance();
        return true;
    }();
    (void)configured;
    return home.path();
}

/// Lines of the rolling log file(s) that contain `marker`.
inline std::vector<std::string> rollingLogLines(const std::string& marker) {
    std::vector<std::string> lines;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(rollingLogHome() + "/log", ec)) {
        std::istringstream in(readText(entry.path().string()));
        for (std::string line; std::getline(in, line);) {
            if (line.find(marker) != std::string::npos) lines.push_back(line);
        }
    }
    return lines;
}

}  // namespace arxtest
