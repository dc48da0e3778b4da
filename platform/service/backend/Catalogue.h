#pragma once

// What a connection reads of its database's catalogue and does to it beyond
// rows and plain statements: the objects a user made, renaming a table and
// carrying its identifier sequence, locks that hold other connections off,
// query plans. Each connection hands out one (Connection::catalogue()); a
// backend derives from it where its database needs more than the defaults.
// Internal to the service; one thread at a time, as its connection.
#include <functional>
#include <string>
#include <vector>

#include "ResultReturnCode.h"
#include "SchemaObject.h"

namespace MeridianSpace::detail {

class Connection;
class Statement;

class Catalogue {
public:
    /// The catalogue of `connection`, which owns it.
    explicit Catalogue(Connection& connection) : connection_(connection) {}
    Catalogue(const Catalogue&) = delete;
    Catalogue& operator=(const Catalogue&) = delete;
    virtual ~Catalogue() = default;

    /// What a user made beside the tables and the indexes of single columns
    /// (see SchemaObject), in the order it was made, with the names each uses.
    virtual ResultMsg userObjects(std::vector<SchemaObject>& out) = 0;
    /// Of userObjects(), those that go when `table` is dropped, in the
    /// order to make them again: its indexes and triggers, and the views
    /// the database drops with it (directly or through other views).
    virtual ResultMsg objectsDroppedWith(const std::string& table,
                                         std::vector<SchemaObject>& out) = 0;
    /// The plan of `sql` (one text per step) with its values bound by `bind`.
    virtual ResultMsg queryPlan(const std::string& sql, const std::function<void(Statement&)>& bind,
                                std::string& plan) = 0;
    /// Gives table `from` the name `to`, leaving what views and triggers say
    /// as written: their names of `from` are not turned into `to`. The
    /// default is the standard ALTER TABLE ... RENAME TO.
    virtual ResultMsg renameTable(const std::string& from, const std::string& to);

    /// Holds other connections' table changes off until the transaction
    /// ends (see InstanceDataManager::lockSchemaChanges). Nothing to do
    /// (the default) where a write transaction already excludes them.
    virtual ResultMsg lockSchemaChanges() { return ResultMsg(); }
    /// Makes other connections' writes of `tables` wait until the open
    /// transaction ends; called before the transaction reads anything, what
    /// it reads afterwards includes everything they committed. Nothing to do
    /// (the default) where the open write transaction already excludes them.
    virtual ResultMsg holdOffWriters(const std::vector<std::string>& tables);
    /// Tells the backend that a row of `table` was inserted with the
    /// explicit "id" `id`, so that the identifiers it gives later stay above
    /// it. Nothing to do (the default) where the engine sees to that itself.
    virtual ResultMsg explicitIdStored(const std::string& table, long long id);
    /// After the rows of table `from` were copied into the new table `to`
    /// under their identifiers: `to` hands out no identifier that `from`
    /// gave before. Nothing to do (the default) where the next identifier
    /// follows from the rows themselves.
    virtual ResultMsg carryIdentity(const std::string& from, const std::string& to);
    /// Names what the database named after `table` when it was made (a
    /// primary key or identifier sequence named after the table) after the
    /// name `table` has now, as a table made under that name has them.
    /// Nothing to do (the default) where the engine derives no names.
    virtual ResultMsg releaseDerivedNames(const std::string& table);

protected:
    Connection& connection() const { return connection_; }
    /// Appends a SchemaObject for each row of `sql`: kind, name, table,
    /// definition, and text whose names the object uses too.
    ResultMsg readUserObjects(const std::string& sql, std::vector<SchemaObject>& out);

private:
    Connection& connection_;
};

}  // namespace MeridianSpace::detail
