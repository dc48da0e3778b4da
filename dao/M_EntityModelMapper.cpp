#include "M_EntityModelMapper.h"

namespace MeridianSpace {

namespace {

// The columns in the order the row carries them.
const RecordColumns<M_EntityModelDAO>& columns() {
    static const RecordColumns<M_EntityModelDAO> declared(
        "T_M_EntityModel", {{"CreateTime", &M_EntityModelDAO::_createTime},
                            {"Description", &M_EntityModelDAO::_description},
                            {"DisplayName", &M_EntityModelDAO::_displayName},
                            {"IsDeleted", &M_EntityModelDAO::_isDeleted},
                            {"IsReleased", &M_EntityModelDAO::_isReleased},
                            {"IsVersionLocked", &M_EntityModelDAO::_isVersionLocked},
                            {"Name", &M_EntityModelDAO::_name},
                            {"RProjectID", &M_EntityModelDAO::_rProjectID},
                            {"Type", &M_EntityModelDAO::_type},
                            {"UpdateTime", &M_EntityModelDAO::_updateTime},
                            {"Version", &M_EntityModelDAO::_version}});
    return declared;
}

}  // namespace

M_EntityModelMapper::M_EntityModelMapper() : ColumnMapper(columns()) {}

M_EntityModelMapper::~M_EntityModelMapper() = default;

}  // namespace MeridianSpace
