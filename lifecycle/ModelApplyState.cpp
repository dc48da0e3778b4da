// The stored version that a model file is applied to.
#include <algorithm>
#include <map>

#include "M_ProjectDAO.h"
#include "ModelApplyState.h"
#include "PtrListHelper.h"
#include "StringHelper.h"

namespace MeridianSpace {

namespace {

// The table's column records of the version, in the order of `laid` (the
// model diff's order).
std::vector<M_NormalColumnDAO> columnsInOrder(std::list<M_NormalColumnDAO*>& records,
                                              const LayoutTable& laid) {
    std::map<int, const M_NormalColumnDAO*> byID;
    for (const M_NormalColumnDAO* c : records)
        byID[c->_ID] = c;
    std::vector<M_NormalColumnDAO> columns;
    for (const MNormalColumn& c : laid.columns) {
        const auto found = byID.find(c._ID);
        if (found != byID.end()) columns.push_back(*found->second);
    }
    return columns;
}

}  // namespace

ResultMsg readVersionState(const M_EntityModelDAO& model, VersionState& out) {
    out.model = model;
    M_ProjectDAO* project = nullptr;
    ResultMsg rm = M_ProjectDAO::FindByID(model._rProjectID, project);
    if (project != nullptr) out.projectName = project->_name;
    delete project;
    if (rm.ok()) rm = ModelDiff::readVersion(model, model._version, out.layout);
    if (rm.ok()) rm = listFolders(model._ID, out.folders);
    if (!rm.ok()) return rm;
    for (std::size_t i = 0; i < out.folders.size() && out.temporary < 0; ++i) {
        if (out.folders[i].folder->_folderType == FOLDER_TYPE_TEMPORARY)
            out.temporary = static_cast<int>(i);
    }
    std::map<int, std::size_t> tableIndex;
    for (const LayoutTable& laid : out.layout) {
        M_EntityTableDAO* found = nullptr;
        rm = M_EntityTableDAO::FindByID(laid.table._ID, found);
        const std::unique_ptr<M_EntityTableDAO> table(found);
        if (!rm.ok()) return rm;
        if (!table) continue;
        std::list<M_NormalColumnDAO*> records;
        PtrListGuard<M_NormalColumnDAO> own(records);
        rm = M_NormalColumnDAO::FindByT_M_EntityTableID(table->_ID, records);
        if (!rm.ok()) return rm;
        StoredTable stored;
        stored.record = *table;
        stored.columns = columnsInOrder(records, laid);
        tableIndex[table->_ID] = out.tables.size();
        out.tables.push_back(std::move(stored));
    }
    for (std::size_t f = 0; f < out.folders.size(); ++f) {
        std::list<M_EntityTableDAO*> held;
        PtrListGuard<M_EntityTableDAO> own(held);
        rm = out.folders[f].folder->getM_EntityTableDAOList(held);
        if (!rm.ok()) return rm;
        for (const M_EntityTableDAO* table : held) {
            const auto found = tableIndex.find(table->_ID);
            if (found == tableIndex.end()) continue;
            std::vector<int>& folders = out.tables[found->second].folders;
            if (std::find(folders.begin(), folders.end(), static_cast<int>(f)) == folders.end())
                folders.push_back(static_cast<int>(f));
        }
    }
    return rm;
}

std::string newTableKey(const M_EntityModelDAO& model, const std::string& name) {
    // A dictionary model's tables carry the model's identifier (see
    // M_FolderDAO::addM_EntityTableDAO).
    const std::string version = StringHelper::int2String(model._version);
    if (model._type == ENTITY_MODEL_TYPE_DICTIONARY)
        return name + "_" + StringHelper::int2String(model._ID) + "_" + version;
    return name + "_" + version;
}

std::string newColumnKey(const M_EntityModelDAO& model, const std::string& name) {
    return name + "_" + StringHelper::int2String(model._version);
}

}  // namespace MeridianSpace
