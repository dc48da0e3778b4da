#include "sqlite/SqliteDialect.h"

#include "ResultReturnCode.h"

namespace MeridianSpace::detail {

const SqliteDialect& SqliteDialect::instance() {
    static const SqliteDialect dialect;
    return dialect;
}

const char* SqliteDialect::idColumnDefinition(bool neverReused) const {
    // Without AUTOINCREMENT SQLite hands out the highest identifier plus
    // one, which a deleted last row gives back.
    return neverReused ? "\"id\" INTEGER PRIMARY KEY AUTOINCREMENT" : "\"id\" INTEGER PRIMARY KEY";
}

const char* SqliteDialect::declaredType(int dataType) const {
    switch (dataType) {
        case COL_TYPE_INT:
            return "INTEGER";
        case COL_TYPE_DOUBLE:
            return "REAL";
        case COL_TYPE_BLOB_CHAR:
        case COL_TYPE_BLOB_DOUBLE:
        case COL_TYPE_BLOB:
            return "BLOB";
        default:
            return "TEXT";
    }
}

std::string SqliteDialect::likeTest(const std::string& column, bool negated,
                                    const std::string& param) const {
    // SQLite's LIKE ignores ASCII case and has no escape character.
    return column + (negated ? " NOT LIKE " : " LIKE ") + param;
}

std::string SqliteDialect::equalsIgnoringCase(const std::string& column,
                                              const std::string& param) const {
    return column + " = " + param + " COLLATE NOCASE";
}

std::string SqliteDialect::caseFoldedIndex(const std::string& column) const {
    return column + " COLLATE NOCASE";
}

std::string SqliteDialect::tailExpression(const std::string& column, int bytes) const {
    // As a blob the tail is bytes, never characters.
    return "substr(CAST(" + column + " AS BLOB), -" + std::to_string(bytes) + ")";
}

std::string SqliteDialect::tailValue(const std::string& param) const {
    return "CAST(" + param + " AS BLOB)";
}

std::string SqliteDialect::byteLength(const std::string& column) const {
    return "length(CAST(" + column + " AS BLOB))";
}

const char* SqliteDialect::tableNamesQuery() const {
    // The engine's own tables ("sqlite_sequence") are no tables of the database.
    return "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' "
           "ESCAPE '\\' ORDER BY name";
}

const char* SqliteDialect::indexQuery() const {
    return "SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = ?";
}

const char* SqliteDialect::columnIndexesQuery() const {
    return "SELECT l.name, l.\"unique\", i.name FROM pragma_index_list(?1) AS l, "
           "pragma_index_info(l.name) AS i WHERE l.origin = 'c' AND "
           "(SELECT count(*) FROM pragma_index_info(l.name)) = 1 ORDER BY l.name";
}

}  // namespace MeridianSpace::detail
