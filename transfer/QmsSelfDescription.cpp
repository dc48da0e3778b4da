#include "QmsSelfDescription.h"

#include <memory>
#include <string>
#include <vector>

#include "ConfigTransaction.h"
#include "DAO.h"
#include "ITableData.h"
#include "InstanceDataManager.h"
#include "M_DictDataDAO.h"
#include "M_DictItemDAO.h"
#include "M_EntityModelDAO.h"
#include "M_EntityTableDAO.h"
#include "M_FolderDAO.h"
#include "M_NormalColumnDAO.h"
#include "M_ProjectDAO.h"
#include "Mapper.h"
#include "MeridianNew.h"
#include "PtrListHelper.h"
#include "QmsRecordClasses.h"
#include "StringHelper.h"

namespace MeridianSpace {

namespace {

const char* const kPlatformProject = "ARX_QMS";
const char* const kMetaDataModel = "M_QMS";
const char* const kProjectManageModel = "M_ProjectManage";
// Type codes of the platform's own project and models (dictionaries 1, 2).
constexpr int kPlatformProjectType = 1;
constexpr int kOrdinaryModelType = 1;

struct DictionaryEntry {
    int code;
    const char* internalName;
    const char* showName;
};

struct Dictionary {
    int id;
    const char* innerName;
    const char* dictName;
    std::vector<DictionaryEntry> entries;
};

const std::vector<Dictionary>& dictionaries() {
    static const std::vector<Dictionary> all = {
        {DICT_ID_PROJECT_TYPES,
         "ProjectType",
         "项目类型",
         {{1, "Platform", "平台项目"}, {2, "Application", "应用项目"}}},
        {DICT_ID_MODEL_TYPES,
         "EntityModelType",
         "数据模型类型",
         {{1, "Ordinary", "普通数据模型"},
          {ENTITY_MODEL_TYPE_DICTIONARY, "Dictionary", "数据字典模型"}}},
    };
    return all;
}

// One metadata table as its record's mapper writes it.
struct RecordTable {
    std::string table;
    std::vector<std::pair<std::string, int>> columns;  // physical name, data type
};

using Factory = DAOFactory;

// The tables that "M_ProjectManage" shares with "M_QMS".
bool isProjectManageTable(const std::string& table) {
    for (const RecordClass& record : QmsRecordClasses::all()) {
        if (record.table == table) return record.has(RECORD_PROJECT_MANAGED);
    }
    return false;
}

ResultMsg describeRecord(Factory factory, RecordTable& out) {
    std::unique_ptr<DAO> object(factory());
    std::unique_ptr<Mapper> mapper(object ? object->createMapper() : nullptr);
    ITableData row;
    if (!mapper || mapper->doSave(row, object.get()) != RUN_SUCCESS) {
        return ResultMsg(RUN_FAIL, "ERROR：无法读取记录类的表结构。");
    }
    out.table = row._tableInnerName.empty() ? mapper->_entityInnerName : row._tableInnerName;
    for (int i = 0; i < row._colNum && i < ITABLEDATA_MAX_COLUMNS; ++i)
        out.columns.emplace_back(row._cloInnerName[i], row._colType[i]);
    return ResultMsg();
}

// Writes a row with a fixed identifier: dictionaries 1 and 2 are known by it.
ResultMsg insertWithID(DAO& object, int id) {
    InstanceDataManager* idm = object.getIDM();
    if (idm == nullptr) return MeridianNew::noCurrentDatabase();
    std::unique_ptr<Mapper> mapper(object.createMapper());
    ITableData row;
    if (!mapper || mapper->doSave(row, &object) != RUN_SUCCESS ||
        row._colNum >= ITABLEDATA_MAX_COLUMNS)
        return ResultMsg(RUN_FAIL, "ERROR：无法映射字典记录。");
    if (row._tableInnerName.empty()) row._tableInnerName = mapper->_entityInnerName;
    row._cloInnerName[row._colNum] = "id";
    row._colType[row._colNum] = COL_TYPE_INT;
    row._colValue[row._colNum] = StringHelper::int2String(id);
    ++row._colNum;
    ResultMsg rm = idm->addITableData(row, 0);
    if (rm.ok()) object._ID = id;
    return rm;
}

ResultMsg ensureDictionaries() {
    for (const Dictionary& wanted : dictionaries()) {
        M_DictItemDAO* found = nullptr;
        ResultMsg rm = M_DictItemDAO::FindByID(wanted.id, found);
        std::unique_ptr<M_DictItemDAO> dictionary(found);
        if (!rm.ok()) return rm;
        if (!dictionary) {
            dictionary = std::make_unique<M_DictItemDAO>();
            dictionary->_innerName = wanted.innerName;
            dictionary->_dictName = wanted.dictName;
            rm = insertWithID(*dictionary, wanted.id);
            if (!rm.ok()) return ResultMsg(rm.rCode, "ERROR：建立数据字典失败。" + rm.rMsg);
        }
        for (const DictionaryEntry& entry : wanted.entries) {
            std::list<M_DictDataDAO*> same;
            PtrListGuard<M_DictDataDAO> ownSame(same);
            rm = M_DictDataDAO::FindByRDictItemID(wanted.id, same);
            if (!rm.ok()) return rm;
            bool present = false;
            for (const M_DictDataDAO* data : same)
                present = present || data->_code == entry.code;
            if (present) continue;
            M_DictDataDAO data;
            data._code = entry.code;
            data._internalName = entry.internalName;
            data._showName = entry.showName;
            rm = dictionary->addDictData(&data, 0);
            if (!rm.ok()) return ResultMsg(rm.rCode, "ERROR：建立数据字典项失败。" + rm.rMsg);
        }
    }
    return ResultMsg();
}

ResultMsg ensureProject(M_ProjectDAO& project) {
    std::list<M_ProjectDAO*> named;
    PtrListGuard<M_ProjectDAO> ownNamed(named);
    const ResultMsg read = M_ProjectDAO::FindByName(kPlatformProject, named);
    if (!read.ok()) return read;
    for (M_ProjectDAO* candidate : named) {
        if (candidate->_name == kPlatformProject) {
            project = *candidate;
            return ResultMsg();
        }
    }
    project._name = kPlatformProject;
    project._type = kPlatformProjectType;
    project._createTime = StringHelper::currTimeStr(0);
    return project.save(0);
}

// The highest version of the project's model of that name, stored when missing.
ResultMsg ensureModel(M_ProjectDAO& project, const char* name, M_EntityModelDAO& model) {
    std::list<M_EntityModelDAO*> versions;
    PtrListGuard<M_EntityModelDAO> ownVersions(versions);
    const ResultMsg read = M_EntityModelDAO::FindByRProjectIDAndName(project._ID, name, versions);
    if (!read.ok()) return read;
    for (const M_EntityModelDAO* version : versions) {
        if (version->_version > model._version) model = *version;
    }
    if (model._ID > 0) return ResultMsg();
    model._name = name;
    model._displayName = name;
    model._type = kOrdinaryModelType;
    model._createTime = StringHelper::currTimeStr(0);
    return project.addEntityModel(&model, 0);
}

// The model's folder of that name, stored when missing.
ResultMsg ensureFolder(M_EntityModelDAO& model, const char* name, M_FolderDAO& folder) {
    std::list<M_FolderDAO*> roots;
    PtrListGuard<M_FolderDAO> ownRoots(roots);
    const ResultMsg read = model.getRootM_FolderDAOList(roots);
    if (!read.ok()) return read;
    for (M_FolderDAO* root : roots) {
        if (root->_name == name) {
            folder = *root;
            return ResultMsg();
        }
    }
    folder._name = name;
    folder._displayName = name;
    return model.addM_FolderDAO(&folder, 0);
}

// Stores a table or column a second time with the physical name as its
// inner name (its first save made a versioned one).
template <class Record>
ResultMsg keepPhysicalName(Record& record, const std::string& physical) {
    if (record._innerName == physical) return ResultMsg();
    record._innerName = physical;
    return record.save(0);
}

// The model's table of that name with every column, stored where missing.
ResultMsg ensureTable(M_EntityModelDAO& model, M_FolderDAO& folder,
                      std::list<M_EntityTableDAO*>& known, const RecordTable& wanted) {
    M_EntityTableDAO* table = nullptr;
    for (M_EntityTableDAO* candidate : known) {
        if (candidate->_name == wanted.table) table = candidate;
    }
    ResultMsg rm;
    if (table == nullptr) {
        known.push_back(new M_EntityTableDAO());
        table = known.back();
        table->_name = wanted.table;
        table->_displayName = wanted.table;
        rm = folder.addM_EntityTableDAO(table);
        if (rm.ok()) rm = keepPhysicalName(*table, wanted.table);
        if (!rm.ok())
            return ResultMsg(rm.rCode, "ERROR：建立元数据表失败：" + wanted.table + rm.rMsg);
    }
    std::list<M_NormalColumnDAO*> columns;
    PtrListGuard<M_NormalColumnDAO> ownColumns(columns);
    rm = table->getNormalColumnDAOList(&model, columns);
    if (!rm.ok()) return rm;
    for (const auto& [name, dataType] : wanted.columns) {
        bool present = false;
        for (const M_NormalColumnDAO* column : columns)
            present = present || column->_name == name;
        if (present) continue;
        M_NormalColumnDAO column;
        column._name = name;
        column._displayName = name;
        column._dataType = dataType;
        rm = table->addNormalColumnDAO(&model, &column, 0);
        if (rm.ok()) rm = keepPhysicalName(column, name);
        if (!rm.ok()) {
            return ResultMsg(rm.rCode,
                             "ERROR：建立元数据列失败：" + wanted.table + "." + name + rm.rMsg);
        }
    }
    return ResultMsg();
}

ResultMsg ensureModels() {
    M_ProjectDAO project;
    ResultMsg rm = ensureProject(project);
    if (!rm.ok()) return ResultMsg(rm.rCode, "ERROR：建立平台项目失败。" + rm.rMsg);

    M_EntityModelDAO metaData;
    rm = ensureModel(project, kMetaDataModel, metaData);
    M_FolderDAO metaFolder;
    if (rm.ok()) rm = ensureFolder(metaData, "MetaData", metaFolder);
    if (!rm.ok()) return ResultMsg(rm.rCode, "ERROR：建立M_QMS模型失败。" + rm.rMsg);

    std::list<M_EntityTableDAO*> tables;
    PtrListGuard<M_EntityTableDAO> ownTables(tables);
    rm = metaData.getEntityTableList(tables);
    if (!rm.ok()) return rm;
    // The metadata tables, in the order their records build on each other.
    for (const RecordClass& record : QmsRecordClasses::all()) {
        if (!record.has(RECORD_SELF_DESCRIBED)) continue;
        RecordTable wanted;
        rm = describeRecord(record.factory, wanted);
        if (rm.ok()) rm = ensureTable(metaData, metaFolder, tables, wanted);
        if (!rm.ok()) return rm;
    }

    M_EntityModelDAO projectManage;
    rm = ensureModel(project, kProjectManageModel, projectManage);
    M_FolderDAO manageFolder;
    if (rm.ok()) rm = ensureFolder(projectManage, "ProjectManage", manageFolder);
    if (!rm.ok()) return ResultMsg(rm.rCode, "ERROR：建立M_ProjectManage模型失败。" + rm.rMsg);
    std::list<M_EntityTableDAO*> managed;
    PtrListGuard<M_EntityTableDAO> ownManaged(managed);
    rm = projectManage.getEntityTableList(managed);
    if (!rm.ok()) return rm;
    for (M_EntityTableDAO* table : tables) {
        if (!isProjectManageTable(table->_name)) continue;
        bool present = false;
        for (const M_EntityTableDAO* linked : managed)
            present = present || linked->_ID == table->_ID;
        if (present) continue;
        rm = manageFolder.addM_EntityTableDAO(table);
        if (!rm.ok()) return ResultMsg(rm.rCode, "ERROR：建立M_ProjectManage模型失败。" + rm.rMsg);
    }
    return ResultMsg();
}

}  // namespace

const char* QmsSelfDescription::platformProjectName() {
    return kPlatformProject;
}

const char* QmsSelfDescription::metaDataModelName() {
    return kMetaDataModel;
}

const char* QmsSelfDescription::projectManageModelName() {
    return kProjectManageModel;
}

ResultMsg QmsSelfDescription::ensure() {
    ConfigTransaction transaction;
    if (!transaction.begun().ok()) return transaction.begun();
    // The platform's records stamp no user project.
    const int currentProject = M_ProjectDAO::getCurrProjectID();
    M_ProjectDAO::setCurrProjectID(-1);
    ResultMsg rm = ensureDictionaries();
    if (rm.ok()) rm = ensureModels();
    M_ProjectDAO::setCurrProjectID(currentProject);
    if (!rm.ok()) return rm;  // the transaction rolls everything back
    return transaction.finish(ResultMsg(RUN_SUCCESS, "平台元数据描述已就绪。"));
}

}  // namespace MeridianSpace
