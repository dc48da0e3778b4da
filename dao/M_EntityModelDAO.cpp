#include "M_EntityModelDAO.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "LogManager.h"
#include "M_EntityModelMapper.h"
#include "M_EntityTableDAO.h"
#include "M_FolderDAO.h"
#include "M_NormalColumnDAO.h"
#include "M_ProjectDAO.h"
#include "M_R_ModelTableDAO.h"
#include "MeridianNew.h"
#include "PtrListHelper.h"
#include "RecordFinder.h"
#include "RelationDataTool.h"
#include "StringHelper.h"
#include "VersionColumns.h"

namespace MeridianSpace {

namespace {

const char* const kClassName = "M_EntityModelDAO";

// The table a model-table link names, or null when it is gone or `read`
// failed (then the table is not known to be gone).
std::unique_ptr<M_EntityTableDAO> linkedTable(const M_R_ModelTableDAO& link, ResultMsg& read) {
    M_EntityTableDAO* found = nullptr;
    read = M_EntityTableDAO::FindByID(link._t_M_EntityTableID, found);
    return std::unique_ptr<M_EntityTableDAO>(found);
}

}  // namespace

M_EntityModelDAO::M_EntityModelDAO()
    : _isDeleted(0), _isReleased(0), _isVersionLocked(0), _type(0), _version(0), _rProjectID(0) {
    _name = "0";
}

M_EntityModelDAO::~M_EntityModelDAO() = default;

DAO* M_EntityModelDAO::createObject() {
    return new M_EntityModelDAO();
}

Mapper* M_EntityModelDAO::createMapper() {
    return new M_EntityModelMapper();
}

ResultMsg M_EntityModelDAO::save(int commitType) {
    // Only a model that is neither stored nor numbered gets a version here.
    if (_ID < 1 && _version < 1) {
        // One read for the highest version and its lock: a version number
        // given without it could repeat one or pass an unlocked version.
        std::list<M_EntityModelDAO*> sameName;
        PtrListGuard<M_EntityModelDAO> ownSameName(sameName);
        ResultMsg read = FindByRProjectIDAndName(_rProjectID, _name, sameName);
        if (!read.ok()) return ResultMsg(RUN_FAIL, "ERROR:数据模型自保存失败。" + read.rMsg);
        int max = 0;
        for (const M_EntityModelDAO* model : sameName)
            max = std::max(max, model->_version);
        if (max == 0) {
            _version = 1;
        } else {
            for (M_EntityModelDAO* model : sameName) {
                if (model->_version != max) continue;
                if (model->_ID >= 1 && model->_isVersionLocked != 1) {
                    return ResultMsg(RUN_FAIL,
                                     "最大版本号对应数据模型，未定版。不能继续添加新的数据模型。");
                }
                break;
            }
            _version = max + 1;
        }
    }
    ResultMsg base = M_ObjectDAO::save(commitType);
    if (!base.ok()) return ResultMsg(RUN_FAIL, "ERROR:数据模型自保存失败。" + base.rMsg);
    return addTempFolder(0);
}

ResultMsg M_EntityModelDAO::delself(int commitType) {
    std::list<M_FolderDAO*> roots;
    PtrListGuard<M_FolderDAO> ownRoots(roots);
    // Folders that could not be read would outlive their model.
    ResultMsg read = M_FolderDAO::FindRootFolderByEntityModelID(_ID, roots);
    if (!read.ok()) return ResultMsg(read.rCode, "M_ProjectDAO::delself()错误:" + read.rMsg);
    int codeSum = 0;
    std::string errors;
    // Every root folder gets its turn, whatever became of the ones before.
    while (!roots.empty()) {
        std::unique_ptr<M_FolderDAO> folder(roots.front());
        roots.pop_front();
        ResultMsg rm = folder->delself(commitType);
        codeSum += rm.rCode;
        if (rm.rCode != RUN_SUCCESS) errors = rm.rMsg + errors;
    }
    if (codeSum != 0) return ResultMsg(codeSum, "M_ProjectDAO::delself()错误:" + errors);
    return DAO::delself(commitType);
}

ResultMsg M_EntityModelDAO::addM_FolderDAO(M_FolderDAO* folder, int commitType) {
    if (folder != nullptr) folder->_addVersion = _version;
    return RelationDataTool(this).add1N(folder, &M_FolderDAO::_t_M_EntityModelID, commitType);
}

ResultMsg M_EntityModelDAO::removeM_FolderDAO(M_FolderDAO* folder, int commitType) {
    if (folder == nullptr)  // the relation tool's refusal
        return RelationDataTool(this).remove1N(folder, &M_FolderDAO::_t_M_EntityModelID,
                                               commitType);
    std::list<M_EntityTableDAO*> tables;
    PtrListGuard<M_EntityTableDAO> ownTables(tables);
    (void)folder->getM_EntityTableDAOList(tables);  // answers 0 once the model is found

    M_FolderDAO* foundTemp = nullptr;
    (void)getTempFolder(foundTemp);  // none read: refused below
    std::unique_ptr<M_FolderDAO> temp(foundTemp);
    if (!temp) {
        return ResultMsg(RUN_FAIL, "Error:此数据模型的临时数据模块没有找到,无法继续移除Folder。");
    }

    // The tables already parked in the temporary folder go back to the
    // folder when a later move fails, so the folder stays as it was.
    std::vector<M_EntityTableDAO*> moved;
    auto rollBack = [&](const ResultMsg& failed, const std::string& message) {
        for (M_EntityTableDAO* table : moved) {  // the failed move answers, not these
            (void)temp->removeM_EntityTableDAO(table);
            (void)folder->addM_EntityTableDAO(table);
        }
        return ResultMsg(failed.rCode, message + failed.rMsg);
    };
    for (M_EntityTableDAO* table : tables) {
        ResultMsg rm = folder->removeM_EntityTableDAO(table);
        if (!rm.ok()) return rollBack(rm, "ERROR：从待移除的数据模块中，移除数据类失败。");
        rm = temp->addM_EntityTableDAO(table);
        if (!rm.ok()) {
            ResultMsg result =
                rollBack(rm, "ERROR：从待移除的数据模块中，移除数据类后添加至临时数据模块中失败。");
            // The table has already left the folder; it goes back too.
            (void)folder->addM_EntityTableDAO(table);  // the failed move answers
            return result;
        }
        moved.push_back(table);
    }
    RelationDataTool tool(this);
    return tool.remove1N(folder, folder->_t_M_EntityModelID, commitType);
}

ResultMsg M_EntityModelDAO::getRootM_FolderDAOList(std::list<M_FolderDAO*>& folders) {
    return M_FolderDAO::FindRootFolderByEntityModelID(_ID, folders);
}

ResultMsg M_EntityModelDAO::addTempFolder(int commitType) {
    M_FolderDAO* existing = nullptr;
    // A folder that could not be looked for may be there: no second one.
    ResultMsg read = getTempFolder(existing);
    if (!read.ok()) return read;
    if (existing != nullptr) {
        delete existing;
        return ResultMsg(RUN_SUCCESS, "临时数据模块已经建立，直接返回");
    }
    M_FolderDAO temp;
    temp._name = "TempFolder";
    temp._displayName = "临时数据模块";
    temp._folderType = FOLDER_TYPE_TEMPORARY;
    temp._addVersion = _version;
    RelationDataTool tool(this);
    return tool.add1N(&temp, temp._t_M_EntityModelID, commitType);
}

ResultMsg M_EntityModelDAO::getTempFolder(M_FolderDAO*& folder) {
    std::list<M_FolderDAO*> found;
    PtrListGuard<M_FolderDAO> ownFound(found);
    ResultMsg rm = M_FolderDAO::FindByEntityModelIDAndFolderType(_ID, FOLDER_TYPE_TEMPORARY, found);
    if (!found.empty()) {
        folder = found.front();
        found.pop_front();
    }
    return rm;
}

ResultMsg M_EntityModelDAO::getProjectOwner(M_ProjectDAO*& project) {
    return M_ProjectDAO::FindByID(_rProjectID, project);
}

ResultMsg M_EntityModelDAO::getNormalColumnList(std::list<M_NormalColumnDAO*>& columns) {
    std::list<M_R_ModelTableDAO*> links;
    PtrListGuard<M_R_ModelTableDAO> ownLinks(links);
    ResultMsg result = M_R_ModelTableDAO::FindByT_M_EntityModelID(static_cast<double>(_ID), links);
    ResultMsg failedRead;  // the first table that could not be read answers
    for (M_R_ModelTableDAO* link : links) {
        ResultMsg read;
        std::unique_ptr<M_EntityTableDAO> table = linkedTable(*link, read);
        if (!read.ok()) {
            if (failedRead.ok()) failedRead = read;
            continue;
        }
        if (!table) {
            // A link to a table that is gone.
            result = link->delself(0);
            continue;
        }
        std::list<M_NormalColumnDAO*> tableColumns;
        PtrListGuard<M_NormalColumnDAO> ownTableColumns(tableColumns);
        result = table->getNormalColumnDAOList(this, tableColumns);
        for (auto it = tableColumns.begin(); it != tableColumns.end();) {
            if (existsInVersion((*it)->_addVersion, (*it)->_delVersion, _version)) {
                columns.push_back(*it);
                it = tableColumns.erase(it);
            } else {
                ++it;
            }
        }
    }
    return failedRead.ok() ? result : failedRead;
}

ResultMsg M_EntityModelDAO::getEntityTableList(std::list<M_EntityTableDAO*>& tables) {
    std::list<M_R_ModelTableDAO*> links;
    PtrListGuard<M_R_ModelTableDAO> ownLinks(links);
    ResultMsg result = M_R_ModelTableDAO::FindByT_M_EntityModelID(static_cast<double>(_ID), links);
    ResultMsg failedRead;  // the first table that could not be read answers; its link stays
    for (M_R_ModelTableDAO* link : links) {
        ResultMsg read;
        std::unique_ptr<M_EntityTableDAO> table = linkedTable(*link, read);
        if (!read.ok()) {
            if (failedRead.ok()) failedRead = read;
            continue;
        }
        if (table && existsInVersion(table->_addVersion, table->_delVersion, _version)) {
            tables.push_back(table.release());
            continue;
        }
        // A link to a table outside this version (1) or to a missing one (2).
        MeridianNew::LOGGER()->appendMsg(
            std::string(table ? "RUN:M_EntityModelDAO::getEntityTableList():清理垃圾1"
                              : "RUN:M_EntityModelDAO::getEntityTableList():清理垃圾2") +
            StringHelper::int2String(link->_ID));
        result = link->delself(0);
    }
    return failedRead.ok() ? result : failedRead;
}

int M_EntityModelDAO::getMaxVersionWithinSaveName() {
    std::list<M_EntityModelDAO*> sameName;
    PtrListGuard<M_EntityModelDAO> ownSameName(sameName);
    (void)FindByRProjectIDAndName(_rProjectID, _name, sameName);  // the answer is a number
    int max = 0;
    for (const M_EntityModelDAO* model : sameName) {
        if (model->_version > max) max = model->_version;
    }
    return max;
}

ResultMsg M_EntityModelDAO::FindByID(int id, M_EntityModelDAO*& pnewdao) {
    return RecordFinder<M_EntityModelDAO>().byID(kClassName, id, pnewdao);
}

ResultMsg M_EntityModelDAO::FindAll(std::list<M_EntityModelDAO*>& newlist) {
    return RecordFinder<M_EntityModelDAO>().all(kClassName, newlist);
}

ResultMsg M_EntityModelDAO::FindByRProjectID(int projectID, std::list<M_EntityModelDAO*>& newlist) {
    return RecordFinder<M_EntityModelDAO>().byInt(kClassName, "_rProjectID", projectID, newlist);
}

ResultMsg M_EntityModelDAO::FindByRProjectIDAndName(int projectID, std::string name,
                                                    std::list<M_EntityModelDAO*>& newlist) {
    return RecordFinder<M_EntityModelDAO>().byAll(
        kClassName, FinderConditions().integer("_rProjectID", projectID).text("_name", name),
        newlist);
}

ResultMsg M_EntityModelDAO::FindByRProjectIDAndNameAndVersion(
    int projectID, std::string name, int version, std::list<M_EntityModelDAO*>& newlist) {
    return RecordFinder<M_EntityModelDAO>().byAll(kClassName,
                                                  FinderConditions()
                                                      .integer("_rProjectID", projectID)
                                                      .text("_name", name)
                                                      .integer("_version", version),
                                                  newlist);
}

ResultMsg M_EntityModelDAO::FindByName(std::string name, std::list<M_EntityModelDAO*>& newlist) {
    return RecordFinder<M_EntityModelDAO>().byText(kClassName, "_name", name, newlist);
}

ResultMsg M_EntityModelDAO::FindByNameMaxVersion(std::string name, M_EntityModelDAO*& model) {
    std::list<M_EntityModelDAO*> found;
    PtrListGuard<M_EntityModelDAO> ownFound(found);
    ResultMsg rm = FindByName(name, found);
    delete model;
    model = new M_EntityModelDAO();
    // The first of equal highest versions wins; a default object (_ID 0)
    // tells the caller that no model has a version.
    int highest = 0;
    for (const M_EntityModelDAO* candidate : found) {
        if (candidate->_version > highest) {
            highest = candidate->_version;
            *model = *candidate;
        }
    }
    return rm;
}

ResultMsg M_EntityModelDAO::FindByType(int type, std::list<M_EntityModelDAO*>& newlist) {
    return RecordFinder<M_EntityModelDAO>().byInt(kClassName, "_type", type, newlist);
}

}  // namespace MeridianSpace
