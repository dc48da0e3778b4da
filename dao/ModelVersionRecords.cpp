#include "ModelVersionRecords.h"

#include <algorithm>
#include <list>
#include <set>
#include <string>

#include "MRDService.h"
#include "M_R_FolderTableDAO.h"
#include "M_R_ModelTableDAO.h"
#include "MeridianNew.h"
#include "PtrListHelper.h"
#include "RecordFinder.h"
#include "StringHelper.h"
#include "VersionColumns.h"

namespace MeridianSpace {

namespace {

template <class T>
using Owned = std::map<int, std::unique_ptr<T>>;

// The records of class T whose `attribute` is one of `values`, by value,
// each value's in stored order.
template <class T>
ResultMsg findIn(const char* className, const char* attribute, int T::*key,
                 const std::vector<int>& values, std::list<T*>& out,
                 const std::vector<std::string>& members = {},
                 RowPath path = RowPath::ByAttribute) {
    return RecordFinder<T>().byIntIn(className, attribute, key, values, out, members, path);
}

// The column members of ColumnMembers::Drawn: those diagram::readDiagram
// draws and versionColumnPlaces orders by (the identifier always comes, the
// table's with the finder's attribute).
const std::vector<std::string>& membersOf(ColumnMembers members) {
    static const std::vector<std::string> all,
        drawn = {"_name",      "_displayName", "_innerName", "_dataType",   "_fkTableID", "_isPk",
                 "_isFindKey", "_isIndex",     "_isOnly",    "_addVersion", "_delVersion"};
    return members == ColumnMembers::Drawn ? drawn : all;
}

// For each table, whether the model of the highest version above 0 linked
// to it (the first link of a tie) is a dictionary model, as
// M_EntityTableDAO::FindByID tells it: two statements for all the tables.
ResultMsg markDictionaryTables(const std::vector<int>& tableIDs, Owned<M_EntityTableDAO>& tables) {
    std::list<M_R_ModelTableDAO*> links;
    PtrListGuard<M_R_ModelTableDAO> ownLinks(links);
    RowPath path = RowPath::ByAttribute;
    ResultMsg rm = ModelVersionRecords::pathToRowsOf(tableIDs, path);
    if (!rm.ok()) return rm;
    rm = findIn("M_R_ModelTableDAO", "_t_M_EntityTableID", &M_R_ModelTableDAO::_t_M_EntityTableID,
                tableIDs, links, {}, path);
    if (!rm.ok()) return rm;
    std::set<int> modelIDs;
    for (const M_R_ModelTableDAO* link : links)
        modelIDs.insert(link->_t_M_EntityModelID);
    std::list<M_EntityModelDAO*> models;
    PtrListGuard<M_EntityModelDAO> ownModels(models);
    rm = findIn<M_EntityModelDAO>("M_EntityModelDAO", "id", &M_EntityModelDAO::_ID,
                                  std::vector<int>(modelIDs.begin(), modelIDs.end()), models);
    if (!rm.ok()) return rm;
    std::map<int, const M_EntityModelDAO*> modelByID;
    for (const M_EntityModelDAO* model : models)
        modelByID[model->_ID] = model;
    struct Owner {
        int version = 0, link = 0, type = 0;
    };
    std::map<int, Owner> owners;
    for (const M_R_ModelTableDAO* link : links) {
        const auto model = modelByID.find(link->_t_M_EntityModelID);
        if (model == modelByID.end() || model->second->_version <= 0) continue;
        const int version = model->second->_version;
        const auto [owner, first] = owners.emplace(link->_t_M_EntityTableID, Owner{});
        if (first || version > owner->second.version ||
            (version == owner->second.version && link->_ID < owner->second.link))
            owner->second = {version, link->_ID, model->second->_type};
    }
    for (const auto& [id, owner] : owners) {
        const auto table = tables.find(id);
        if (table != tables.end())
            table->second->_belongToDictionaryModel =
                owner.type == ENTITY_MODEL_TYPE_DICTIONARY ? 1 : 0;
    }
    return rm;
}

// The columns of each of `tableIDs` in the model version, by table.
ResultMsg readColumns(const std::vector<int>& tableIDs, int version, ColumnMembers members,
                      std::map<int, std::vector<std::unique_ptr<M_NormalColumnDAO>>>& out) {
    std::list<M_NormalColumnDAO*> found;
    PtrListGuard<M_NormalColumnDAO> own(found);
    RowPath path = RowPath::ByAttribute;
    ResultMsg rm = ModelVersionRecords::pathToRowsOf(tableIDs, path);
    if (!rm.ok()) return rm;
    rm = findIn("M_NormalColumnDAO", "_t_M_EntityTableID", &M_NormalColumnDAO::_t_M_EntityTableID,
                tableIDs, found, membersOf(members), path);
    if (!rm.ok()) return rm;
    std::vector<std::unique_ptr<M_NormalColumnDAO>> stored;
    stored.reserve(found.size());
    for (M_NormalColumnDAO*& column : found) {
        stored.emplace_back(column);
        column = nullptr;
    }
    const auto byTable = [](const auto& a, const auto& b) {
        return a->_t_M_EntityTableID < b->_t_M_EntityTableID;
    };
    // Already so through the index (byIntIn), each table's records in
    // stored order; in stored order they are grouped here.
    if (!std::is_sorted(stored.begin(), stored.end(), byTable))
        std::stable_sort(stored.begin(), stored.end(), byTable);
    for (const int id : tableIDs)
        out[id];
    std::vector<const M_NormalColumnDAO*> run;
    std::vector<std::size_t> places;
    for (std::size_t first = 0; first < stored.size();) {
        const int table = stored[first]->_t_M_EntityTableID;
        run.clear();
        for (std::size_t i = first; i < stored.size() && stored[i]->_t_M_EntityTableID == table;
             ++i)
            run.push_back(stored[i].get());
        versionColumnPlaces(run.data(), run.size(), version, places);
        auto& kept = out[table];
        kept.reserve(places.size());
        for (const std::size_t place : places)
            kept.push_back(std::move(stored[first + place]));
        first += run.size();
    }
    return rm;
}

// Reads as ModelVersionRecords::read; with `before`, tables and columns not
// in `changed` are copied from it.
ResultMsg readVersion(int modelID, const ModelVersionRecords* before, const std::set<int>& changed,
                      ColumnMembers members, ModelVersionRecords& out);

}  // namespace

ResultMsg ModelVersionRecords::readTables(const std::vector<int>& ids,
                                          Owned<M_EntityTableDAO>& out) {
    std::list<M_EntityTableDAO*> found;
    PtrListGuard<M_EntityTableDAO> own(found);
    ResultMsg rm =
        findIn<M_EntityTableDAO>("M_EntityTableDAO", "id", &M_EntityTableDAO::_ID, ids, found);
    if (!rm.ok()) return rm;
    for (M_EntityTableDAO*& table : found) {
        out[table->_ID].reset(table);
        table = nullptr;
    }
    return markDictionaryTables(ids, out);
}

ResultMsg ModelVersionRecords::read(int modelID, ModelVersionRecords& out, ColumnMembers members) {
    return readVersion(modelID, nullptr, {}, members, out);
}

ResultMsg ModelVersionRecords::readAgain(int modelID, const ModelVersionRecords& before,
                                         const std::set<int>& changed, ModelVersionRecords& out,
                                         ColumnMembers members) {
    return readVersion(modelID, &before, changed, members, out);
}

namespace {

ResultMsg readVersion(int modelID, const ModelVersionRecords* before, const std::set<int>& changed,
                      ColumnMembers members, ModelVersionRecords& out) {
    out.columnMembers = members;
    out.tables.clear();
    out.columns.clear();
    out.folders.clear();
    out.folderTables.clear();
    M_EntityModelDAO* found = nullptr;
    ResultMsg rm = M_EntityModelDAO::FindByID(modelID, found);
    const std::unique_ptr<M_EntityModelDAO> model(found);
    if (!rm.ok()) return rm;
    if (!model)
        return ResultMsg(RUN_FAIL, "没有找到数据模型：id = " + StringHelper::int2String(modelID));
    out.model = *model;

    std::list<M_R_ModelTableDAO*> modelLinks;
    PtrListGuard<M_R_ModelTableDAO> ownModelLinks(modelLinks);
    rm = M_R_ModelTableDAO::FindByT_M_EntityModelID(modelID, modelLinks);
    if (!rm.ok()) return rm;
    std::list<M_FolderDAO*> folders;
    PtrListGuard<M_FolderDAO> ownFolders(folders);
    rm = M_FolderDAO::FindByEntityModelID(modelID, folders);
    if (!rm.ok()) return rm;
    std::vector<int> folderIDs;
    for (const M_FolderDAO* folder : folders)
        folderIDs.push_back(folder->_ID);
    std::list<M_R_FolderTableDAO*> folderLinks;
    PtrListGuard<M_R_FolderTableDAO> ownFolderLinks(folderLinks);
    rm = findIn("M_R_FolderTableDAO", "_t_M_FolderID", &M_R_FolderTableDAO::_t_M_FolderID,
                folderIDs, folderLinks);
    if (!rm.ok()) return rm;

    std::set<int> tableIDs;
    for (const M_R_ModelTableDAO* link : modelLinks)
        tableIDs.insert(link->_t_M_EntityTableID);
    for (const M_R_FolderTableDAO* link : folderLinks)
        tableIDs.insert(link->_t_M_EntityTableID);
    // What `before` holds of the tables not changed since (its version's
    // tables first: the folders' copies of a dictionary model's are marked).
    std::map<int, const M_EntityTableDAO*> kept;
    if (before != nullptr && model->_type != ENTITY_MODEL_TYPE_DICTIONARY &&
        before->model._ID == modelID && before->model._version == model->_version &&
        before->columnMembers == members) {
        for (const auto& table : before->tables)
            kept.emplace(table->_ID, table.get());
        for (const auto& [folder, held] : before->folderTables)
            for (const auto& table : held)
                kept.emplace(table->_ID, table.get());
        for (const int id : changed)
            kept.erase(id);
    }
    std::set<int> unread;
    for (const int id : tableIDs)
        if (kept.count(id) == 0) unread.insert(id);
    Owned<M_EntityTableDAO> tables;
    rm = ModelVersionRecords::readTables(std::vector<int>(unread.begin(), unread.end()), tables);
    if (!rm.ok()) return rm;
    for (const auto& [id, table] : kept)
        if (tableIDs.count(id) != 0) tables[id] = std::make_unique<M_EntityTableDAO>(*table);

    std::vector<int> versionTables;
    for (const M_R_ModelTableDAO* link : modelLinks) {
        const auto table = tables.find(link->_t_M_EntityTableID);
        if (table == tables.end() || !existsInVersion(table->second->_addVersion,
                                                      table->second->_delVersion, model->_version))
            continue;
        out.tables.push_back(std::make_unique<M_EntityTableDAO>(*table->second));
        versionTables.push_back(table->first);
    }
    std::vector<int> unreadColumns;
    for (const int id : versionTables) {
        if (kept.count(id) == 0 || before->columns.count(id) == 0) {
            unreadColumns.push_back(id);
            continue;
        }
        auto& copies = out.columns[id];
        for (const auto& column : before->columns.at(id))
            copies.push_back(std::make_unique<M_NormalColumnDAO>(*column));
    }
    rm = readColumns(unreadColumns, model->_version, members, out.columns);
    if (!rm.ok()) return rm;

    for (M_FolderDAO*& folder : folders) {
        out.folderTables[folder->_ID];
        out.folders.emplace_back(folder);
        folder = nullptr;
    }
    for (const M_R_FolderTableDAO* link : folderLinks) {
        const auto table = tables.find(link->_t_M_EntityTableID);
        if (table == tables.end()) continue;
        auto copy = std::make_unique<M_EntityTableDAO>(*table->second);
        if (model->_type == ENTITY_MODEL_TYPE_DICTIONARY) copy->_belongToDictionaryModel = 1;
        out.folderTables[link->_t_M_FolderID].push_back(std::move(copy));
    }
    return rm;
}

}  // namespace

// In stored order when the tables are at
// least half of all, as a whole model's in a database of one or two. The
// share is that of the span of the tables' identifiers, which is at least
// their number: in doubt the index stays. A server's planner chooses by
// its statistics (and sends whole answers: the span would cost a read of
// every identifier), so there the index stays too.
ResultMsg ModelVersionRecords::pathToRowsOf(const std::vector<int>& tableIDs, RowPath& path) {
    path = RowPath::ByAttribute;
    if (tableIDs.empty() || MRDService::isServerLocation(MeridianNew::getCurrentMRDConfigDB()))
        return ResultMsg();
    int lowest = 0, highest = 0;
    ResultMsg rm = RecordFinder<M_EntityTableDAO>().idSpan("M_EntityTableDAO", lowest, highest);
    const long long span = static_cast<long long>(highest) - lowest + 1;
    if (rm.ok() && 2 * static_cast<long long>(tableIDs.size()) >= span)
        path = RowPath::InStoredOrder;
    return rm;
}

}  // namespace MeridianSpace
