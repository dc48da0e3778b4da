#include "M_FindByInterfaceMapper.h"

namespace MeridianSpace {

namespace {

// The columns in the order the row carries them.
const RecordColumns<M_FindByInterfaceDAO>& columns() {
    static const RecordColumns<M_FindByInterfaceDAO> declared(
        "T_M_FindByInterface_2",
        {{"MBExport_2", &M_FindByInterfaceDAO::_bExport},
         {"MDescription_2", &M_FindByInterfaceDAO::_description},
         {"MName_2", &M_FindByInterfaceDAO::_name},
         {"MParaList_2", &M_FindByInterfaceDAO::_paraList},
         {"MSortAttributeList_2", &M_FindByInterfaceDAO::_sortAttributeList},
         {"MSortType_2", &M_FindByInterfaceDAO::_sortType},
         {"MType_2", &M_FindByInterfaceDAO::_type},
         {"Mt_M_EntityTableID_2", &M_FindByInterfaceDAO::_t_M_EntityTableID}});
    return declared;
}

}  // namespace

M_FindByInterfaceMapper::M_FindByInterfaceMapper() : ColumnMapper(columns()) {}

M_FindByInterfaceMapper::~M_FindByInterfaceMapper() = default;

}  // namespace MeridianSpace
