#pragma once

// The record copying that project export and project import share: the
// export copies from the current databases (home) into an export file, the
// import from such a file into home. Everything is read while the source
// is current, then written while the target is current, in one transaction
// of the target's configuration database; each record is saved as new and
// the identifiers it holds are rewritten through old-to-new maps. Two
// switches per transfer, whatever its size. Internal to arx_qms.
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "DatabaseSwitch.h"
#include "FirstFailure.h"
#include "IdentifierMap.h"
#include "ResultReturnCode.h"

namespace MeridianSpace {

class DAO;
struct DictionaryRows;
class M_DelByInterfaceDAO;
class M_DictDataDAO;
class M_DictItemDAO;
class M_EntityModelDAO;
class M_EntityTableDAO;
class M_FindByInterfaceDAO;
class M_FolderDAO;
class M_NormalColumnDAO;
class M_ProjectDAO;
class M_R_FolderTableDAO;
class M_R_ModelTableDAO;
class M_SceneInfoDAO;
class RecordInserter;

class ProjectTransfer {
public:
    enum class Direction { Export, Import };

    ProjectTransfer(Direction direction, std::string file);
    ~ProjectTransfer();
    ProjectTransfer(const ProjectTransfer&) = delete;
    ProjectTransfer& operator=(const ProjectTransfer&) = delete;

    /// Make the source (or target) databases current; nothing when they
    /// are. `failedStep` tells which switch failed (1 work, 2 configuration).
    ResultMsg toSource(int* failedStep = nullptr);
    ResultMsg toTarget(int* failedStep = nullptr);

    /// Writes the line that opens step `step` (1 to 12) of the direction.
    void logStep(int step) const;
    /// Writes a progress line of the step, "PROGRESS:" in place of "RUN:",
    /// followed by " i/n name" (" i name" when `count` is 0).
    void logProgress(int step, std::size_t index, std::size_t count, const std::string& name) const;

    // Read side (the source is current).
    /// A model to copy (a source object), added in the target to `project`
    /// (a source project object, or null: the model keeps no project); a
    /// model planned twice is copied once.
    void planModel(std::unique_ptr<M_EntityModelDAO> model, M_ProjectDAO* project);
    /// Every dictionary of the current configuration database with its
    /// entries; a failed read is noted in `reads`.
    using Dictionaries = std::vector<
        std::pair<std::unique_ptr<M_DictItemDAO>, std::vector<std::unique_ptr<M_DictDataDAO>>>>;
    Dictionaries readDictionaries();
    /// Reads everything below the planned models: folders, tables, links,
    /// columns, definitions, scene records and the rows of dictionary tables.
    /// Returns `reads.result()`: a transfer that lost a read writes nothing.
    ResultMsg readTree();

    // Write side (the target is current).
    /// Saves planned model `index` as new with its source version and
    /// records it in the model map. `dropRootFolders` deletes the root
    /// folders its first save made (its temporary folder); a failed read of
    /// them is noted in `reads`. On failure `failedSave` says which of its
    /// two saves failed (1 or 2).
    ResultMsg writeModel(std::size_t index, bool dropRootFolders, int* failedSave = nullptr);
    std::size_t plannedModels() const { return models_.size(); }
    M_EntityModelDAO& plannedModel(std::size_t index) { return *models_[index].model; }
    /// Steps 3 to 11 over the models written, each opened by its log line;
    /// stops at the first failure that ends the transfer.
    ResultMsg writeTree();

    /// A record whose save is not examined and failed: it stays out of the
    /// target, the transfer goes on, and finish() reports it.
    void leftOut(const char* what, int sourceID, const ResultMsg& failure);
    /// `result`, or a failure naming the records left out when there are any.
    ResultMsg finish(const ResultMsg& result) const;

    IdentifierMap projectMap, modelMap, folderMap, tableMap, columnMap;
    /// The reads of the transfer, on either side: the first failure ends it.
    FirstFailure reads;

private:
    struct PlannedModel {
        std::unique_ptr<M_EntityModelDAO> model;
        M_ProjectDAO* project;
        std::vector<std::unique_ptr<M_FolderDAO>> folders;
        std::vector<std::unique_ptr<M_R_ModelTableDAO>> links;
        std::vector<std::unique_ptr<M_SceneInfoDAO>> scenes;
    };
    struct PlannedTable {
        std::unique_ptr<M_EntityTableDAO> table;
        std::vector<std::unique_ptr<M_NormalColumnDAO>> columns;
        std::vector<std::unique_ptr<M_FindByInterfaceDAO>> finders;
        std::vector<std::unique_ptr<M_DelByInterfaceDAO>> deleters;
        bool dictionary = false;  // its rows are copied
        std::unique_ptr<DictionaryRows> rows;
        PlannedTable() = default;
        PlannedTable(PlannedTable&&) = default;
        PlannedTable& operator=(PlannedTable&&) = default;
        ~PlannedTable();
    };
    enum class Side { Source, Target };

    static const char* operationOf(Direction direction);
    [[nodiscard]] ResultMsg saveAsNew(DAO& record, int* newID = nullptr);
    /// saveAsNew() of each of `records`, several to a statement where the
    /// target allows it; `saved(index, result, newID)` for each, in order.
    void saveAllAsNew(const std::vector<DAO*>& records,
                      const std::function<void(std::size_t, const ResultMsg&, int)>& saved);
    void writeFolders();
    void writeTables();
    void writeModelTableLinks();
    void writeFolderTableLinks();
    void writeColumns();
    ResultMsg writeDefinitions();
    ResultMsg writeSceneRecords();
    void writeDictionaryRows();

    Direction direction_;
    std::string file_;
    DatabaseSwitch switch_;
    /// Which side is current; the home side when the transfer begins.
    Side side_;
    int savedProject_;
    std::vector<PlannedModel> models_;
    /// Tables in first-seen order; a table several models share once.
    std::vector<PlannedTable> tables_;
    std::map<int, std::size_t> tableIndex_;
    std::map<int, std::vector<std::unique_ptr<M_R_FolderTableDAO>>> folderLinks_;
    /// Stores the records saved as new on the target side.
    std::unique_ptr<RecordInserter> inserter_;
    std::size_t leftOutCount_ = 0;
    std::string firstLeftOut_;
};

}  // namespace MeridianSpace
