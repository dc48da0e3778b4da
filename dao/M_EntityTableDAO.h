#pragma once

// An entity table (data class): the metadata record of one table that a
// model describes. It belongs to models through model-table links and to
// their folders through folder-table links; columns, scene records and
// query and delete definitions hang on it.
#include <list>
#include <set>
#include <string>
#include <vector>

#include "ArxExport.h"
#include "M_ObjectDAO.h"

namespace MeridianSpace {

class M_DelByInterfaceDAO;
class M_EntityModelDAO;
class M_FindByInterfaceDAO;
class M_FolderDAO;
class M_NormalColumnDAO;
class M_SceneInfoDAO;

/// An object is used by one thread at a time.
class ARX M_EntityTableDAO : public M_ObjectDAO {
public:
    // Defined in dao/M_EntityTableDAO.cpp.
    M_EntityTableDAO();
    ~M_EntityTableDAO() override;

    static DAO* createObject();
    Mapper* createMapper() override;

    /// The stored table, with _belongToDictionaryModel set from the owner
    /// model of the highest version.
    static ResultMsg FindByID(int id, M_EntityTableDAO*& pnewdao);
    static ResultMsg FindAll(std::list<M_EntityTableDAO*>& newlist);

    /// The first save fixes the inner name (_name + "_" + _addVersion); a
    /// new table of a dictionary model drops the model suffix of its name.
    [[nodiscard]] ResultMsg save(int commitType = COMMIT_T_IMMEDIATELY) override;
    using DAO::delself;
    using DAO::save;
    /// Removes the table, its definitions, scene records and the tables and
    /// columns related to it by name from the model; the row and its columns
    /// go when no other model links the table. Columns of other tables that
    /// refer to it (_fkTableID) and no longer meet it in any version they
    /// exist in get -1. Appends the delete report ("kind,identifier#": 2
    /// table, 3 column, 6 scene record, 7 column whose reference was
    /// cleared) to `report`.
    virtual ResultMsg delFromEntityModel(M_EntityModelDAO* pMEntityModel, std::string& report);

    bool isBelongToDictionaryModel();
    /// The models linked to the table; the caller owns them.
    ResultMsg getEntityModelOwners(std::list<M_EntityModelDAO*>& models);
    /// The linked model of the highest version (the first of a tie), or null.
    ResultMsg getMaxVersionEntityModelOwner(M_EntityModelDAO*& model);
    /// The model's folders that hold the table.
    ResultMsg getFolderOwner(M_EntityModelDAO* pMEntityModel, std::list<M_FolderDAO*>& folders);
    /// Links the column to this table with the model's version and saves it.
    ResultMsg addNormalColumnDAO(M_EntityModelDAO* pMEntityModel, M_NormalColumnDAO* column,
                                 int commitType = COMMIT_T_IMMEDIATELY);
    /// The table's columns that exist in the model's version, in the order
    /// they entered the table, whatever later versions changed.
    ResultMsg getNormalColumnDAOList(M_EntityModelDAO* pMEntityModel,
                                     std::list<M_NormalColumnDAO*>& columns);
    ResultMsg addSceneInfo(M_EntityModelDAO* pMEntityModel, M_SceneInfoDAO* scene,
                           int commitType = COMMIT_T_IMMEDIATELY);
    ResultMsg getSceneInfoList(M_EntityModelDAO* pMEntityModel, std::list<M_SceneInfoDAO*>& scenes);
    ResultMsg addFindByInterfaceDAO(M_FindByInterfaceDAO* definition,
                                    int commitType = COMMIT_T_IMMEDIATELY);
    ResultMsg removeFindByInterfaceDAO(M_FindByInterfaceDAO* definition,
                                       int commitType = COMMIT_T_IMMEDIATELY);
    /// The query definitions whose parameters all name columns of the
    /// model's version; `definitions` keeps only those (pass it empty).
    ResultMsg getFindByInterfaceDAOList(M_EntityModelDAO* pMEntityModel,
                                        std::list<M_FindByInterfaceDAO*>& definitions);
    ResultMsg addDelByInterfaceDAO(M_DelByInterfaceDAO* definition,
                                   int commitType = COMMIT_T_IMMEDIATELY);
    ResultMsg removeDelByInterfaceDAO(M_DelByInterfaceDAO* definition,
                                      int commitType = COMMIT_T_IMMEDIATELY);
    /// The delete definitions, filtered as the query definitions are.
    ResultMsg getDelByInterfaceDAOList(M_EntityModelDAO* pMEntityModel,
                                       std::list<M_DelByInterfaceDAO*>& definitions);
    /// The same two lists for a caller that holds the _IDs of the columns of
    /// the model's version (`columnIDs`), which are then not read again.
    ResultMsg getFindByInterfaceDAOList(const std::set<int>& columnIDs,
                                        std::list<M_FindByInterfaceDAO*>& definitions);
    ResultMsg getDelByInterfaceDAOList(const std::set<int>& columnIDs,
                                       std::list<M_DelByInterfaceDAO*>& definitions);
    /// The model's tables named "TR_" + name + ... or ... + "_" + name (in a
    /// dictionary model ... + "_" + name + "_" + model _ID), and the model's
    /// columns named "CR" + name + "ID" of other tables.
    ResultMsg getRelationInfo(M_EntityModelDAO* pMEntityModel,
                              std::list<M_NormalColumnDAO*>& columns,
                              std::list<M_EntityTableDAO*>& tables);

