#include "M_DictDataMapper.h"

namespace MeridianSpace {

namespace {

// The columns in the order the row carries them.
const RecordColumns<M_DictDataDAO>& columns() {
    static const RecordColumns<M_DictDataDAO> declared(
        "T_M_DictData_2", {{"MCode_2", &M_DictDataDAO::_code},
                           {"MDefault_2", &M_DictDataDAO::_default},
                           {"MInternalName_2", &M_DictDataDAO::_internalName},
                           {"MRDictItemID_2", &M_DictDataDAO::_rDictItemID},
                           {"MShowName_2", &M_DictDataDAO::_showName}});
    return declared;
}

}  // namespace

M_DictDataMapper::M_DictDataMapper() : ColumnMapper(columns()) {}

M_DictDataMapper::~M_DictDataMapper() = default;

}  // namespace MeridianSpace
