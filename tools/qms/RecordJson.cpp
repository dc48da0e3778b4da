#include "RecordJson.h"

#include <list>
#include <map>
#include <memory>
#include <type_traits>

#include "Cli.h"
#include "Lookup.h"
#include "M_DelByInterfaceDAO.h"
#include "M_FindByInterfaceDAO.h"
#include "M_FolderDAO.h"
#include "M_NormalColumnDAO.h"
#include "PtrListHelper.h"

namespace qms {

std::string projectName(int projectID) {
    M_ProjectDAO* project = nullptr;
    check(M_ProjectDAO::FindByID(projectID, project), "cannot read the project");
    std::unique_ptr<M_ProjectDAO> owned(project);
    return owned ? utf8(owned->_name) : std::string();
}

Json projectJson(const M_ProjectDAO& project) {
    return {{"id", project._ID},
            {"name", utf8(project._name)},
            {"type", project._type},
            {"author", utf8(project._author)},
            {"updated", project._updateTime}};
}

Json projectDetailJson(M_ProjectDAO& project) {
    std::list<M_EntityModelDAO*> models;
    PtrListGuard<M_EntityModelDAO> guard(models);
    check(project.getEntityModelList(models),
          "cannot list the models of '" + utf8(project._name) + "'");
    Json out = {{"id", project._ID},
                {"name", utf8(project._name)},
                {"type", project._type},
                {"author", utf8(project._author)},
                {"uid", project._uID},
                {"created", project._createTime},
                {"updated", project._updateTime},
                {"models", Json::array()}};
    for (const M_EntityModelDAO* m : models)
        out["models"].push_back(
            {{"id", m->_ID}, {"name", utf8(m->_name)}, {"version", m->_version}});
    return out;
}

Json modelJson(const M_EntityModelDAO& model, const std::string& project) {
    return {{"id", model._ID},
            {"name", utf8(model._name)},
            {"version", model._version},
            {"type", model._type},
            {"locked", model._isVersionLocked == 1},
            {"project", project}};
}

Json modelsJson(const std::list<M_EntityModelDAO*>& models) {
    std::map<int, std::string> projects;
    Json out = Json::array();
    for (const M_EntityModelDAO* m : models) {
        if (projects.count(m->_rProjectID) == 0)
            projects[m->_rProjectID] = projectName(m->_rProjectID);
        out.push_back(modelJson(*m, projects[m->_rProjectID]));
    }
    return out;
}

namespace {

// The folders below `parentID` (the root folders for 0) with their tables;
// with `ids`, each folder and table with its identifier too.
Json folderTree(const ModelVersionRecords& records, int parentID, bool ids) {
    Json out = Json::array();
    for (const auto& folder : records.folders) {
        if (parentID == 0 ? folder->_t_M_FolderID > 0 : folder->_t_M_FolderID != parentID) continue;
        Json entry = {{"name", utf8(folder->_name)},
                      {"display", utf8(folder->_displayName)},
                      {"temporary", folder->_folderType == FOLDER_TYPE_TEMPORARY},
                      {"generateDao", folder->_isGenerateDAO == 1},
                      {"tables", Json::array()}};
        for (const auto& table : records.folderTables.at(folder->_ID)) {
            entry["tables"].push_back({{"name", utf8(table->_name)},
                                       {"display", utf8(table->_displayName)},
                                       {"innerName", utf8(table->_innerName)}});
            if (ids) entry["tables"].back()["id"] = table->_ID;
        }
        // A folder that names itself as its parent has no sub-folders.
        entry["folders"] =
            folder->_ID == parentID ? Json::array() : folderTree(records, folder->_ID, ids);
        if (ids) entry["id"] = folder->_ID;
        out.push_back(std::move(entry));
    }
    return out;
}

}  // namespace

ModelVersionRecords readModelVersion(const M_EntityModelDAO& model, ColumnMembers members) {
    ModelVersionRecords records;
    check(ModelVersionRecords::read(model._ID, records, members),
          "cannot read model '" + utf8(model._name) + "'");
    return records;
}

Json modelDetailJson(const ModelVersionRecords& records, bool ids) {
    const M_EntityModelDAO& model = records.model;
    Json out = modelJson(model, projectName(model._rProjectID));
    out["display"] = utf8(model._displayName);
    out["folders"] = folderTree(records, 0, ids);
    return out;
}

Json modelDetailJson(const M_EntityModelDAO& model, bool ids) {
    return modelDetailJson(readModelVersion(model), ids);
}

std::string folderTreeText(const Json& folders, int depth) {
    const std::string indent(2 * static_cast<std::size_t>(depth), ' ');
    std::string text;
    for (const Json& folder : folders) {
        text += indent + printable(folder["name"]) + "/" +
                (folder["temporary"].get<bool>() ? " (temporary)" : "") + "\n";
        for (const Json& table : folder["tables"])
            text += indent + "  " + printable(table["name"]) + "\n";
        text += folderTreeText(folder["folders"], depth + 1);
    }
    return text;
}

namespace {

void collectTables(const Json& folders, std::map<std::string, std::string>& tables) {
    for (const Json& folder : folders) {
        for (const Json& table : folder["tables"])
            tables[table["name"]] = table["display"];
        collectTables(folder["folders"], tables);
    }
}

}  // namespace

std::string tableListText(const Json& folders) {
    std::map<std::string, std::string> tables;  // name -> display name
    collectTables(folders, tables);
    std::string text;
    for (const auto& [name, display] : tables) {
        text += "  " + printable(name) +
                (display.empty() || display == name ? "" : " (" + printable(display) + ")") + "\n";
    }
    return text;
}

namespace {

// The path of a folder from the root ("A/B").
std::string folderPath(const M_FolderDAO& folder) {
    std::string path = utf8(folder._name);
    for (int parentID = folder._t_M_FolderID; parentID > 0;) {
        M_FolderDAO* raw = nullptr;
        check(M_FolderDAO::FindByID(parentID, raw), "cannot read the folder");
        std::unique_ptr<M_FolderDAO> parent(raw);
        if (!parent) break;
        path = utf8(parent->_name) + "/" + path;
        parentID = parent->_t_M_FolderID;
    }
    return path;
}

// The name of the table a column refers to; its identifier when that table
// is not in the model's version, empty for none.
std::string referenceName(M_EntityModelDAO& model, int tableID) {
    if (tableID <= 0) return "";
    try {
        return utf8(findTableByID(model, tableID)._name);
    } catch (const NotFound&) {
        return std::to_string(tableID);
    }
}

Json columnsJson(M_EntityModelDAO& model, M_EntityTableDAO& table) {
    std::list<M_NormalColumnDAO*> columns;
    PtrListGuard<M_NormalColumnDAO> guard(columns);
    check(table.getNormalColumnDAOList(&model, columns), "cannot list the columns");
    Json out = Json::array();
    for (const M_NormalColumnDAO* c : columns) {
        out.push_back({{"id", c->_ID},
                       {"name", utf8(c->_name)},
                       {"display", utf8(c->_displayName)},
                       {"type", dataTypeName(c->_dataType)},
                       {"innerName", utf8(c->_innerName)},
                       {"default", utf8(c->_defaultValue)},
                       {"findKey", c->_isFindKey == 1},
                       {"primaryKey", c->_isPk == 1},
                       {"index", c->_isIndex == 1},
                       {"unique", c->_isOnly == 1},
                       {"maxLength", c->_maxLength},
                       {"references", referenceName(model, c->_fkTableID)}});
    }
    return out;
}

// Definitions as name and parameters (and sort order for query ones).
template <class Definition>
Json definitionsJson(const std::list<Definition*>& definitions) {
    Json out = Json::array();
    for (const Definition* d : definitions) {
        Json entry = {{"name", utf8(d->_name)}, {"parameters", utf8(d->_paraList)}};
        if constexpr (std::is_same_v<Definition, M_FindByInterfaceDAO>) {
            entry["sort"] = utf8(d->_sortAttributeList);
        }
        out.push_back(std::move(entry));
    }
    return out;
}

}  // namespace

Json tableJson(M_EntityModelDAO& model, M_EntityTableDAO& table) {
    std::list<M_FolderDAO*> folders;
    PtrListGuard<M_FolderDAO> foldersGuard(folders);
    check(table.getFolderOwner(&model, folders), "cannot find the folders of the table");
    std::list<M_FindByInterfaceDAO*> finds;
    PtrListGuard<M_FindByInterfaceDAO> findsGuard(finds);
    check(table.getFindByInterfaceDAOList(&model, finds), "cannot list the query definitions");
    std::list<M_DelByInterfaceDAO*> deletes;
    PtrListGuard<M_DelByInterfaceDAO> deletesGuard(deletes);
    check(table.getDelByInterfaceDAOList(&model, deletes), "cannot list the delete definitions");
    Json paths = Json::array();
    for (const M_FolderDAO* folder : folders)
        paths.push_back(folderPath(*folder));
    return {{"id", table._ID},
            {"name", utf8(table._name)},
            {"display", utf8(table._displayName)},
            {"innerName", utf8(table._innerName)},
            {"addVersion", table._addVersion},
            {"folders", std::move(paths)},
            {"columns", columnsJson(model, table)},
            {"findBy", definitionsJson(finds)},
            {"delBy", definitionsJson(deletes)}};
}

std::string tableText(const Json& table) {
    std::string text = "table:   " + printable(table["name"]) +
                       "\ndisplay: " + printable(table["display"]) +
                       "\ninner:   " + printable(table["innerName"]) + "\nadded:   version " +
                       std::to_string(table["addVersion"].get<int>()) + "\nfolders:";
    for (const Json& path : table["folders"])
        text += " " + printable(path);
    text += "\ncolumns:\n";
    for (const Json& c : table["columns"]) {
        const std::string defaultValue = c["default"], references = c["references"];
        const std::string display = c["display"];
        text += "  " + printable(c["name"]) + "\t" + c["type"].get<std::string>() + "\t" +
                printable(c["innerName"]) +
                (display.empty() || display == c["name"] ? "" : "\tdisplay " + printable(display)) +
                (defaultValue.empty() ? "" : "\tdefault " + printable(defaultValue)) +
                (c["findKey"].get<bool>() ? "\tfind key" : "") +
                (c["primaryKey"].get<bool>() ? "\tprimary key" : "") +
                (c["index"].get<bool>() ? "\tindex" : "") +
                (c["unique"].get<bool>() ? "\tunique" : "") +
                (references.empty() ? "" : "\t-> " + printable(references)) + "\n";
    }
    text += "find definitions:\n";
    for (const Json& d : table["findBy"])
        text += "  " + printable(d["name"]) + "\t" + printable(d["parameters"]) + "\n";
    text += "delete definitions:\n";
    for (const Json& d : table["delBy"])
        text += "  " + printable(d["name"]) + "\t" + printable(d["parameters"]) + "\n";
    return text;
}

namespace {

// A type by its name; a storage type (InstanceDataManager::storageType) by
// the name of the kind of value stored.
std::string changedValue(const ModelChange& c, const std::string& text) {
    const int type = StringHelper::string2int(text);
    if (c.attribute == "DataType") return dataTypeName(type);
    if (c.attribute == "StorageType") return type == COL_TYPE_BLOB ? "blob" : dataTypeName(type);
    return utf8(text);
}

}  // namespace

Json changeJson(const ModelChange& c) {
    return {{"kind", changeKindName(c.kind)},
            {"safety", safetyName(c.safety)},
            {"table", utf8(c.tableName)},
            {"tableId", c.tableID},
            {"tableInnerName", utf8(c.tableInnerName)},
            {"column", utf8(c.columnName)},
            {"columnInnerName", utf8(c.columnInnerName)},
            {"fromColumnId", c.fromColumnID},
            {"toColumnId", c.toColumnID},
            {"attribute", c.attribute},
            {"before", changedValue(c, c.before)},
            {"after", changedValue(c, c.after)}};
}

Json changeListJson(const std::vector<ModelChange>& changes) {
    Json list = Json::array();
    for (const ModelChange& c : changes)
        list.push_back(changeJson(c));
    return list;
}

Json modelDiffJson(const M_EntityModelDAO& model, int from, int to,
                   const std::vector<ModelChange>& changes) {
    return {{"model", utf8(model._name)},
            {"from", from},
            {"to", to},
            {"changes", changeListJson(changes)}};
}

}  // namespace qms
