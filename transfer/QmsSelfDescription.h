#pragma once

// The configuration database's description of itself: the platform's own
// project with the model "M_QMS", whose tables are the metadata tables of
// the library's records, and the model "M_ProjectManage", plus the two
// dictionaries the records rely on. Because "M_QMS" describes the metadata
// tables by their physical names, an instance file of it can serve as a
// configuration database (project export writes such a file).
#include "ArxExport.h"
#include "ResultReturnCode.h"

namespace MeridianSpace {

/// Called by the thread that uses the platform (see MeridianNew).
class ARX QmsSelfDescription {
public:
    /// Adds to the current configuration database what it lacks of its
    /// description, in one transaction:
    /// - dictionary 1 (project types: 1 platform, 2 application) and
    ///   dictionary 2 (model types: 1 ordinary, 2 dictionary model), under
    ///   those identifiers, with their entries;
    /// - the project "ARX_QMS" (type 1);
    /// - in it the model "M_QMS" (type 1) with one table per metadata table
    ///   and one column per column its record's mapper writes, table and
    ///   column inner names being the physical names;
    /// - the model "M_ProjectManage" (type 1), which shares the project and
    ///   XML template tables of "M_QMS".
    /// What exists is kept; a table or column that a newer library version
    /// writes is added to the highest version of "M_QMS". Calling it again
    /// adds nothing. The record classes must be registered
    /// (QmsRecordClasses::registerAll) and the platform started.
    static ResultMsg ensure();

    /// Names of what ensure() makes.
    static const char* platformProjectName();
    static const char* metaDataModelName();
    static const char* projectManageModelName();
};

}  // namespace MeridianSpace
