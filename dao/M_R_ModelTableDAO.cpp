#include "M_R_ModelTableDAO.h"

#include "M_R_ModelTableMapper.h"
#include "MeridianNew.h"
#include "PtrListHelper.h"
#include "RecordFinder.h"

namespace MeridianSpace {

namespace {

const char* const kClassName = "M_R_ModelTableDAO";

}  // namespace

M_R_ModelTableDAO::M_R_ModelTableDAO() : _t_M_EntityModelID(0), _t_M_EntityTableID(0) {}

M_R_ModelTableDAO::~M_R_ModelTableDAO() = default;

DAO* M_R_ModelTableDAO::createObject() {
    return new M_R_ModelTableDAO;
}

Mapper* M_R_ModelTableDAO::createMapper() {
    return new M_R_ModelTableMapper;
}

ResultMsg M_R_ModelTableDAO::FindByID(int id, M_R_ModelTableDAO*& pnewdao) {
    return RecordFinder<M_R_ModelTableDAO>().byID(kClassName, id, pnewdao);
}

ResultMsg M_R_ModelTableDAO::FindAll(std::list<M_R_ModelTableDAO*>& newlist) {
    return RecordFinder<M_R_ModelTableDAO>().all(kClassName, newlist);
}

ResultMsg M_R_ModelTableDAO::FindByT_M_EntityModelID(double modelID,
                                                     std::list<M_R_ModelTableDAO*>& newlist) {
    return RecordFinder<M_R_ModelTableDAO>().byReal(kClassName, "_t_M_EntityModelID", modelID,
                                                    newlist);
}

ResultMsg M_R_ModelTableDAO::FindByT_M_EntityTableID(int tableID,
                                                     std::list<M_R_ModelTableDAO*>& newlist) {
    return RecordFinder<M_R_ModelTableDAO>().byInt(kClassName, "_t_M_EntityTableID", tableID,
                                                   newlist);
}

ResultMsg M_R_ModelTableDAO::FindByModelIDAndTableID(int modelID, int tableID,
                                                     M_R_ModelTableDAO*& link) {
    std::list<M_R_ModelTableDAO*> found;
    PtrListGuard<M_R_ModelTableDAO> guard(found);
    ResultMsg rm =
        RecordFinder<M_R_ModelTableDAO>().byAll(kClassName,
                                                FinderConditions()
                                                    .integer("_t_M_EntityModelID", modelID)
                                                    .integer("_t_M_EntityTableID", tableID),
                                                found);
    if (found.empty()) return rm;
    link = found.front();
    found.pop_front();
    // One link per pair is enough; the others are left-overs of earlier runs.
    for (M_R_ModelTableDAO* duplicate : found) {
        MeridianNew::LOGGER()->appendMsg(
            "RUN:M_R_ModelTableDAO::FindByModelIDAndTableID:pod->delself()");
        rm = duplicate->delself(0);
    }
    return rm;
}

}  // namespace MeridianSpace
