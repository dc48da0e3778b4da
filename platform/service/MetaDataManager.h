#pragma once

// The metadata side of the configuration database: what the records ask of
// the data service about models, tables and columns. It reads the metadata
// tables of projects, models, tables, columns and model-table links under
// the names the records' layer hands down (MetaDataNames); until then its
// lookups answer SRV_ERR_NO_TABLE. The one value it writes is a model's
// version lock.
#include <set>
#include <string>
#include <vector>

#include "ArxExport.h"
#include "DataManagerBase.h"
#include "ResultReturnCode.h"

namespace MeridianSpace {

/// Used by the thread that uses its session (see MRDSession).
class ARX MetaDataManager : public dataManager {
public:
    /// Reloads what the manager knows of the tables (layouts, prepared
    /// statements) when the schema changed since it last looked, through this
    /// session or another connection; cheap when nothing changed.
    ResultMsg initialMetaDataCache();

    /// Locks the stored version of model `modelID` (IsVersionLocked 1), so
    /// that a higher version of its name may be saved. Code 0 when the
    /// version is locked afterwards, also when it was locked before. A
    /// write: it commits at once unless a Transaction is open. Inside one it
    /// holds off other writers of models until that ends and then reads the
    /// lock, so that of two upgrades of one version the second sees the
    /// first's work. SRV_ERR_ARGUMENT for an identifier below 1,
    /// SRV_ERR_NO_ROW for a missing model.
    ResultMsg lockEntityModelVersion(int modelID);
    /// Undoes a lock that lockEntityModelVersion of this manager set. A
    /// version that was already locked when that call came (by an earlier
    /// upgrade or by a record save) stays locked and the answer is code 0,
    /// so that a failed upgrade of an old version never unlocks it.
    ResultMsg unlockEntityModelVersion(int modelID);

    /// The data service's side of removing table `tableID` from model
    /// `modelID`: checks that both rows exist and forgets what the session
    /// cached about the table's physical table (its layout and the
    /// statements naming it), so that later calls see the change. It deletes
    /// no record row and drops no physical table: the records delete their
    /// own rows afterwards. SRV_ERR_ARGUMENT for an identifier below 1,
    /// SRV_ERR_NO_ROW for a missing row, SRV_ERR_NO_TABLE when a metadata
    /// table is missing.
    ResultMsg delMTableByIdFromEntityModel(int tableID, int modelID);
    /// The same for column `columnID` of model `modelID`: checks the model
    /// row and the column row and forgets what was cached about the physical
    /// table of the column's table. Drops no physical column.
    ResultMsg delMNormalColumnById(int columnID, int modelID);

    /// Appends the identifiers of the tables linked to model `modelID`
    /// (its model-table links) that exist in model version `version`
    /// (AddVersion <= version < DelVersion) and whose name starts with
    /// `prefix` or ends with `suffix`, compared byte for byte (GBK names
    /// included). Ordered by link identifier; a table linked twice appears
    /// twice. Runs on the indexes of ensureLookupIndexes(), so its cost does
    /// not grow with the number of tables in the model, except for an empty
    /// prefix or a suffix shorter than 4 bytes, which read the model's links.
    /// A model identifier below 1 finds nothing.
    ResultMsg findRelatedTableIDs(int modelID, int version, const std::string& prefix,
                                  const std::string& suffix, std::vector<int>& tableIDs);
    /// Appends the identifiers of the columns named exactly `name` that exist
    /// in model version `version` and whose table exists and is linked to
    /// model `modelID`; ordered by link identifier, then column identifier (a
    /// table linked twice lists its columns twice).
    ResultMsg findModelColumnIDsByName(int modelID, int version, const std::string& name,
                                       std::vector<int>& columnIDs);

    /// Appends the inner names of the columns of table `tableID`, in the
    /// order they were stored; one indexed statement.
    ResultMsg findColumnInnerNames(int tableID, std::vector<std::string>& names);

    /// The type (T_M_EntityModel.Type) of the model of the highest version
    /// (above 0) linked to table `tableID`, the first link of a tie; one
    /// statement whatever the number of linked versions. SRV_ERR_NO_ROW when
    /// no such model is linked.
    ResultMsg findMaxVersionOwnerType(int tableID, int& modelType);

    /// Creates, when missing, the indexes the lookups above need and the
    /// NOCASE indexes that let the name finders' LIKE use an index:
    /// T_M_Project(Name, UID) and T_M_EntityModel(Name) ignoring case;
    /// T_M_EntityTable(Name) and the last 4 bytes of its names;
    /// T_M_NormalColumn(Name, T_M_EntityTableID);
    /// T_M_R_ModelTable(T_M_EntityModelID, T_M_EntityTableID), one index
    /// each. Tables (or columns) that do not exist are skipped. All or
    /// nothing, inside the session's open transaction when there is one.
    ResultMsg ensureLookupIndexes();
    /// Whether every index that ensureLookupIndexes() would make is there;
    /// only reads.
    ResultMsg hasLookupIndexes(bool& complete);

    /// The plans SQLite chooses (EXPLAIN QUERY PLAN, one text per statement)
    /// for the lookups above (prefix, suffix, short suffix, column name) and
    /// for the name finders' bound LIKE on T_M_Project.Name,
    /// T_M_Project.UID and T_M_EntityModel.Name, for checking that they use
    /// their indexes.
    ResultMsg lookupPlans(std::vector<std::string>& plans);

private:
    friend class MRDSession;
    using dataManager::dataManager;

    ResultMsg setVersionLock(int modelID, int locked);

    /// Models whose lock this manager set and may undo.
    std::set<int> locksTaken_;
};

}  // namespace MeridianSpace
