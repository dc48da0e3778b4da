#pragma once

// Moves the process's current databases between the ones that were current
// when a transfer began (home) and a transfer file, and always back home:
// the destructor returns there on every path. Internal to arx_qms.
#include <string>

#include "ResultReturnCode.h"

namespace MeridianSpace {

class DatabaseSwitch {
public:
    /// Remembers the current configuration and work databases as home.
    DatabaseSwitch();
    /// Goes home when a call left the file current.
    ~DatabaseSwitch();
    DatabaseSwitch(const DatabaseSwitch&) = delete;
    DatabaseSwitch& operator=(const DatabaseSwitch&) = delete;

    /// Makes `file` the current work database (it must exist), then the
    /// current configuration database; with `readOnly` both only read it
    /// (nothing is written to the file). `failedStep` tells which of the two
    /// failed (1 or 2). A failure goes home at once.
    ResultMsg toFile(const std::string& file, int* failedStep = nullptr, bool readOnly = false);
    /// Makes the home databases current again (nothing when they are).
    ResultMsg toHome();

    const std::string& homeConfig() const { return homeConfig_; }
    const std::string& homeWork() const { return homeWork_; }

private:
    std::string homeConfig_;
    std::string homeWork_;
    bool away_ = false;
};

}  // namespace MeridianSpace
