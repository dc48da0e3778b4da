// Reading a model into what its picture shows.
#include <algorithm>
#include <list>

#include "Cli.h"
#include "Diagram.h"
#include "Lookup.h"
#include "M_R_FolderTableDAO.h"
#include "PtrListHelper.h"

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
        if (on) marks += (marks.empty() ? "" : " ") + std::string(mark);
    }
    return marks;
}

void measure(Table& table) {
    int width = std::max(textWidth(table.name), textWidth(table.display));
    for (const Column& column : table.columns) {
        // Marks are drawn smaller: about 6 units a letter, 10 apart from the line.
        const int marks = column.marks.empty() ? 0 : 10 + 6 * static_cast<int>(column.marks.size());
        const std::string display =
            (column.display.empty() ? column.name : column.display) + ": " + column.type;
        width = std::max(width, std::max(textWidth(column.label), textWidth(display)) + marks);
    }
    table.width = std::max(kMinTableWidth, width + 16);
    table.height = kTitleHeight + kRowHeight * static_cast<int>(table.columns.size()) + 8;
}

namespace {

void readTables(M_EntityModelDAO& model, Diagram& diagram) {
    std::list<M_EntityTableDAO*> tables;
    PtrListGuard<M_EntityTableDAO> ownTables(tables);
    check(model.getEntityTableList(tables), "cannot read the tables");
    for (M_EntityTableDAO* table : tables) {
        Table& entry = diagram.tables[table->_ID];
        entry.name = utf8(table->_name);
        entry.display = utf8(table->_displayName);
        std::list<M_NormalColumnDAO*> columns;
        PtrListGuard<M_NormalColumnDAO> ownColumns(columns);
        check(table->getNormalColumnDAOList(&model, columns), "cannot read the columns");
        for (const M_NormalColumnDAO* column : columns) {
            Column& drawn = entry.columns.emplace_back();
            drawn.id = column->_ID;
            drawn.name = utf8(column->_name);
            drawn.display = utf8(column->_displayName);
            drawn.type = dataTypeName(column->_dataType);
            drawn.label = drawn.name + ": " + drawn.type;
            drawn.fkTableID = column->_fkTableID;
            drawn.marks =
                columnMarks(column->_isPk == 1, column->_isFindKey == 1, column->_isIndex == 1,
                            column->_isOnly == 1, column->_fkTableID > 0);
        }
        measure(entry);
    }
}

// The model's folders with the tables of this model version in each.
void readFolders(M_EntityModelDAO& model, Diagram& diagram) {
    std::list<M_FolderDAO*> folders;
    PtrListGuard<M_FolderDAO> ownFolders(folders);
    check(M_FolderDAO::FindByEntityModelID(model._ID, folders), "cannot read the folders");
    for (M_FolderDAO* folder : folders) {
        Folder& entry = diagram.folders[folder->_ID];
        entry.name = utf8(folder->_name);
        entry.parentID = folder->_t_M_FolderID;
        entry.temporary = folder->_folderType == FOLDER_TYPE_TEMPORARY;
        // The links name the tables, which are read already.
        std::list<M_R_FolderTableDAO*> links;
        PtrListGuard<M_R_FolderTableDAO> ownLinks(links);
        check(M_R_FolderTableDAO::FindByT_M_FolderID(folder->_ID, links),
              "cannot read the tables of a folder");
        for (const M_R_FolderTableDAO* link : links) {
            const int table = link->_t_M_EntityTableID;
            if (diagram.tables.count(table) != 0 &&
                std::find(entry.tableIDs.begin(), entry.tableIDs.end(), table) ==
                    entry.tableIDs.end())
                entry.tableIDs.push_back(table);
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

Diagram readDiagram(M_EntityModelDAO& model) {
    Diagram diagram;
    diagram.title = utf8(model._name) + " v" + std::to_string(model._version);
    readTables(model, diagram);
    readFolders(model, diagram);
    return diagram;
}

}  // namespace qms::diagram
