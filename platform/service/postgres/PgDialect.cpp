// The SQL spellings of the PostgreSQL backend. Text is stored in a
// SQL_ASCII database with C ordering, so a character is a byte and names
// compare byte by byte, as in a SQLite file.
#include "ServiceErrorCode.h"
#include "postgres/PgConnection.h"

namespace MeridianSpace::detail {

const char* PgConnection::tableNamesQuery() const {
    return "SELECT c.relname FROM pg_class AS c JOIN pg_namespace AS n ON n.oid = c.relnamespace "
           "WHERE n.nspname = current_schema() AND c.relkind IN ('r', 'p') "
           "ORDER BY c.relname COLLATE \"C\"";
}

const char* PgConnection::indexQuery() const {
    return "SELECT 1 FROM pg_class AS c JOIN pg_namespace AS n ON n.oid = c.relnamespace "
           "WHERE c.relkind = 'i' AND c.relname = ? AND n.nspname = current_schema()";
}

const char* PgConnection::columnIndexesQuery() const {
    return "SELECT c.relname, CAST(x.indisunique AS INTEGER), a.attname FROM pg_index AS x "
           "JOIN pg_class AS c ON c.oid = x.indexrelid "
           "JOIN pg_attribute AS a ON a.attrelid = x.indrelid AND a.attnum = x.indkey[0] "
           "WHERE x.indrelid = to_regclass(quote_ident(CAST(?1 AS TEXT))) AND x.indnatts = 1 "
           "AND NOT x.indisprimary ORDER BY c.relname COLLATE \"C\"";
}

std::string PgConnection::convertsUnchanged(const std::string& column, int from, int to) const {
    // The server's CAST fails on text that is no number, or a number out of
    // range: each cast runs only where the text or the value allows it.
    const std::string& c = column;
    const std::string numeric = "CAST(" + c + " AS NUMERIC)";
    if (from == COL_TYPE_STRING && to == COL_TYPE_INT) {
        return "CASE WHEN " + c + " ~ '^-?(0|[1-9][0-9]{0,18})$' THEN " + numeric +
               " BETWEEN -9223372036854775808 AND 9223372036854775807 ELSE false END";
    }
    if (from == COL_TYPE_STRING && to == COL_TYPE_DOUBLE) {
        return "CASE WHEN " + c +
               " ~ '^-?[0-9]+(\\.[0-9]+)?([eE][-+]?[0-9]{1,3})?$' THEN CASE WHEN abs(" + numeric +
               ") <= 1.7976931348623157e308 THEN CAST(CAST(" + c +
               " AS DOUBLE PRECISION) AS TEXT) = " + c + " ELSE false END ELSE false END";
    }
    if (from == COL_TYPE_DOUBLE && to == COL_TYPE_INT) {
        return "CASE WHEN " + c + " >= -9223372036854775808 AND " + c +
               " < 9223372036854775807 THEN CAST(CAST(" + c +
               " AS BIGINT) AS DOUBLE PRECISION) = " + c + " ELSE false END";
    }
    if (from == COL_TYPE_INT && to == COL_TYPE_DOUBLE)
        return "CAST(CAST(" + c + " AS DOUBLE PRECISION) AS NUMERIC) = " + c;
    // Numbers written as text come back exactly.
    return "true";
}

const char* PgConnection::declaredType(int dataType) const {
    switch (dataType) {
        case COL_TYPE_INT:
            return "BIGINT";
        case COL_TYPE_DOUBLE:
            return "DOUBLE PRECISION";
        case COL_TYPE_BLOB_CHAR:
        case COL_TYPE_BLOB_DOUBLE:
        case COL_TYPE_BLOB:
            return "BYTEA";
        default:
            return "TEXT";
    }
}

std::string PgConnection::likeTest(const std::string& column, bool negated,
                                   const std::string& param) const {
    // As in SQLite: ASCII case ignored (the database's C ctype folds only
    // ASCII), no escape character, any column type. Folded both sides, a
    // prefix pattern can use an index on lower(column) (see caseFoldedIndex).
    return "lower(CAST(" + column + " AS TEXT))" + (negated ? " NOT LIKE " : " LIKE ") +
           "lower(CAST(" + param + " AS TEXT)) ESCAPE ''";
}

std::string PgConnection::equalsIgnoringCase(const std::string& column,
                                             const std::string& param) const {
    return "lower(" + column + ") = lower(CAST(" + param + " AS TEXT))";
}

std::string PgConnection::caseFoldedIndex(const std::string& column) const {
    return "lower(" + column + ")";
}

std::string PgConnection::tailExpression(const std::string& column, int bytes) const {
    // In a SQL_ASCII database a character is a byte.
    return "right(" + column + ", " + std::to_string(bytes) + ")";
}

}  // namespace MeridianSpace::detail
