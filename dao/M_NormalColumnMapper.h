#pragma once

// Turns an M_NormalColumnDAO into a row of "T_M_NormalColumn" and back.
#include "ArxExport.h"
#include "M_NormalColumnDAO.h"
#include "RecordColumns.h"

namespace MeridianSpace {

/// One mapper serves one save or load, on one thread.
class ARX M_NormalColumnMapper : public ColumnMapper<M_NormalColumnDAO> {
public:
    M_NormalColumnMapper();
    ~M_NormalColumnMapper() override;
};

}  // namespace MeridianSpace
