#pragma once

// Turns an M_EntityModelDAO into a row of "T_M_EntityModel" and back.
#include "ArxExport.h"
#include "M_EntityModelDAO.h"
#include "RecordColumns.h"

namespace MeridianSpace {

/// One mapper serves one save or load, on one thread.
class ARX M_EntityModelMapper : public ColumnMapper<M_EntityModelDAO> {
public:
    M_EntityModelMapper();
    ~M_EntityModelMapper() override;
};

}  // namespace MeridianSpace
