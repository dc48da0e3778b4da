#pragma once

// Reads and writes the rows, blobs and physical tables of one database.
#include <cstdint>
#include <functional>
#include <list>
#include <string>
#include <vector>

#include "ArxExport.h"
#include "DataManagerBase.h"
#include "InstanceDataModel.h"
#include "ResultReturnCode.h"
#include "ResultRow.h"
#include "SchemaObject.h"

namespace MeridianSpace {

class MRDSession;
class ValueScans;
namespace detail {
class InstanceFiles;
}  // namespace detail

/// Used by the thread that uses its session (see MRDSession).
/// Writes take a commit type: 0 (COMMIT_T_DEFERRED, the default where the
/// parameter is optional) joins the session's open transaction, which the
/// session's commit() or the next immediate write commits;
/// COMMIT_T_IMMEDIATELY commits at once, with whatever was pending.
class ARX InstanceDataManager : public dataManager {
public:
    /// Sees one result row; answer false to stop the query early. The row
    /// object is reused for the next row.
    using RowVisitor = std::function<bool(ITableData& row)>;
    /// The same for a row read in place.
    using ResultRowVisitor = std::function<bool(const ResultRow& row)>;
    /// Inserts the row; the store assigns the identifier ("id").
    [[nodiscard]] ResultMsg addITableData(const ITableData& row, int commitType);
    /// Inserts the row and hands back the identifier the store assigned.
    [[nodiscard]] ResultMsg addITableData(const ITableData& row, int commitType, int& newID);
    /// Sets the row's columns in every row matching all conditions.
    [[nodiscard]] ResultMsg updateITableData(const ITableData& row,
                                             const std::list<IQueryCondition>& conditions,
                                             int commitType = COMMIT_T_DEFERRED);
    /// As above, also counting the rows changed.
    [[nodiscard]] ResultMsg updateITableData(const ITableData& row,
                                             const std::list<IQueryCondition>& conditions,
                                             int commitType, int& changedRows);
    /// One row per match, each naming the asked columns by inner name (all
    /// columns of the table, "id" first, when `columns` is empty). `order`
    /// may be null; its attribute is a column inner name. Appends to `rows`.
    ResultMsg getITableData(const std::string& table, const std::vector<MNormalColumn>& columns,
                            const std::list<IQueryCondition>& conditions,
                            std::list<ITableData>& rows, const IOrderClause* order);
    /// The same query, handing each row to `visit` instead of collecting them.
    ResultMsg forEachITableData(const std::string& table, const std::vector<MNormalColumn>& columns,
                                const std::list<IQueryCondition>& conditions,
                                const IOrderClause* order, const RowVisitor& visit);
    /// The same query with `columns` named (not empty), each row read in
    /// place: the values need no text form unless asked for one.
    ResultMsg forEachResultRow(const std::string& table, const std::vector<MNormalColumn>& columns,
                               const std::list<IQueryCondition>& conditions,
                               const IOrderClause* order, const ResultRowVisitor& visit);
    [[nodiscard]] ResultMsg deleteITableDataById(const std::string& table, int id,
                                                 int commitType = COMMIT_T_DEFERRED);
    [[nodiscard]] ResultMsg deleteITableDataAll(const std::string& table,
                                                int commitType = COMMIT_T_DEFERRED);
    /// Deletes the rows matching all conditions. An empty condition list is
    /// refused (deleteITableDataAll empties a table).
    [[nodiscard]] ResultMsg deleteITableDataByCondition(
        const std::string& table, const std::list<IQueryCondition>& conditions,
        int commitType = COMMIT_T_DEFERRED);
    /// Stores `count` doubles as the blob of one column of row `id`.
    [[nodiscard]] ResultMsg updateIBlobTableData(const std::string& table,
                                                 const std::string& column, const double* data,
                                                 int count, int id,
                                                 int commitType = COMMIT_T_DEFERRED);
    /// Reads the blob of one column of row `id`. On success `data` points to a
    /// new array of `count` doubles that the CALLER frees with delete[] (null
    /// and 0 for an empty blob). On failure both are left untouched.
    ResultMsg getIBlobTableData(const std::string& table, const std::string& column, int id,
                                double*& data, int& count);
    /// The rule for the name of a physical table: 1 to 255 bytes, no double
    /// quote, no control byte. The records check a table's inner name by it
    /// when the table is added, so that no instance file refuses it later.
    static ResultMsg checkTableName(const std::string& innerName);
    /// The rule for the name of a new physical column: as for a table, not
    /// "id" (the store's own identifier column), and none of `others` (the
    /// table's other columns) equal to it when letter case is ignored.
    static ResultMsg checkColumnName(const std::string& innerName,
                                     const std::vector<std::string>& others);
    /// Creates a physical table: "id" (INTEGER PRIMARY KEY) and one column per
    /// description, with its type, default value and (unique) index; the
    /// names follow checkTableName and checkColumnName, and on a server a
    /// name longer than it keeps (63 bytes) is refused, never cut short.
    [[nodiscard]] ResultMsg addMTableInstance(const MTable& table,
                                              const std::list<MNormalColumn>& columns);
    /// Adds one physical column to an existing table.
    [[nodiscard]] ResultMsg addNormalColumnInstance(const std::string& table,
                                                    const MNormalColumn& column);
    /// Drops a physical table.
    ResultMsg delTableInstance(const std::string& table);
    /// Names of the physical columns of a table, in table order.
    ResultMsg getTableColumnNames(const std::string& table, std::vector<std::string>& names);
    /// Names of the physical tables of the database, in byte order.
    ResultMsg getTableNames(std::vector<std::string>& names);
    /// The type a database stores for a column data type: 1 integer, 3
    /// real, 6 blob (for 4, 5 and 6), 2 text (everything else).
    static int storageType(int dataType);
    /// The physical columns of `table` as the database holds them, "id"
    /// left out, in table order: inner name (also as name), storage type (of
    /// the declared type) and the index of the column alone (_isIndex 1;
    /// _isOnly 1 when unique); no defaults. SRV_ERR_NO_TABLE for no table.
    ResultMsg getTableLayout(const std::string& table, std::list<MNormalColumn>& columns);
    /// Brings `table` to the layout `columns` (their order, types, defaults
    /// and indexes) keeping every row and its identifier, as one step of the
    /// open transaction (or a transaction of its own): each column from the
    /// old column of its inner name (converted where the storage type
    /// changes; a blob to or from another type becomes empty) or, new, with
    /// its default. Views and triggers naming the table use the new one; the
    /// indexes and triggers a user made on it and, on a server, the views
    /// that use it are made again. No row passes through the process. Values
    /// a conversion would change, and objects that name a column that goes,
    /// are for the caller to look at first (ValueScans, getSchemaObjects).
    [[nodiscard]] ResultMsg rebuildTable(const MTable& table,
                                         const std::list<MNormalColumn>& columns);
    /// Makes the index of `column` in `table` what the description asks
    /// for (none, an index, a unique index): other indexes of that column
    /// alone go.
    [[nodiscard]] ResultMsg setColumnIndex(const std::string& table, const MNormalColumn& column);
    /// What a user made in the database beside the tables and the indexes of
    /// their single columns (see SchemaObject), in the order made. Reads only.
    ResultMsg getSchemaObjects(std::vector<SchemaObject>& objects);
    /// Drops one of them, inside the open transaction (or one of its own).
    [[nodiscard]] ResultMsg dropSchemaObject(const SchemaObject& object);
    /// Makes other connections' writes of `tables` wait until the open
    /// transaction ends. Call it inside a Transaction before reading
    /// anything: what it reads afterwards includes everything they committed.
    /// A SQLite file's write transaction holds the whole file already; a
    /// server waits for the tables' writers (SRV_ERR_BUSY after the busy timeout).
    ResultMsg holdOffWriters(const std::vector<std::string>& tables);
    /// Reloads what the manager knows of the tables (layouts, prepared
    /// statements) when the schema changed since it last looked (through
    /// any connection); cheap when nothing changed.
    ResultMsg initialMetaDataCache();
    /// Keeps other connections from changing tables of this database until
    /// the open transaction ends, so that looking at the tables and adding
    /// what is missing is one step. Call it inside a Transaction. A SQLite
    /// file's write transaction holds such a lock already; a server takes one
    /// for the database (SRV_ERR_BUSY after the busy timeout).
    ResultMsg lockSchemaChanges();
    /// A number that changes whenever the rows of `table` may have changed:
    /// writes through this session, any roll-back, a close and reopen, and
    /// commits by other connections to the same database. Two equal numbers
    /// for one table mean unchanged rows. Every new number is drawn from one
    /// counter of the process, so a number kept from another session or from
    /// before a reopen never matches. Table names ignore ASCII case. 0 while
    /// the session is closed. On a server every call returns a new number:
    /// other connections' commits cannot be seen without asking the server,
    /// so nothing keyed by the number is reused there.
    std::uint64_t changeCount(const std::string& table);
    /// Creates the instance file `model._filePath` for the model of this
    /// (configuration) database named by `model` (project UID, name, version):
    /// one physical table per table of the model's version, with the columns
    /// of that version, and a small table describing the file (name, version,
    /// type, description, project UID, kind), built aside and then named, so
    /// it appears complete or not at all. An existing path is never touched
    /// (SRV_ERR_EXISTS); a model that is not stored gives SRV_ERR_NO_ROW; a
    /// failure leaves no file. A server URI instead names a database (made
    /// when missing; a schema through search_path) that must hold no table
    /// yet (else SRV_ERR_EXISTS): the same tables are built in it in one
    /// transaction, after every table and column name was found to fit the
    /// server (SRV_ERR_ARGUMENT naming the first that does not). On success
    /// `session` is a new session on the instance that the caller deletes;
    /// `flag` 1 reads the instance's table layouts at once.
    ResultMsg createEntityModelInstance_Create(IEntityModel model, MRDSession*& session, int flag);
    /// The statements createEntityModelInstance_Create runs to build the
    /// instance of `model` at `model._filePath`, appended to `statements`
    /// in order (see MRDSession::recordStatements), without building it: in
    /// a private in-memory database for a file path, in a new schema of the
    /// server URI's database, in a transaction rolled back. Nothing stays.
    ResultMsg instanceStatements(const IEntityModel& model, std::vector<std::string>& statements);
    /// Fills name, version, type, description and project UID from this
    /// manager's database when it is an instance file. A database that does
    /// not describe itself as one (no such table, another shape, no row) is
    /// refused with SRV_ERR_NO_TABLE; a file that cannot be read gives the
    /// engine's failure. On failure `model` is untouched.
    ResultMsg getEntityModelInstanceInfo(IEntityModel& model);
    /// Sets the model version this instance file describes itself with,
    /// inside the open transaction (or one of its own).
    [[nodiscard]] ResultMsg setEntityModelInstanceVersion(int version);

private:
    friend class MRDSession;
    friend class RowInserter;
    friend class ValueScans;
    friend class detail::InstanceFiles;
    using dataManager::dataManager;
};

}  // namespace MeridianSpace
