#include "M_SceneInfoDAO.h"

#include "M_SceneInfoMapper.h"
#include "RecordFinder.h"

namespace MeridianSpace {

namespace {

const char* const kClassName = "M_SceneInfoDAO";

}  // namespace

M_SceneInfoDAO::M_SceneInfoDAO()
    : _dataObjectId(0),
      _sceneType(0),
      _parentID(0),
      _parentType(0),
      _x(0),
      _y(0),
      _entityModelID(0),
      _height(0),
      _width(0) {}

M_SceneInfoDAO::~M_SceneInfoDAO() = default;

DAO* M_SceneInfoDAO::createObject() {
    return new M_SceneInfoDAO;
}

Mapper* M_SceneInfoDAO::createMapper() {
    return new M_SceneInfoMapper;
}

ResultMsg M_SceneInfoDAO::FindByID(int id, M_SceneInfoDAO*& pnewdao) {
    return RecordFinder<M_SceneInfoDAO>().byID(kClassName, id, pnewdao);
}

ResultMsg M_SceneInfoDAO::FindAll(std::list<M_SceneInfoDAO*>& newlist) {
    return RecordFinder<M_SceneInfoDAO>().all(kClassName, newlist);
}

ResultMsg M_SceneInfoDAO::FindByEntityModelID(int modelID, std::list<M_SceneInfoDAO*>& newlist) {
    return RecordFinder<M_SceneInfoDAO>().byInt(kClassName, "_entityModelID", modelID, newlist);
}

ResultMsg M_SceneInfoDAO::FindByModelIDAndParentTypeAndParentID(
    int modelID, int parentType, int parentID, std::list<M_SceneInfoDAO*>& newlist) {
    return RecordFinder<M_SceneInfoDAO>().byAll(kClassName,
                                                FinderConditions()
                                                    .integer("_entityModelID", "= ", modelID)
                                                    .integer("_parentType", "= ", parentType)
                                                    .integer("_parentID", "= ", parentID),
                                                newlist);
}

ResultMsg M_SceneInfoDAO::FindByParentTypeAndParentID(int parentType, int parentID,
                                                      std::list<M_SceneInfoDAO*>& newlist) {
    return RecordFinder<M_SceneInfoDAO>().byAll(kClassName,
                                                FinderConditions()
                                                    .integer("_parentType", "= ", parentType)
                                                    .integer("_parentID", "= ", parentID),
                                                newlist);
}

}  // namespace MeridianSpace
