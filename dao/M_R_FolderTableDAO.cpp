#include "M_R_FolderTableDAO.h"

#include "M_R_FolderTableMapper.h"
#include "PtrListHelper.h"
#include "RecordFinder.h"

namespace MeridianSpace {

namespace {

const char* const kClassName = "M_R_FolderTableDAO";

}  // namespace

M_R_FolderTableDAO::M_R_FolderTableDAO() : _t_M_EntityTableID(0), _t_M_FolderID(0) {}

M_R_FolderTableDAO::~M_R_FolderTableDAO() = default;

DAO* M_R_FolderTableDAO::createObject() {
    return new M_R_FolderTableDAO;
}

Mapper* M_R_FolderTableDAO::createMapper() {
    return new M_R_FolderTableMapper;
}

ResultMsg M_R_FolderTableDAO::FindByID(int id, M_R_FolderTableDAO*& pnewdao) {
    return RecordFinder<M_R_FolderTableDAO>().byID(kClassName, id, pnewdao);
}

ResultMsg M_R_FolderTableDAO::FindAll(std::list<M_R_FolderTableDAO*>& newlist) {
    return RecordFinder<M_R_FolderTableDAO>().all(kClassName, newlist);
}

ResultMsg M_R_FolderTableDAO::FindByT_M_EntityTableID(int tableID,
                                                      std::list<M_R_FolderTableDAO*>& newlist) {
    return RecordFinder<M_R_FolderTableDAO>().byInt(kClassName, "_t_M_EntityTableID", tableID,
                                                    newlist);
}

ResultMsg M_R_FolderTableDAO::FindByT_M_FolderID(int folderID,
                                                 std::list<M_R_FolderTableDAO*>& newlist) {
    return RecordFinder<M_R_FolderTableDAO>().byInt(kClassName, "_t_M_FolderID", folderID, newlist);
}

ResultMsg M_R_FolderTableDAO::FindByFolderIDAndTableID(int folderID, int tableID,
                                                       M_R_FolderTableDAO*& link) {
    std::list<M_R_FolderTableDAO*> found;
    PtrListGuard<M_R_FolderTableDAO> guard(found);
    ResultMsg rm =
        RecordFinder<M_R_FolderTableDAO>().byAll(kClassName,
                                                 FinderConditions()
                                                     .integer("_t_M_FolderID", folderID)
                                                     .integer("_t_M_EntityTableID", tableID),
                                                 found);
    if (found.empty()) return rm;
    link = found.front();
    found.pop_front();
    // One link per pair is enough; the others are left-overs of earlier runs.
    for (M_R_FolderTableDAO* duplicate : found)
        rm = duplicate->delself(0);
    return rm;
}

}  // namespace MeridianSpace
