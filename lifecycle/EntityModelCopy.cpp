// Model copy: a new, independent model in the same project with copies of
// the source model's folders, tables, columns, definitions, scene records
// and, for a dictionary model, the rows of its tables.
#include <memory>
#include <set>
#include <vector>

#include "ConfigTransaction.h"
#include "FirstFailure.h"
#include "IdentifierMap.h"
#include "InstanceDataManager.h"
#include "InterfaceParameters.h"
#include "M_DelByInterfaceDAO.h"
#include "M_EntityModelDAO.h"
#include "M_EntityTableDAO.h"
#include "M_FindByInterfaceDAO.h"
#include "M_FolderDAO.h"
#include "M_NormalColumnDAO.h"
#include "M_ProjectDAO.h"
#include "M_SceneInfoDAO.h"
#include "MeridianNew.h"
#include "ModelVersionRecords.h"
#include "PtrListHelper.h"
#include "RecordFinder.h"
#include "StringHelper.h"
#include "SubFolderCopy.h"

namespace MeridianSpace {

namespace {

ResultMsg failedStep(const std::string& step, const ResultMsg& failed) {
    return ResultMsg(failed.rCode, step + failed.rMsg);
}

template <class T>
using ByTable = std::map<int, std::vector<std::unique_ptr<T>>>;

// The definitions of class T of the tables `tableIDs`, in a few statements,
// by table, in stored order.
template <class T>
ResultMsg readDefinitions(const char* className, const std::vector<int>& tableIDs,
                          ByTable<T>& out) {
    std::list<T*> found;
    PtrListGuard<T> guard(found);
    ResultMsg rm = RecordFinder<T>().byIntIn(className, "_t_M_EntityTableID",
                                             &T::_t_M_EntityTableID, tableIDs, found);
    for (T*& definition : found) {
        out[definition->_t_M_EntityTableID].emplace_back(definition);
        definition = nullptr;
    }
    return rm;
}

// Copies of the definitions of `table` whose parameters all name columns of
// `columnIDs`, as M_EntityTableDAO's getters with a list of columns keep them.
template <class T>
std::vector<std::unique_ptr<T>> definitionsOn(const ByTable<T>& all, int table,
                                              const std::set<int>& columnIDs) {
    std::vector<std::unique_ptr<T>> out;
    const auto found = all.find(table);
    if (found == all.end()) return out;
    for (const auto& definition : found->second) {
        if (parametersAreColumns(definition->_paraList, columnIDs))
            out.push_back(std::make_unique<T>(*definition));
    }
    return out;
}

// The state of one copy: the source, read once in bulk, the target and the
// old-to-new maps that cover the whole tree. A read that fails ends the copy
// with its failure, kept in `reads`.
class ModelCopy {
public:
    ModelCopy(M_EntityModelDAO& source, M_EntityModelDAO& target, FirstFailure& reads)
        : source_(source), target_(target), reads_(reads) {}

    /// Reads the source's folders, tables, columns and definitions in a
    /// handful of statements (ModelVersionRecords), before anything is copied.
    ResultMsg readSource();
    ResultMsg copyRootFolders(ResultMsg& held);
    ResultMsg rewriteColumnReferences(ResultMsg& held);
    ResultMsg copySceneRecords(ResultMsg& held);

private:
    ResultMsg copySubFolders(M_FolderDAO& parent, ResultMsg& held);
    ResultMsg copyTables(M_FolderDAO& folder, int oldID, bool nested, ResultMsg& held);
    ResultMsg copyTable(M_EntityTableDAO& table, M_FolderDAO& folder, bool nested, ResultMsg& held);
    ResultMsg copyDictionaryRows(M_EntityTableDAO& source, M_EntityTableDAO& copy);
    ResultMsg copyDefinitions(M_EntityTableDAO& source, const std::set<int>& sourceColumns,
                              M_EntityTableDAO& copy, ResultMsg& held);

