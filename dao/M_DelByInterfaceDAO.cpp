#include "M_DelByInterfaceDAO.h"

#include "InterfaceParameters.h"
#include "M_DelByInterfaceMapper.h"
#include "RecordFinder.h"

namespace MeridianSpace {

namespace {

const char* const kClassName = "M_DelByInterfaceDAO";

}  // namespace

M_DelByInterfaceDAO::M_DelByInterfaceDAO() : _bExport(0), _type(0), _t_M_EntityTableID(0) {}

M_DelByInterfaceDAO::~M_DelByInterfaceDAO() = default;

DAO* M_DelByInterfaceDAO::createObject() {
    return new M_DelByInterfaceDAO();
}

Mapper* M_DelByInterfaceDAO::createMapper() {
    return new M_DelByInterfaceMapper();
}

ResultMsg M_DelByInterfaceDAO::FindByID(int id, M_DelByInterfaceDAO*& pnewdao) {
    return RecordFinder<M_DelByInterfaceDAO>().byID(kClassName, id, pnewdao);
}

ResultMsg M_DelByInterfaceDAO::FindAll(std::list<M_DelByInterfaceDAO*>& newlist) {
    return RecordFinder<M_DelByInterfaceDAO>().all(kClassName, newlist);
}

ResultMsg M_DelByInterfaceDAO::FindByT_M_EntityTableID(int tableID,
                                                       std::list<M_DelByInterfaceDAO*>& newlist) {
    return RecordFinder<M_DelByInterfaceDAO>().byInt(kClassName, "_t_M_EntityTableID", tableID,
                                                     newlist);
}

std::vector<int> M_DelByInterfaceDAO::getParaColumnIDs() {
    return parameterColumnIDs(_paraList);
}

}  // namespace MeridianSpace
