#pragma once

// An entity model: one version of a named description of a database. It
// belongs to a project, holds a tree of folders, sees the entity tables
// linked to it, and owns one temporary folder.
#include <list>
#include <string>
#include <vector>

#include "ArxExport.h"
#include "M_ObjectDAO.h"

namespace MeridianSpace {

class M_EntityTableDAO;
class M_FolderDAO;
class M_NormalColumnDAO;
class M_ProjectDAO;

/// _type of a dictionary model.
constexpr int ENTITY_MODEL_TYPE_DICTIONARY = 2;
/// _delVersion of a table or column that no version removed.
constexpr int MODEL_VERSION_NEVER_DELETED = 999999;

/// An object is used by one thread at a time.
class ARX M_EntityModelDAO : public M_ObjectDAO {
public:
    // Defined in dao/M_EntityModelDAO.cpp.
    M_EntityModelDAO();
    ~M_EntityModelDAO() override;
    M_EntityModelDAO(const M_EntityModelDAO&) = default;
    /// Copies every member, _ID, _name and _DAOType included.
    M_EntityModelDAO& operator=(const M_EntityModelDAO&) = default;

    static DAO* createObject();
    Mapper* createMapper() override;

    /// A new, unnumbered model gets the next version of its project and
    /// name (refused while the highest version is not locked); then the row
    /// is stored and the model gets its temporary folder.
    [[nodiscard]] ResultMsg save(int commitType = COMMIT_T_IMMEDIATELY) override;
    /// Deletes the root folders (with everything below them), then the row
    /// once every root folder went.
    [[nodiscard]] ResultMsg delself(int commitType = COMMIT_T_IMMEDIATELY) override;
    using DAO::delself;
    using DAO::save;

    /// Stores the folder as a root folder of this model.
    ResultMsg addM_FolderDAO(M_FolderDAO* folder, int commitType = COMMIT_T_IMMEDIATELY);
    /// Detaches the folder after parking its tables in the temporary folder;
    /// a failed move puts the moved tables back.
    ResultMsg removeM_FolderDAO(M_FolderDAO* folder, int commitType = COMMIT_T_IMMEDIATELY);
    ResultMsg getRootM_FolderDAOList(std::list<M_FolderDAO*>& folders);
    /// Creates the temporary folder unless the model has one.
    ResultMsg addTempFolder(int commitType = COMMIT_T_IMMEDIATELY);
    /// The temporary folder; `folder` is left as it was when there is none.
    ResultMsg getTempFolder(M_FolderDAO*& folder);
    ResultMsg getProjectOwner(M_ProjectDAO*& project);
    /// The columns of this model's version.
    ResultMsg getNormalColumnList(std::list<M_NormalColumnDAO*>& columns);
    /// The tables of this model's version; links to missing tables or to
    /// tables outside the version are deleted on the way.
    ResultMsg getEntityTableList(std::list<M_EntityTableDAO*>& tables);
    /// The highest version among the models of the same project and name;
    /// 0 when there is none.
    int getMaxVersionWithinSaveName();

    static ResultMsg FindByID(int id, M_EntityModelDAO*& pnewdao);
    static ResultMsg FindAll(std::list<M_EntityModelDAO*>& newlist);
    static ResultMsg FindByRProjectID(int projectID, std::list<M_EntityModelDAO*>& newlist);
    static ResultMsg FindByRProjectIDAndName(int projectID, std::string name,
                                             std::list<M_EntityModelDAO*>& newlist);
    static ResultMsg FindByRProjectIDAndNameAndVersion(int projectID, std::string name, int version,
                                                       std::list<M_EntityModelDAO*>& newlist);
    /// Matches by `like` on exactly the given pattern.
    static ResultMsg FindByName(std::string name, std::list<M_EntityModelDAO*>& newlist);
    /// The model of the highest version among those FindByName finds, as a
    /// new object in `model` (an object it held is deleted); a default
    /// object with _ID 0 when none has a version above 0.
    static ResultMsg FindByNameMaxVersion(std::string name, M_EntityModelDAO*& model);
    static ResultMsg FindByType(int type, std::list<M_EntityModelDAO*>& newlist);

    // Defined in lifecycle/EntityModelUpgrade.cpp.
    /// Locks this stored version and makes the next version of its name:
    /// a new model record with a copy of the folder tree, linked to the same
    /// tables, and copies of the scene records. On success `newModel`
    /// receives a new object with the new version that the caller owns (an
    /// object it held is deleted first; it must not be this model); on
    /// failure it is left as it was. One transaction of the configuration
    /// database; what each outcome leaves is committed.
    ResultMsg upgradeNewVersion(M_EntityModelDAO*& newModel);

    // Defined in lifecycle/EntityModelCopy.cpp.
    /// Stores `target` (unsaved, named like no model of this model's
    /// project) as a new model of the same project and fills it with copies
    /// of this model's folders, tables, columns, definitions, scene records
    /// and, for a dictionary model, table rows. References between the
    /// copies are rewritten to the new identifiers. The target stays the
    /// caller's. A failure half-way keeps what was copied so far.
    ResultMsg copyTo(M_EntityModelDAO*& target);

    // Defined in tabledata/EntityModelInstance.cpp.
    /// Creates the instance file `fileName` in `folderPath` (made when
    /// missing) for this stored model's version. An existing file is never
    /// overwritten. A server URI as `folderPath` (and "" as `fileName`)
    /// builds the instance in that database instead, which must hold no
    /// table yet (see InstanceDataManager::createEntityModelInstance_Create).
    ResultMsg createInstance(std::string folderPath, std::string fileName);
    /// The statements createInstance runs to build this stored model
    /// version's instance, appended to `statements` in order, each a whole
    /// SQL text with its values written in: in SQLite's dialect for a file
    /// path (or ""), in PostgreSQL's for a server URI, whose database they
    /// are run in inside a transaction that is rolled back. Nothing stays
    /// (see InstanceDataManager::instanceStatements).
    ResultMsg instanceStatements(const std::string& location,
                                 std::vector<std::string>& statements) const;
    /// Reads which model and version the instance file (or server database)
    /// at `filePath` was made for and finds that model in the current configuration database.
    /// `model` receives a new object that the caller owns (an object it held
    /// is deleted first); it keeps what the file said when the project or
    /// the model is no longer stored (then _ID stays 0).
    static ResultMsg getInstanceInfo(std::string filePath, M_EntityModelDAO*& model);

    // Fields.
    std::string _description;
    std::string _displayName;
    int _isDeleted;
    int _isReleased;
    /// 1: this version is locked (finished).
    int _isVersionLocked;
    /// A code of dictionary 2; ENTITY_MODEL_TYPE_DICTIONARY marks a dictionary model.
    int _type;
    /// Version number within the project and name, from 1.
    int _version;
    int _rProjectID;
    std::string _createTime;
    std::string _updateTime;
};

}  // namespace MeridianSpace
