#pragma once

// How a record save refreshes the current project's update time. The
// project record installs the handler that finds and saves the current
// project; until one is installed there is no current project to find.
#include <string>

#include "ArxExport.h"
#include "ResultReturnCode.h"

namespace MeridianSpace {

struct ProjectStampOutcome {
    /// The current project identifier (-1 when none is set).
    int projectID = -1;
    /// Whether a stored project has that identifier.
    bool found = false;
    /// The result of saving the found project with its new update time.
    ResultMsg saved;
};

/// The handler is installed by one thread before records are saved.
class ARX ProjectStamp {
public:
    using Handler = ProjectStampOutcome (*)(const std::string& updateTime, int commitType);

    /// Installs the handler and hands back the one it replaces; null
    /// restores "no current project".
    static Handler install(Handler handler);
    /// Sets the current project's update time (the local time, taken only
    /// when a handler is installed) and saves it, through the handler.
    static ProjectStampOutcome apply(int commitType);
};

}  // namespace MeridianSpace
