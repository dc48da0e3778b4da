#pragma once

// The record copying that project export and project import share: the
// export copies from the current databases (home) into an export file, the
// import from such a file into home. Each step reads what it copies while
// the source is current and writes it while the target is current, saving
// each record as new and rewriting the identifiers it holds through
// old-to-new maps. Internal to arx_qms.
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "DatabaseSwitch.h"
#include "IdentifierMap.h"
#include "ResultReturnCode.h"

namespace MeridianSpace {

class M_EntityModelDAO;
class M_EntityTableDAO;
class M_FolderDAO;
class M_ProjectDAO;

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
    /// Commits what is pending in the current databases.
    ResultMsg commitCurrent();
    DatabaseSwitch& databases() { return switch_; }

    /// The side whose databases were current when the transfer began.
    bool sourceIsHome() const { return direction_ == Direction::Export; }

    /// Writes "RUN:M_ProjectDAO::exportProject():" (or importProject) and `step`.
    void logStep(const std::string& step) const;
    /// Writes a progress line "PROGRESS:...: step i/n name" ("i name"
    /// when `count` is 0).
    void logProgress(const std::string& step, std::size_t index, std::size_t count,
                     const std::string& name) const;

    /// Saves the model (a source object) as new in the target within the
    /// project of new identifier `projectID` (none for 0: the model keeps
    /// its project reference), with its source version, and records it in
    /// the model map and list. `dropRootFolders` deletes the root folders
    /// the first save made (its temporary folder). The target is current.
    /// On failure `failedSave` says which save failed (1 or 2).
    ResultMsg copyModel(std::unique_ptr<M_EntityModelDAO> model, M_ProjectDAO* project,
                        bool dropRootFolders, int* failedSave = nullptr);

    /// Steps 3 to 11 over the models copied so far, each opened by its log
    /// line; stops at the first failure that ends the transfer.
    ResultMsg copyTree();

    // The steps of copyTree(). Each reads with the source current and
    // writes with the target current.
    ResultMsg copyFolders();
    ResultMsg copyTables();
    ResultMsg copyModelTableLinks();
    ResultMsg copyFolderTableLinks();
    ResultMsg copyColumns();
    ResultMsg copyDefinitions();
    ResultMsg copySceneRecords();
    ResultMsg copyDictionaryRows();

    /// A record whose save is not examined and failed: it stays out of the
    /// target, the transfer goes on, and finish() reports it.
    void leftOut(const char* what, int sourceID, const ResultMsg& failure);
    /// `result`, or a failure naming the records left out when there are any.
    ResultMsg finish(const ResultMsg& result) const;

    IdentifierMap projectMap, modelMap, folderMap, tableMap, columnMap;
    /// Copied source objects (source identifiers), in copy order.
    std::vector<std::unique_ptr<M_EntityModelDAO>> models;
    std::vector<std::unique_ptr<M_FolderDAO>> folders;
    std::vector<std::unique_ptr<M_EntityTableDAO>> tables;

private:
    const char* operation() const;

    enum class Side { Source, Target };

    Direction direction_;
    std::string file_;
    DatabaseSwitch switch_;
    /// Which side is current; the home side when the transfer begins.
    Side side_;
    int savedProject_;
    std::size_t leftOutCount_ = 0;
    std::string firstLeftOut_;
};

}  // namespace MeridianSpace
