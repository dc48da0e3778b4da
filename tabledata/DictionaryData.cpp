// Rows of a dictionary model's table, kept in the configuration database,
// exported and imported as text (no identifier column), and copied as
// values by a project transfer.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "DictionaryRows.h"
#include "InstanceDataManager.h"
#include "MNormalColumn.h"
#include "MRDSession.h"
#include "MTable.h"
#include "M_EntityModelDAO.h"
#include "M_EntityTableDAO.h"
#include "M_NormalColumnDAO.h"
#include "MeridianNew.h"
#include "PtrListHelper.h"
#include "RowInserter.h"
#include "RowLines.h"
#include "StringHelper.h"

namespace MeridianSpace {

namespace {

// The columns of `table` in its highest-version owner (`model`, null when
// it has none: then no column).
ResultMsg ownerColumns(M_EntityTableDAO& table, std::unique_ptr<M_EntityModelDAO>& model,
                       std::list<M_NormalColumnDAO*>& columns) {
    M_EntityModelDAO* owner = nullptr;
    ResultMsg rm = table.getMaxVersionEntityModelOwner(owner);
    model.reset(owner);
    if (rm.ok() && model) rm = table.getNormalColumnDAOList(model.get(), columns);
    return rm;
}

// What an export reads the rows of `table` by: its owner's columns and
// their descriptions. With no description the answer is the export's.
ResultMsg exportColumns(M_EntityTableDAO& table, std::list<M_NormalColumnDAO*>& tableColumns,
                        std::vector<MNormalColumn>& descriptions) {
    std::unique_ptr<M_EntityModelDAO> model;
    ResultMsg rm = ownerColumns(table, model, tableColumns);
    if (!rm.ok()) return rm;
    if (!model) return ResultMsg(RUN_FAIL, "找不到最高版本的所属数据模型。");
    if (tableColumns.empty()) {
        return ResultMsg(RUN_SUCCESS, "该数据类没有属性，不需要继续导出数据。");
    }
    if (MeridianNew::getCurrMRDConfigIDM() == nullptr) return MeridianNew::noCurrentDatabase();
    for (const M_NormalColumnDAO* column : tableColumns) {
        descriptions.push_back(
            rowtext::describe(column->_name, column->_innerName, column->_dataType));
    }
    return rm;
}

// An import of rows into `table`: `check` (when there are rows) before the
// table is touched, then the table is rebuilt from its owner's columns and
// `write` fills it.
ResultMsg importRows(M_EntityTableDAO& table, bool anyRow, const std::function<ResultMsg()>& check,
                     const std::function<ResultMsg(InstanceDataManager&)>& write) {
    LogManager* log = MeridianNew::LOGGER();
    const std::string operation = "::M_EntityTableDAO::importData()";
    log->appendMsg("RUN:" + table._displayName + operation);
    if (table._belongToDictionaryModel != 1) {
        return ResultMsg(RUN_FAIL, "所属数据模型，不是数据字典类型，不允许导入数据操作。");
    }
    InstanceDataManager* manager = MeridianNew::getCurrMRDConfigIDM();
    // The rows are checked, and the columns read, before the table is
    // dropped: a refused call or a failed read leaves the table and its rows
    // as they were. Without rows the column list is not used: the call
    // empties the table.
    ResultMsg rm;
    if (anyRow) rm = check();
    if (rm.ok() && manager == nullptr) rm = MeridianNew::noCurrentDatabase();
    std::unique_ptr<M_EntityModelDAO> model;
    std::list<M_NormalColumnDAO*> tableColumns;
    PtrListGuard<M_NormalColumnDAO> tableColumnsGuard(tableColumns);
    if (rm.ok()) rm = ownerColumns(table, model, tableColumns);
    if (!rm.ok()) {
        log->appendError(table._innerName + "M_EntityTableDAO::importData()", rm.rMsg);
        log->appendMsg("RUN_END:" + table._displayName + operation);
        return rm;
    }

    // A table that was not there is as good as dropped; the rebuild below
    // answers for the table.
    (void)manager->delTableInstance(table._innerName);
    if (tableColumns.empty()) {
        return ResultMsg(RUN_SUCCESS, "该数据类没有属性，不需要继续导入数据。");
    }

    MTable physical;
    physical._name = table._name;
    physical._innerName = table._innerName;
    std::list<MNormalColumn> descriptions;
    for (const M_NormalColumnDAO* column : tableColumns)
        descriptions.push_back(rowtext::describe(*column));
    // The rows are written even when the rebuild failed (each then fails
    // on its own); with no row to fail, the rebuild's failure is the answer.
    const ResultMsg rebuilt = manager->addMTableInstance(physical, descriptions);
    rm = write(*manager);
    if (rm.ok() && !rebuilt.ok()) rm = rebuilt;
    if (!rm.ok()) log->appendError(table._innerName + "M_EntityTableDAO::importData()", rm.rMsg);
    log->appendMsg("RUN_END:" + table._displayName + operation);
    return rm;
}

bool isNumberType(int dataType) {
    return dataType == COL_TYPE_INT || dataType == COL_TYPE_DOUBLE;
}

// Whether a row's text goes into a column of `dataType` as it is (a text
// bound as text, an empty one too): not a number's, nor a blob's.
bool isPlainText(int dataType) {
    return !isNumberType(dataType) && dataType != COL_TYPE_BLOB_CHAR &&
           dataType != COL_TYPE_BLOB_DOUBLE && dataType != COL_TYPE_BLOB;
}

// The text a row's line carries for the value.
const std::string& lineText(const DictionaryRows::Value& value, std::string& scratch) {
    switch (value.kind) {
        case DictionaryRows::Value::Kind::Integer:
            scratch = std::to_string(value.integer);
            return scratch;
        case DictionaryRows::Value::Kind::Real:
            scratch = StringHelper::doubleTostring(value.real);
            return scratch;
        default:
            return value.text;
    }
}

// check() of the rows' lines, on the values: an integer of an integer
// column and a text of any column but a number's need no text made.
ResultMsg checkRows(const DictionaryRows& rows) {
    ResultMsg rm = rowtext::checkColumns(rows.columns, rowtext::FirstValue::Plain);
    if (!rm.ok()) return rm;
    std::vector<const M_NormalColumnDAO*> columns(rows.columns.begin(), rows.columns.end());
    std::string scratch;
    std::size_t i = 0, at = 0;  // the value's place, and its column's
    for (const DictionaryRows::Value& value : rows.values) {
        const M_NormalColumnDAO& column = *columns[at];
        const std::size_t place = i++;
        if (++at == columns.size()) at = 0;
        if (value.kind == DictionaryRows::Value::Kind::Integer &&
            column._dataType == COL_TYPE_INT &&
            (column.holdsWideIntegers() ||
             (value.integer >= INT32_MIN && value.integer <= INT32_MAX)))
            continue;
        if (value.kind == DictionaryRows::Value::Kind::Text && !isNumberType(column._dataType))
            continue;
        rm = rowtext::checkValue(place / columns.size() + 1, place % columns.size() + 1, column,
                                 lineText(value, scratch));
        if (!rm.ok()) return rm;
    }
    return rm;
}

using ValueAt = std::deque<DictionaryRows::Value>::const_iterator;

// Binds the row whose first value is `first` as row `at` of an insert: an
// integer of an integer column and a text of a text column as they are,
// any other value as its line's text would be (made in `scratch`, which
// must outlive the insert).
void bindRow(RowInserter& inserter, ValueAt first, const std::vector<int>& types, std::size_t at,
             std::vector<std::string>& scratch) {
    const std::size_t width = types.size();
    for (std::size_t i = 0; i < width; ++i, ++first) {
        const DictionaryRows::Value& value = *first;
        const std::size_t slot = at * width + i;
        const int position = static_cast<int>(slot);
        if (value.kind == DictionaryRows::Value::Kind::Integer && types[i] == COL_TYPE_INT) {
            inserter.bindInteger(position, value.integer);
        } else if (value.kind == DictionaryRows::Value::Kind::Text && isPlainText(types[i])) {
            inserter.bindText(position, value.text);
        } else {
            inserter.bindRowText(position, lineText(value, scratch[slot]), types[i]);
        }
    }
}

// writeLines() of the rows' lines, on the values: the rows go in runs of
// several per insert, and a run that fails goes again row by row, so that
// each failed row is counted and named as when written alone (a failed
// insert stores none of its rows).
ResultMsg writeRows(InstanceDataManager& manager, const std::string& table,
                    const DictionaryRows& rows) {
    MRDSession* session = manager.getPSession();
    if (session == nullptr) return MeridianNew::noCurrentDatabase();
    const std::size_t width = rows.columns.size();
    const std::size_t count = width == 0 ? 0 : rows.values.size() / width;
    std::size_t failedLines = 0, firstFailedLine = 0;
    ResultMsg firstFailure;
    if (count > 0) {
        std::vector<std::string> names;
        std::vector<int> types;
        for (const M_NormalColumnDAO* column : rows.columns) {
            names.push_back(column->_innerName);
            types.push_back(column->_dataType);
        }
        RowInserter one;
        const ResultMsg prepared = one.prepare(manager, table, names);
        const std::size_t run =
            std::min(static_cast<std::size_t>(RowInserter::rowsPerInsert(width)), count);
        std::vector<std::string> scratch(width * run);
        const auto writeOne = [&](std::size_t line) {
            ResultMsg rm = prepared;
            if (rm.ok()) {
                const auto first = rows.values.begin() + static_cast<std::ptrdiff_t>(line * width);
                bindRow(one, first, types, 0, scratch);
                int id = 0;
                rm = one.insert(COMMIT_T_DEFERRED, id);
            }
            if (rm.ok() || failedLines++ > 0) return;
            firstFailedLine = line + 1;
            firstFailure = rm;
        };
        std::size_t line = 0;
        RowInserter many;
        if (run > 1 && prepared.ok() &&
            many.prepare(manager, table, names, static_cast<int>(run)).ok()) {
            ValueAt next = rows.values.begin();
            for (; count - line >= run; line += run) {
                for (std::size_t at = 0; at < run; ++at) {
                    bindRow(many, next, types, at, scratch);
                    next += static_cast<std::ptrdiff_t>(width);
                }
                int id = 0;
                if (many.insert(COMMIT_T_DEFERRED, id).ok()) continue;
                for (std::size_t at = 0; at < run; ++at)
                    writeOne(line + at);
            }
        }
        for (; line < count; ++line)
            writeOne(line);
    }
    ResultMsg committed = session->commit();
    if (!committed.ok() || failedLines == 0) return committed;
    return ResultMsg(RUN_FAIL, rowtext::writeFailures(firstFailedLine, firstFailure, failedLines));
}

}  // namespace

DictionaryRows::~DictionaryRows() {
    T_deletePtrList(columns);
}

ResultMsg readDictionaryRows(M_EntityTableDAO& table, DictionaryRows& rows) {
    T_deletePtrList(rows.columns);
    rows.values.clear();
    std::list<M_NormalColumnDAO*> tableColumns;
    PtrListGuard<M_NormalColumnDAO> tableColumnsGuard(tableColumns);
    std::vector<MNormalColumn> descriptions;
    ResultMsg rm = exportColumns(table, tableColumns, descriptions);
    if (!rm.ok() || descriptions.empty()) return rm;
    bool found = false;
    const int count = static_cast<int>(descriptions.size());
    rm = MeridianNew::getCurrMRDConfigIDM()->forEachResultRow(
        table._innerName, descriptions, {}, nullptr, [&](const ResultRow& row) {
            if (!found) {
                found = true;
                for (const MNormalColumn& description : descriptions) {
                    for (const M_NormalColumnDAO* column : tableColumns) {
                        if (column->_innerName != description._innerName) continue;
                        rowtext::appendCopy(rows.columns, *column);
                        break;
                    }
                }
            }
            for (int i = 0; i < count; ++i) {
                DictionaryRows::Value& value = rows.values.emplace_back();
                switch (row.value(i, value.integer, value.real, value.text)) {
                    case ResultRow::Kind::Integer:
                        value.kind = DictionaryRows::Value::Kind::Integer;
                        break;
                    case ResultRow::Kind::Real:
                        value.kind = DictionaryRows::Value::Kind::Real;
                        break;
                    default:
                        value.kind = DictionaryRows::Value::Kind::Text;
                }
            }
            return true;
        });
    if (!found) rm.rMsg = "未查询到数据。";
    return rm;
}

ResultMsg writeDictionaryRows(M_EntityTableDAO& table, const DictionaryRows& rows) {
    return importRows(
        table, !rows.values.empty(), [&] { return checkRows(rows); },
        [&](InstanceDataManager& manager) { return writeRows(manager, table._innerName, rows); });
}

ResultMsg M_EntityTableDAO::exportData(std::list<M_NormalColumnDAO*>& columns,
                                       std::list<std::string>& values) {
    T_deletePtrList(columns);
    std::list<M_NormalColumnDAO*> tableColumns;
    PtrListGuard<M_NormalColumnDAO> tableColumnsGuard(tableColumns);
    std::vector<MNormalColumn> descriptions;
    ResultMsg rm = exportColumns(*this, tableColumns, descriptions);
    if (!rm.ok() || descriptions.empty()) return rm;
    bool found = false;
    rm = rowtext::readLines(*MeridianNew::getCurrMRDConfigIDM(), _innerName, descriptions,
                            tableColumns, columns, values, found);
    if (!found) rm.rMsg = "未查询到数据。";
    return rm;
}

ResultMsg M_EntityTableDAO::importData(std::list<M_NormalColumnDAO*> columns,
                                       std::list<std::string> values) {
    return importRows(
        *this, !values.empty(),
        [&] { return rowtext::check(columns, values, rowtext::FirstValue::Plain); },
        [&](InstanceDataManager& manager) {
            return rowtext::writeLines(manager, _innerName, columns, values,
                                       rowtext::FirstValue::Plain);
        });
}

}  // namespace MeridianSpace
