#pragma once

// The catalogue of a SQLite connection (backend/Catalogue.h): the objects a
// user made, read from sqlite_master, query plans, and renaming a table
// without rewriting the views and triggers that name it. Internal to the
// service. One thread at a time.
#include "backend/Catalogue.h"

namespace MeridianSpace::detail {

class SqliteConnection;

class SqliteCatalogue : public Catalogue {
public:
    explicit SqliteCatalogue(SqliteConnection& connection);

    ResultMsg userObjects(std::vector<SchemaObject>& out) override;
    ResultMsg objectsDroppedWith(const std::string& table, std::vector<SchemaObject>& out) override;
    ResultMsg queryPlan(const std::string& sql, const std::function<void(Statement&)>& bind,
                        std::string& plan) override;
    ResultMsg renameTable(const std::string& from, const std::string& to) override;

private:
    SqliteConnection& sqlite_;
};

}  // namespace MeridianSpace::detail
