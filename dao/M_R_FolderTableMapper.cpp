#include "M_R_FolderTableMapper.h"

namespace MeridianSpace {

namespace {

// The columns in the order the row carries them.
const RecordColumns<M_R_FolderTableDAO>& columns() {
    static const RecordColumns<M_R_FolderTableDAO> declared(
        "T_M_R_FolderTable", {{"T_M_EntityTableID", &M_R_FolderTableDAO::_t_M_EntityTableID},
                              {"T_M_FolderID", &M_R_FolderTableDAO::_t_M_FolderID}});
    return declared;
}

}  // namespace

M_R_FolderTableMapper::M_R_FolderTableMapper() : ColumnMapper(columns()) {}

M_R_FolderTableMapper::~M_R_FolderTableMapper() = default;

}  // namespace MeridianSpace