    M_EntityModelDAO& source_;
    M_EntityModelDAO& target_;
    FirstFailure& reads_;
    ModelVersionRecords records_;
    /// The source's folders by parent (0 for the roots), in stored order,
    /// taken before copying changes their keys.
    std::map<int, std::vector<M_FolderDAO*>> children_;
    ByTable<M_FindByInterfaceDAO> finders_;
    ByTable<M_DelByInterfaceDAO> deleters_;
    IdentifierMap folders_;
    IdentifierMap tables_;
    IdentifierMap columns_;
    /// The copied columns, for the reference pass, by their new _ID.
    std::map<int, std::unique_ptr<M_NormalColumnDAO>> copiedColumns_;
};

ResultMsg ModelCopy::readSource() {
    if (!reads_.read("M_FolderDAO/M_EntityTableDAO/M_NormalColumnDAO",
                     ModelVersionRecords::read(source_._ID, records_)))
        return reads_.result();
    for (const auto& folder : records_.folders)
        children_[std::max(folder->_t_M_FolderID, 0)].push_back(folder.get());
    std::vector<int> tableIDs;
    for (const auto& [folder, tables] : records_.folderTables) {
        for (const auto& table : tables)
            tableIDs.push_back(table->_ID);
    }
    reads_.read("M_FindByInterfaceDAO",
                readDefinitions("M_FindByInterfaceDAO", tableIDs, finders_));
    reads_.read("M_DelByInterfaceDAO", readDefinitions("M_DelByInterfaceDAO", tableIDs, deleters_));
    return reads_.result();
}

ResultMsg ModelCopy::copyRootFolders(ResultMsg& held) {
    for (M_FolderDAO* root : children_[0]) {
        const int oldID = root->_ID;
        root->_ID = -1;
        held = target_.addM_FolderDAO(root, 0);
        if (!held.ok()) return failedStep("ERROR：在新数据模型中增加数据模块失败。", held);
        const int newID = root->_ID;
        folders_[oldID] = newID;
        root->_ID = oldID;
        held = copySubFolders(*root, held);
        if (!held.ok()) return failedStep("ERROR：在新数据模型中增加子数据模块失败。", held);
        root->_ID = newID;
        ResultMsg rm = copyTables(*root, oldID, false, held);
        if (!rm.ok()) return rm;
    }
    return held;
}

ResultMsg ModelCopy::copySubFolders(M_FolderDAO& parent, ResultMsg& held) {
    const int parentID = parent._ID;
    const int parentCopyID = mapIdentifier(folders_, parentID, Unmapped::MinusOne);
    {
        M_FolderDAO* found = nullptr;
        if (!reads_.read("M_FolderDAO", M_FolderDAO::FindByID(parentCopyID, found)))
            return reads_.result();
        std::unique_ptr<M_FolderDAO> parentCopy(found);
        M_EntityModelDAO* foundModel = nullptr;
        if (parentCopy &&
            !reads_.read("M_EntityModelDAO",
                         M_EntityModelDAO::FindByID(parentCopy->_t_M_EntityModelID, foundModel)))
            return reads_.result();
        std::unique_ptr<M_EntityModelDAO> targetModel(foundModel);
        if (!targetModel) return ResultMsg(RUN_FAIL, "ERROR：复制目标数据模型，在数据库中不存在！");
        // The parent object carries the target's model key by now: the
        // source model is looked up by its own identifier, and its version
        // chooses the columns and definitions copied below.
        foundModel = nullptr;
        if (!reads_.read("M_EntityModelDAO", M_EntityModelDAO::FindByID(source_._ID, foundModel)))
            return reads_.result();
        std::unique_ptr<M_EntityModelDAO> sourceModel(foundModel);
        if (!sourceModel) return ResultMsg(RUN_FAIL, "ERROR：复制源数据模型，在数据库中不存在！");
    }

    for (M_FolderDAO* sub : children_[parentID]) {
        const int oldID = sub->_ID;
        held = storeSubFolderCopy(parent, parentCopyID, *sub, folders_);
        if (!held.ok()) return held;
        const int newID = sub->_ID;

        sub->_ID = oldID;
        held = copySubFolders(*sub, held);
        if (!held.ok())
            return failedStep("ERROR：在新数据模型中递归增加子数据模块的下属模块失败。", held);
        sub->_ID = newID;
        ResultMsg rm = copyTables(*sub, oldID, true, held);
        if (!rm.ok()) return rm;
    }
    return held;
}

// The tables of `folder` (which carries its copy's _ID; `oldID` its own).
ResultMsg ModelCopy::copyTables(M_FolderDAO& folder, int oldID, bool nested, ResultMsg& held) {
    for (const auto& table : records_.folderTables[oldID]) {
        ResultMsg rm = copyTable(*table, folder, nested, held);
        if (!rm.ok()) return rm;
    }
    return ResultMsg();
}

ResultMsg ModelCopy::copyTable(M_EntityTableDAO& table, M_FolderDAO& folder, bool nested,
                               ResultMsg& held) {
    // The object read from the source becomes the copy; `original` keeps
    // the source's identity.
    M_EntityTableDAO original(table);
    std::list<M_NormalColumnDAO*> columns;
    PtrListGuard<M_NormalColumnDAO> ownColumns(columns);
    const auto stored = records_.columns.find(original._ID);
    if (stored != records_.columns.end()) {
        for (const auto& column : stored->second)
            columns.push_back(new M_NormalColumnDAO(*column));
    } else if (!reads_.read("M_NormalColumnDAO", table.getNormalColumnDAOList(&source_, columns))) {
        // A folder's table that the model does not link: read on its own.
        return reads_.result();
    }

    table._ID = -1;
    held = folder.addM_EntityTableDAO(&table);
    if (!held.ok()) {
        return failedStep(nested ? "ERROR：在新数据模型中递归增加子数据类失败。"
                                 : "ERROR：在新数据模型中增加子数据类失败。",
                          held);
    }
    tables_[original._ID] = table._ID;

    // The table is new and belongs to the target alone (the attach above
    // linked it): each column is stored as addNormalColumnDAO would store
    // it, without looking the table, its owners and its columns up again
    // for every column.
    std::vector<std::string> innerNames;
    std::set<int> sourceColumns;
    while (!columns.empty()) {
        std::unique_ptr<M_NormalColumnDAO> column(columns.front());
        columns.pop_front();
        const int oldID = column->_ID;
        sourceColumns.insert(oldID);
        column->_ID = -1;
        column->_addVersion = column->_version = target_._version;
        column->_t_M_EntityTableID = table._ID;
        held = column->saveAsNewColumnOf(table, innerNames, 0);
        if (!held.ok()) {
            return failedStep(nested ? "ERROR：在新数据模型中递归增加属性失败。"
                                     : "ERROR：在新数据模型中增加属性失败。",
                              held);
        }
        columns_[oldID] = column->_ID;
        copiedColumns_[column->_ID] = std::move(column);
    }
    if (table.isBelongToDictionaryModel()) {
        // The physical table changed.
        InstanceDataManager* idm = MeridianNew::getCurrMRDConfigIDM();
        held = idm != nullptr ? idm->initialMetaDataCache() : MeridianNew::noCurrentDatabase();
        if (!held.ok()) return held;
    }

    if (source_._type == ENTITY_MODEL_TYPE_DICTIONARY) {
        ResultMsg rm = copyDictionaryRows(original, table);
        if (!rm.ok()) return rm;
    }
    return copyDefinitions(original, sourceColumns, table, held);
}

ResultMsg ModelCopy::copyDictionaryRows(M_EntityTableDAO& source, M_EntityTableDAO& copy) {
    std::list<M_NormalColumnDAO*> columns;
    PtrListGuard<M_NormalColumnDAO> ownColumns(columns);
    std::list<std::string> rows;
    ResultMsg rm = source.exportData(columns, rows);
    if (!rm.ok()) {
        return failedStep("ERROR：导出数据字典基础数据失败。tableName = " + copy._name, rm);
    }
    // The rows are written into the copy's columns: each exported column
    // takes the identity and physical name of its copy.
    for (M_NormalColumnDAO* column : columns) {
        const auto copied =
            copiedColumns_.find(mapIdentifier(columns_, column->_ID, Unmapped::Keep));
        if (copied == copiedColumns_.end()) continue;
        column->_ID = copied->second->_ID;
        column->_innerName = copied->second->_innerName;
        column->_t_M_EntityTableID = copy._ID;
    }
    rm = copy.importData(columns, rows);
    if (!rm.ok()) {
        return failedStep("ERROR：导入数据字典基础数据失败。tableName = " + copy._name, rm);
    }
    return rm;
}

ResultMsg ModelCopy::copyDefinitions(M_EntityTableDAO& source, const std::set<int>& sourceColumns,
                                     M_EntityTableDAO& copy, ResultMsg& held) {
    for (const auto& finder : definitionsOn(finders_, source._ID, sourceColumns)) {
        finder->_paraList = rewriteParameterList(finder->_paraList, columns_);
        finder->_sortAttributeList = rewriteSortList(finder->_sortAttributeList, columns_);
        finder->_ID = -1;
        held = copy.addFindByInterfaceDAO(finder.get(), 0);
        if (!held.ok()) {
            return failedStep("ERROR：导入FindBy接口信息失败。tableName = " + copy._name +
                                  " findBy name = " + finder->_name,
                              held);
        }
    }
    for (const auto& deleter : definitionsOn(deleters_, source._ID, sourceColumns)) {
        deleter->_paraList = rewriteParameterList(deleter->_paraList, columns_);
        deleter->_ID = -1;
        held = copy.addDelByInterfaceDAO(deleter.get(), 0);
        if (!held.ok()) {
            return failedStep("ERROR：导入DelBy接口信息失败。tableName = " + copy._name +
                                  " delBy name = " + deleter->_name,
                              held);
        }
    }
    return ResultMsg();
}

ResultMsg ModelCopy::rewriteColumnReferences(ResultMsg& held) {
    for (auto& [id, column] : copiedColumns_) {
        if (column->_fkTableID <= 0) continue;
        column->_fkTableID = mapIdentifier(tables_, column->_fkTableID, Unmapped::Keep);
        held = column->save(0);
        if (!held.ok()) {
            return failedStep("ERROR：列的关联信息ID更新失败。列newID = " +
                                  StringHelper::int2String(column->_ID) +
                                  " 列名称 = " + column->_name,
                              held);
        }
    }
    return held;
}

ResultMsg ModelCopy::copySceneRecords(ResultMsg& held) {
    std::list<M_SceneInfoDAO*> scenes;
    PtrListGuard<M_SceneInfoDAO> ownScenes(scenes);
    if (!reads_.read("M_SceneInfoDAO", M_SceneInfoDAO::FindByEntityModelID(source_._ID, scenes)))
        return reads_.result();
    for (M_SceneInfoDAO* scene : scenes) {
        rewriteSceneReferences(*scene, &folders_, &tables_, Unmapped::Keep);
        scene->_ID = -1;
        scene->_entityModelID = target_._ID;
        held = scene->save(0);
        if (!held.ok()) {
            return failedStep(
                "ERROR：导入场景信息失败。 场景 ID = " + StringHelper::int2String(scene->_ID),
                held);
        }
    }
    return held;
}

}  // namespace

ResultMsg M_EntityModelDAO::copyTo(M_EntityModelDAO*& target) {
    if (target == nullptr)
        return ResultMsg(RUN_FAIL, "目标数据模型指针不能为NULL，并需要将基础信息赋值.");
    if (target->_ID > 0) return ResultMsg(RUN_FAIL, "目标数据模型不能是保存过的，ID应小于等于0.");
    if (target == this) return ResultMsg(RUN_FAIL, "目标数据模型不能是源数据模型本身.");
    // A read that fails ends the copy with its failure; inside the
    // transaction nothing of the copy stays.
    FirstFailure reads("M_EntityModelDAO::copyTo() ");
    {
        M_EntityModelDAO* found = nullptr;
        if (_ID > 0 && !reads.read("M_EntityModelDAO", FindByID(_ID, found))) return reads.result();
        std::unique_ptr<M_EntityModelDAO> stored(found);
        if (!stored) return ResultMsg(RUN_FAIL, "ERROR：复制源数据模型，在数据库中不存在！");
    }
    {
        M_ProjectDAO* found = nullptr;
        if (!reads.read("M_ProjectDAO", M_ProjectDAO::FindByID(_rProjectID, found)))
            return reads.result();
        std::unique_ptr<M_ProjectDAO> project(found);
        if (!project) return ResultMsg(RUN_FAIL, "所属项目未找到.");
    }
    {
        std::list<M_EntityModelDAO*> models;
        PtrListGuard<M_EntityModelDAO> ownModels(models);
        if (!reads.read("M_EntityModelDAO", FindByRProjectID(_rProjectID, models)))
            return reads.result();
        for (const M_EntityModelDAO* model : models) {
            if (model->_name == target->_name)
                return ResultMsg(RUN_FAIL, "新数据模型不能与已有数据模型重名！");
        }
    }

    ConfigTransaction transaction;
    if (!transaction.begun().ok()) return failedStep("添加数据模型记录失败！", transaction.begun());
    // What the target held before, for a commit that fails.
    const M_EntityModelDAO targetBefore(*target);
    target->_type = _type;
    target->_createTime = StringHelper::currTimeStr(0);
    target->_updateTime = _createTime;
    target->_rProjectID = _rProjectID;
    target->_version = 0;
    target->_description = _description;
    ResultMsg held = target->save(0);
    if (!held.ok()) {
        held = failedStep("添加数据模型记录失败！", held);
    } else {
        held = ResultMsg(RUN_SUCCESS, "添加数据模型记录成功！");
        {
            std::list<M_FolderDAO*> roots;
            PtrListGuard<M_FolderDAO> ownRoots(roots);
            reads.read("M_FolderDAO",
                       M_FolderDAO::FindRootFolderByEntityModelID(target->_ID, roots));
            for (M_FolderDAO* root : roots)
                held = root->delself(0);
        }
        // A failed write returns at once and keeps what was copied so far.
        ModelCopy copy(*this, *target, reads);
        ResultMsg rm = reads.result();
        if (rm.ok()) rm = copy.readSource();
        if (rm.ok()) rm = copy.copyRootFolders(held);
        if (rm.ok()) rm = copy.rewriteColumnReferences(held);
        if (rm.ok()) rm = copy.copySceneRecords(held);
        held = rm.ok() ? held : rm;
    }
    // A failed read keeps nothing: the transaction rolls back.
    ResultMsg finished = reads.ok() ? transaction.finish(held) : reads.result();
    if (!transaction.committed()) *target = targetBefore;
    return finished;
}

}  // namespace MeridianSpace
