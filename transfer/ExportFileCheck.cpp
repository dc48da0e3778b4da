#include "ExportFileCheck.h"

#include <algorithm>
#include <limits>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "InstanceDataManager.h"
#include "MNormalColumn.h"
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
#include "Mapper.h"
#include "MeridianNew.h"
#include "QmsSelfDescription.h"
#include "StringHelper.h"

namespace MeridianSpace {

namespace {

// One table of the file as the import reads it: "id" and the columns that
// its record's mapper reads (`present`: each must exist), and of them those
// the check looks at (its integers and the model's name), with their types
// and their rows as text.
struct FileTable {
    std::string name;
    std::vector<std::string> present;
    std::vector<std::string> columns;
    std::vector<int> types;
    std::vector<std::vector<std::string>> rows;
    std::set<int> ids;

    std::size_t at(const std::string& column) const {
        return static_cast<std::size_t>(std::find(columns.begin(), columns.end(), column) -
                                        columns.begin());
    }
};

// The table and columns of a record kind, as its own mapper writes them.
template <class Record>
FileTable layoutOf() {
    Record sample;
    const std::unique_ptr<Mapper> mapper(sample.createMapper());
    ITableData row;
    if (mapper) (void)mapper->doSave(row, &sample);
    FileTable table;
    table.name = row._tableInnerName;
    table.present.push_back("id");
    table.columns.push_back("id");
    table.types.push_back(COL_TYPE_INT);
    for (int i = 0; i < std::min(row._colNum, ITABLEDATA_MAX_COLUMNS); ++i) {
        table.present.push_back(row._cloInnerName[i]);
        const bool modelName =
            table.name == "T_M_EntityModel" && row._cloInnerName[i] == std::string("Name");
        if (row._colType[i] != COL_TYPE_INT && !modelName) continue;
        table.columns.push_back(row._cloInnerName[i]);
        table.types.push_back(row._colType[i]);
    }
    return table;
}

// An integer column's text as the records write it, within 32 bits.
bool isInteger(const std::string& text) {
    long long value = 0;
    return StringHelper::parseCanonicalInteger(text, value) &&
           value >= std::numeric_limits<int>::min() && value <= std::numeric_limits<int>::max();
}

bool containsIgnoringCase(const std::vector<std::string>& names, const std::string& name) {
    return std::any_of(names.begin(), names.end(), [&](const std::string& other) {
        return StringHelper::equalsIgnoreCase(other, name);
    });
}

// A reference from `column` of `table` to the identifiers of `target`;
// `optional` when 0 or below means none. With `kindColumn` the target
// follows the kind: 1 a folder, 2 a table, any other kind nothing.
struct Reference {
    const char* table;
    const char* column;
    const char* target;
    bool optional;
    const char* kindColumn;
};

const Reference kReferences[] = {
    {"T_M_EntityModel", "RProjectID", "T_M_Project", true, nullptr},
    {"T_M_Folder", "T_M_EntityModelID", "T_M_EntityModel", false, nullptr},
    {"T_M_Folder", "T_M_FolderID", "T_M_Folder", true, nullptr},
    {"T_M_R_ModelTable", "T_M_EntityModelID", "T_M_EntityModel", false, nullptr},
    {"T_M_R_ModelTable", "T_M_EntityTableID", "T_M_EntityTable", false, nullptr},
    {"T_M_R_FolderTable", "T_M_FolderID", "T_M_Folder", false, nullptr},
    {"T_M_R_FolderTable", "T_M_EntityTableID", "T_M_EntityTable", false, nullptr},
    {"T_M_NormalColumn", "T_M_EntityTableID", "T_M_EntityTable", false, nullptr},
    {"T_M_NormalColumn", "FkTableID", "T_M_EntityTable", true, nullptr},
    {"T_M_FindByInterface_2", "Mt_M_EntityTableID_2", "T_M_EntityTable", false, nullptr},
    {"T_M_DelByInterface_2", "Mt_M_EntityTableID_2", "T_M_EntityTable", false, nullptr},
    {"T_M_SceneInfo_2", "MEntityModelID_2", "T_M_EntityModel", false, nullptr},
    {"T_M_SceneInfo_2", "MDataObjectId_2", nullptr, true, "MSceneType_2"},
    {"T_M_SceneInfo_2", "MParentID_2", nullptr, true, "MParentType_2"},
    {"T_M_DictData_2", "MRDictItemID_2", "T_M_DictItem_2", false, nullptr},
};

// "表T中id为N的记录的C": where a problem is.
std::string where(const FileTable& table, const std::vector<std::string>& row,
                  const std::string& column) {
    return "表" + table.name + "中id为" + row[0] + "的记录的" + column;
}

// The shape of every table and the text of every integer.
std::string readTables(InstanceDataManager& file, std::vector<FileTable>& tables) {
    std::vector<std::string> names;
    ResultMsg rm = file.getTableNames(names);
    if (!rm.ok()) return rm.rMsg;
    for (FileTable& table : tables) {
        if (!containsIgnoringCase(names, table.name)) return "缺少表" + table.name;
        std::vector<std::string> present;
        rm = file.getTableColumnNames(table.name, present);
        if (!rm.ok()) return rm.rMsg;
        std::string missing;
        for (const std::string& column : table.present) {
            if (!containsIgnoringCase(present, column))
                missing += (missing.empty() ? "" : ", ") + column;
        }
        if (!missing.empty()) return "表" + table.name + "缺少列" + missing;
        std::vector<MNormalColumn> asked(table.columns.size());
        for (std::size_t i = 0; i < table.columns.size(); ++i) {
            asked[i]._name = asked[i]._innerName = table.columns[i];
            asked[i]._dataType = table.types[i];
        }
        // The row holds the values in the order asked for.
        const std::size_t count = table.columns.size();
        rm = file.forEachITableData(table.name, asked, {}, nullptr, [&](ITableData& row) {
            table.rows.emplace_back(row._colValue, row._colValue + count);
            return true;
        });
        if (!rm.ok()) return rm.rMsg;
    }
    for (FileTable& table : tables) {
        for (const auto& row : table.rows) {
            for (std::size_t i = 0; i < row.size(); ++i) {
                if (table.types[i] != COL_TYPE_INT || isInteger(row[i])) continue;
                return where(table, row, table.columns[i]) + "不是整数：" + row[i];
            }
            table.ids.insert(StringHelper::string2int(row[0]));
        }
    }
    return std::string();
}

}  // namespace

std::string firstExportFileProblem() {
    InstanceDataManager* file = MeridianNew::getCurrMRDConfigIDM();
    if (file == nullptr) return MeridianNew::noCurrentDatabase().rMsg;
    std::vector<FileTable> tables = {
        layoutOf<M_ProjectDAO>(),        layoutOf<M_EntityModelDAO>(),
        layoutOf<M_FolderDAO>(),         layoutOf<M_EntityTableDAO>(),
        layoutOf<M_R_ModelTableDAO>(),   layoutOf<M_R_FolderTableDAO>(),
        layoutOf<M_NormalColumnDAO>(),   layoutOf<M_FindByInterfaceDAO>(),
        layoutOf<M_DelByInterfaceDAO>(), layoutOf<M_SceneInfoDAO>(),
        layoutOf<M_DictItemDAO>(),       layoutOf<M_DictDataDAO>()};
    std::string problem = readTables(*file, tables);
    if (!problem.empty()) return problem;
    std::map<std::string, const FileTable*> named;
    for (const FileTable& table : tables)
        named[table.name] = &table;

    // The export writes the platform's model first: without it the file
    // is what an unfinished export left.
    const FileTable& models = *named["T_M_EntityModel"];
    const std::size_t modelName = models.at("Name");
    if (std::none_of(models.rows.begin(), models.rows.end(), [&](const auto& row) {
            return row[modelName] == QmsSelfDescription::metaDataModelName();
        }))
        return std::string("没有数据模型") + QmsSelfDescription::metaDataModelName() +
               "，导出没有完成";

    for (const Reference& reference : kReferences) {
        const FileTable& table = *named[reference.table];
        const std::size_t column = table.at(reference.column);
        const std::size_t kind = reference.kindColumn ? table.at(reference.kindColumn) : 0;
        for (const auto& row : table.rows) {
            const int id = StringHelper::string2int(row[column]);
            const char* target = reference.target;
            if (reference.kindColumn != nullptr) {
                const int k = StringHelper::string2int(row[kind]);
                target = k == SCENE_KIND_FOLDER  ? "T_M_Folder"
                         : k == SCENE_KIND_TABLE ? "T_M_EntityTable"
                                                 : nullptr;
            }
            if (target == nullptr || (reference.optional && id <= 0) ||
                named[target]->ids.count(id) != 0)
                continue;
            return where(table, row, reference.column) + "指向" + target + "中不存在的记录：" +
                   row[column];
        }
    }

    const FileTable& columns = *named["T_M_NormalColumn"];
    const std::size_t dataType = columns.at("DataType");
    for (const auto& row : columns.rows) {
        const int type = StringHelper::string2int(row[dataType]);
        if (type < COL_TYPE_INT || type > COL_TYPE_BLOB)
            return where(columns, row, "DataType") + "不是已知的数据类型：" + row[dataType];
    }
    return std::string();
}

}  // namespace MeridianSpace
