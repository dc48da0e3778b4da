#include "ExportFileCheck.h"

#include <algorithm>
#include <limits>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "InstanceDataManager.h"
#include "MNormalColumn.h"
#include "M_EntityModelDAO.h"
#include "M_NormalColumnDAO.h"
#include "M_SceneInfoDAO.h"
#include "Mapper.h"
#include "MeridianNew.h"
#include "QmsRecordClasses.h"
#include "QmsSelfDescription.h"
#include "RecordColumnOf.h"
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

// The table and columns of a record class, as its own mapper writes them;
// `text` is a further column the check reads (empty: none).
FileTable layoutOf(const RecordClass& record, const std::string& text) {
    const std::unique_ptr<DAO> sample(record.factory());
    const std::unique_ptr<Mapper> mapper(sample ? sample->createMapper() : nullptr);
    ITableData row;
    if (mapper) (void)mapper->doSave(row, sample.get());
    FileTable table;
    table.name = record.table;
    table.present.push_back("id");
    table.columns.push_back("id");
    table.types.push_back(COL_TYPE_INT);
    for (int i = 0; i < std::min(row._colNum, ITABLEDATA_MAX_COLUMNS); ++i) {
        table.present.push_back(row._cloInnerName[i]);
        if (row._colType[i] != COL_TYPE_INT && row._cloInnerName[i] != text) continue;
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

// The first row of `table` whose `reference` points at no row of its target
// (tables by class from `tableOf`), as a problem text; empty when none.
template <class TableOf>
std::string firstDanglingReference(const FileTable& table, const RecordReference& reference,
                                   const TableOf& tableOf) {
    const std::size_t column = table.at(reference.column);
    const std::size_t kind = table.at(reference.kindColumn);
    for (const auto& row : table.rows) {
        const int id = StringHelper::string2int(row[column]);
        std::string target = reference.target;
        if (!reference.kindColumn.empty()) {
            const int k = StringHelper::string2int(row[kind]);
            target = k == SCENE_KIND_FOLDER  ? "M_FolderDAO"
                     : k == SCENE_KIND_TABLE ? "M_EntityTableDAO"
                                             : "";
        }
        const FileTable* targets = target.empty() ? nullptr : tableOf(target);
        if (targets == nullptr || (reference.optional && id <= 0) || targets->ids.count(id) != 0)
            continue;
        return where(table, row, reference.column) + "指向" + targets->name + "中不存在的记录：" +
               row[column];
    }
    return std::string();
}

}  // namespace

std::string firstExportFileProblem() {
    InstanceDataManager* file = MeridianNew::getCurrMRDConfigIDM();
    if (file == nullptr) return MeridianNew::noCurrentDatabase().rMsg;
    const std::string modelNameColumn = columnOf<M_EntityModelDAO>(&M_EntityModelDAO::_name);
    // The tables that export writes, by record class.
    std::vector<FileTable> tables;
    std::vector<std::string> classes;
    for (const RecordClass& record : QmsRecordClasses::all()) {
        if (!record.has(RECORD_TRANSFERRED)) continue;
        const bool model = record.name == "M_EntityModelDAO";
        tables.push_back(layoutOf(record, model ? modelNameColumn : std::string()));
        classes.push_back(record.name);
    }
    std::string problem = readTables(*file, tables);
    if (!problem.empty()) return problem;
    std::map<std::string, const FileTable*> named;
    for (std::size_t i = 0; i < tables.size(); ++i)
        named[classes[i]] = &tables[i];
    const auto tableOf = [&](const std::string& record) -> const FileTable* {
        const auto found = named.find(record);
        return found != named.end() ? found->second : nullptr;
    };

    // The export writes the platform's model first: without it the file
    // is what an unfinished export left.
    const FileTable* models = tableOf("M_EntityModelDAO");
    if (models == nullptr) return "没有数据模型表，导出没有完成";
    const std::size_t modelName = models->at(modelNameColumn);
    if (std::none_of(models->rows.begin(), models->rows.end(), [&](const auto& row) {
            return row[modelName] == QmsSelfDescription::metaDataModelName();
        }))
        return std::string("没有数据模型") + QmsSelfDescription::metaDataModelName() +
               "，导出没有完成";

    for (const RecordClass& record : QmsRecordClasses::all()) {
        const FileTable* table = tableOf(record.name.c_str());
        if (table == nullptr) continue;  // a class export does not transfer
        for (const RecordReference& reference : record.references) {
            problem = firstDanglingReference(*table, reference, tableOf);
            if (!problem.empty()) return problem;
        }
    }

    const FileTable* columns = tableOf("M_NormalColumnDAO");
    if (columns == nullptr) return std::string();
    const std::string dataTypeColumn = columnOf<M_NormalColumnDAO>(&M_NormalColumnDAO::_dataType);
    const std::size_t dataType = columns->at(dataTypeColumn);
    for (const auto& row : columns->rows) {
        const int type = StringHelper::string2int(row[dataType]);
        if (type < COL_TYPE_INT || type > COL_TYPE_BLOB)
            return where(*columns, row, dataTypeColumn) + "不是已知的数据类型：" + row[dataType];
    }
    return std::string();
}

}  // namespace MeridianSpace
