#pragma once

// The catalogue of a PostgreSQL connection (backend/Catalogue.h): the
// identifier sequences behind "id", the names a table's key and sequence
// take from it, the locks that hold other connections off, query plans
// (PgCatalogue.cpp), and the indexes, triggers and views a user made
// (PgSchemaObjects.cpp). Internal to the service. One thread at a time.
#include "backend/Catalogue.h"

namespace MeridianSpace::detail {

class PgCatalogue : public Catalogue {
public:
    using Catalogue::Catalogue;

    ResultMsg userObjects(std::vector<SchemaObject>& out) override;
    ResultMsg objectsDroppedWith(const std::string& table, std::vector<SchemaObject>& out) override;
    ResultMsg queryPlan(const std::string& sql, const std::function<void(Statement&)>& bind,
                        std::string& plan) override;
    ResultMsg lockSchemaChanges() override;
    ResultMsg holdOffWriters(const std::vector<std::string>& tables) override;
    ResultMsg explicitIdStored(const std::string& table, long long id) override;
    ResultMsg carryIdentity(const std::string& from, const std::string& to) override;
    ResultMsg releaseDerivedNames(const std::string& table) override;
};

}  // namespace MeridianSpace::detail
