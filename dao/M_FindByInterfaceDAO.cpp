#include "M_FindByInterfaceDAO.h"

#include "InterfaceParameters.h"
#include "M_FindByInterfaceMapper.h"
#include "RecordFinder.h"
#include "StringHelper.h"

namespace MeridianSpace {

namespace {

const char* const kClassName = "M_FindByInterfaceDAO";

}  // namespace

M_FindByInterfaceDAO::M_FindByInterfaceDAO()
    : _bExport(0), _sortType(0), _type(0), _t_M_EntityTableID(0) {}

M_FindByInterfaceDAO::~M_FindByInterfaceDAO() = default;

DAO* M_FindByInterfaceDAO::createObject() {
    return new M_FindByInterfaceDAO();
}

Mapper* M_FindByInterfaceDAO::createMapper() {
    return new M_FindByInterfaceMapper();
}

ResultMsg M_FindByInterfaceDAO::FindByID(int id, M_FindByInterfaceDAO*& pnewdao) {
    return RecordFinder<M_FindByInterfaceDAO>().byID(kClassName, id, pnewdao);
}

ResultMsg M_FindByInterfaceDAO::FindAll(std::list<M_FindByInterfaceDAO*>& newlist) {
    return RecordFinder<M_FindByInterfaceDAO>().all(kClassName, newlist);
}

ResultMsg M_FindByInterfaceDAO::FindByT_M_EntityTableID(int tableID,
                                                        std::list<M_FindByInterfaceDAO*>& newlist) {
    return RecordFinder<M_FindByInterfaceDAO>().byInt(kClassName, "_t_M_EntityTableID", tableID,
                                                      newlist);
}

std::vector<int> M_FindByInterfaceDAO::getParaColumnIDs() {
    return parameterColumnIDs(_paraList);
}

std::vector<int> M_FindByInterfaceDAO::getSortColumnIDs() {
    std::vector<int> ids;
    for (const std::string& piece : StringHelper::splitString(_sortAttributeList, ","))
        ids.push_back(StringHelper::string2int(piece));
    return ids;
}

}  // namespace MeridianSpace
