#include "postgres/PgStatement.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "postgres/PgConnection.h"

namespace MeridianSpace::detail {

namespace {

constexpr Oid kByteaOid = 17;
// The most parameters the server's protocol carries in one statement.
constexpr int kMaxParams = 65535;

// A bytea value as the server sends it: hex ("\\x0a1b..."), which every
// session asks for; the escape form only if some setting overrode that.
std::string decodeBytea(const char* text, int length) {
    if (length < 2 || text[0] != '\\' || text[1] != 'x') {
        std::size_t size = 0;
        unsigned char* bytes = PQunescapeBytea(reinterpret_cast<const unsigned char*>(text), &size);
        std::string out = bytes ? std::string(reinterpret_cast<const char*>(bytes), size) : "";
        PQfreemem(bytes);
        return out;
    }
    std::string out;
    out.reserve((length - 2) / 2);
    auto nibble = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
    for (int i = 2; i + 1 < length; i += 2) {
        out.push_back(static_cast<char>((nibble(text[i]) << 4) | nibble(text[i + 1])));
    }
    return out;
}

// The type of a column's values that are not NULL.
ValueType typeOfColumn(const PGresult* result, int column) {
    switch (PQftype(result, column)) {
        case 20:  // int8
        case 21:  // int2
        case 23:  // int4
        case 26:  // oid
            return ValueType::Integer;
        case 700:   // float4
        case 701:   // float8
        case 1700:  // numeric
            return ValueType::Real;
        case kByteaOid:
            return ValueType::Blob;
        default:
            return ValueType::Text;
    }
}

}  // namespace

void PgParams::resize(std::size_t n) {
    values.resize(n);
    isNull.resize(n, 1);
    binary.resize(n, 0);
}

PgStatement::PgStatement(PgConnection& conn, std::string sql, StatementKind kind)
    : Statement(conn), conn_(conn), sql_(std::move(sql)), kind_(kind) {}

PgStatement::~PgStatement() {
    PQclear(result_);
}

ValueType PgStatement::columnType(int column) const {
    if (PQgetisnull(result_, row_, column)) return ValueType::Null;
    if (column >= 0 && static_cast<std::size_t>(column) < types_.size()) return types_[column];
    return typeOfColumn(result_, column);
}

bool PgStatement::readInteger(int column, long long& value) const {
    if (columnType(column) != ValueType::Integer) return false;
    value = std::strtoll(PQgetvalue(result_, row_, column), nullptr, 10);
    return true;
}

void PgStatement::readBytes(int column, std::string& out) const {
    if (PQgetisnull(result_, row_, column)) {
        out.clear();
    } else if (columnType(column) == ValueType::Blob) {
        out = columnBytes(column);
    } else {
        out.assign(PQgetvalue(result_, row_, column),
                   static_cast<std::size_t>(PQgetlength(result_, row_, column)));
    }
}

ValueType PgStatement::readValue(int column, long long& integer, double& real,
                                 std::string& bytes) const {
    const ValueType type = columnType(column);
    if (type == ValueType::Integer) {
        integer = std::strtoll(PQgetvalue(result_, row_, column), nullptr, 10);
    } else if (type == ValueType::Real) {
        real = columnDouble(column);
    } else if (type != ValueType::Null) {
        readBytes(column, bytes);
    }
    return type;
}

long long PgStatement::columnInt64(int column) const {
    const char* text = PQgetvalue(result_, row_, column);
    if (text[0] == 't' || text[0] == 'f') return text[0] == 't' ? 1 : 0;
    return std::strtoll(text, nullptr, 10);
}

double PgStatement::columnDouble(int column) const {
    return std::strtod(PQgetvalue(result_, row_, column), nullptr);
}

std::string PgStatement::columnBytes(int column) const {
    if (PQgetisnull(result_, row_, column)) return std::string();
    const char* text = PQgetvalue(result_, row_, column);
    const int length = PQgetlength(result_, row_, column);
    if (PQftype(result_, column) == kByteaOid) return decodeBytea(text, length);
    return std::string(text, length);
}

StepResult PgStatement::runStep() {
    if (result_ == nullptr) {
        if (!conn_.run(sql_, params_, true, kind_, result_).ok()) return StepResult::Error;
        row_ = -1;
        types_.clear();
        for (int column = 0; column < PQnfields(result_); ++column)
            types_.push_back(typeOfColumn(result_, column));
    }
    if (PQresultStatus(result_) != PGRES_TUPLES_OK) return StepResult::Done;
    return ++row_ < PQntuples(result_) ? StepResult::Row : StepResult::Done;
}

void PgStatement::resetRun() {
    PQclear(result_);
    result_ = nullptr;
    row_ = -1;
    types_.clear();
}

const char* PgStatement::refuseNull(int index) {
    const char* refused = setText(index, std::string());
    if (refused == nullptr) params_.isNull[index - 1] = 1;
    return refused;
}

const char* PgStatement::refuseInt64(int index, long long value) {
    return setText(index, std::to_string(value));
}

const char* PgStatement::refuseDouble(int index, double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    return setText(index, text);
}

const char* PgStatement::refuseText(int index, const char* data, std::size_t size) {
    // Text values travel as C strings: a zero byte would cut the value short.
    if (size > 0 && std::memchr(data, 0, size) != nullptr) {
        return "文本中含有零字节，服务器上的文本不能含有零字节";
    }
    return setText(index, std::string(data, size));
}

const char* PgStatement::refuseBlob(int index, const void* data, std::size_t size) {
    const char* refused = setText(index, std::string(static_cast<const char*>(data), size));
    if (refused == nullptr) params_.binary[index - 1] = 1;
    return refused;
}

const char* PgStatement::setText(int index, std::string text) {
    if (index < 1 || index > kMaxParams) return "参数序号超出范围";
    if (static_cast<std::size_t>(index) > params_.values.size()) params_.resize(index);
    params_.isNull[index - 1] = 0;
    params_.binary[index - 1] = 0;
    params_.values[index - 1] = std::move(text);
    return nullptr;
}

}  // namespace MeridianSpace::detail
