#pragma once

// A project's data file: the work database of one project, named by a folder
// and a file name. Generated test code opens one before it works on rows.
#include <string>

#include "ArxExport.h"
#include "ResultReturnCode.h"

namespace MeridianSpace {

/// Used by the thread that uses the platform (see MeridianNew).
class ARX ProjectDAO {
public:
    ProjectDAO();

    /// Makes the existing data file the current work database; a missing
    /// file is refused (SRV_ERR_NO_FILE) and the current work database
    /// stays. The platform must be started.
    ResultMsg open();
    /// Creates the folder and the data file when missing, then opens it.
    ResultMsg create();
    /// The data file's path: `_folderPath` and `_projectFileName`, with
    /// backslashes as separators and a drive prefix ("D:") kept as a folder
    /// name, so that a path written for another system stays relative.
    std::string filePath() const;

    std::string _folderPath;
    std::string _name;
    std::string _projectFileName;
};

}  // namespace MeridianSpace
