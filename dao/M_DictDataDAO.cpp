#include "M_DictDataDAO.h"
#include "ConsoleSink.h"

#include <iostream>

#include "M_DictDataMapper.h"
#include "M_EntityModelDAO.h"
#include "M_ProjectDAO.h"
#include "PtrListHelper.h"
#include "RecordFinder.h"

namespace MeridianSpace {

namespace {

const char* const kClassName = "M_DictDataDAO";

// Whether any record of `Record` has `code` as its type; found objects are
// only counted. A code whose users cannot be read counts as used.
template <class Record>
bool typeInUse(int code) {
    std::list<Record*> users;
    PtrListGuard<Record> ownUsers(users);
    return !Record::FindByType(code, users).ok() || !users.empty();
}

}  // namespace

M_DictDataDAO::M_DictDataDAO() : _code(0), _rDictItemID(0) {}

M_DictDataDAO::~M_DictDataDAO() = default;

DAO* M_DictDataDAO::createObject() {
    return new M_DictDataDAO();
}

Mapper* M_DictDataDAO::createMapper() {
    return new M_DictDataMapper();
}

ResultMsg M_DictDataDAO::FindByID(int id, M_DictDataDAO*& pnewdao) {
    return RecordFinder<M_DictDataDAO>().byID(kClassName, id, pnewdao);
}

ResultMsg M_DictDataDAO::FindAll(std::list<M_DictDataDAO*>& newlist) {
    return RecordFinder<M_DictDataDAO>().all(kClassName, newlist);
}

ResultMsg M_DictDataDAO::FindByRDictItemID(int dictItemID, std::list<M_DictDataDAO*>& newlist) {
    return RecordFinder<M_DictDataDAO>().byInt(kClassName, "_rDictItemID", dictItemID, newlist);
}

ResultMsg M_DictDataDAO::FindByRDictItemIDAndCode(int dictItemID, int code,
                                                  std::list<M_DictDataDAO*>& newlist) {
    std::list<M_DictDataDAO*> found;
    PtrListGuard<M_DictDataDAO> ownFound(found);
    ResultMsg rm = RecordFinder<M_DictDataDAO>().byAll(
        kClassName, FinderConditions().integer("_rDictItemID", dictItemID).integer("_code", code),
        found);
    for (M_DictDataDAO*& entry : found) {
        ConsoleSink::stream() << std::endl
                              << "pnewdao->_default = " << entry->_default << std::endl
                              << std::endl;
        // Only the exact upper-case marker makes an entry the default, which is left out.
        if (entry->_default == "TRUE") continue;
        newlist.push_back(entry);
        entry = nullptr;  // now the caller's
    }
    return rm;
}

ResultMsg M_DictDataDAO::delself(int commitType) {
    if (_rDictItemID == DICT_ID_PROJECT_TYPES && typeInUse<M_ProjectDAO>(_code))
        return ResultMsg(RUN_FAIL, "ERROR: 该项目类型编码已经被使用，不能删除！");
    if (_rDictItemID == DICT_ID_MODEL_TYPES && typeInUse<M_EntityModelDAO>(_code))
        return ResultMsg(RUN_FAIL, "ERROR: 该数据模型类型编码已经被使用，不能删除！");
    return DAO::delself(commitType);
}

}  // namespace MeridianSpace
