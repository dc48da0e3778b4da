#pragma once

// The step that version upgrade and model copy share when they copy a
// folder tree: one sub-folder stored anew below its parent's copy. Internal
// to arx_qms.
#include "IdentifierMap.h"
#include "ResultReturnCode.h"

namespace MeridianSpace {

class M_FolderDAO;

/// Stores `sub` (a folder of the source tree) as a new child of the copy of
/// `parent` (identifier `parentCopyID`), with the copy's model key and
/// version, and records it in `folders`. `sub` is left carrying its copy's
/// _ID; `parent` keeps its own. A failure carries the nested-folder message
/// in front of the relation tool's.
ResultMsg storeSubFolderCopy(M_FolderDAO& parent, int parentCopyID, M_FolderDAO& sub,
                             IdentifierMap& folders);

}  // namespace MeridianSpace
