#include "backend/RowValues.h"

#include <charconv>

#include "ResultReturnCode.h"
#include "ServiceErrorCode.h"
#include "StringHelper.h"
#include "backend/Connection.h"

namespace MeridianSpace::detail {

void bindRowValue(Statement& stmt, int index, const std::string& value, int colType) {
    switch (colType) {
        case COL_TYPE_INT: {
            long long integer = 0;
            if (value.empty()) {
                stmt.bindNull(index);
            } else if (StringHelper::parseCanonicalInteger(value, integer)) {
                stmt.bindInt64(index, integer);
            } else {
                stmt.bindTextInPlace(index, value.data(), value.size());
            }
            return;
        }
        case COL_TYPE_DOUBLE: {
            double real = 0.0;
            if (value.empty()) {
                stmt.bindNull(index);
            } else if (StringHelper::parseWholeDouble(value, real)) {
                stmt.bindDouble(index, real);
            } else {
                stmt.bindTextInPlace(index, value.data(), value.size());
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
            stmt.bindTextInPlace(index, value.data(), value.size());
    }
}

void bindConditionValue(Statement& stmt, int index, const std::string& value) {
    if (value.size() >= 2 && value.front() == '\'' && value.back() == '\'') {
        stmt.bindText(index, value.data() + 1, value.size() - 2);
        return;
    }
    long long integer = 0;
    if (StringHelper::parseCanonicalInteger(value, integer)) {
        stmt.bindInt64(index, integer);
        return;
    }
    stmt.bindText(index, value);
}

void readColumnText(const Statement& stmt, int column, std::string& out) {
    long long integer = 0;
    double real = 0.0;
    switch (stmt.readValue(column, integer, real, out)) {
        case ValueType::Integer: {
            char digits[24];
            const auto end = std::to_chars(digits, digits + sizeof digits, integer);
            out.assign(digits, end.ptr);
            return;
        }
        case ValueType::Real:
            out = StringHelper::doubleTostring(real);
            return;
        case ValueType::Null:
            out.clear();
            return;
        default:
            return;
    }
}

std::string columnText(const Statement& stmt, int column) {
    std::string text;
    readColumnText(stmt, column, text);
    return text;
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
