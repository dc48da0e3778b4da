#include "ProjectTransfer.h"

#include <future>
#include <utility>

#include "DictionaryRows.h"
#include "InstanceDataManager.h"
#include "InstanceDatabase.h"
#include "LogManager.h"
#include "MRDService.h"
#include "MRDSession.h"
#include "M_DelByInterfaceDAO.h"
#include "M_DictDataDAO.h"
#include "M_DictItemDAO.h"
#include "M_EntityModelDAO.h"
#include "M_EntityTableDAO.h"
#include "M_FindByInterfaceDAO.h"
#include "M_FolderDAO.h"
#include "M_NormalColumnDAO.h"
#include "M_ProjectDAO.h"
#include "M_R_FolderTableDAO.h"
#include "M_R_ModelTableDAO.h"
#include "M_SceneInfoDAO.h"
#include "MeridianNew.h"
#include "ModelVersionRecords.h"
#include "PtrListHelper.h"
#include "RecordFinder.h"
#include "RecordInserter.h"
#include "StringHelper.h"
#include "VersionColumns.h"

namespace MeridianSpace {

namespace {

// The objects a finder returns, as owning pointers; a failed find is noted
// in `reads` as a read of `what`.
template <class T, class Find>
std::vector<std::unique_ptr<T>> findAll(FirstFailure& reads, const char* what, Find find) {
    std::list<T*> found;
    PtrListGuard<T> guard(found);
    reads.read(what, find(found));
    std::vector<std::unique_ptr<T>> out;
    out.reserve(found.size());
    for (T* object : found)
        out.emplace_back(object);
    found.clear();
    return out;
}

// The records of class T whose `attribute` (the member `key`) is one of
// `values`, in a few statements, by that value, in stored order for each
// value, as `finder` reads them; `rm` says how the read went.
template <class T>
struct Grouped {
    ResultMsg rm;
    std::map<int, std::vector<std::unique_ptr<T>>> byKey;
};

template <class T>
Grouped<T> findByEach(RecordFinder<T> finder, const char* className, const char* attribute,
                      const std::vector<int>& values, int T::*key,
                      RowPath path = RowPath::ByAttribute) {
    std::list<T*> found;
    PtrListGuard<T> guard(found);
    Grouped<T> out;
    out.rm = finder.byIntIn(className, attribute, key, values, found, {}, path);
    for (T*& object : found) {
        out.byKey[object->*key].emplace_back(object);
        object = nullptr;
    }
    return out;
}

// The columns of the tables `tableIDs` in the database at `location`, read
// through a session of their own (InstanceDatabase, to read), so that
// another thread may read them while this one reads the rest. `opened` is
// false when no such session could be had: nothing was read.
struct ColumnsApart {
    bool opened = false;
    Grouped<M_NormalColumnDAO> columns;
};

ColumnsApart readColumnsApart(MRDService* service, const std::string& location,
                              const std::vector<int>& tableIDs, RowPath path) {
    ColumnsApart out;
    InstanceDatabase source;
    if (service == nullptr || !source.open(*service, location, InstanceDatabase::Access::Read).ok())
        return out;
    out.opened = true;
    out.columns =
        findByEach(RecordFinder<M_NormalColumnDAO>(source.manager()), "M_NormalColumnDAO",
                   "_t_M_EntityTableID", tableIDs, &M_NormalColumnDAO::_t_M_EntityTableID, path);
    return out;
}

bool holds(const IdentifierMap& map, int id) {
    return map.count(id) != 0;
}

// The lines that open steps 1 to 12, by direction. The import merges the
// dictionaries before its step 1 under the export's line of step 12.
const char* const kExportSteps[12] = {
    "RUN:M_ProjectDAO::exportProject():1. M_project",
    "RUN:M_ProjectDAO::exportProject():2. M_EntityModel",
    "RUN:M_ProjectDAO::exportProject():3. M_Folder",
    "RUN:M_ProjectDAO::exportProject():4. M_Table",
    "RUN:M_ProjectDAO::exportProject():5. M_R_ModelTable",
    "RUN:M_ProjectDAO::exportProject():6. M_R_FolderTable",
    "RUN:M_ProjectDAO::exportProject():7. M_NormalColumn",
    "RUN:M_ProjectDAO::exportProject():8. Findby接口信息,delBy接口信息",
    "RUN:M_ProjectDAO::exportProject():9. M_NormalColumn._t_M_EntityTableID处理",
    "RUN:M_ProjectDAO::exportProject():10. M_SceneInfoDAO    场景数据",
    "RUN:M_ProjectDAO::exportProject():11. 数据字典的表实例和数据",
    "RUN:M_ProjectDAO::exportProject():12. 软件数据字典数据",
};
const char* const kImportSteps[12] = {
    "RUN:M_ProjectDAO::importProject():1. M_project",
    "RUN:M_ProjectDAO::importProject():2. M_EntityModel",
    "RUN:M_ProjectDAO::importProject():3. M_Folder",
    "RUN:M_ProjectDAO::importProject():4. M_Table",
    "RUN:M_ProjectDAO::importProject():5. M_R_ModelTable",
    "RUN:M_ProjectDAO::importProject():6. M_R_FolderTable",
    "RUN:M_ProjectDAO::importProject():7. M_NormalColumn",
    "RUN:M_ProjectDAO::importProject():8. Findby接口信息,delBy接口信息",
    "RUN:M_ProjectDAO::importProject():9. M_NormalColumn",
    "RUN:M_ProjectDAO::importProject():10. M_SceneInfoDAO    场景数据",
    "RUN:M_ProjectDAO::importProject():11. 数据字典的表实例和数据",
    "RUN:M_ProjectDAO::exportProject():12. 软件数据字典数据",
};

}  // namespace

// Saves `record` as a new row of the target exactly as it stands; on
// success `newID` (when given) is the new row's identifier. Rules of a
// record's own save (a table's or column's versioned inner name) are not
// wanted here: the copy keeps the source's values. Each kind of record goes
// through one prepared insert, its values bound as they are.
ResultMsg ProjectTransfer::saveAsNew(DAO& record, int* newID) {
    InstanceDataManager* idm = MeridianNew::getCurrMRDConfigIDM();
    if (idm == nullptr) return MeridianNew::noCurrentDatabase();
    if (!inserter_ || &inserter_->manager() != idm)
        inserter_ = std::make_unique<RecordInserter>(*idm);
    int id = 0;
    const ResultMsg result = inserter_->insert(record, 0, id);
    if (result.ok() && newID != nullptr) *newID = id;
    return result;
}

void ProjectTransfer::saveAllAsNew(
    const std::vector<DAO*>& records,
    const std::function<void(std::size_t, const ResultMsg&, int)>& saved) {
    InstanceDataManager* idm = MeridianNew::getCurrMRDConfigIDM();
    if (idm == nullptr) {
        for (std::size_t i = 0; i < records.size(); ++i)
            saved(i, MeridianNew::noCurrentDatabase(), 0);
        return;
    }
    if (!inserter_ || &inserter_->manager() != idm)
        inserter_ = std::make_unique<RecordInserter>(*idm);
    inserter_->insertAll(records, 0, saved);
}

ProjectTransfer::PlannedTable::~PlannedTable() = default;

ProjectTransfer::ProjectTransfer(Direction direction, std::string file)
    : reads(std::string(operationOf(direction)) + " "),
      direction_(direction),
      file_(std::move(file)),
      side_(direction == Direction::Export ? Side::Source : Side::Target),
      savedProject_(M_ProjectDAO::getCurrProjectID()) {
    // Records saved into the other database must not stamp the update time
    // of whatever project there happens to carry the current project's _ID.
    M_ProjectDAO::setCurrProjectID(-1);
}

ProjectTransfer::~ProjectTransfer() {
    M_ProjectDAO::setCurrProjectID(savedProject_);
}

const char* ProjectTransfer::operationOf(Direction direction) {
    return direction == Direction::Export ? "M_ProjectDAO::exportProject()"
                                          : "M_ProjectDAO::importProject()";
}

ResultMsg ProjectTransfer::toSource(int* failedStep) {
    if (side_ == Side::Source) return ResultMsg();
    inserter_.reset();  // its statements belong to the databases left
    ResultMsg rm = direction_ == Direction::Export ? switch_.toHome()
                                                   : switch_.toFile(file_, failedStep, true);
    // A failed switch goes home, which is one of the two sides.
    side_ = rm.ok() || direction_ == Direction::Export ? Side::Source : Side::Target;
    return rm;
}

ResultMsg ProjectTransfer::toTarget(int* failedStep) {
    if (side_ == Side::Target) return ResultMsg();
    inserter_.reset();
    ResultMsg rm =
        direction_ == Direction::Export ? switch_.toFile(file_, failedStep) : switch_.toHome();
    side_ = rm.ok() || direction_ == Direction::Import ? Side::Target : Side::Source;
    return rm;
}

void ProjectTransfer::logStep(int step) const {
    MeridianNew::LOGGER()->appendMsg(
        (direction_ == Direction::Export ? kExportSteps : kImportSteps)[step - 1]);
}

void ProjectTransfer::logProgress(int step, std::size_t index, std::size_t count,
                                  const std::string& name) const {
    // One string grown in place: a line per table and step.
    const char* opening = (direction_ == Direction::Export ? kExportSteps : kImportSteps)[step - 1];
    std::string line = "PROGRESS:";
    line.reserve(128 + name.size());
    line += opening + 4;  // without "RUN:"
    line += ' ';
    line += std::to_string(index);
    if (count > 0) {
        line += '/';
        line += std::to_string(count);
    }
    line += ' ';
    line += name;
    MeridianNew::LOGGER()->appendMsg(std::move(line));
}

void ProjectTransfer::leftOut(const char* what, int sourceID, const ResultMsg& failure) {
    const std::string message =
        std::string(what) + " _ID = " + StringHelper::int2String(sourceID) + "：" + failure.rMsg;
    MeridianNew::LOGGER()->appendError(std::string(operationOf(direction_)) + " ", message);
    if (leftOutCount_++ == 0) firstLeftOut_ = message;
}

ResultMsg ProjectTransfer::finish(const ResultMsg& result) const {
    if (!result.ok() || leftOutCount_ == 0) return result;
    return ResultMsg(RUN_FAIL, "ERROR：有" + std::to_string(leftOutCount_) +
                                   "条记录未能写入目标数据库，第一条：" + firstLeftOut_);
}

void ProjectTransfer::planModel(std::unique_ptr<M_EntityModelDAO> model, M_ProjectDAO* project) {
    for (const PlannedModel& planned : models_) {
        if (planned.model->_ID == model->_ID) return;
    }
    PlannedModel planned;
    planned.model = std::move(model);
    planned.project = project;
    models_.push_back(std::move(planned));
}

ProjectTransfer::Dictionaries ProjectTransfer::readDictionaries() {
    Dictionaries dictionaries;
    for (auto& item : findAll<M_DictItemDAO>(
             reads, "M_DictItemDAO",
             [](std::list<M_DictItemDAO*>& l) { return M_DictItemDAO::FindAll(l); })) {
        M_DictItemDAO& dictionary = *item;
        dictionaries.emplace_back(
            std::move(item), findAll<M_DictDataDAO>(reads, "M_DictDataDAO",
                                                    [&dictionary](std::list<M_DictDataDAO*>& l) {
                                                        return dictionary.getDictDataList(l);
                                                    }));
    }
    return dictionaries;
}

ResultMsg ProjectTransfer::readTree() {
    std::vector<int> linkedTables, folderIDs;
    for (PlannedModel& planned : models_) {
        const int id = planned.model->_ID;
        planned.folders = findAll<M_FolderDAO>(
            reads, "M_FolderDAO",
            [id](std::list<M_FolderDAO*>& l) { return M_FolderDAO::FindByEntityModelID(id, l); });
        planned.links = findAll<M_R_ModelTableDAO>(
            reads, "M_R_ModelTableDAO", [id](std::list<M_R_ModelTableDAO*>& l) {
                return M_R_ModelTableDAO::FindByT_M_EntityModelID(id, l);
            });
        planned.scenes =
            findAll<M_SceneInfoDAO>(reads, "M_SceneInfoDAO", [id](std::list<M_SceneInfoDAO*>& l) {
                return M_SceneInfoDAO::FindByEntityModelID(id, l);
            });
        for (const auto& link : planned.links)
            linkedTables.push_back(link->_t_M_EntityTableID);
        for (const auto& folder : planned.folders)
            folderIDs.push_back(folder->_ID);
    }
    // The tables of every model in a few statements, each marked with its
    // dictionary owner as FindByID marks it; then each model's tables in
    // the order of its links, those of its version only (a link to a table
    // that is gone or outside the version leads nowhere).
    std::map<int, std::unique_ptr<M_EntityTableDAO>> stored;
    reads.read("M_EntityTableDAO", ModelVersionRecords::readTables(linkedTables, stored));
    for (PlannedModel& planned : models_) {
        for (const auto& link : planned.links) {
            const auto found = stored.find(link->_t_M_EntityTableID);
            if (found == stored.end() ||
                !existsInVersion(found->second->_addVersion, found->second->_delVersion,
                                 planned.model->_version) ||
                tableIndex_.count(found->first) != 0)
                continue;
            tableIndex_[found->first] = tables_.size();
            tables_.emplace_back();
            tables_.back().table = std::make_unique<M_EntityTableDAO>(*found->second);
        }
    }
    Grouped<M_R_FolderTableDAO> folderLinks =
        findByEach(RecordFinder<M_R_FolderTableDAO>(), "M_R_FolderTableDAO", "_t_M_FolderID",
                   folderIDs, &M_R_FolderTableDAO::_t_M_FolderID);
    reads.read("M_R_FolderTableDAO", folderLinks.rm);
    folderLinks_ = std::move(folderLinks.byKey);
    std::vector<int> tableIDs;
    tableIDs.reserve(tables_.size());
    for (const PlannedTable& planned : tables_)
        tableIDs.push_back(planned.table->_ID);
    // A transfer often copies most tables there are (an export file holds
    // only what it copies): their records are then read in stored order.
    RowPath path = RowPath::ByAttribute;
    reads.read("M_EntityTableDAO", ModelVersionRecords::pathToRowsOf(tableIDs, path));
    // The columns, the most rows, on another thread while this one reads
    // the definitions and the dictionary rows; without a thread to spare
    // they are read when asked for. Another session sees only what is
    // committed: with writes of this one pending they are read here.
    // Outcomes are noted in the order of the reads as they used to run.
    InstanceDataManager* config = MeridianNew::getCurrMRDConfigIDM();
    MRDSession* source = config != nullptr ? config->getPSession() : nullptr;
    MRDService* service =
        source != nullptr && !source->hasPendingWrites() ? MeridianNew::getCurrService() : nullptr;
    std::future<ColumnsApart> apart =
        std::async(std::launch::async | std::launch::deferred, readColumnsApart, service,
                   MeridianNew::getCurrentMRDConfigDB(), tableIDs, path);
    auto finders =
        findByEach(RecordFinder<M_FindByInterfaceDAO>(), "M_FindByInterfaceDAO",
                   "_t_M_EntityTableID", tableIDs, &M_FindByInterfaceDAO::_t_M_EntityTableID, path);
    auto deleters =
        findByEach(RecordFinder<M_DelByInterfaceDAO>(), "M_DelByInterfaceDAO", "_t_M_EntityTableID",
                   tableIDs, &M_DelByInterfaceDAO::_t_M_EntityTableID, path);
    std::vector<std::pair<int, ResultMsg>> unreadRows;
    for (PlannedTable& planned : tables_) {
        // The rows of a table whose highest-version owner is a dictionary
        // model (marked as the table was read).
        M_EntityTableDAO& table = *planned.table;
        if (!table.isBelongToDictionaryModel()) continue;
        planned.rows = std::make_unique<DictionaryRows>();
        ResultMsg exported = readDictionaryRows(table, *planned.rows);
        planned.dictionary = exported.ok();
        // Rows that cannot be read: the import skips the table (the one read
        // whose failure an import passes over); the export reports it.
        if (!exported.ok() && direction_ == Direction::Export)
            unreadRows.emplace_back(table._ID, exported);
    }
    ColumnsApart read = apart.get();
    if (!read.opened)
        read.columns =
            findByEach(RecordFinder<M_NormalColumnDAO>(), "M_NormalColumnDAO", "_t_M_EntityTableID",
                       tableIDs, &M_NormalColumnDAO::_t_M_EntityTableID, path);
    reads.read("M_NormalColumnDAO", read.columns.rm);
    reads.read("M_FindByInterfaceDAO", finders.rm);
    reads.read("M_DelByInterfaceDAO", deleters.rm);
    for (PlannedTable& planned : tables_) {
        const int id = planned.table->_ID;
        planned.columns = std::move(read.columns.byKey[id]);
        planned.finders = std::move(finders.byKey[id]);
        planned.deleters = std::move(deleters.byKey[id]);
    }
    for (const auto& [id, failure] : unreadRows)
        leftOut("数据字典表数据", id, failure);
    return reads.result();
}

ResultMsg ProjectTransfer::writeModel(std::size_t index, bool dropRootFolders, int* failedSave) {
    PlannedModel& planned = models_[index];
    M_EntityModelDAO& model = *planned.model;
    const int oldID = model._ID;
    const int version = model._version;
    model._ID = -1;
    ResultMsg rm;
    if (planned.project != nullptr) {
        M_ProjectDAO& project = *planned.project;
        const int oldProject = project._ID;
        project._ID = mapIdentifier(projectMap, oldProject, Unmapped::MinusOne);
        rm = project.addEntityModel(&model, 0);
        project._ID = oldProject;
    } else {
        // A platform model whose project is not transferred belongs to none
        // in the target, so that no transferred project lists it.
        model._rProjectID = mapIdentifier(projectMap, model._rProjectID, Unmapped::MinusOne);
        rm = model.save(0);
    }
    if (rm.ok()) {
        model._version = version;
        rm = model.save(0);
        if (!rm.ok() && failedSave != nullptr) *failedSave = 2;
    } else if (failedSave != nullptr) {
        *failedSave = 1;
    }
    if (rm.ok() && dropRootFolders) {
        std::list<M_FolderDAO*> roots;
        PtrListGuard<M_FolderDAO> ownRoots(roots);
        if (!reads.read("M_FolderDAO", model.getRootM_FolderDAOList(roots))) rm = reads.result();
        for (M_FolderDAO* root : roots)
            (void)root->delself(0);  // a temporary folder that stays holds nothing
    }
    if (rm.ok()) {
        modelMap[oldID] = model._ID;
        logProgress(2, modelMap.size(), 0, model._name);
    }
    model._ID = oldID;
    return rm;
}

ResultMsg ProjectTransfer::writeTree() {
    // The export's step 9 would store the columns of dictionary tables a
    // second time, which gives those tables every column twice; both
    // directions store each column once, in step 7.
    logStep(3);
    writeFolders();
    logStep(4);
    writeTables();
    logStep(5);
    writeModelTableLinks();
    logStep(6);
    writeFolderTableLinks();
    logStep(7);
    writeColumns();
    logStep(8);
    ResultMsg rm = writeDefinitions();
    if (!rm.ok()) return rm;
    logStep(9);
    logStep(10);
    rm = writeSceneRecords();
    if (!rm.ok()) return rm;
    logStep(11);
    writeDictionaryRows();
    return rm;
}

void ProjectTransfer::writeFolders() {
    for (PlannedModel& planned : models_) {
        if (!holds(modelMap, planned.model->_ID)) continue;
        const int newModel = modelMap[planned.model->_ID];
        for (auto& folder : planned.folders) {
            const int oldModel = folder->_t_M_EntityModelID;
            folder->_t_M_EntityModelID = newModel;
            int newID = 0;
            const ResultMsg saved = saveAsNew(*folder, &newID);
            folder->_t_M_EntityModelID = oldModel;
            if (saved.ok()) {
                folderMap[folder->_ID] = newID;
            } else {
                leftOut("M_FolderDAO", folder->_ID, saved);
            }
        }
        // The tree, once every folder of the model has its new identifier.
        InstanceDataManager* idm = MeridianNew::getCurrMRDConfigIDM();
        for (auto& folder : planned.folders) {
            if (folder->_t_M_FolderID <= 0 || !holds(folderMap, folder->_ID)) continue;
            M_FolderDAO copy(*folder);
            copy._ID = folderMap[folder->_ID];
            copy._t_M_EntityModelID = newModel;
            copy._t_M_FolderID =
                mapIdentifier(folderMap, folder->_t_M_FolderID, Unmapped::MinusOne);
            ResultMsg saved = copy.save(*idm, 0);
            if (!saved.ok()) leftOut("M_FolderDAO", folder->_ID, saved);
        }
    }
}

void ProjectTransfer::writeTables() {
    std::size_t index = 0;
    for (PlannedTable& planned : tables_) {
        M_EntityTableDAO& table = *planned.table;
        logProgress(4, ++index, tables_.size(), table._name);
        int newID = 0;
        const ResultMsg saved = saveAsNew(table, &newID);
        if (saved.ok()) {
            tableMap[table._ID] = newID;
        } else {
            leftOut("M_EntityTableDAO", table._ID, saved);
        }
    }
}

void ProjectTransfer::writeModelTableLinks() {
    std::vector<DAO*> records;
    for (PlannedModel& planned : models_) {
        for (auto& link : planned.links) {
            // A link to a table that was not copied has nothing to point at.
            if (!holds(modelMap, link->_t_M_EntityModelID) ||
                !holds(tableMap, link->_t_M_EntityTableID))
                continue;
            link->_t_M_EntityModelID = modelMap[link->_t_M_EntityModelID];
            link->_t_M_EntityTableID = tableMap[link->_t_M_EntityTableID];
            records.push_back(link.get());
        }
    }
    saveAllAsNew(records, [&](std::size_t i, const ResultMsg& saved, int) {
        if (!saved.ok()) leftOut("M_R_ModelTableDAO", records[i]->_ID, saved);
    });
}

void ProjectTransfer::writeFolderTableLinks() {
    std::vector<DAO*> records;
    for (auto& [folderID, links] : folderLinks_) {
        for (auto& link : links) {
            if (!holds(folderMap, link->_t_M_FolderID) ||
                !holds(tableMap, link->_t_M_EntityTableID))
                continue;
            link->_t_M_FolderID = folderMap[link->_t_M_FolderID];
            link->_t_M_EntityTableID = tableMap[link->_t_M_EntityTableID];
            records.push_back(link.get());
        }
    }
    saveAllAsNew(records, [&](std::size_t i, const ResultMsg& saved, int) {
        if (!saved.ok()) leftOut("M_R_FolderTableDAO", records[i]->_ID, saved);
    });
}

void ProjectTransfer::writeColumns() {
    std::size_t index = 0;
    std::vector<DAO*> records;
    for (PlannedTable& planned : tables_) {
        logProgress(7, ++index, tables_.size(), planned.table->_name);
        records.clear();
        for (auto& column : planned.columns) {
            column->_t_M_EntityTableID =
                mapIdentifier(tableMap, column->_t_M_EntityTableID, Unmapped::MinusOne);
            // A reference to a table outside the copied set has nothing to
            // point at in the target.
            if (column->_fkTableID > 0)
                column->_fkTableID =
                    mapIdentifier(tableMap, column->_fkTableID, Unmapped::MinusOne);
            records.push_back(column.get());
        }
        // The columns of a table several to an insert, each new identifier
        // in the order of the records.
        saveAllAsNew(records, [&](std::size_t i, const ResultMsg& saved, int newID) {
            if (saved.ok()) {
                columnMap[records[i]->_ID] = newID;
            } else {
                leftOut("M_NormalColumnDAO", records[i]->_ID, saved);
            }
        });
    }
}

ResultMsg ProjectTransfer::writeDefinitions() {
    for (PlannedTable& planned : tables_) {
        for (auto& finder : planned.finders) {
            finder->_paraList = rewriteParameterList(finder->_paraList, columnMap);
            finder->_sortAttributeList = rewriteSortList(finder->_sortAttributeList, columnMap);
            finder->_t_M_EntityTableID =
                mapIdentifier(tableMap, finder->_t_M_EntityTableID, Unmapped::MinusOne);
            const ResultMsg saved = saveAsNew(*finder);
            if (!saved.ok()) return saved;
        }
        for (auto& deleter : planned.deleters) {
            deleter->_paraList = rewriteParameterList(deleter->_paraList, columnMap);
            deleter->_t_M_EntityTableID =
                mapIdentifier(tableMap, deleter->_t_M_EntityTableID, Unmapped::MinusOne);
            const ResultMsg saved = saveAsNew(*deleter);
            if (!saved.ok()) return saved;
        }
    }
    return ResultMsg();
}

ResultMsg ProjectTransfer::writeSceneRecords() {
    for (PlannedModel& planned : models_) {
        if (!holds(modelMap, planned.model->_ID)) continue;
        for (auto& scene : planned.scenes) {
            rewriteSceneReferences(*scene, &folderMap, &tableMap, Unmapped::MinusOne);
            scene->_entityModelID = modelMap[planned.model->_ID];
            // The export keeps only records that still show or stand in something.
            if (direction_ == Direction::Export && scene->_dataObjectId <= 0 &&
                scene->_parentID < 1)
                continue;
            const ResultMsg saved = saveAsNew(*scene);
            if (!saved.ok()) {
                return ResultMsg(saved.rCode, "ERROR：导出场景信息失败。 场景 ID = " +
                                                  StringHelper::int2String(-1) + saved.rMsg);
            }
        }
    }
    return ResultMsg();
}

void ProjectTransfer::writeDictionaryRows() {
    for (PlannedTable& planned : tables_) {
        if (!planned.dictionary || !holds(tableMap, planned.table->_ID)) continue;
        M_EntityTableDAO target(*planned.table);
        target._ID = tableMap[planned.table->_ID];
        target._belongToDictionaryModel = 1;
        for (M_NormalColumnDAO* column : planned.rows->columns) {
            column->_ID = mapIdentifier(columnMap, column->_ID, Unmapped::Keep);
            column->_t_M_EntityTableID = target._ID;
        }
        ResultMsg imported = MeridianSpace::writeDictionaryRows(target, *planned.rows);
        if (!imported.ok()) leftOut("数据字典表数据", planned.table->_ID, imported);
    }
}

}  // namespace MeridianSpace
