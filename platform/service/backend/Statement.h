#pragma once

// One prepared statement of a storage backend: values are bound by position
// (1-based), the first step() runs it, each later one moves to the next
// result row. Internal to the service; used by one thread at a time.
#include <cstddef>
#include <string>
#include <vector>

namespace MeridianSpace::detail {

class Connection;

enum class StepResult { Row, Done, Error };

/// What a backend may know of a statement without reading its text.
enum class StatementKind {
    Other,
    /// INSERT INTO "t" ("a",...) VALUES (?,...) of a row that leaves its
    /// "id" to the store, with Dialect::insertReturning() appended: a server
    /// may run a series of them under one savepoint.
    PlainInsert,
    /// Steers the transaction itself (BEGIN, COMMIT, ROLLBACK, SAVEPOINT,
    /// RELEASE): never run under a savepoint of its own.
    Control,
};
enum class ValueType { Null, Integer, Real, Text, Blob };

class Statement {
public:
    virtual ~Statement() = default;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Each bind answers whether the backend took the value. A refused value
    // leaves the parameter as it was (the value of the last use), so a
    // statement with a refused bind does not run: step() answers Error, and
    // the connection's engineError() names the refusal, until reset().
    // While the connection logs statements, each bound value is kept as a
    // literal too (see Connection::setStatementLog).
    bool bindNull(int index) {
        if (logging()) keepLiteral(index, "NULL");
        return accepted(index, refuseNull(index));
    }
    bool bindInt64(int index, long long value) {
        if (logging()) keepLiteral(index, std::to_string(value));
        return accepted(index, refuseInt64(index, value));
    }
    bool bindDouble(int index, double value) {
        if (logging()) keepReal(index, value);
        return accepted(index, refuseDouble(index, value));
    }
    bool bindText(int index, const char* data, std::size_t size) {
        if (logging()) keepText(index, data, size);
        return accepted(index, refuseText(index, data, size));
    }
    bool bindText(int index, const std::string& text) {
        return bindText(index, text.data(), text.size());
    }
    /// The same without a copy where the backend can: the bytes must stay
    /// as they are until the statement has run (the next reset()).
    bool bindTextInPlace(int index, const char* data, std::size_t size) {
        if (logging()) keepText(index, data, size);
        return accepted(index, refuseTextInPlace(index, data, size));
    }
    /// Raw bytes; a size of 0 binds an empty blob, not NULL.
    bool bindBlob(int index, const void* data, std::size_t size) {
        if (logging()) keepBlob(index, data, size);
        return accepted(index, refuseBlob(index, data, size));
    }

    /// Runs the statement on the first call; Row while a result row is
    /// current. After Error the connection's engineError() tells why.
    StepResult step();
    /// Ends the run so that the statement can be bound and run again; forgets
    /// a refused bind.
    void reset() {
        refusal_.clear();
        running_ = false;
        resetRun();
    }
    /// Drops bound values that the statement would otherwise keep (large blobs).
    virtual void clearBindings() = 0;

    virtual ValueType columnType(int column) const = 0;
    virtual long long columnInt64(int column) const = 0;
    virtual double columnDouble(int column) const = 0;
    /// The bytes of a text or blob value; a number as its text; NULL as "".
    virtual std::string columnBytes(int column) const = 0;
    /// The same into `out`, reusing its storage where the backend can.
    virtual void readBytes(int column, std::string& out) const { out = columnBytes(column); }
    int columnInt(int column) const { return static_cast<int>(columnInt64(column)); }
    /// The column's value when it is an integer (a real): true, else false
    /// with `value` untouched. One call where a backend can answer at once.
    virtual bool readInteger(int column, long long& value) const {
        if (columnType(column) != ValueType::Integer) return false;
        value = columnInt64(column);
        return true;
    }
    virtual bool readReal(int column, double& value) const {
        if (columnType(column) != ValueType::Real) return false;
        value = columnDouble(column);
        return true;
    }
    /// The column's type, with its value put in `integer`, `real` or (text
    /// and blobs) `bytes`; NULL sets none.
    virtual ValueType readValue(int column, long long& integer, double& real,
                                std::string& bytes) const {
        const ValueType type = columnType(column);
        if (type == ValueType::Integer) {
            integer = columnInt64(column);
        } else if (type == ValueType::Real) {
            real = columnDouble(column);
        } else if (type != ValueType::Null) {
            readBytes(column, bytes);
        }
        return type;
    }

protected:
    explicit Statement(Connection& connection) : connection_(connection) {}

    // The backend's binds: nullptr when the value is bound, else why not.
    virtual const char* refuseNull(int index) = 0;
    virtual const char* refuseInt64(int index, long long value) = 0;
    virtual const char* refuseDouble(int index, double value) = 0;
    virtual const char* refuseText(int index, const char* data, std::size_t size) = 0;
    /// The default copies, as refuseText does.
    virtual const char* refuseTextInPlace(int index, const char* data, std::size_t size) {
        return refuseText(index, data, size);
    }
    virtual const char* refuseBlob(int index, const void* data, std::size_t size) = 0;
    virtual StepResult runStep() = 0;
    virtual void resetRun() = 0;

private:
    friend class Connection;
    bool accepted(int index, const char* refusal) {
        return refusal == nullptr || noteRefusal(index, refusal);
    }
    /// Keeps the first refusal since the last reset(); false.
    bool noteRefusal(int index, const char* refusal);
    bool logging() const { return log_ != nullptr && *log_ != nullptr; }
    void keepLiteral(int index, std::string literal);
    void keepReal(int index, double value);
    void keepText(int index, const char* data, std::size_t size);
    void keepBlob(int index, const void* data, std::size_t size);

    Connection& connection_;
    /// The first refused bind since the last reset(), empty when none.
    std::string refusal_;
    /// The text prepared, the connection's statement log (see
    /// Connection::setStatementLog) and the values bound while it is set.
    std::string text_;
    std::vector<std::string>* const* log_ = nullptr;
    std::vector<std::string> literals_;
    /// Stepped since the last reset(): later steps read rows of the same run.
    bool running_ = false;
};

}  // namespace MeridianSpace::detail
