#include "RowLines.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "ITableData.h"
#include "InstanceDataManager.h"
#include "LogManager.h"
#include "MRDSession.h"
#include "M_NormalColumnDAO.h"
#include "MeridianNew.h"
#include "StringHelper.h"
#include "Transaction.h"

namespace MeridianSpace::rowtext {

namespace {

// An identifier text: empty (or the marker), read as 0, or an optional sign
// and decimal digits that fit 32 bits.
bool readID(const std::string& text, long long& id) {
    id = 0;
    if (text.empty() || text == kEmptyMarker) return true;
    std::size_t digits = (text[0] == '-' || text[0] == '+') ? 1 : 0;
    if (digits == text.size()) return false;
    for (std::size_t i = digits; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
    }
    errno = 0;
    id = std::strtoll(text.c_str(), nullptr, 10);
    return errno == 0 && id >= INT32_MIN && id <= INT32_MAX;
}

// Why the line's identifier cannot stand as `first` asks; null when it can.
const char* idFault(const std::string& text, FirstValue first) {
    long long id = 0;
    if (!readID(text, id)) return "的标识不是整数：";
    // -1 is the identifier of a record not stored yet; other negative
    // numbers name no row and would pass silently as new rows.
    if (first == FirstValue::RowID && id < -1) return "的标识不能小于-1（新行的标识为0、-1或空）：";
    if (first == FirstValue::KeptRowID && id <= 0) return "的标识必须大于0：";
    return nullptr;
}

// Why `value` cannot stand in `column`; null when it can. Number columns
// take what the store keeps as a number, every column the empty value.
const char* typeFault(const M_NormalColumnDAO& column, const std::string& value) {
    if (value.empty() || value == kEmptyMarker) return nullptr;
    if (column._dataType == COL_TYPE_INT) {
        const bool wide = column.holdsWideIntegers();
        long long number = 0;
        if (StringHelper::parseCanonicalInteger(value, number) &&
            (wide || (number >= INT32_MIN && number <= INT32_MAX))) {
            return nullptr;
        }
        return wide ? "不是64位整数" : "不是32位整数";
    }
    double real = 0.0;
    if (column._dataType == COL_TYPE_DOUBLE && !StringHelper::parseWholeDouble(value, real)) {
        return "不是有限的实数";
    }
    return nullptr;
}

std::string lineFailure(std::size_t lineNumber, const std::string& what) {
    return "第" + std::to_string(lineNumber) + "行数据" + what;
}

void describeRow(ITableData& row, const std::string& table,
                 const std::list<M_NormalColumnDAO*>& columns, std::size_t skip) {
    row._tableInnerName = table;
    int slot = 0;
    std::size_t index = 0;
    for (const M_NormalColumnDAO* column : columns) {
        if (index++ < skip) continue;
        row._cloInnerName[slot] = column->_innerName;
        row._colType[slot] = column->_dataType;
        ++slot;
    }
    row._colNum = slot;
}

}  // namespace

ResultMsg checkColumns(const std::list<M_NormalColumnDAO*>& columns, FirstValue first) {
    if (columns.empty()) return ResultMsg(RUN_FAIL, "没有给出属性列表。");
    if (columns.size() > static_cast<std::size_t>(ITABLEDATA_MAX_COLUMNS)) {
        return ResultMsg(RUN_FAIL, "属性个数超过80：" + std::to_string(columns.size()));
    }
    for (const M_NormalColumnDAO* column : columns) {
        if (column == nullptr) return ResultMsg(RUN_FAIL, "属性列表中有空的属性对象。");
    }
    if (first != FirstValue::Plain &&
        !StringHelper::equalsIgnoreCase(columns.front()->_innerName, "id")) {
        return ResultMsg(RUN_FAIL,
                         "属性列表的第一项必须是标识列id，实际为：" + columns.front()->_innerName);
    }
    return ResultMsg();
}

ResultMsg checkValue(std::size_t lineNumber, std::size_t index, const M_NormalColumnDAO& column,
                     const std::string& value) {
    const char* fault = typeFault(column, value);
    if (fault == nullptr) return ResultMsg();
    return ResultMsg(RUN_FAIL,
                     lineFailure(lineNumber, "第" + std::to_string(index) + "列（" + column._name +
                                                 "）的值" + fault + "：" + value));
}

ResultMsg check(const std::list<M_NormalColumnDAO*>& columns, const std::list<std::string>& lines,
                FirstValue first) {
    ResultMsg rm = checkColumns(columns, first);
    if (!rm.ok()) return rm;
    std::vector<std::string> values;
    std::size_t lineNumber = 0;
    for (const std::string& line : lines) {
        ++lineNumber;
        const std::size_t count = split(line, values);
        if (count != columns.size()) {
            return ResultMsg(
                RUN_FAIL,
                lineFailure(lineNumber, "有" + std::to_string(count) + "个值，与属性个数" +
                                            std::to_string(columns.size()) + "不符。"));
        }
        const char* fault = first == FirstValue::Plain ? nullptr : idFault(values[0], first);
        if (fault != nullptr)
            return ResultMsg(RUN_FAIL, lineFailure(lineNumber, fault + values[0]));
        std::size_t index = 0;
        for (const M_NormalColumnDAO* column : columns) {
            const std::string& value = values[index++];
            if (index == 1 && first != FirstValue::Plain) continue;
            rm = checkValue(lineNumber, index, *column, value);
            if (!rm.ok()) return rm;
        }
    }
    return ResultMsg();
}

std::string writeFailures(std::size_t firstFailedLine, const ResultMsg& firstFailure,
                          std::size_t failedLines) {
    return lineFailure(firstFailedLine, "写入失败：") + firstFailure.rMsg + "（共" +
           std::to_string(failedLines) + "行写入失败）";
}

LineWriter::LineWriter(InstanceDataManager& manager, const std::string& table,
                       const std::list<M_NormalColumnDAO*>& columns, FirstValue first)
    : manager_(manager),
      first_(first),
      columnCount_(columns.size()),
      row_(std::make_unique<ITableData>()) {
    describeRow(*row_, table, columns, first == FirstValue::RowID ? 1 : 0);
    IQueryCondition byID;
    byID.columnInnerName = "id";
    byID.operation = " = ";
    byID_.push_back(byID);
}

LineWriter::~LineWriter() = default;

ResultMsg LineWriter::write(const std::string& line) {
    const std::size_t count = split(line, values_);
    if (count != columnCount_) {
        return ResultMsg(RUN_FAIL, "数据值个数" + std::to_string(count) + "与属性个数" +
                                       std::to_string(columnCount_) + "不符。");
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (values_[i] == kEmptyMarker) {
            values_[i].clear();
            MeridianNew::LOGGER()->appendMsg("v_value[i]!!!!");
        }
    }
    const std::size_t skip = first_ == FirstValue::RowID ? 1 : 0;
    for (std::size_t i = skip; i < count; ++i)
        row_->_colValue[i - skip] = values_[i];
    if (first_ == FirstValue::Plain) return manager_.addITableData(*row_, COMMIT_T_DEFERRED);
    // The identifier as the store writes numbers ("+7" and "007" are 7).
    const int id = StringHelper::string2int(values_[0]);
    std::string& idText = byID_.front().columValue;
    idText = StringHelper::int2String(id);
    bool exists = false;
    if (first_ == FirstValue::KeptRowID) {
        ResultMsg rm = findRow(exists);
        if (!rm.ok()) return rm;
        if (exists) return ResultMsg(RUN_FAIL, "标识为" + idText + "的行已存在。");
        row_->_colValue[0] = idText;
    } else if (id > 0) {
        // An existing row is updated in place; a new identifier, or none,
        // makes a new row whose identifier the store assigns.
        ResultMsg rm;
        if (row_->_colNum > 0) {
            int changed = 0;
            rm = manager_.updateITableData(*row_, byID_, COMMIT_T_DEFERRED, changed);
            if (!rm.ok() || changed > 0) return rm;
        } else {
            // Nothing to update: the identifier alone is the row.
            rm = findRow(exists);
            if (!rm.ok() || exists) return rm;
        }
    }
    return manager_.addITableData(*row_, COMMIT_T_DEFERRED);
}

ResultMsg LineWriter::findRow(bool& exists) {
    exists = false;
    return manager_.forEachITableData(row_->_tableInnerName, {}, byID_, nullptr,
                                      [&exists](ITableData&) {
                                          exists = true;
                                          return false;
                                      });
}

MNormalColumn describe(const std::string& name, const std::string& innerName, int dataType) {
    MNormalColumn description;
    description._name = name;
    description._innerName = innerName;
    description._dataType = dataType;
    return description;
}

MNormalColumn describe(const M_NormalColumnDAO& column) {
    MNormalColumn d = describe(column._name, column._innerName, column._dataType);
    d._ID = column._ID;
    d._displayName = column._displayName;
    d._defaultValue = column._defaultValue;
    d._isIndex = column._isIndex;
    d._isOnly = column._isOnly;
    d._isAutoIncrement = column._isAutoIncrement;
    d._maxLength = column._maxLength;
    d._minLength = column._minLength;
    d._numLength = column._numLength;
    d._numPresision = column._numPresision;
    d._addVersion = column._addVersion;
    d._delVersion = column._delVersion;
    d._t_M_EntityTableID = column._t_M_EntityTableID;
    return d;
}

void appendCopy(std::list<M_NormalColumnDAO*>& columns, const M_NormalColumnDAO& column) {
    auto copy = std::make_unique<M_NormalColumnDAO>(column);
    columns.push_back(copy.get());
    copy.release();
}

ResultMsg readLines(InstanceDataManager& manager, const std::string& table,
                    const std::vector<MNormalColumn>& descriptions,
                    const std::list<M_NormalColumnDAO*>& tableColumns,
                    std::list<M_NormalColumnDAO*>& columns, std::list<std::string>& values,
                    bool& found) {
    found = false;
    int slots = 0;
    return manager.forEachITableData(table, descriptions, {}, nullptr, [&](ITableData& row) {
        if (!found) {
            found = true;
            slots = row._colNum;
            for (int i = 0; i < slots; ++i) {
                for (const M_NormalColumnDAO* column : tableColumns) {
                    if (column->_innerName != row._cloInnerName[i]) continue;
                    appendCopy(columns, *column);
                    break;
                }
            }
        }
        values.emplace_back();
        join(row._colValue, static_cast<std::size_t>(slots), values.back());
        return true;
    });
}

ResultMsg writeLines(InstanceDataManager& manager, const std::string& table,
                     const std::list<M_NormalColumnDAO*>& columns,
                     const std::list<std::string>& values, FirstValue first) {
    MRDSession* session = manager.getPSession();
    if (session == nullptr) return MeridianNew::noCurrentDatabase();
    if (first == FirstValue::KeptRowID) {
        Transaction transaction(manager);
        if (!transaction.begun().ok()) return transaction.begun();
        LineWriter writer(manager, table, columns, first);
        std::size_t lineNumber = 0;
        for (const std::string& line : values) {
            ++lineNumber;
            ResultMsg rm = writer.write(line);
            if (!rm.ok())
                return ResultMsg(RUN_FAIL, lineFailure(lineNumber, "写入失败：") + rm.rMsg);
        }
        return transaction.commit();
    }
    std::size_t lineNumber = 0, failedLines = 0, firstFailedLine = 0;
    ResultMsg firstFailure;
    // No line, no writer: the columns of an empty call are never looked at.
    if (!values.empty()) {
        LineWriter writer(manager, table, columns, first);
        for (const std::string& line : values) {
            ++lineNumber;
            ResultMsg rm = writer.write(line);
            if (rm.ok() || failedLines++ > 0) continue;
            firstFailedLine = lineNumber;
            firstFailure = rm;
        }
    }
    ResultMsg committed = session->commit();
    if (!committed.ok() || failedLines == 0) return committed;
    return ResultMsg(RUN_FAIL, writeFailures(firstFailedLine, firstFailure, failedLines));
}

}  // namespace MeridianSpace::rowtext
