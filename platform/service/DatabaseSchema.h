#pragma once

// What a database holds as its own catalogue says (tables with their
// columns, keys, indexes, foreign keys and checks; views; triggers), read
// by MRDService::readSchema from a database that need not be the
// platform's. Names and texts are the bytes the database gives (UTF-8 for
// SQLite files and for server databases other than SQL_ASCII ones).
// Plain value records.
#include <string>
#include <vector>

namespace MeridianSpace {

struct SchemaColumn {
    std::string name;
    /// The type as declared ("NVARCHAR(160)", "character varying(160)");
    /// empty when none was.
    std::string declaredType;
    bool notNull = false;
    /// The default as SQL text ("'abc'", "0", "now()"); empty for none.
    std::string defaultSql;
    /// The column's place in the primary key, from 1; 0 outside it.
    int primaryKeyPosition = 0;
    /// The database numbers it (AUTOINCREMENT, an identity, a serial sequence).
    bool autoIncrement = false;
    /// Computed from other columns.
    bool generated = false;
};

struct SchemaIndex {
    std::string name;
    bool unique = false;
    /// The index behind the primary key.
    bool primaryKey = false;
    /// Its columns in order; an expression is an empty name.
    std::vector<std::string> columns;
    /// Over part of the rows (WHERE) or over expressions.
    bool partial = false;
};

struct SchemaForeignKey {
    std::vector<std::string> columns;
    std::string table;
    /// Empty names where the database leaves them to the primary key.
    std::vector<std::string> referencedColumns;
};

struct SchemaTable {
    std::string name;
    std::vector<SchemaColumn> columns;
    std::vector<SchemaIndex> indexes;
    std::vector<SchemaForeignKey> foreignKeys;
    /// The text of each CHECK constraint.
    std::vector<std::string> checks;
};

struct SchemaTrigger {
    std::string name;
    std::string table;
};

struct DatabaseSchema {
    /// In byte order of their names, the database's own tables left out.
    std::vector<SchemaTable> tables;
    std::vector<std::string> views;
    std::vector<SchemaTrigger> triggers;
};

}  // namespace MeridianSpace
