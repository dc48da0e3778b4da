// A stored model version as a model description.
#include "ModelExport.h"

#include <map>
#include <memory>
#include <set>

#include "M_DelByInterfaceDAO.h"
#include "M_ProjectDAO.h"
#include "ModelDiff.h"
#include "ModelVersions.h"
#include "PtrListHelper.h"
#include "StringHelper.h"

namespace MeridianSpace {

namespace {

class Exporter {
public:
    Exporter(M_EntityModelDAO& version, ModelDescription& out) : version_(version), out_(out) {}

    ResultMsg run() {
        ResultMsg rm = ModelDiff::readVersion(version_, version_._version, layout_);
        for (const LayoutTable& t : layout_)
            tableNames_[t.table._ID] = t.table._name;
        std::vector<FolderAt> folders;
        if (rm.ok()) rm = listFolders(version_._ID, folders);
        // Each folder's description, then its place in the tree.
        std::vector<FolderDescription> described(folders.size());
        for (std::size_t i = 0; rm.ok() && i < folders.size(); ++i) {
            described[i].record = *folders[i].folder;
            described[i].place = FilePlace{};
            rm = describeTables(*folders[i].folder, folders[i].path, described[i]);
        }
        if (!rm.ok()) return rm;
        for (std::size_t i = folders.size(); i-- > 0;) {
            if (folders[i].parent >= 0) {
                auto& siblings = described[folders[i].parent].folders;
                siblings.insert(siblings.begin(), std::move(described[i]));
            }
        }
        for (std::size_t i = 0; i < folders.size(); ++i) {
            if (folders[i].parent < 0) out_.folders.push_back(std::move(described[i]));
        }
        return placeUnfiled();
    }

private:
    ResultMsg describeTables(M_FolderDAO& folder, const std::string& path,
                             FolderDescription& described) {
        std::list<M_EntityTableDAO*> tables;
        PtrListGuard<M_EntityTableDAO> own(tables);
        ResultMsg rm = folder.getM_EntityTableDAOList(tables);
        // The descriptions stay where they are made: others name them.
        described.tables.reserve(tables.size());
        for (const M_EntityTableDAO* table : tables) {
            if (!rm.ok()) break;
            const LayoutTable* laid = layoutOf(table->_ID);
            if (laid == nullptr) continue;
            const auto placed = placed_.find(table->_ID);
            if (placed != placed_.end()) {
                const TableDescription* here = described.tables.data();
                const bool sameFolder =
                    placed->second >= here && placed->second < here + described.tables.size();
                if (!sameFolder) placed->second->alsoIn.push_back(path);
                continue;
            }
            described.tables.emplace_back();
            placed_[table->_ID] = &described.tables.back();
            rm = describeTable(*table, *laid, described.tables.back());
        }
        return rm;
    }

    const LayoutTable* layoutOf(int tableID) const {
        for (const LayoutTable& t : layout_) {
            if (t.table._ID == tableID) return &t;
        }
        return nullptr;
    }

    ResultMsg describeTable(const M_EntityTableDAO& stored, const LayoutTable& laid,
                            TableDescription& table) {
        table.record = stored;
        std::list<M_NormalColumnDAO*> records;
        PtrListGuard<M_NormalColumnDAO> own(records);
        ResultMsg rm = M_NormalColumnDAO::FindByT_M_EntityTableID(stored._ID, records);
        std::map<int, const M_NormalColumnDAO*> byID;
        for (const M_NormalColumnDAO* c : records)
            byID[c->_ID] = c;
        std::map<int, std::string> names;
        std::set<int> ids;
        for (const MNormalColumn& c : laid.columns) {
            const auto found = byID.find(c._ID);
            if (found == byID.end()) continue;
            ColumnDescription column;
            column.record = *found->second;
            if (rm.ok()) rm = referenceName(column.record._fkTableID, column.references);
            table.columns.push_back(std::move(column));
            names[c._ID] = found->second->_name;
            ids.insert(c._ID);
        }
        if (!rm.ok()) return rm;
        M_EntityTableDAO holder(stored);
        std::list<M_FindByInterfaceDAO*> finders;
        PtrListGuard<M_FindByInterfaceDAO> ownFinders(finders);
        rm = holder.getFindByInterfaceDAOList(ids, finders);
        for (const M_FindByInterfaceDAO* finder : finders)
            table.finders.push_back(describeDefinition(*finder, names));
        std::list<M_DelByInterfaceDAO*> deleters;
        PtrListGuard<M_DelByInterfaceDAO> ownDeleters(deleters);
        if (rm.ok()) rm = holder.getDelByInterfaceDAOList(ids, deleters);
        for (const M_DelByInterfaceDAO* deleter : deleters)
            table.deleters.push_back(describeDefinition(*deleter, names));
        return rm;
    }

    // The name of the table a column refers to: one of the version, or a
    // stored one outside it.
    ResultMsg referenceName(int tableID, std::string& name) {
        if (tableID <= 0) return ResultMsg();
        const auto known = tableNames_.find(tableID);
        if (known != tableNames_.end()) {
            name = known->second;
            return ResultMsg();
        }
        M_EntityTableDAO* found = nullptr;
        ResultMsg rm = M_EntityTableDAO::FindByID(tableID, found);
        std::unique_ptr<M_EntityTableDAO> table(found);
        if (table) name = tableNames_[tableID] = table->_name;
        return rm;
    }

    // Tables of the version that no folder holds go to the temporary folder.
    ResultMsg placeUnfiled() {
        FolderDescription* temporary = nullptr;
        for (FolderDescription& f : out_.folders) {
            if (f.record._folderType == FOLDER_TYPE_TEMPORARY) temporary = &f;
        }
        for (const LayoutTable& t : layout_) {
            if (placed_.count(t.table._ID) != 0) continue;
            M_EntityTableDAO* found = nullptr;
            ResultMsg rm = M_EntityTableDAO::FindByID(t.table._ID, found);
            std::unique_ptr<M_EntityTableDAO> table(found);
            if (!rm.ok()) return rm;
            if (!table) continue;
            if (temporary == nullptr) {
                out_.folders.emplace_back();
                temporary = &out_.folders.back();
                temporary->record._name = "TempFolder";
                temporary->record._folderType = FOLDER_TYPE_TEMPORARY;
            }
            temporary->tables.emplace_back();
            rm = describeTable(*table, t, temporary->tables.back());
            if (!rm.ok()) return rm;
            placed_[t.table._ID] = nullptr;
        }
        return ResultMsg();
    }

    M_EntityModelDAO& version_;
    ModelDescription& out_;
    ModelLayout layout_;
    std::map<int, std::string> tableNames_;
    /// Where each described table's description is, by the table's _ID.
    std::map<int, TableDescription*> placed_;
};

}  // namespace

ResultMsg ModelExport::describe(const M_EntityModelDAO& model, int version, ModelDescription& out) {
    out = ModelDescription();
    M_EntityModelDAO record;
    ResultMsg rm = findVersionRecord(model, version, record);
    if (!rm.ok()) return rm;
    M_ProjectDAO* found = nullptr;
    rm = M_ProjectDAO::FindByID(record._rProjectID, found);
    std::unique_ptr<M_ProjectDAO> project(found);
    if (!rm.ok()) return rm;
    if (project) out.project = project->_name;
    out.record = record;
    return Exporter(record, out).run();
}

}  // namespace MeridianSpace
