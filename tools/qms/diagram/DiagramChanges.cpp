// Two versions of a model compared for the picture of one of them: the
// model diff (lifecycle/ModelDiff.h) as marks of its tables and columns.
#include "Cli.h"
#include "Diagram.h"
#include "Lookup.h"
#include "ModelDiff.h"

namespace qms::diagram {

namespace {

using Kind = ModelChange::Kind;

// A column of the other version, drawn as readTables draws one; no arrow
// leaves it.
Column endedColumn(const MNormalColumn& c) {
    Column column;
    column.id = c._ID;
    column.name = utf8(c._name);
    column.display = utf8(c._displayName);
    column.type = dataTypeName(c._dataType);
    column.label = column.name + ": " + column.type;
    column.marks = columnMarks(c._isPk == 1, c._isFindKey == 1, c._isIndex == 1, c._isOnly == 1,
                               c._fkTableID > 0);
    return column;
}

const LayoutTable* tableIn(const ModelLayout& layout, const std::string& innerName) {
    for (const LayoutTable& t : layout) {
        if (t.table._innerName == innerName) return &t;
    }
    return nullptr;
}

const MNormalColumn* columnIn(const LayoutTable* table, const std::string& innerName) {
    if (table == nullptr) return nullptr;
    for (const MNormalColumn& c : table->columns) {
        if (c._innerName == innerName) return &c;
    }
    return nullptr;
}

}  // namespace

Changes compareWith(M_EntityModelDAO& model, int other, Diagram& diagram) {
    const std::string version = std::to_string(other);
    std::vector<ModelChange> changes;
    ModelLayout before;
    check(ModelDiff::between(model, other, model._version, changes),
          "cannot compare with version " + version);
    check(ModelDiff::readVersion(model, other, before), "cannot read version " + version);
    Changes marks;
    for (const ModelChange& c : changes) {
        const LayoutTable* old = tableIn(before, c.tableInnerName);
        const auto drawn = diagram.tables.find(c.tableID);
        if (c.kind == Kind::TableAdded) {
            marks.addedTables.insert(c.tableID);
        } else if (c.kind == Kind::TableEnded && old != nullptr) {
            Table& table = diagram.tables[c.tableID];
            table.name = utf8(old->table._name);
            table.display = utf8(old->table._displayName);
            for (const MNormalColumn& column : old->columns)
                table.columns.push_back(endedColumn(column));
            measure(table);
            marks.endedTables.insert(c.tableID);
        } else if (c.kind == Kind::ColumnEnded) {
            const MNormalColumn* column = columnIn(old, c.columnInnerName);
            if (drawn != diagram.tables.end() && column != nullptr) {
                drawn->second.columns.push_back(endedColumn(*column));
                measure(drawn->second);
            }
            marks.endedColumns.insert(c.fromColumnID);
            marks.changedTables.insert(c.tableID);
        } else {
            (c.kind == Kind::ColumnAdded ? marks.addedColumns : marks.changedColumns)
                .insert(c.toColumnID);
            marks.changedTables.insert(c.tableID);
        }
    }
    marks.changedColumns.erase(0);  // a table's own rename
    diagram.title += " compared with v" + version;
    return marks;
}

}  // namespace qms::diagram
