#pragma once

// Turns an M_XMLTemplateDAO into a row of "T_M_XMLTemplate_3" and back.
#include "ArxExport.h"
#include "M_XMLTemplateDAO.h"
#include "RecordColumns.h"

namespace MeridianSpace {

/// One mapper serves one save or load, on one thread.
class ARX M_XMLTemplateMapper : public ColumnMapper<M_XMLTemplateDAO> {
public:
    M_XMLTemplateMapper();
    ~M_XMLTemplateMapper() override;
};

}  // namespace MeridianSpace
