#include "RowText.h"

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

namespace MeridianSpace::rowtext {

const char kSeparator[] = "@#@";
const char kEmptyMarker[] = "!#@$!^%&^@%$";

namespace {

constexpr std::size_t kSeparatorSize = sizeof(kSeparator) - 1;

bool startsWithSeparator(const std::string& line) {
    return line.compare(0, kSeparatorSize, kSeparator) == 0;
}

bool endsWithSeparator(const std::string& line) {
    return line.size() >= kSeparatorSize &&
           line.compare(line.size() - kSeparatorSize, kSeparatorSize, kSeparator) == 0;
}

std::size_t cut(const std::string& line, std::vector<std::string>& values) {
    std::size_t count = 0;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = line.find(kSeparator, start);
        const std::size_t stop = end == std::string::npos ? line.size() : end;
        if (count == values.size()) values.emplace_back();
        values[count++].assign(line, start, stop - start);
        if (end == std::string::npos) return count;
        start = end + kSeparatorSize;
    }
}

// An identifier text: empty (or the marker), or an optional sign and
// decimal digits that fit 32 bits.
bool readableID(const std::string& text) {
    if (text.empty() || text == kEmptyMarker) return true;
    std::size_t digits = (text[0] == '-' || text[0] == '+') ? 1 : 0;
    if (digits == text.size()) return false;
    for (std::size_t i = digits; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
    }
    errno = 0;
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    return errno == 0 && value >= INT32_MIN && value <= INT32_MAX;
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

std::size_t split(const std::string& line, std::vector<std::string>& values) {
    const bool leading = startsWithSeparator(line);
    const bool trailing = endsWithSeparator(line);
    if (!leading && !trailing) return cut(line, values);
    std::string marked = line;
    if (trailing) marked += kEmptyMarker;
    if (leading) marked.insert(0, kEmptyMarker);
    return cut(marked, values);
}

void join(const ITableData& row, int count, std::string& line) {
    for (int i = 0; i < count; ++i) {
        if (i > 0) line.append(kSeparator, kSeparatorSize);
        line += row._colValue[i];
    }
}

ResultMsg check(const std::list<M_NormalColumnDAO*>& columns, const std::list<std::string>& lines,
                FirstValue first) {
    if (columns.empty()) return ResultMsg(RUN_FAIL, "没有给出属性列表。");
    if (columns.size() > static_cast<std::size_t>(ITABLEDATA_MAX_COLUMNS)) {
        return ResultMsg(RUN_FAIL, "属性个数超过80：" + std::to_string(columns.size()));
    }
    for (const M_NormalColumnDAO* column : columns) {
        if (column == nullptr) return ResultMsg(RUN_FAIL, "属性列表中有空的属性对象。");
    }
    if (first == FirstValue::RowID &&
        !StringHelper::equalsIgnoreCase(columns.front()->_innerName, "id")) {
        return ResultMsg(RUN_FAIL,
                         "属性列表的第一项必须是标识列id，实际为：" + columns.front()->_innerName);
    }
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
        if (first == FirstValue::RowID && !readableID(values[0])) {
            return ResultMsg(RUN_FAIL, lineFailure(lineNumber, "的标识不是整数：" + values[0]));
        }
    }
    return ResultMsg();
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
    if (first_ == FirstValue::RowID) {
        // An existing row is updated in place; a new identifier, or none,
        // makes a new row whose identifier the store assigns.
        const int id = StringHelper::string2int(values_[0]);
        if (id > 0) {
            byID_.front().columValue = StringHelper::int2String(id);
            ResultMsg rm;
            if (row_->_colNum > 0) {
                int changed = 0;
                rm = manager_.updateITableData(*row_, byID_, COMMIT_T_DEFERRED, changed);
                if (!rm.ok() || changed > 0) return rm;
            } else {
                // Nothing to update: the identifier alone is the row.
                bool exists = false;
                rm = manager_.forEachITableData(row_->_tableInnerName, {}, byID_, nullptr,
                                                [&exists](ITableData&) {
                                                    exists = true;
                                                    return false;
                                                });
                if (!rm.ok() || exists) return rm;
            }
        }
    }
    return manager_.addITableData(*row_, COMMIT_T_DEFERRED);
}

MNormalColumn describe(const std::string& name, const std::string& innerName, int dataType) {
    MNormalColumn description;
    description._name = name;
    description._innerName = innerName;
    description._dataType = dataType;
    return description;
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
        rowtext::join(row, slots, values.back());
        return true;
    });
}

ResultMsg writeLines(InstanceDataManager& manager, const std::string& table,
                     const std::list<M_NormalColumnDAO*>& columns,
                     const std::list<std::string>& values, rowtext::FirstValue first) {
    rowtext::LineWriter writer(manager, table, columns, first);
    std::size_t lineNumber = 0, failedLines = 0, firstFailedLine = 0;
    ResultMsg firstFailure;
    for (const std::string& line : values) {
        ++lineNumber;
        ResultMsg rm = writer.write(line);
        if (rm.ok() || failedLines++ > 0) continue;
        firstFailedLine = lineNumber;
        firstFailure = rm;
    }
    MRDSession* session = manager.getPSession();
    if (session == nullptr) return MeridianNew::noCurrentDatabase();
    ResultMsg committed = session->commit();
    if (!committed.ok() || failedLines == 0) return committed;
    return ResultMsg(RUN_FAIL, "第" + std::to_string(firstFailedLine) + "行数据写入失败：" +
                                   firstFailure.rMsg + "（共" + std::to_string(failedLines) +
                                   "行写入失败）");
}

}  // namespace MeridianSpace::rowtext
