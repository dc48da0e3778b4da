// Reading a model into what its picture shows.
#include <algorithm>
#include <list>

#include "Cli.h"
#include "Diagram.h"
#include "Lookup.h"
#include "RecordJson.h"

namespace qms::diagram {

// Wide characters (all non-ASCII here, mostly Chinese) take about twice the room.
int textWidth(const std::string& text) {
    int width = 0;
    for (unsigned char c : text) {
        if (c < 0x80)
            width += 7;
        else if (c >= 0xC0)
            width += 12;
    }
    return width;
}

std::string columnMarks(bool primaryKey, bool findKey, bool index, bool unique, bool reference) {
    std::string marks;
    for (const auto& [on, mark] : {std::pair{primaryKey, "PK"},
                                   {findKey, "K"},
                                   {index, "IX"},
                                   {unique, "UQ"},
                                   {reference, "FK"}}) {
        if (!on) continue;
        if (!marks.empty()) marks += ' ';
        marks += mark;
    }
    return marks;
}

void measure(Table& table) {
    int width = std::max(textWidth(table.name), textWidth(table.display));
    for (const Column& column : table.columns) {
        // Marks are drawn smaller: about 6 units a letter, 10 apart from the line.
        const int marks = column.marks.empty() ? 0 : 10 + 6 * static_cast<int>(column.marks.size());
        // The width of "display: type" (the name for no display), without making it.
        const int display = textWidth(column.display.empty() ? column.name : column.display) +
                            textWidth(": ") + textWidth(column.type);
        width = std::max(width, std::max(textWidth(column.label), display) + marks);
    }
    table.width = std::max(kMinTableWidth, width + 16);
    table.height = kTitleHeight + kRowHeight * static_cast<int>(table.columns.size()) + 8;
}

namespace {

// The tables; with `before`, those `changed` does not name taken from it.
void readTables(const ModelVersionRecords& records, Diagram& diagram, const Diagram* before,
                const std::set<int>& changed) {
    for (const auto& table : records.tables) {
        if (before != nullptr && changed.count(table->_ID) == 0) {
            const auto kept = before->tables.find(table->_ID);
            if (kept != before->tables.end()) {
                diagram.tables.emplace(table->_ID, kept->second);
                continue;
            }
        }
        Table& entry = diagram.tables[table->_ID];
        entry.name = utf8(table->_name);
        entry.display = utf8(table->_displayName);
        const auto& columns = records.columns.at(table->_ID);
        entry.columns.reserve(columns.size());
        for (const auto& column : columns) {
            Column& drawn = entry.columns.emplace_back();
            drawn.id = column->_ID;
            drawn.name = utf8(column->_name);
            drawn.display = utf8(column->_displayName);
            drawn.type = dataTypeName(column->_dataType);
            drawn.label.reserve(drawn.name.size() + 2 + drawn.type.size());
            drawn.label.append(drawn.name).append(": ").append(drawn.type);
            drawn.fkTableID = column->_fkTableID;
            drawn.marks =
                columnMarks(column->_isPk == 1, column->_isFindKey == 1, column->_isIndex == 1,
                            column->_isOnly == 1, column->_fkTableID > 0);
        }
        measure(entry);
    }
}

// The model's folders with the tables of this model version in each.
void readFolders(const ModelVersionRecords& records, Diagram& diagram) {
    for (const auto& folder : records.folders) {
        Folder& entry = diagram.folders[folder->_ID];
        entry.name = utf8(folder->_name);
        entry.parentID = folder->_t_M_FolderID;
        entry.temporary = folder->_folderType == FOLDER_TYPE_TEMPORARY;
        for (const auto& table : records.folderTables.at(folder->_ID)) {
            if (diagram.tables.count(table->_ID) != 0 &&
                std::find(entry.tableIDs.begin(), entry.tableIDs.end(), table->_ID) ==
                    entry.tableIDs.end())
                entry.tableIDs.push_back(table->_ID);
        }
    }
    for (auto& [id, folder] : diagram.folders) {
        const auto parent = diagram.folders.find(folder.parentID);
        if (parent != diagram.folders.end() && folder.parentID != id)
            parent->second.subFolderIDs.push_back(id);
    }
}

}  // namespace

void drawDisplayNames(Diagram& diagram) {
    for (auto& [id, table] : diagram.tables) {
        if (!table.display.empty()) table.name = table.display;
        for (Column& column : table.columns)
            column.label =
                (column.display.empty() ? column.name : column.display) + ": " + column.type;
        measure(table);
    }
}

Diagram readDiagram(const ModelVersionRecords& records, const Diagram* before,
                    const std::set<int>& changed) {
    Diagram diagram;
    diagram.title = utf8(records.model._name) + " v" + std::to_string(records.model._version);
    readTables(records, diagram, before, changed);
    readFolders(records, diagram);
    return diagram;
}

Diagram readDiagram(const M_EntityModelDAO& model) {
    return readDiagram(readModelVersion(model, ColumnMembers::Drawn));
}

}  // namespace qms::diagram
