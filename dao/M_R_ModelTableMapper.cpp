#include "M_R_ModelTableMapper.h"

namespace MeridianSpace {

namespace {

// The columns in the order the row carries them.
const RecordColumns<M_R_ModelTableDAO>& columns() {
    static const RecordColumns<M_R_ModelTableDAO> declared(
        "T_M_R_ModelTable", {{"T_M_EntityModelID", &M_R_ModelTableDAO::_t_M_EntityModelID},
                             {"T_M_EntityTableID", &M_R_ModelTableDAO::_t_M_EntityTableID}});
    return declared;
}

}  // namespace

M_R_ModelTableMapper::M_R_ModelTableMapper() : ColumnMapper(columns()) {}

M_R_ModelTableMapper::~M_R_ModelTableMapper() = default;

}  // namespace MeridianSpace