    // Defined in tabledata/TableRowData.cpp.
    // Rows of the physical table in the current work database, as text: a
    // column list that starts with the identifier column ("id") and one line
    // per row, its values joined by "@#@"; in saveData the marker
    // "!#@$!^%&^@%$" may stand for an empty value.

    /// Replaces `columns` (its objects are deleted) with new objects that
    /// the caller owns, and appends one line per row to `values`. The
    /// current work database must be an instance file of a stored model.
    ResultMsg getData(std::list<M_NormalColumnDAO*>& columns, std::list<std::string>& values);
    /// Updates the row named by each line's identifier, or inserts the line
    /// as a new row when the identifier is 0, -1 or empty or no such row
    /// exists; all lines in one transaction of the work database. A line
    /// whose value count differs from the column count, whose identifier is
    /// no number or below -1, or with a value its column's type cannot take
    /// refuses the whole call before anything is written. The column objects
    /// stay the caller's.
    ResultMsg saveData(std::list<M_NormalColumnDAO*> columns, std::list<std::string> values);
    /// Inserts each line as a new row under its own identifier (above 0), so
    /// that rows keep the identifiers other rows refer to them by. Checked as
    /// saveData; a line whose identifier a row has already (or an earlier
    /// line took) refuses the whole call and nothing is written.
    ResultMsg insertData(std::list<M_NormalColumnDAO*> columns, std::list<std::string> values);
    /// Deletes the rows with these identifiers, then commits.
    ResultMsg delData(std::vector<int> ids);
    /// Deletes every row, then commits.
    ResultMsg delAllData();

    // Defined in tabledata/TableBlobData.cpp.
    /// Stores `size` doubles as the blob of `pColumn` in row `dataId`
    /// (stored before through saveData); commits nothing.
    ResultMsg saveBlobData(M_NormalColumnDAO* pColumn, double* data, int size, int dataId);
    /// Reads the blob of `pColumn` in row `dataId`: `data` receives a new
    /// array of `size` doubles that the caller frees with delete[]. On
    /// failure both are left as they were.
    ResultMsg getBlobData(M_NormalColumnDAO* pColumn, int dataId, double*& data, int& size);

    // Defined in tabledata/DictionaryData.cpp.
    // Rows of a dictionary model's table, kept in the configuration
    // database, as text without the identifier column.

    /// Replaces `columns` (its objects are deleted) with new objects that
    /// the caller owns, and appends one line per row to `values`.
    ResultMsg exportData(std::list<M_NormalColumnDAO*>& columns, std::list<std::string>& values);
    /// Rebuilds the physical table from the column records and fills it
    /// with the lines (none: the table is left empty, whatever `columns`
    /// holds). Refused for a table outside dictionary models. The lines are
    /// checked as in saveData before the table is touched.
    ResultMsg importData(std::list<M_NormalColumnDAO*> columns, std::list<std::string> values);

    // Defined in codegen/EntityTableCode.cpp.
    /// Writes the C++ source of this table's DAO class, its mapper, a
    /// registration line and a white-box test into `folderPath` (made when
    /// missing), appending the path of every file written to `fileNames`.
    /// Names that would not compile (a table, column or definition name that
    /// is no C++ identifier, or a keyword), an unknown column data type, a
    /// numeric default that is no number of its column's type, a class that
    /// would derive from itself (the table's and its folder's class of one
    /// name), an empty folder path and a folder that cannot be written are
    /// refused before anything is written. Each file is written under a
    /// temporary name and renamed into place.
    ResultMsg CreateCode(M_EntityModelDAO* model, std::string folderPath,
                         std::list<std::string>& fileNames);
    /// The refusals of CreateCode that depend on the records alone, without
    /// writing anything.
    ResultMsg CheckCode(M_EntityModelDAO* model);
    /// The DAO class name of a table name: the first two bytes dropped, the
    /// next one in upper case, "DAO" appended (T_order gives OrderDAO).
    static std::string tableNameToDAOName(std::string tableName);

    // Fields.
    int _addVersion;
    int _countType;
    /// MODEL_VERSION_NEVER_DELETED unless a version removed the table.
    int _delVersion;
    std::string _description;
    std::string _displayName;
    /// Physical table name; fixed by the first save.
    std::string _innerName;
    int _isDeleted;
    int _type;
    int _version;
    /// Eight pairs "key:value" separated by ",", keys 1 to 8.
    std::string _whiteBoxType;
    /// 1 when the table belongs to a dictionary model; kept in memory only.
    int _belongToDictionaryModel;
};

}  // namespace MeridianSpace
