// SchemaChanges::rebuildTable: a table brought to a new layout, the changes
// SQLite cannot make in place (a column's type, order or default changed, a
// column dropped).
#include "detail/SchemaChanges.h"

#include <string>
#include <vector>

#include "InstanceDataManager.h"
#include "StringHelper.h"
#include "backend/Connection.h"
#include "backend/SqlText.h"
#include "backend/TableDefinition.h"
#include "detail/NameRules.h"
#include "detail/StoredTables.h"

namespace MeridianSpace {

using detail::checkColumnName;
using detail::quoteIdentifier;

namespace {

// The name the new table of a rebuild has until the old one is dropped.
// Model tables are named "<name>_<version>", so none of them can take it.
const char* const kRebuildTable = "ARX_Rebuild";

// The old column's value for a rebuilt column of storage type `to`.
std::string copiedValue(const detail::Connection& conn, const std::string& quoted, int from,
                        int to) {
    if (from == to) return quoted;
    if (from == COL_TYPE_BLOB || to == COL_TYPE_BLOB) return "NULL";
    return "CAST(" + quoted + " AS " + conn.dialect().declaredType(to) + ")";
}

}  // namespace

// A new table under a temporary name is filled by one INSERT ... SELECT from
// the old one; the old table is dropped, the new one takes its name (views
// and triggers naming it are left as written, so they use the new table) and
// gets the indexes of its columns, and what went with the old table is made
// again: the indexes and triggers a user made on it and, on a server, the
// views that use it.
ResultMsg detail::SchemaChanges::rebuildTable(const MTable& table,
                                              const std::list<MNormalColumn>& columns) {
    std::list<MNormalColumn> old;
    ResultMsg rm = detail::StoredTables(conn_).getTableLayout(table._innerName, old);
    if (!rm.ok()) return rm;
    detail::Connection& conn = conn_;
    const std::string target = quoteIdentifier(table._innerName);
    const std::string built = quoteIdentifier(kRebuildTable);
    std::string create =
        "CREATE TABLE " + built + " (" + conn.dialect().idColumnDefinition(table._neverReuseIDs);
    std::string names = "\"id\"", values = "\"id\"";
    std::vector<std::string> seen;
    for (const MNormalColumn& column : columns) {
        rm = checkColumnName(column._innerName, seen);
        if (rm.ok())
            rm = detail::checkNameFits(column._innerName, "列", conn.capabilities().nameLimit);
        std::string definition;
        if (rm.ok()) rm = detail::columnDefinition(conn, column, definition);
        if (!rm.ok()) return rm;
        seen.push_back(column._innerName);
        create += ", " + definition;
        for (const MNormalColumn& was : old) {
            if (!StringHelper::equalsIgnoreCase(was._innerName, column._innerName)) continue;
            const std::string quoted = quoteIdentifier(column._innerName);
            names += ", " + quoted;
            values += ", " + copiedValue(conn, quoteIdentifier(was._innerName), was._dataType,
                                         InstanceDataManager::storageType(column._dataType));
        }
    }
    rm = conn.atomic([&]() {
        // The new table is made aside and takes the old one's name last:
        // renaming the old one aside instead would carry the views and
        // triggers that name it along to the table that is dropped.
        conn.schemaChanged();  // statements prepared on the old table go first
        std::vector<SchemaObject> setAside;
        ResultMsg r = conn.catalogue().objectsDroppedWith(table._innerName, setAside);
        if (r.ok()) r = conn.execute(create + ")");
        if (r.ok()) {
            r = conn.execute("INSERT INTO " + built + " (" + names + ") SELECT " + values +
                             " FROM " + target);
        }
        if (r.ok()) r = conn.catalogue().carryIdentity(table._innerName, kRebuildTable);
        // Views that use the table block its drop on a server; the last made goes first.
        for (auto it = setAside.rbegin(); r.ok() && it != setAside.rend(); ++it) {
            if (it->kind == "view") r = conn.execute(conn.dialect().dropObject(*it));
        }
        if (r.ok()) r = conn.execute("DROP TABLE " + target);
        if (r.ok()) r = conn.catalogue().renameTable(kRebuildTable, table._innerName);
        // With the names a new instance gives them (a server's key and identifier sequence).
        if (r.ok()) r = conn.catalogue().releaseDerivedNames(table._innerName);
        for (auto it = columns.begin(); r.ok() && it != columns.end(); ++it)
            r = detail::createColumnIndex(conn, table._innerName, *it);
        for (auto it = setAside.begin(); r.ok() && it != setAside.end(); ++it) {
            r = conn.execute(it->definition);
            if (!r.ok()) r.rMsg = "重建表后无法重新建立" + it->name + "：" + r.rMsg;
        }
        return r;
    });
    conn.schemaChanged();
    return rm;
}

}  // namespace MeridianSpace
