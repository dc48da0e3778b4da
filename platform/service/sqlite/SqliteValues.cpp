#include "sqlite/SqliteValues.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "ResultReturnCode.h"
#include "ServiceErrorCode.h"
#include "StringHelper.h"
#include "sqlite/SqliteConnection.h"

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

void bindRowValue(sqlite3_stmt* stmt, int index, const std::string& value, int colType) {
    switch (colType) {
        case COL_TYPE_INT: {
            long long integer = 0;
            if (value.empty()) {
                sqlite3_bind_null(stmt, index);
            } else if (parseCanonicalInteger(value, integer)) {
                sqlite3_bind_int64(stmt, index, integer);
            } else {
                sqlite3_bind_text(stmt, index, value.data(), static_cast<int>(value.size()),
                                  SQLITE_TRANSIENT);
            }
            return;
        }
        case COL_TYPE_DOUBLE: {
            double real = 0.0;
            if (value.empty()) {
                sqlite3_bind_null(stmt, index);
            } else if (parseWholeDouble(value, real)) {
                sqlite3_bind_double(stmt, index, real);
            } else {
                sqlite3_bind_text(stmt, index, value.data(), static_cast<int>(value.size()),
                                  SQLITE_TRANSIENT);
            }
            return;
        }
        case COL_TYPE_BLOB_CHAR:
        case COL_TYPE_BLOB_DOUBLE:
        case COL_TYPE_BLOB:
            if (value.empty()) {
                sqlite3_bind_null(stmt, index);
            } else {
                sqlite3_bind_blob(stmt, index, value.data(), static_cast<int>(value.size()),
                                  SQLITE_TRANSIENT);
            }
            return;
        default:
            sqlite3_bind_text(stmt, index, value.data(), static_cast<int>(value.size()),
                              SQLITE_TRANSIENT);
    }
}

void bindConditionValue(sqlite3_stmt* stmt, int index, const std::string& value) {
    if (value.size() >= 2 && value.front() == '\'' && value.back() == '\'') {
        sqlite3_bind_text(stmt, index, value.data() + 1, static_cast<int>(value.size() - 2),
                          SQLITE_TRANSIENT);
        return;
    }
    long long integer = 0;
    if (parseCanonicalInteger(value, integer)) {
        sqlite3_bind_int64(stmt, index, integer);
        return;
    }
    sqlite3_bind_text(stmt, index, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
}

std::string columnText(sqlite3_stmt* stmt, int column) {
    switch (sqlite3_column_type(stmt, column)) {
        case SQLITE_INTEGER:
            return std::to_string(sqlite3_column_int64(stmt, column));
        case SQLITE_FLOAT:
            return StringHelper::doubleTostring(sqlite3_column_double(stmt, column));
        case SQLITE_NULL:
            return std::string();
        case SQLITE_BLOB: {
            const void* bytes = sqlite3_column_blob(stmt, column);
            const int size = sqlite3_column_bytes(stmt, column);
            return bytes ? std::string(static_cast<const char*>(bytes), size) : std::string();
        }
        default: {
            const unsigned char* text = sqlite3_column_text(stmt, column);
            const int size = sqlite3_column_bytes(stmt, column);
            return text ? std::string(reinterpret_cast<const char*>(text), size) : std::string();
        }
    }
}

void bindText(sqlite3_stmt* stmt, int index, const std::string& text) {
    sqlite3_bind_text(stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

void bindBytes(sqlite3_stmt* stmt, int index, const std::string& bytes) {
    sqlite3_bind_blob(stmt, index, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
}

std::string columnBytes(sqlite3_stmt* stmt, int column) {
    const void* bytes = sqlite3_column_blob(stmt, column);
    return bytes ? std::string(static_cast<const char*>(bytes), sqlite3_column_bytes(stmt, column))
                 : std::string();
}

ResultMsg forEachResultRow(SqliteConnection& conn, const std::string& sql,
                           const StatementBinder& bind, const RowReader& read, const char* what) {
    StatementLease lease;
    ResultMsg rm = conn.prepare(sql, lease);
    if (!rm.ok()) return rm;
    bind(lease.get());
    int rc;
    while ((rc = sqlite3_step(lease.get())) == SQLITE_ROW)
        read(lease.get());
    if (rc != SQLITE_DONE) return conn.engineError(SRV_ERR_ENGINE, what);
    return rm;
}

}  // namespace MeridianSpace::detail
