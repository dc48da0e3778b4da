#pragma once

// Turns an M_EntityTableDAO into a row of "T_M_EntityTable" and back.
#include "ArxExport.h"
#include "M_EntityTableDAO.h"
#include "RecordColumns.h"

namespace MeridianSpace {

/// One mapper serves one save or load, on one thread.
class ARX M_EntityTableMapper : public ColumnMapper<M_EntityTableDAO> {
public:
    M_EntityTableMapper();
    ~M_EntityTableMapper() override;
};

}  // namespace MeridianSpace
