// The statements of SQLite connections: binds, steps and column reads
// straight onto the engine's prepared statement.
#include <memory>
#include <string>

#include "sqlite/SqliteConnection.h"

namespace MeridianSpace::detail {

namespace {

ValueType typeOf(int sqliteType) {
    switch (sqliteType) {
        case SQLITE_INTEGER:
            return ValueType::Integer;
        case SQLITE_FLOAT:
            return ValueType::Real;
        case SQLITE_NULL:
            return ValueType::Null;
        case SQLITE_BLOB:
            return ValueType::Blob;
        default:
            return ValueType::Text;
    }
}

// The bytes of a value (a number as its text, NULL as "").
void assignBytes(sqlite3_value* cell, std::string& out) {
    const void* bytes = sqlite3_value_blob(cell);
    if (bytes == nullptr) {
        out.clear();
    } else {
        out.assign(static_cast<const char*>(bytes),
                   static_cast<std::size_t>(sqlite3_value_bytes(cell)));
    }
}

class SqliteStatement : public Statement {
public:
    SqliteStatement(Connection& connection, sqlite3_stmt* stmt)
        : Statement(connection), stmt_(stmt) {}
    ~SqliteStatement() override { sqlite3_finalize(stmt_); }

    void clearBindings() override { sqlite3_clear_bindings(stmt_); }
    ValueType columnType(int column) const override {
        return typeOf(sqlite3_column_type(stmt_, column));
    }
    long long columnInt64(int column) const override { return sqlite3_column_int64(stmt_, column); }
    // One look at the column's value for its type and content. The value is
    // unprotected, which costs nothing here: connections are opened without
    // a mutex and used by one thread at a time.
    bool readInteger(int column, long long& value) const override {
        sqlite3_value* cell = sqlite3_column_value(stmt_, column);
        if (sqlite3_value_type(cell) != SQLITE_INTEGER) return false;
        value = sqlite3_value_int64(cell);
        return true;
    }
    bool readReal(int column, double& value) const override {
        sqlite3_value* cell = sqlite3_column_value(stmt_, column);
        if (sqlite3_value_type(cell) != SQLITE_FLOAT) return false;
        value = sqlite3_value_double(cell);
        return true;
    }
    double columnDouble(int column) const override { return sqlite3_column_double(stmt_, column); }
    std::string columnBytes(int column) const override { return sqliteColumnBytes(stmt_, column); }
    void readBytes(int column, std::string& out) const override {
        assignBytes(sqlite3_column_value(stmt_, column), out);
    }
    ValueType readValue(int column, long long& integer, double& real,
                        std::string& bytes) const override {
        sqlite3_value* cell = sqlite3_column_value(stmt_, column);
        const ValueType type = typeOf(sqlite3_value_type(cell));
        if (type == ValueType::Integer) {
            integer = sqlite3_value_int64(cell);
        } else if (type == ValueType::Real) {
            real = sqlite3_value_double(cell);
        } else if (type != ValueType::Null) {
            assignBytes(cell, bytes);
        }
        return type;
    }

protected:
    StepResult runStep() override {
        const int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW) return StepResult::Row;
        return rc == SQLITE_DONE ? StepResult::Done : StepResult::Error;
    }
    void resetRun() override { sqlite3_reset(stmt_); }
    const char* refuseNull(int index) override { return refused(sqlite3_bind_null(stmt_, index)); }
    const char* refuseInt64(int index, long long value) override {
        return refused(sqlite3_bind_int64(stmt_, index, value));
    }
    const char* refuseDouble(int index, double value) override {
        return refused(sqlite3_bind_double(stmt_, index, value));
    }
    const char* refuseText(int index, const char* data, std::size_t size) override {
        return refused(
            sqlite3_bind_text64(stmt_, index, data, size, SQLITE_TRANSIENT, SQLITE_UTF8));
    }
    const char* refuseTextInPlace(int index, const char* data, std::size_t size) override {
        return refused(sqlite3_bind_text64(stmt_, index, data, size, SQLITE_STATIC, SQLITE_UTF8));
    }
    const char* refuseBlob(int index, const void* data, std::size_t size) override {
        return refused(size == 0 ? sqlite3_bind_zeroblob(stmt_, index, 0)
                                 : sqlite3_bind_blob64(stmt_, index, data, size, SQLITE_TRANSIENT));
    }

private:
    static const char* refused(int rc) { return rc == SQLITE_OK ? nullptr : sqlite3_errstr(rc); }

    sqlite3_stmt* stmt_;
};

}  // namespace

std::unique_ptr<Statement> newSqliteStatement(Connection& connection, sqlite3_stmt* stmt) {
    return std::make_unique<SqliteStatement>(connection, stmt);
}

}  // namespace MeridianSpace::detail
