#pragma once

// A folder (data module): groups entity tables inside one entity model.
// Folders form a tree; a table lies in a folder through a folder-table link
// and belongs to the model through a model-table link.
#include <list>
#include <string>

#include "ArxExport.h"
#include "M_ObjectDAO.h"

namespace MeridianSpace {

class M_EntityModelDAO;
class M_EntityTableDAO;
class M_SceneInfoDAO;

/// _folderType of a model's temporary folder.
constexpr int FOLDER_TYPE_TEMPORARY = 2;

/// An object is used by one thread at a time.
class ARX M_FolderDAO : public M_ObjectDAO {
public:
    // Defined in dao/M_FolderDAO.cpp.
    M_FolderDAO();
    ~M_FolderDAO() override;

    static DAO* createObject();
    Mapper* createMapper() override;

    static ResultMsg FindByID(int id, M_FolderDAO*& pnewdao);
    static ResultMsg FindAll(std::list<M_FolderDAO*>& newlist);
    /// The model's folders without a parent (parent key 0 or less).
    static ResultMsg FindRootFolderByEntityModelID(int modelID, std::list<M_FolderDAO*>& newlist);
    static ResultMsg FindByEntityModelID(int modelID, std::list<M_FolderDAO*>& newlist);
    static ResultMsg FindByEntityModelIDAndFolderType(int modelID, int folderType,
                                                      std::list<M_FolderDAO*>& newlist);
    static ResultMsg FindByParentFolderID(int parentID, std::list<M_FolderDAO*>& newlist);

    /// Removes the folder's tables from its model, its sub-folders, then its
    /// row (which goes even when a table or sub-folder failed).
    [[nodiscard]] ResultMsg delself(int commitType = COMMIT_T_IMMEDIATELY) override;
    /// The same, adding to `report` what it deleted outside the folder
    /// ("kind,identifier#" records: 2 table, 3 column, 6 scene record).
    [[nodiscard]] virtual ResultMsg delself(std::string& report,
                                            int commitType = COMMIT_T_IMMEDIATELY);
    using DAO::delself;

    /// Makes this folder the parent of `sub` and saves it.
    ResultMsg addM_SubFolderDAO(M_FolderDAO* sub, int commitType = COMMIT_T_IMMEDIATELY);
    ResultMsg removeSubFolderDAO(M_FolderDAO* sub, int commitType = COMMIT_T_IMMEDIATELY);
    ResultMsg getSubFolderDAOList(std::list<M_FolderDAO*>& subs);
    /// Stores the table and links it to this folder and this folder's model.
    /// The table stays the caller's.
    ResultMsg addM_EntityTableDAO(M_EntityTableDAO* table);
    /// Deletes the table's links to this folder and its model; the table row stays.
    ResultMsg removeM_EntityTableDAO(M_EntityTableDAO* table);
    /// The tables linked to this folder; dangling links are deleted.
    ResultMsg getM_EntityTableDAOList(std::list<M_EntityTableDAO*>& tables);
    /// True when the table lies in this folder or in a folder below it.
    bool isHaveEntityTable(int tableID);
    ResultMsg getEntityModelOwner(M_EntityModelDAO*& model);
    ResultMsg getParentFolder(M_FolderDAO*& parent);
    ResultMsg addSceneInfo(M_SceneInfoDAO* scene, int commitType = COMMIT_T_IMMEDIATELY);
    ResultMsg getSceneInfoList(std::list<M_SceneInfoDAO*>& scenes);

    // Defined in codegen/FolderCode.cpp.
    /// Writes the C++ source of this folder's intermediate DAO class into
    /// `folderPath`; only for a folder whose _isGenerateDAO is 1. Refused
    /// before anything is written like M_EntityTableDAO::CreateCode.
    ResultMsg CreateCode(std::string folderPath, std::list<std::string>& fileNames);
    /// The refusals of CreateCode that depend on the records alone, without
    /// writing anything.
    ResultMsg CheckCode();

    // Fields.
    int _addVersion;
    std::string _description;
    std::string _displayName;
    /// FOLDER_TYPE_TEMPORARY for the model's temporary folder.
    int _folderType;
    /// Read by the code generator.
    int _isGenerateDAO;
    int _t_M_EntityModelID;
    /// Parent folder's _ID; 0 or less for a root folder.
    int _t_M_FolderID;
};

}  // namespace MeridianSpace
