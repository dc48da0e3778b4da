#pragma once

// Where and how large one folder or table is drawn in the graphical view of
// an entity model, and in which container's view it stands.
#include <list>

#include "ArxExport.h"
#include "M_QMSObjectDAO.h"

namespace MeridianSpace {

/// Kinds of the shown object and of the container.
constexpr int SCENE_KIND_FOLDER = 1;
constexpr int SCENE_KIND_TABLE = 2;

/// An object is used by one thread at a time.
class ARX M_SceneInfoDAO : public M_QMSObjectDAO {
public:
    // Defined in dao/M_SceneInfoDAO.cpp.
    M_SceneInfoDAO();
    ~M_SceneInfoDAO() override;

    static DAO* createObject();
    Mapper* createMapper() override;

    static ResultMsg FindByID(int id, M_SceneInfoDAO*& pnewdao);
    static ResultMsg FindAll(std::list<M_SceneInfoDAO*>& newlist);
    static ResultMsg FindByEntityModelID(int modelID, std::list<M_SceneInfoDAO*>& newlist);
    static ResultMsg FindByModelIDAndParentTypeAndParentID(int modelID, int parentType,
                                                           int parentID,
                                                           std::list<M_SceneInfoDAO*>& newlist);
    static ResultMsg FindByParentTypeAndParentID(int parentType, int parentID,
                                                 std::list<M_SceneInfoDAO*>& newlist);

    // Fields.
    /// A folder's _ID when _sceneType is SCENE_KIND_FOLDER, a table's when
    /// it is SCENE_KIND_TABLE.
    int _dataObjectId;
    int _sceneType;
    /// The container in whose view the box stands.
    int _parentID;
    int _parentType;
    int _x;
    int _y;
    int _entityModelID;
    int _height;
    int _width;
};

}  // namespace MeridianSpace
