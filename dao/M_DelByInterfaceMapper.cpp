#include "M_DelByInterfaceMapper.h"

namespace MeridianSpace {

namespace {

// The columns in the order the row carries them.
const RecordColumns<M_DelByInterfaceDAO>& columns() {
    static const RecordColumns<M_DelByInterfaceDAO> declared(
        "T_M_DelByInterface_2",
        {{"MBExport_2", &M_DelByInterfaceDAO::_bExport},
         {"MDescription_2", &M_DelByInterfaceDAO::_description},
         {"MName_2", &M_DelByInterfaceDAO::_name},
         {"MParaList_2", &M_DelByInterfaceDAO::_paraList},
         {"MType_2", &M_DelByInterfaceDAO::_type},
         {"Mt_M_EntityTableID_2", &M_DelByInterfaceDAO::_t_M_EntityTableID}});
    return declared;
}

}  // namespace

M_DelByInterfaceMapper::M_DelByInterfaceMapper() : ColumnMapper(columns()) {}

M_DelByInterfaceMapper::~M_DelByInterfaceMapper() = default;

}  // namespace MeridianSpace
