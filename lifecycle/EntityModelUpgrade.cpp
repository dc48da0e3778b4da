// Version upgrade: locks a stored model version and makes the next version
// from it, with a copy of its folder tree linked to the same tables and
// copies of its scene records.
#include <memory>

#include "ConfigTransaction.h"
#include "FirstFailure.h"
#include "IdentifierMap.h"
#include "LogManager.h"
#include "M_EntityModelDAO.h"
#include "M_EntityTableDAO.h"
#include "M_FolderDAO.h"
#include "M_SceneInfoDAO.h"
#include "MeridianNew.h"
#include "MetaDataManager.h"
#include "PtrListHelper.h"
#include "StringHelper.h"
#include "SubFolderCopy.h"

namespace MeridianSpace {

namespace {

// A failed call inside the folder copy: its code, `step` before its message.
ResultMsg failedStep(const char* step, const ResultMsg& failed) {
    return ResultMsg(failed.rCode, step + failed.rMsg);
}

// Links every table of `tables` to `folder` (and so to the folder's model);
// the table objects are deleted as they go.
ResultMsg linkTables(M_FolderDAO& folder, std::list<M_EntityTableDAO*>& tables, const char* step,
                     ResultMsg& held) {
    PtrListGuard<M_EntityTableDAO> ownTables(tables);
    for (M_EntityTableDAO* table : tables) {
        held = folder.addM_EntityTableDAO(table);
        if (!held.ok()) return failedStep(step, held);
    }
    return ResultMsg();
}

// Copies the sub-folders of `parent` (a folder of the old version that
// carries its old _ID and the new version's model key) below the parent's
// copy, at every depth, recording each copy in `folders`. A failed read
// ends the copy with its failure, kept in `reads`.
ResultMsg copySubFolders(M_FolderDAO& parent, IdentifierMap& folders, FirstFailure& reads) {
    std::list<M_FolderDAO*> subs;
    PtrListGuard<M_FolderDAO> ownSubs(subs);
    if (!reads.read("M_FolderDAO", M_FolderDAO::FindByParentFolderID(parent._ID, subs)))
        return reads.result();
    if (subs.empty()) return ResultMsg(RUN_SUCCESS, "");

    ResultMsg last;
    for (M_FolderDAO* sub : subs) {
        std::list<M_EntityTableDAO*> tables;
        PtrListGuard<M_EntityTableDAO> ownTables(tables);
        if (!reads.read("M_EntityTableDAO", sub->getM_EntityTableDAOList(tables)))
            return reads.result();
        const int oldID = sub->_ID;
        // The parent keeps its copy's identifier from here on.
        parent._ID = mapIdentifier(folders, parent._ID, Unmapped::Keep);
        last = storeSubFolderCopy(parent, parent._ID, *sub, folders);
        if (!last.ok()) return last;

        ResultMsg rm =
            linkTables(*sub, tables, "ERROR：在新数据模型中递归增加子数据类失败。", last);
        if (!rm.ok()) return rm;

        sub->_ID = oldID;
        last = copySubFolders(*sub, folders, reads);
        if (!last.ok())
            return failedStep("ERROR：在新数据模型中递归增加子数据模块的下属模块失败。", last);
    }
    return ResultMsg(RUN_SUCCESS, last.rMsg);
}

void logRun(const char* what, const M_EntityModelDAO& model) {
    MeridianNew::LOGGER()->appendMsg(std::string(what) +
                                     "M_EntityModelDAO::upgradeNewVersion()  entityModelName =" +
                                     model._name + "  ID = " + StringHelper::int2String(model._ID));
}

}  // namespace

ResultMsg M_EntityModelDAO::upgradeNewVersion(M_EntityModelDAO*& newModel) {
    logRun("RUN:", *this);
    if (_ID < 1) return ResultMsg(RUN_FAIL, "锁定失败！当前数据模型ID<=0.");

    // Everything below, the lock included, is one transaction of the
    // configuration database; what each outcome leaves is committed, except
    // after a failed read, which keeps nothing.
    FirstFailure reads("M_EntityModelDAO::upgradeNewVersion() ");
    ConfigTransaction transaction;
    MetaDataManager* metaData = MeridianNew::getCurrMRDConfigMDM();
    ResultMsg locked = transaction.begun();
    if (locked.ok()) locked = metaData->lockEntityModelVersion(_ID);
    if (!locked.ok()) return ResultMsg(RUN_FAIL, "锁定失败！" + locked.rMsg);
    // The held result: each step below replaces it with its own.
    ResultMsg held(RUN_SUCCESS, "锁定成功！");
    const int lockedBefore = _isVersionLocked;
    _isVersionLocked = 1;
    // The failure that ends the upgrade is the answer, whatever the unlock says.
    const auto unlock = [&] { (void)metaData->unlockEntityModelVersion(_ID); };

    M_EntityModelDAO next(*this);
    next._ID = -1;
    next._displayName = _displayName + "_new";
    next._isReleased = 0;
    next._isVersionLocked = 0;
    next._createTime = StringHelper::currTimeStr(0);
    next._updateTime = _createTime;
    next._version = 0;
    held = next.save(0);
    if (!held.ok()) {
        held = ResultMsg(RUN_FAIL, "添加数据模型记录失败！" + held.rMsg);
        unlock();
        return transaction.finish(held);
    }
    held = ResultMsg(RUN_SUCCESS, "添加数据模型记录成功！");

    next._displayName = _displayName + "_" + StringHelper::int2String(next._version);
    ResultMsg renamed = next.save(0);
    if (!renamed.ok()) {
        held = ResultMsg(RUN_FAIL, "更新数据模型新名称失败！" + renamed.rMsg);
        MeridianNew::LOGGER()->appendError(
            "M_EntityModelDAO::upgradeNewVersion():m_currEntityModel.save() ", held.rMsg);
        unlock();
        return transaction.finish(held);
    }
    held = ResultMsg(RUN_SUCCESS, "更新数据模型新名称成功！");

    // The new version's own temporary folder goes: the old version's is
    // copied like every other root folder.
    {
        std::list<M_FolderDAO*> roots;
        PtrListGuard<M_FolderDAO> ownRoots(roots);
        reads.read("M_FolderDAO", M_FolderDAO::FindRootFolderByEntityModelID(next._ID, roots));
        for (M_FolderDAO* root : roots)
            held = root->delself(0);
    }

    // On a failed write from here on the new version goes with what it
    // owns and the old version stays locked; a failed read undoes it all.
    const auto dropNext = [&](const ResultMsg& failure) {
        if (!reads.ok()) {
            _isVersionLocked = lockedBefore;
            return reads.result();
        }
        (void)next.delself(0);  // its failure would hide the one that ends the upgrade
        return transaction.finish(failure);
    };
    if (!reads.ok()) return dropNext(reads.result());
    IdentifierMap folders;
    {
        std::list<M_FolderDAO*> roots;
        PtrListGuard<M_FolderDAO> ownRoots(roots);
        if (!reads.read("M_FolderDAO", M_FolderDAO::FindRootFolderByEntityModelID(_ID, roots)))
            return dropNext(reads.result());
        for (M_FolderDAO* root : roots) {
            std::list<M_EntityTableDAO*> tables;
            PtrListGuard<M_EntityTableDAO> ownTables(tables);
            if (!reads.read("M_EntityTableDAO", root->getM_EntityTableDAOList(tables)))
                return dropNext(reads.result());
            const int oldID = root->_ID;
            root->_ID = -1;
            held = next.addM_FolderDAO(root, 0);
            if (!held.ok())
                return dropNext(failedStep("ERROR：在新数据模型中增加数据模块失败。", held));
            folders[oldID] = root->_ID;
            ResultMsg rm = linkTables(*root, tables, "ERROR：在新数据模型中增加数据类失败。", held);
            if (!rm.ok()) return dropNext(rm);
            root->_ID = oldID;
            held = copySubFolders(*root, folders, reads);
            if (!held.ok())
                return dropNext(failedStep("ERROR：在新数据模型中增加子数据模块失败。", held));
        }
    }

    // Scene records follow the folders they show or stand in; the tables
    // are shared by both versions.
    {
        std::list<M_SceneInfoDAO*> scenes;
        PtrListGuard<M_SceneInfoDAO> ownScenes(scenes);
        if (!reads.read("M_SceneInfoDAO", M_SceneInfoDAO::FindByEntityModelID(_ID, scenes)))
            return dropNext(reads.result());
        for (M_SceneInfoDAO* scene : scenes) {
            rewriteSceneReferences(*scene, &folders, nullptr, Unmapped::Keep);
            scene->_ID = -1;
            scene->_entityModelID = next._ID;
            held = scene->save(0);
            if (!held.ok()) {
                return dropNext(ResultMsg(held.rCode, "ERROR：升版场景信息失败。 场景 ID = " +
                                                          StringHelper::int2String(scene->_ID) +
                                                          held.rMsg));
            }
        }
    }

    held = transaction.finish(held);
    if (!transaction.committed()) {
        // Nothing stayed, the lock neither.
        _isVersionLocked = lockedBefore;
        return held;
    }
    // The out-pointer may not hold this model; deleting it would pull the
    // object out from under the call.
    if (newModel != this) delete newModel;
    newModel = new M_EntityModelDAO(next);
    logRun("RUN_END:", *this);
    return held;
}

}  // namespace MeridianSpace
