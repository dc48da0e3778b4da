#include "M_XMLTemplateMapper.h"

namespace MeridianSpace {

namespace {

// The columns in the order the row carries them.
const RecordColumns<M_XMLTemplateDAO>& columns() {
    static const RecordColumns<M_XMLTemplateDAO> declared(
        "T_M_XMLTemplate_3", {{"MName_3", &M_XMLTemplateDAO::_name},
                              {"MCreateTime_3", &M_XMLTemplateDAO::_createTime},
                              {"MContent_3", &M_XMLTemplateDAO::_content},
                              {"MProjectID_3", &M_XMLTemplateDAO::_projectID},
                              {"MModelID_3", &M_XMLTemplateDAO::_modelID},
                              {"MIsDeleted_3", &M_XMLTemplateDAO::_isDeleted},
                              {"MIsMain_3", &M_XMLTemplateDAO::_isMain}});
    return declared;
}

}  // namespace

M_XMLTemplateMapper::M_XMLTemplateMapper() : ColumnMapper(columns()) {}

M_XMLTemplateMapper::~M_XMLTemplateMapper() = default;

}  // namespace MeridianSpace
