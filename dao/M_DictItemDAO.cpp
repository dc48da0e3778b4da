#include "M_DictItemDAO.h"

#include "M_DictDataDAO.h"
#include "M_DictItemMapper.h"
#include "PtrListHelper.h"
#include "RecordFinder.h"
#include "RelationDataTool.h"

namespace MeridianSpace {

namespace {

const char* const kClassName = "M_DictItemDAO";

}  // namespace

M_DictItemDAO::M_DictItemDAO() = default;

M_DictItemDAO::~M_DictItemDAO() = default;

DAO* M_DictItemDAO::createObject() {
    return new M_DictItemDAO();
}

Mapper* M_DictItemDAO::createMapper() {
    return new M_DictItemMapper();
}

ResultMsg M_DictItemDAO::FindByID(int id, M_DictItemDAO*& pnewdao) {
    return RecordFinder<M_DictItemDAO>().byID(kClassName, id, pnewdao);
}

ResultMsg M_DictItemDAO::FindAll(std::list<M_DictItemDAO*>& newlist) {
    return RecordFinder<M_DictItemDAO>().all(kClassName, newlist);
}

ResultMsg M_DictItemDAO::FindByInnerName(std::string innerName,
                                         std::list<M_DictItemDAO*>& newlist) {
    return RecordFinder<M_DictItemDAO>().byAll(
        kClassName, FinderConditions().text("_innerName", innerName), newlist);
}

ResultMsg M_DictItemDAO::delself(int commitType) {
    std::list<M_DictDataDAO*> entries;
    PtrListGuard<M_DictDataDAO> ownEntries(entries);
    // Entries that could not be read would outlive their dictionary.
    ResultMsg read = M_DictDataDAO::FindByRDictItemID(_ID, entries);
    if (!read.ok()) return read;
    // An entry whose code is in use refuses and stays; the dictionary goes
    // all the same, and its own result is what the caller gets.
    for (M_DictDataDAO* entry : entries)
        (void)entry->delself(commitType);
    T_deletePtrList(entries);
    return DAO::delself(commitType);
}

ResultMsg M_DictItemDAO::addDictData(M_DictDataDAO* data, int commitType) {
    return RelationDataTool(this).add1N(data, &M_DictDataDAO::_rDictItemID, commitType);
}

ResultMsg M_DictItemDAO::getDictDataList(std::list<M_DictDataDAO*>& entries) {
    return M_DictDataDAO::FindByRDictItemID(_ID, entries);
}

}  // namespace MeridianSpace
