#include "backend/RowValues.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "ResultReturnCode.h"
#include "ServiceErrorCode.h"
#include "StringHelper.h"
#include "backend/Connection.h"

namespace MeridianSpace::detail {

bool parseCanonicalInteger(const std::string& text, long long& value) {
    std::size_t i = text.size() > 0 && text[0] == '-' ? 1 : 0;
    const std::size_t digits = text.size() - i;
    if (digits == 0 || digits > 19) return false;
    if (text[i] == '0' && (digits > 1 || i == 1)) return false;
    for (std::size_t k = i; k < text.size(); ++k) {
        if (text[k] < '0' || text[k] > '9') return false;
    }
    errno = 0;
    value = std::strtoll(text.c_str(), nullptr, 10);
    return errno == 0;
}

bool parseWholeDouble(const std::string& text, double& value) {
    if (text.empty()) return false;
    // The text must be exactly a decimal number: what stringTodouble reads,
    // with nothing left over.
    const char first = text[0];
    if (!(first == '-' || first == '+' || first == '.' || (first >= '0' && first <= '9'))) {
        return false;
    }
    for (char c : text) {
        const bool allowed =
            (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E';
        if (!allowed) return false;
    }
    const char* begin = text.data() + (first == '+' ? 1 : 0);
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(begin, end, value);
    return result.ec == std::errc() && result.ptr == end && std::isfinite(value);
}

void bindRowValue(Statement& stmt, int index, const std::string& value, int colType) {
    switch (colType) {
        case COL_TYPE_INT: {
            long long integer = 0;
            if (value.empty()) {
                stmt.bindNull(index);
            } else if (parseCanonicalInteger(value, integer)) {
                stmt.bindInt64(index, integer);
            } else {
                stmt.bindText(index, value);
            }
            return;
        }
        case COL_TYPE_DOUBLE: {
            double real = 0.0;
            if (value.empty()) {
                stmt.bindNull(index);
            } else if (parseWholeDouble(value, real)) {
                stmt.bindDouble(index, real);
            } else {
                stmt.bindText(index, value);
            }
            return;
        }
        case COL_TYPE_BLOB_CHAR:
        case COL_TYPE_BLOB_DOUBLE:
        case COL_TYPE_BLOB:
            if (value.empty()) {
                stmt.bindNull(index);
            } else {
                stmt.bindBlob(index, value.data(), value.size());
            }
            return;
        default:
            stmt.bindText(index, value);
    }
}

void bindConditionValue(Statement& stmt, int index, const std::string& value) {
    if (value.size() >= 2 && value.front() == '\'' && value.back() == '\'') {
        stmt.bindText(index, value.data() + 1, value.size() - 2);
        return;
    }
    long long integer = 0;
    if (parseCanonicalInteger(value, integer)) {
        stmt.bindInt64(index, integer);
        return;
    }
    stmt.bindText(index, value);
}

std::string columnText(const Statement& stmt, int column) {
    switch (stmt.columnType(column)) {
        case ValueType::Integer:
            return std::to_string(stmt.columnInt64(column));
        case ValueType::Real:
            return StringHelper::doubleTostring(stmt.columnDouble(column));
        case ValueType::Null:
            return std::string();
        default:
            return stmt.columnBytes(column);
    }
}

ResultMsg forEachResultRow(Connection& conn, const std::string& sql, const StatementBinder& bind,
                           const RowReader& read, const std::string& what) {
    StatementLease lease;
    ResultMsg rm = conn.prepare(sql, lease);
    if (!rm.ok()) return rm;
    bind(*lease);
    StepResult rc;
    while ((rc = lease->step()) == StepResult::Row)
        read(*lease);
    if (rc != StepResult::Done) return conn.engineError(SRV_ERR_ENGINE, what);
    return rm;
}

}  // namespace MeridianSpace::detail
