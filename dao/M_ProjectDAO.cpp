#include "M_ProjectDAO.h"

#include "IOrderClause.h"
#include "LogManager.h"
#include "M_EntityModelDAO.h"
#include "M_ProjectMapper.h"
#include "MeridianNew.h"
#include "PtrListHelper.h"
#include "RecordFinder.h"
#include "RelationDataTool.h"
#include "StringHelper.h"

namespace MeridianSpace {

namespace {

const char* const kClassName = "M_ProjectDAO";

// The project whose update time record saves refresh; one per process.
int currProjectID = -1;

// GUID texts are 36 characters; anything shorter than this is no GUID.
constexpr std::size_t kMinUIDLength = 32;

}  // namespace

M_ProjectDAO::M_ProjectDAO() : _focus(0), _type(0) {
    // Last, so that the project's own saves skip the project stamp.
    _DAOType = DAO_TYPE_PROJECT;
}

M_ProjectDAO::~M_ProjectDAO() = default;

DAO* M_ProjectDAO::createObject() {
    return new M_ProjectDAO();
}

Mapper* M_ProjectDAO::createMapper() {
    return new M_ProjectMapper();
}

void M_ProjectDAO::setCurrProjectID(int projectID) {
    currProjectID = projectID;
}

int M_ProjectDAO::getCurrProjectID() {
    return currProjectID;
}

ResultMsg M_ProjectDAO::FindByID(int id, M_ProjectDAO*& pnewdao) {
    return RecordFinder<M_ProjectDAO>().byID(kClassName, id, pnewdao);
}

ResultMsg M_ProjectDAO::FindAll(std::list<M_ProjectDAO*>& newlist) {
    IOrderClause order;
    order.orderAttribute = " updateTime ";
    order.orderDirection = " DESC ";
    return RecordFinder<M_ProjectDAO>().all(kClassName, newlist, &order);
}

ResultMsg M_ProjectDAO::FindByAuthor(std::string author, std::list<M_ProjectDAO*>& newlist) {
    return RecordFinder<M_ProjectDAO>().byText(kClassName, "_author", author, newlist);
}

ResultMsg M_ProjectDAO::FindByFocus(int focus, std::list<M_ProjectDAO*>& newlist) {
    return RecordFinder<M_ProjectDAO>().byInt(kClassName, "_focus", focus, newlist);
}

ResultMsg M_ProjectDAO::FindByName(std::string name, std::list<M_ProjectDAO*>& newlist) {
    return RecordFinder<M_ProjectDAO>().byText(kClassName, "_name", name, newlist);
}

ResultMsg M_ProjectDAO::FindByUID(std::string uID, std::list<M_ProjectDAO*>& newlist) {
    return RecordFinder<M_ProjectDAO>().byText(kClassName, "_uID", uID, newlist);
}

ResultMsg M_ProjectDAO::FindByType(int type, std::list<M_ProjectDAO*>& newlist) {
    return RecordFinder<M_ProjectDAO>().byInt(kClassName, "_type", type, newlist);
}

ResultMsg M_ProjectDAO::save(int commitType) {
    // A new project always gets a fresh GUID, whatever the caller put in
    // _uID: an imported or copied project must not share its source's.
    if (_ID < 1 || _uID.size() < kMinUIDLength) {
        _uID = StringHelper::createGUID();
        MeridianNew::LOGGER()->appendMsg("生成M_ProjectDAO(_ID = " + StringHelper::int2String(_ID) +
                                         ")的uid = " + _uID);
    }
    return M_ObjectDAO::save(commitType);
}

ResultMsg M_ProjectDAO::delself(int commitType) {
    std::list<M_EntityModelDAO*> models;
    PtrListGuard<M_EntityModelDAO> ownModels(models);
    // Models that could not be read would outlive their project.
    ResultMsg read = M_EntityModelDAO::FindByRProjectID(_ID, models);
    if (!read.ok()) return ResultMsg(read.rCode, "M_ProjectDAO::delself()错误" + read.rMsg);
    for (M_EntityModelDAO* model : models) {
        ResultMsg rm = model->delself(commitType);
        if (!rm.ok()) return ResultMsg(rm.rCode, "M_ProjectDAO::delself()错误" + rm.rMsg);
    }
    return DAO::delself(commitType);
}

ResultMsg M_ProjectDAO::addEntityModel(M_EntityModelDAO* model, int commitType) {
    return RelationDataTool(this).add1N(model, &M_EntityModelDAO::_rProjectID, commitType);
}

ResultMsg M_ProjectDAO::getEntityModelList(std::list<M_EntityModelDAO*>& models) {
    return M_EntityModelDAO::FindByRProjectID(_ID, models);
}

}  // namespace MeridianSpace
