#include "M_NormalColumnMapper.h"

namespace MeridianSpace {

namespace {

// The columns in the order the row carries them.
const RecordColumns<M_NormalColumnDAO>& columns() {
    static const RecordColumns<M_NormalColumnDAO> declared(
        "T_M_NormalColumn", {{"AddVersion", &M_NormalColumnDAO::_addVersion},
                             {"DataType", &M_NormalColumnDAO::_dataType},
                             {"DefaultValue", &M_NormalColumnDAO::_defaultValue},
                             {"DelVersion", &M_NormalColumnDAO::_delVersion},
                             {"Description", &M_NormalColumnDAO::_description},
                             {"DisplayName", &M_NormalColumnDAO::_displayName},
                             {"FkTableID", &M_NormalColumnDAO::_fkTableID},
                             {"FkType", &M_NormalColumnDAO::_fkType},
                             {"InnerName", &M_NormalColumnDAO::_innerName},
                             {"InterfaceAttrType", &M_NormalColumnDAO::_interfaceAttrType},
                             {"IsAutoIncrement", &M_NormalColumnDAO::_isAutoIncrement},
                             {"IsDeleted", &M_NormalColumnDAO::_isDeleted},
                             {"IsFindKey", &M_NormalColumnDAO::_isFindKey},
                             {"IsIndex", &M_NormalColumnDAO::_isIndex},
                             {"IsOnly", &M_NormalColumnDAO::_isOnly},
                             {"MIsPk_2", &M_NormalColumnDAO::_isPk},
                             {"MaxLength", &M_NormalColumnDAO::_maxLength},
                             {"MinLength", &M_NormalColumnDAO::_minLength},
                             {"Name", &M_NormalColumnDAO::_name},
                             {"NumLength", &M_NormalColumnDAO::_numLength},
                             {"NumPresision", &M_NormalColumnDAO::_numPresision},
                             {"T_M_EntityTableID", &M_NormalColumnDAO::_t_M_EntityTableID},
                             {"T_M_EntityViewID", &M_NormalColumnDAO::_t_M_EntityViewID},
                             {"Version", &M_NormalColumnDAO::_version}});
    return declared;
}

}  // namespace

M_NormalColumnMapper::M_NormalColumnMapper() : ColumnMapper(columns()) {}

M_NormalColumnMapper::~M_NormalColumnMapper() = default;

}  // namespace MeridianSpace
