#pragma once

// A project: the top record of the metadata. It owns entity models through
// their project key, carries a GUID that identifies it across databases, and
// keeps the update time that every save of another record refreshes.
#include <list>
#include <string>

#include "ArxExport.h"
#include "M_ObjectDAO.h"

namespace MeridianSpace {

class M_EntityModelDAO;

/// An object is used by one thread at a time. The current project
/// identifier is one process-wide value, set and read by the thread that
/// drives the platform.
class ARX M_ProjectDAO : public M_ObjectDAO {
public:
    // Defined in dao/M_ProjectDAO.cpp.
    M_ProjectDAO();
    ~M_ProjectDAO() override;

    static DAO* createObject();
    Mapper* createMapper() override;

    /// The project whose update time record saves refresh; -1 until set.
    static void setCurrProjectID(int projectID);
    static int getCurrProjectID();

    static ResultMsg FindByID(int id, M_ProjectDAO*& pnewdao);
    /// All projects, the latest update time first.
    static ResultMsg FindAll(std::list<M_ProjectDAO*>& newlist);
    /// Text finders match by `like` on exactly the given pattern.
    static ResultMsg FindByAuthor(std::string author, std::list<M_ProjectDAO*>& newlist);
    static ResultMsg FindByFocus(int focus, std::list<M_ProjectDAO*>& newlist);
    static ResultMsg FindByName(std::string name, std::list<M_ProjectDAO*>& newlist);
    static ResultMsg FindByUID(std::string uID, std::list<M_ProjectDAO*>& newlist);
    static ResultMsg FindByType(int type, std::list<M_ProjectDAO*>& newlist);

    /// A new project, or one whose GUID is shorter than 32 characters,
    /// receives a fresh GUID first. Saving a project stamps no project.
    [[nodiscard]] ResultMsg save(int commitType = COMMIT_T_IMMEDIATELY) override;
    /// Deletes the project's models (each with everything under it), then
    /// its row; stops at the first model that cannot be deleted.
    [[nodiscard]] ResultMsg delself(int commitType = COMMIT_T_IMMEDIATELY) override;
    using DAO::delself;
    using DAO::save;

    /// Links the model to this project through its project key and saves it.
    ResultMsg addEntityModel(M_EntityModelDAO* model, int commitType = COMMIT_T_IMMEDIATELY);
    /// The project's models; the caller owns them.
    ResultMsg getEntityModelList(std::list<M_EntityModelDAO*>& models);

    // Project transfer between configuration databases through an export
    // file. While they run, the file is the process's current database
    // between switches; every exit makes the databases current again that
    // were current when the call began.

    // Defined in transfer/ProjectExport.cpp.
    /// Writes the projects `projectIDs` (identifiers that find nothing are
    /// skipped), with their models, folders, tables, links, columns,
    /// definitions, scene records and dictionary-table rows, the platform's
    /// models "M_QMS" and "M_ProjectManage" and every dictionary into a new
    /// export file at `path`, an instance file of "M_QMS". An existing file
    /// is never overwritten. The current database must describe itself
    /// (QmsSelfDescription::ensure).
    static ResultMsg exportProject(std::list<int> projectIDs, std::string path);

    // Defined in transfer/ProjectImport.cpp.
    /// Appends the projects an export file holds to `projects` (the caller
    /// owns them). The file is checked, and never written to.
    static ResultMsg getImportProjectList(std::list<M_ProjectDAO*>& projects, std::string path);
    /// Copies the projects `projectIDs` (identifiers in the file) from an
    /// export file into the current databases under new identifiers, after
    /// merging the file's dictionaries into the current ones. A project
    /// named like an existing one gets "_imp" and the time after its name.
    /// A failed project save deletes the projects stored so far. The file
    /// is never written to.
    static ResultMsg importProject(std::string path, std::list<int> projectIDs);

    // Fields.
    std::string _author;
    std::string _createTime;
    int _focus;
    std::string _openTime;
    /// A code of dictionary 1 (project types).
    int _type;
    /// GUID text of 36 characters.
    std::string _uID;
    std::string _updateTime;
};

}  // namespace MeridianSpace
