#pragma once

// Turns an M_R_FolderTableDAO into a row of "T_M_R_FolderTable" and back.
#include "ArxExport.h"
#include "M_R_FolderTableDAO.h"
#include "RecordColumns.h"

namespace MeridianSpace {

/// One mapper serves one save or load, on one thread.
class ARX M_R_FolderTableMapper : public ColumnMapper<M_R_FolderTableDAO> {
public:
    M_R_FolderTableMapper();
    ~M_R_FolderTableMapper() override;
};

}  // namespace MeridianSpace
