#pragma once

// One prepared statement of a storage backend: values are bound by position
// (1-based), the first step() runs it, each later one moves to the next
// result row. Internal to the service; used by one thread at a time.
#include <cstddef>
#include <string>

namespace MeridianSpace::detail {

enum class StepResult { Row, Done, Error };
enum class ValueType { Null, Integer, Real, Text, Blob };

class Statement {
public:
    virtual ~Statement() = default;

    virtual void bindNull(int index) = 0;
    virtual void bindInt64(int index, long long value) = 0;
    virtual void bindDouble(int index, double value) = 0;
    virtual void bindText(int index, const char* data, std::size_t size) = 0;
    /// Raw bytes; a size of 0 binds an empty blob, not NULL.
    virtual void bindBlob(int index, const void* data, std::size_t size) = 0;
    void bindText(int index, const std::string& text) { bindText(index, text.data(), text.size()); }

    /// Runs the statement on the first call; Row while a result row is
    /// current. After Error the connection's engineError() tells why.
    virtual StepResult step() = 0;
    /// Ends the run so that the statement can be bound and run again.
    virtual void reset() = 0;
    /// Drops bound values that the statement would otherwise keep (large blobs).
    virtual void clearBindings() = 0;

    virtual ValueType columnType(int column) const = 0;
    virtual long long columnInt64(int column) const = 0;
    virtual double columnDouble(int column) const = 0;
    /// The bytes of a text or blob value; a number as its text; NULL as "".
    virtual std::string columnBytes(int column) const = 0;
    int columnInt(int column) const { return static_cast<int>(columnInt64(column)); }
};

}  // namespace MeridianSpace::detail
