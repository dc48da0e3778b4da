#pragma once

// Helpers of the tool tests, over the shared test support.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "Logger.h"
#include "support/FileText.h"
#include "support/TempDir.h"

namespace arxtest {

using V = std::vector<std::string>;
namespace fs = std::filesystem;

/// Tests that reach the rolling logger call this first: it is configured on its first use,
/// relative to the working directory, and so in a folder of the tests.
inline const std::string& rollingLogHome() {
    static TempDir home;
    [[maybe_unused]] static const bool configured = [] {
        ScopedCwd cwd(home.path());
        MeridianSpace::Logger::getInstance();
        return true;
    }();
    return home.path();
}

/// The one rolling log line that carries `marker`, its time stamp shown as "<time>".
inline std::string rollingLine(const std::string& marker) {
    static const std::regex stamp(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d,\d{3})");
    V found;
    for (const auto& entry : fs::directory_iterator(rollingLogHome() + "/log")) {
        std::istringstream in(readText(entry.path().string()));
        for (std::string line; std::getline(in, line);) {
            if (line.find(marker) != std::string::npos)
                found.push_back(std::regex_replace(line, stamp, "<time>"));
        }
    }
    return found.size() == 1 ? found[0] : "<" + std::to_string(found.size()) + " lines>";
}

}  // namespace arxtest
