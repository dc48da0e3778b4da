// The edits of projects and models (Edits.h).
#include <algorithm>
#include <list>
#include <vector>

#include "Edits.h"
#include "Lookup.h"
#include "MeridianNew.h"
#include "MetaDataManager.h"
#include "ModelDiff.h"
#include "PtrListHelper.h"
#include "RecordJson.h"
#include "StringHelper.h"

namespace qms {

namespace {

// The stored versions of the model's name in its project, highest first.
std::vector<M_EntityModelDAO> versionsOf(const M_EntityModelDAO& model) {
    std::list<M_EntityModelDAO*> found;
    PtrListGuard<M_EntityModelDAO> guard(found);
    check(M_EntityModelDAO::FindByRProjectIDAndName(model._rProjectID, model._name, found),
          "cannot list the versions of model '" + utf8(model._name) + "'");
    std::vector<M_EntityModelDAO> versions;
    for (const M_EntityModelDAO* m : found)
        if (m->_name == model._name) versions.push_back(*m);  // the finder matches by like
    std::sort(versions.begin(), versions.end(),
              [](const auto& l, const auto& r) { return l._version > r._version; });
    return versions;
}

}  // namespace

M_ProjectDAO createProject(const std::string& name, const std::string& author, int type) {
    const std::string what = "cannot create project '" + name + "'";
    EditTransaction transaction(what);
    if (projectExists(name))
        throw EditRefused("name", "project '" + name + "' exists", "choose another name");
    M_ProjectDAO project;
    project._name = gbk(name);
    project._author = gbk(author);
    project._type = type;
    project._createTime = StringHelper::currTimeStr(0);
    project._updateTime = project._createTime;
    check(project.save(), what);
    transaction.commit();
    return project;
}

M_EntityModelDAO createModel(M_ProjectDAO& project, const std::string& name, int type,
                             const std::string& display) {
    const std::string projectName = utf8(project._name);
    EditTransaction transaction("cannot create model '" + name + "'");
    std::list<M_EntityModelDAO*> same;
    PtrListGuard<M_EntityModelDAO> guard(same);
    check(M_EntityModelDAO::FindByRProjectIDAndName(project._ID, gbk(name), same),
          "cannot look for model '" + name + "'");
    if (std::any_of(same.begin(), same.end(),
                    [&](const M_EntityModelDAO* m) { return m->_name == gbk(name); })) {
        throw EditRefused("name",
                          "model '" + name + "' exists in project '" + projectName +
                              "' (run 'qms model upgrade' for a new version)",
                          "choose another name, or upgrade that model for a new version");
    }
    M_ProjectDAO::setCurrProjectID(project._ID);
    M_EntityModelDAO model;
    model._name = gbk(name);
    model._type = type;
    model._displayName = gbk(display.empty() ? name : display);
    model._createTime = StringHelper::currTimeStr(0);
    check(project.addEntityModel(&model), "cannot create model '" + name + "'");
    transaction.commit();
    return model;
}

M_EntityModelDAO upgradeModel(M_EntityModelDAO& model) {
    const std::string what = "cannot upgrade model '" + utf8(model._name) + "'";
    EditTransaction transaction(what);
    const std::vector<M_EntityModelDAO> versions = versionsOf(model);
    if (!versions.empty() && versions.front()._version != model._version)
        throw EditRefused("",
                          "model '" + utf8(model._name) + "' version " +
                              std::to_string(model._version) + " is not its highest version (" +
                              std::to_string(versions.front()._version) + ")",
                          "upgrade the highest version");
    M_ProjectDAO::setCurrProjectID(model._rProjectID);
    M_EntityModelDAO* raw = nullptr;
    const ResultMsg rm = model.upgradeNewVersion(raw);
    std::unique_ptr<M_EntityModelDAO> upgraded(raw);
    check(rm, what);
    transaction.commit();
    return *upgraded;
}

M_EntityModelDAO withdrawUpgrade(M_EntityModelDAO& model, bool wasLocked) {
    const std::string name =
        "model '" + utf8(model._name) + "' version " + std::to_string(model._version);
    const std::string what = "cannot take back " + name;
    if (model._isVersionLocked == 1)
        throw EditRefused("", name + " is locked", "a locked version stays as it is");
    EditTransaction transaction(what);
    const std::vector<M_EntityModelDAO> versions = versionsOf(model);
    if (!versions.empty() && versions.front()._version != model._version)
        throw EditRefused("",
                          name + " is not its highest version (" +
                              std::to_string(versions.front()._version) + ")",
                          "only the highest version can be taken back");
    const auto before = std::find_if(versions.begin(), versions.end(), [&](const auto& m) {
        return m._version == model._version - 1;
    });
    if (before == versions.end())
        throw EditRefused("", name + " was made by no upgrade (there is no version before it)",
                          "delete the model instead");
    M_EntityModelDAO previous = *before;
    // Taken back only as the upgrade left it: the same tables, columns and folders.
    std::vector<ModelChange> changes;
    check(ModelDiff::between(model, previous._version, model._version, changes), what);
    if (!changes.empty() ||
        modelDetailJson(previous)["folders"] != modelDetailJson(model)["folders"])
        throw EditRefused("", name + " has changed since the upgrade",
                          "take those changes back first, or keep the version");
    M_ProjectDAO::setCurrProjectID(model._rProjectID);
    check(model.delself(), what);
    if (!wasLocked)
        check(MeridianNew::getCurrMRDConfigMDM()->unlockEntityModelVersion(previous._ID), what);
    // The lock is undone only by the process whose upgrade set it.
    previous = findModel("", "", 0, previous._ID);
    if (previous._isVersionLocked != (wasLocked ? 1 : 0))
        throw EditRefused("",
                          "version " + std::to_string(previous._version) +
                              " stays locked: its lock was not set by this server's upgrade",
                          "the upgrade can no longer be taken back; keep the new version");
    transaction.commit();
    return previous;
}

void lockModel(M_EntityModelDAO& model) {
    if (model._isVersionLocked == 1)
        throw EditRefused("",
                          "model '" + utf8(model._name) + "' version " +
                              std::to_string(model._version) + " is locked already",
                          "read the model again: someone locked it");
    M_ProjectDAO::setCurrProjectID(model._rProjectID);
    const std::string what = "cannot lock model '" + utf8(model._name) + "'";
    EditTransaction transaction(what);
    model._isVersionLocked = 1;
    check(model.save(), what);
    transaction.commit();
}

void deleteModel(M_EntityModelDAO& model) {
    const std::string what = "cannot delete model '" + utf8(model._name) + "'";
    M_ProjectDAO::setCurrProjectID(model._rProjectID);
    EditTransaction transaction(what);
    // The highest version first: each one left is then the highest.
    for (M_EntityModelDAO& version : versionsOf(model))
        check(version.delself(), what);
    transaction.commit();
}

void deleteProject(M_ProjectDAO& project) {
    const std::string name = utf8(project._name);
    // Export and the self-description rely on the platform's own project.
    if (isPlatformProject(project._name))
        throw EditRefused("", "project '" + name + "' belongs to the platform and stays",
                          "this project cannot be deleted");
    EditTransaction transaction("cannot delete project '" + name + "'");
    check(project.delself(), "cannot delete project '" + name + "'");
    transaction.commit();
}

}  // namespace qms
