// The apply of a model file: one transaction around reading the version,
// matching the file, the writes, the check that the version now matches
// the file, and the plan; a dry run or any refusal rolls it all back.
#include "ModelApply.h"

#include <memory>

#include "ConfigTransaction.h"
#include "M_ProjectDAO.h"
#include "ModelApplyWriter.h"
#include "ModelExport.h"
#include "ModelFileAttributes.h"
#include "ModelFileTree.h"
#include "PtrListHelper.h"
#include "StringHelper.h"

namespace MeridianSpace {

const char* structureChangeName(StructureChange::Kind kind) {
    using Kind = StructureChange::Kind;
    switch (kind) {
        case Kind::ModelChanged:
            return "model-changed";
        case Kind::FolderAdded:
            return "folder-added";
        case Kind::FolderChanged:
            return "folder-changed";
        case Kind::FolderEnded:
            return "folder-ended";
        case Kind::TableChanged:
            return "table-changed";
        case Kind::TableMoved:
            return "table-moved";
        case Kind::DefinitionAdded:
            return "definition-added";
        case Kind::DefinitionChanged:
            return "definition-changed";
        case Kind::DefinitionEnded:
            return "definition-ended";
    }
    return "";
}

namespace {

// The apply to the stored, unlocked version `version`, inside the open
// transaction.
ResultMsg applyInTransaction(const M_EntityModelDAO& version, const ModelDescription& file,
                             ApplyPlan& plan) {
    plan = ApplyPlan();
    plan.modelName = version._name;
    plan.version = version._version;
    VersionState state;
    ResultMsg rm = readVersionState(version, state);
    if (!rm.ok()) return rm;
    try {
        FileTargets targets = matchFile(file, state);
        writeTargets(file, state, targets, plan);
        ModelDescription after;
        rm = ModelExport::describe(version, version._version, after);
        if (rm.ok()) verifyTargets(file, targets, after);
    } catch (const ModelFileRefusal& refusal) {
        return ResultMsg(RUN_FAIL, refusalText(refusal.place, refusal.message));
    }
    ModelLayout after;
    if (rm.ok()) rm = ModelDiff::readVersion(version, version._version, after);
    if (rm.ok()) plan.changes = ModelDiff::compare(state.layout, after);
    return rm;
}

// Commits unless the run failed or is a dry run (the transaction then
// rolls back when it goes).
ResultMsg finish(ConfigTransaction& transaction, const ResultMsg& outcome,
                 const ApplyOptions& options, ApplyPlan& plan) {
    if (!outcome.ok()) {
        // Nothing of a refused apply stays, so nothing of it is planned.
        plan.changes.clear();
        plan.structure.clear();
        return outcome;
    }
    if (options.dryRun) return outcome;
    const ResultMsg rm = transaction.finish(
        ResultMsg(RUN_SUCCESS, "模型文件已应用到数据模型" + plan.modelName + "的版本" +
                                   StringHelper::int2String(plan.version) + "。"));
    plan.applied = transaction.committed();
    return rm;
}

ResultMsg lockedRefusal(const M_EntityModelDAO& version) {
    return ResultMsg(RUN_FAIL, "数据模型" + version._name + "的最新版本" +
                                   StringHelper::int2String(version._version) +
                                   "已定版，不能应用模型文件：upgrade first（请先升版）。");
}

}  // namespace

ResultMsg ModelApply::apply(const M_EntityModelDAO& model, const ModelDescription& file,
                            const ApplyOptions& options, ApplyPlan& plan) {
    M_EntityModelDAO newest;
    ResultMsg rm = findVersionRecord(model, 0, newest);
    if (!rm.ok()) return rm;
    if (newest._isVersionLocked == 1) return lockedRefusal(newest);
    ConfigTransaction transaction;
    if (!transaction.begun().ok()) return transaction.begun();
    return finish(transaction, applyInTransaction(newest, file, plan), options, plan);
}

ResultMsg ModelApply::applyAsNewModel(int projectID, const std::string& name,
                                      const ModelDescription& file, const ApplyOptions& options,
                                      ApplyPlan& plan) {
    M_ProjectDAO* found = nullptr;
    ResultMsg rm = M_ProjectDAO::FindByID(projectID, found);
    const std::unique_ptr<M_ProjectDAO> project(found);
    if (!rm.ok()) return rm;
    if (!project) return ResultMsg(RUN_FAIL, "所属项目未找到.");
    std::list<M_EntityModelDAO*> same;
    PtrListGuard<M_EntityModelDAO> own(same);
    rm = M_EntityModelDAO::FindByRProjectIDAndName(projectID, name, same);
    if (!rm.ok()) return rm;
    if (!same.empty()) return ResultMsg(RUN_FAIL, "新数据模型不能与已有数据模型重名！");

    ConfigTransaction transaction;
    if (!transaction.begun().ok()) return transaction.begun();
    M_EntityModelDAO model;
    model._name = name;
    model._type = file.typePlace.line > 0 ? file.record._type : 1;
    for (const auto& attribute : modelAttributes())
        attribute.copy(file.record, model);
    model._createTime = StringHelper::currTimeStr(0);
    rm = project->addEntityModel(&model, 0);
    if (!rm.ok()) return rm;
    // The file's header names the model it came from; the new one has its own name.
    ModelDescription named = file;
    named.record._name = name;
    named.project = project->_name;
    return finish(transaction, applyInTransaction(model, named, plan), options, plan);
}

ResultMsg ModelApply::applyAsNewVersion(const M_EntityModelDAO& model, const ModelDescription& file,
                                        const ApplyOptions& options, ApplyPlan& plan) {
    M_EntityModelDAO newest;
    ResultMsg rm = findVersionRecord(model, 0, newest);
    if (!rm.ok()) return rm;
    ConfigTransaction transaction;
    if (!transaction.begun().ok()) return transaction.begun();
    M_EntityModelDAO* made = nullptr;
    rm = newest.upgradeNewVersion(made);
    const std::unique_ptr<M_EntityModelDAO> next(made);
    if (!rm.ok()) return rm;
    // The new version keeps what the upgrade gave it (its display name
    // with the version) wherever the file says what the old version says.
    ModelDescription relative = file;
    for (const auto& attribute : modelAttributes()) {
        if (attribute.same(file.record, newest)) attribute.copy(*next, relative.record);
    }
    return finish(transaction, applyInTransaction(*next, relative, plan), options, plan);
}

}  // namespace MeridianSpace
