#include "M_SceneInfoMapper.h"

namespace MeridianSpace {

namespace {

// The columns in the order the row carries them.
const RecordColumns<M_SceneInfoDAO>& columns() {
    static const RecordColumns<M_SceneInfoDAO> declared(
        "T_M_SceneInfo_2", {{"MDataObjectId_2", &M_SceneInfoDAO::_dataObjectId},
                            {"MSceneType_2", &M_SceneInfoDAO::_sceneType},
                            {"MParentID_2", &M_SceneInfoDAO::_parentID},
                            {"MParentType_2", &M_SceneInfoDAO::_parentType},
                            {"MX_2", &M_SceneInfoDAO::_x},
                            {"MY_2", &M_SceneInfoDAO::_y},
                            {"MEntityModelID_2", &M_SceneInfoDAO::_entityModelID},
                            {"MHeight_3", &M_SceneInfoDAO::_height},
                            {"MWidth_3", &M_SceneInfoDAO::_width}});
    return declared;
}

}  // namespace

M_SceneInfoMapper::M_SceneInfoMapper() : ColumnMapper(columns()) {}

M_SceneInfoMapper::~M_SceneInfoMapper() = default;

}  // namespace MeridianSpace
