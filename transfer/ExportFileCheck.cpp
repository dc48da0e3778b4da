#include "ExportFileCheck.h"

#include <algorithm>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "IEntityModel.h"
#include "InstanceDataManager.h"
#include "InstanceDatabase.h"
#include "MNormalColumn.h"
#include "MRDService.h"
#include "M_EntityModelDAO.h"
#include "M_NormalColumnDAO.h"
#include "M_SceneInfoDAO.h"
#include "Mapper.h"
#include "QmsRecordClasses.h"
#include "QmsSelfDescription.h"
#include "RecordColumnOf.h"
#include "StringHelper.h"

namespace MeridianSpace {

namespace {

// One table of the file as the import reads it: "id" and the columns that
// its record's mapper reads (`present`: each must exist), and of them those
// the check looks at (its integers and the model's name), with their types.
// Rows are kept as the integers they hold (row by row, `columns.size()`
// slots each; the text column's slot is 0) and the text column's values.
struct FileTable {
    std::string name;
    std::vector<std::string> present;
    std::vector<std::string> columns;
    std::vector<int> types;
    std::size_t text = std::string::npos;  // the text column's position
    std::vector<int> values;
    std::vector<std::string> texts;
    std::vector<int> ids;  // sorted
    /// The first value of the table that is no integer, as a problem text.
    std::string problem;

    std::size_t at(const std::string& column) const {
        return static_cast<std::size_t>(std::find(columns.begin(), columns.end(), column) -
                                        columns.begin());
    }
    std::size_t rowCount() const { return values.size() / columns.size(); }
    int value(std::size_t row, std::size_t column) const {
        return values[row * columns.size() + column];
    }
    bool holds(int id) const { return std::binary_search(ids.begin(), ids.end(), id); }
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
        if (row._colType[i] != COL_TYPE_INT) table.text = table.columns.size();
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

// "表T中id为N的记录的C": where a problem is. A row's integers stand as the
// text they were read from (a canonical integer's text is its value's).
std::string where(const FileTable& table, const std::string& id, const std::string& column) {
    return "表" + table.name + "中id为" + id + "的记录的" + column;
}

// Reads the rows of `table`: the integers as numbers, any other value of an
// integer column as its text, checked as the records would read it. The
// first value that is no integer ends the read and stands in `problem`.
ResultMsg readRows(InstanceDataManager& file, FileTable& table) {
    std::vector<MNormalColumn> asked(table.columns.size());
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
        asked[i]._name = asked[i]._innerName = table.columns[i];
        asked[i]._dataType = table.types[i];
    }
    const int count = static_cast<int>(table.columns.size());
    std::string text;
    return file.forEachResultRow(table.name, asked, {}, nullptr, [&](const ResultRow& row) {
        for (int i = 0; i < count; ++i) {
            if (table.types[i] != COL_TYPE_INT) {
                row.text(i, text);
                table.texts.push_back(text);
                table.values.push_back(0);
                continue;
            }
            long long number = 0;
            if (row.integer(i, number) && number >= std::numeric_limits<int>::min() &&
                number <= std::numeric_limits<int>::max()) {
                table.values.push_back(static_cast<int>(number));
                continue;
            }
            row.text(i, text);
            if (isInteger(text)) {
                table.values.push_back(StringHelper::string2int(text));
                continue;
            }
            std::string id;
            row.text(0, id);
            table.problem = where(table, id, table.columns[i]) + "不是整数：" + text;
            return false;
        }
        return true;
    });
}

// The shape of every table and its integers.
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
        rm = readRows(file, table);
        if (!rm.ok()) return rm.rMsg;
    }
    for (FileTable& table : tables) {
        if (!table.problem.empty()) return table.problem;
        for (std::size_t row = 0; row < table.rowCount(); ++row)
            table.ids.push_back(table.value(row, 0));
        std::sort(table.ids.begin(), table.ids.end());
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
    const FileTable* fixed = reference.kindColumn.empty() ? tableOf(reference.target) : nullptr;
    const FileTable* folders = reference.kindColumn.empty() ? nullptr : tableOf("M_FolderDAO");
    const FileTable* tables = reference.kindColumn.empty() ? nullptr : tableOf("M_EntityTableDAO");
    for (std::size_t row = 0; row < table.rowCount(); ++row) {
        const int id = table.value(row, column);
        const FileTable* targets = fixed;
        if (!reference.kindColumn.empty()) {
            const int k = table.value(row, kind);
            targets = k == SCENE_KIND_FOLDER ? folders : k == SCENE_KIND_TABLE ? tables : nullptr;
        }
        if (targets == nullptr || (reference.optional && id <= 0) || targets->holds(id)) continue;
        return where(table, std::to_string(table.value(row, 0)), reference.column) + "指向" +
               targets->name + "中不存在的记录：" + std::to_string(id);
    }
    return std::string();
}

// The first problem of the export file that `file` reads, or empty text.
std::string firstExportFileProblem(InstanceDataManager& file) {
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
    std::string problem = readTables(file, tables);
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
    if (std::none_of(models->texts.begin(), models->texts.end(), [](const std::string& name) {
            return name == QmsSelfDescription::metaDataModelName();
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
    for (std::size_t row = 0; row < columns->rowCount(); ++row) {
        const int type = columns->value(row, dataType);
        if (type < COL_TYPE_INT || type > COL_TYPE_BLOB)
            return where(*columns, std::to_string(columns->value(row, 0)), dataTypeColumn) +
                   "不是已知的数据类型：" + std::to_string(type);
    }
    return std::string();
}

}  // namespace

ExportFileVerdict checkExportFile(MRDService& service, const std::string& path) {
    ExportFileVerdict verdict;
    IEntityModel info;
    ResultMsg rm = service.readInstanceFileInfo(path, info);
    if (!rm.ok()) {
        verdict.notExportFile = rm.rMsg;
        return verdict;
    }
    if (info._name != QmsSelfDescription::metaDataModelName()) {
        verdict.notExportFile = "不是导出文件：" + path + "：实例文件的数据模型为" + info._name;
        return verdict;
    }
    InstanceDatabase file;
    rm = file.open(service, path, InstanceDatabase::Access::Read);
    if (!rm.ok()) {
        verdict.problem = rm.rMsg;
        return verdict;
    }
    verdict.problem = firstExportFileProblem(file.manager());
    return verdict;
}

}  // namespace MeridianSpace
