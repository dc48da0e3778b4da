#pragma once

// A prepared statement of the PostgreSQL backend: its values are kept in
// libpq's form and sent with its first step, which runs it through the
// connection (see PgConnection::run); the result rows are then read from
// the answer. Internal to the service. One thread at a time.
#include <libpq-fe.h>

#include <string>
#include <vector>

#include "backend/Statement.h"

namespace MeridianSpace::detail {

class PgConnection;

/// The values of one statement run, in libpq's form.
struct PgParams {
    std::vector<std::string> values;
    std::vector<char> isNull;
    std::vector<int> binary;
    void resize(std::size_t n);
};

class PgStatement : public Statement {
public:
    PgStatement(PgConnection& conn, std::string sql, StatementKind kind);
    ~PgStatement() override;

    void clearBindings() override { params_ = PgParams(); }
    ValueType columnType(int column) const override;
    long long columnInt64(int column) const override;
    double columnDouble(int column) const override;
    std::string columnBytes(int column) const override;
    // The same answers as the base's, from the result's column types looked
    // up once per run rather than per value, text copied straight into `out`.
    bool readInteger(int column, long long& value) const override;
    void readBytes(int column, std::string& out) const override;
    ValueType readValue(int column, long long& integer, double& real,
                        std::string& bytes) const override;

protected:
    StepResult runStep() override;
    void resetRun() override;
    const char* refuseNull(int index) override;
    const char* refuseInt64(int index, long long value) override;
    const char* refuseDouble(int index, double value) override;
    const char* refuseText(int index, const char* data, std::size_t size) override;
    const char* refuseBlob(int index, const void* data, std::size_t size) override;

private:
    const char* setText(int index, std::string text);

    PgConnection& conn_;
    std::string sql_;
    StatementKind kind_;
    PgParams params_;
    PGresult* result_ = nullptr;
    int row_ = -1;
    // The type of each result column when not NULL, by PQftype.
    std::vector<ValueType> types_;
};

}  // namespace MeridianSpace::detail
