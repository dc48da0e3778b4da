#include "M_ProjectMapper.h"

namespace MeridianSpace {

namespace {

// The columns in the order the row carries them.
const RecordColumns<M_ProjectDAO>& columns() {
    static const RecordColumns<M_ProjectDAO> declared("T_M_Project",
                                                      {{"Author", &M_ProjectDAO::_author},
                                                       {"CreateTime", &M_ProjectDAO::_createTime},
                                                       {"Focus", &M_ProjectDAO::_focus},
                                                       {"Name", &M_ProjectDAO::_name},
                                                       {"OpenTime", &M_ProjectDAO::_openTime},
                                                       {"Type", &M_ProjectDAO::_type},
                                                       {"UID", &M_ProjectDAO::_uID},
                                                       {"UpdateTime", &M_ProjectDAO::_updateTime}});
    return declared;
}

}  // namespace

M_ProjectMapper::M_ProjectMapper() : ColumnMapper(columns()) {}

M_ProjectMapper::~M_ProjectMapper() = default;

}  // namespace MeridianSpace
