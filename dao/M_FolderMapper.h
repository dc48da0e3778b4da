#pragma once

// Turns an M_FolderDAO into a row of "T_M_Folder" and back.
#include "ArxExport.h"
#include "M_FolderDAO.h"
#include "RecordColumns.h"

namespace MeridianSpace {

/// One mapper serves one save or load, on one thread.
class ARX M_FolderMapper : public ColumnMapper<M_FolderDAO> {
public:
    M_FolderMapper();
    ~M_FolderMapper() override;
};

}  // namespace MeridianSpace
