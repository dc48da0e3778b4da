#include "M_EntityTableMapper.h"

namespace MeridianSpace {

namespace {

// The columns in the order the row carries them.
const RecordColumns<M_EntityTableDAO>& columns() {
    static const RecordColumns<M_EntityTableDAO> declared(
        "T_M_EntityTable", {{"AddVersion", &M_EntityTableDAO::_addVersion},
                            {"CountType", &M_EntityTableDAO::_countType},
                            {"DelVersion", &M_EntityTableDAO::_delVersion},
                            {"Description", &M_EntityTableDAO::_description},
                            {"DisplayName", &M_EntityTableDAO::_displayName},
                            {"InnerName", &M_EntityTableDAO::_innerName},
                            {"IsDeleted", &M_EntityTableDAO::_isDeleted},
                            {"Name", &M_EntityTableDAO::_name},
                            {"Type", &M_EntityTableDAO::_type},
                            {"Version", &M_EntityTableDAO::_version},
                            {"WhiteBoxType", &M_EntityTableDAO::_whiteBoxType}});
    return declared;
}

}  // namespace

M_EntityTableMapper::M_EntityTableMapper() : ColumnMapper(columns()) {}

M_EntityTableMapper::~M_EntityTableMapper() = default;

}  // namespace MeridianSpace
