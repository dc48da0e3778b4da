#pragma once

// Every folder, table and column of one model version read in a handful of
// statements (one per kind of record and run of close identifiers:
// RecordFinder::byIntIn) instead of one or two per table and folder. The
// records are those the per-record getters return, for the readers of a
// whole model (the diagram, qms serve, model show, model copy). Reading
// writes nothing: a link to a table that is gone or outside the version is
// passed over, where the getters also remove it.
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "ArxExport.h"
#include "M_EntityModelDAO.h"
#include "M_EntityTableDAO.h"
#include "M_FolderDAO.h"
#include "M_NormalColumnDAO.h"
#include "RecordFinder.h"

namespace MeridianSpace {

/// Which members of the columns are read.
enum class ColumnMembers {
    /// Every member: records as the getters give them.
    All,
    /// Those a picture and the version's order use (identifier, table,
    /// names, display name, type, foreign table, marks, versions); the
    /// others are 0 or empty. Such records are for reading only and must
    /// never be saved.
    Drawn,
};

/// A plain value once read; used by one thread at a time.
struct ARX ModelVersionRecords {
    /// Reads the version that model record `modelID` is into `out`, which
    /// is emptied first, its columns with `members`. An unknown model is
    /// refused.
    static ResultMsg read(int modelID, ModelVersionRecords& out,
                          ColumnMembers members = ColumnMembers::All);
    /// The tables with the identifiers `ids`, by identifier, each marked as
    /// M_EntityTableDAO::FindByID marks it (whether its highest-version
    /// owner is a dictionary model); an identifier of no table is left out.
    static ResultMsg readTables(const std::vector<int>& ids,
                                std::map<int, std::unique_ptr<M_EntityTableDAO>>& out);
    /// How to reach the records that hang on the tables `tableIDs` (their
    /// columns, links, definitions) in the current configuration database:
    /// in stored order when the tables are at least half of all, through the
    /// index on the table otherwise (see RowPath).
    static ResultMsg pathToRowsOf(const std::vector<int>& tableIDs, RowPath& path);
    /// The same after a change, from `before` (an earlier read of the same
    /// model record, `out` another object): the links and folders are read
    /// anew, tables and their columns only for the identifiers in `changed`
    /// and those `before` lacks; the others are copied from `before`. A
    /// dictionary model is read whole, and so is a model `before` holds
    /// with other members than `members`.
    static ResultMsg readAgain(int modelID, const ModelVersionRecords& before,
                               const std::set<int>& changed, ModelVersionRecords& out,
                               ColumnMembers members = ColumnMembers::All);

    M_EntityModelDAO model;
    /// As M_EntityModelDAO::getEntityTableList.
    std::vector<std::unique_ptr<M_EntityTableDAO>> tables;
    /// By table identifier, for each of `tables`: as
    /// M_EntityTableDAO::getNormalColumnDAOList.
    std::map<int, std::vector<std::unique_ptr<M_NormalColumnDAO>>> columns;
    /// As M_FolderDAO::FindByEntityModelID.
    std::vector<std::unique_ptr<M_FolderDAO>> folders;
    /// By folder identifier, for each of `folders`: as
    /// M_FolderDAO::getM_EntityTableDAOList.
    std::map<int, std::vector<std::unique_ptr<M_EntityTableDAO>>> folderTables;
    /// The members `columns` were read with.
    ColumnMembers columnMembers = ColumnMembers::All;
};

}  // namespace MeridianSpace
