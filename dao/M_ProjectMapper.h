#pragma once

// Turns an M_ProjectDAO into a row of "T_M_Project" and back.
#include "ArxExport.h"
#include "M_ProjectDAO.h"
#include "RecordColumns.h"

namespace MeridianSpace {

/// One mapper serves one save or load, on one thread.
class ARX M_ProjectMapper : public ColumnMapper<M_ProjectDAO> {
public:
    M_ProjectMapper();
    ~M_ProjectMapper() override;
};

}  // namespace MeridianSpace
