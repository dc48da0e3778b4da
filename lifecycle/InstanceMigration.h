#pragma once

// Instance files (or server databases) that follow their model: the drift
// between a database and the model version it claims, and the migration of
// a database to a later version of its model in place, in one transaction.
#include <functional>
#include <string>
#include <vector>

#include "ArxExport.h"
#include "ModelDiff.h"
#include "ResultReturnCode.h"
#include "SchemaObject.h"

namespace MeridianSpace {

class M_EntityModelDAO;

/// One thing a migration does to the database, in the order done.
struct MigrationStep {
    enum class Action {
        DropObject,
        DropTable,
        CreateTable,
        AddColumn,
        RebuildTable,
        SetIndex,
        SetVersion
    };
    Action action = Action::SetVersion;
    /// The table's inner name (empty for SetVersion; for DropObject the
    /// table the object is on, if any).
    std::string table;
    /// The column's inner name for AddColumn and SetIndex.
    std::string column;
    /// The rows of the table for DropTable and RebuildTable; the new
    /// version for SetVersion.
    long long rows = 0;
    /// For DropObject: what a user made that the migration cannot keep.
    SchemaObject object;
};

/// The look at the rows that a change which can fail or lose data gets.
struct MigrationCheck {
    ModelChange change;
    /// Rows or values that fail or would be lost; 0 when the change goes through.
    long long count = 0;
    /// What was found, naming the first offending rows or values (GBK).
    std::string message;
    /// True when the migration is refused for it.
    bool refuses = false;
};

struct MigrationOptions {
    /// Plan and check only; nothing is written.
    bool dryRun = false;
    /// When set, the migration is planned and checked as it would be, its
    /// steps are run under its lock and rolled back, and each statement
    /// they ran is appended here in order (see
    /// MRDSession::recordStatements): the database is left as it was.
    std::vector<std::string>* statements = nullptr;
    /// Destructive changes go ahead (otherwise a change that would drop
    /// rows or values refuses the migration).
    bool allowDataLoss = false;
    /// Called before each table is rebuilt: its inner name, its place among
    /// the tables rebuilt (from 1), how many are rebuilt, and its rows.
    std::function<void(const std::string& table, int number, int count, long long rows)> onRebuild;
};

/// What became of one database of migrateEach.
struct MigrationOutcome {
    enum class Result { Migrated, AlreadyThere, Refused };
    std::string location;
    Result result = Result::Refused;
    /// The answer of the database's migration (GBK): why it was refused.
    ResultMsg answer;
};

/// What a drift check or a migration found and did. A plain value record.
struct MigrationPlan {
    std::string modelName;
    /// The version the database claims, and the target.
    int fromVersion = 0;
    int toVersion = 0;
    /// The model's changes from the claimed version to the target.
    std::vector<ModelChange> changes;
    /// The database against the version it claims: tables, columns, storage
    /// types and indexes that differ (defaults are not compared).
    std::vector<ModelChange> drift;
    /// Drift that no migration can reconcile: a table or column the
    /// version does not describe, or a storage type other than its own.
    std::vector<ModelChange> unreconciled;
    /// What a user made in the database beside the model's tables and the
    /// indexes of their columns (see SchemaObject). A migration keeps each
    /// one (a rebuilt table's indexes and triggers are made again), unless
    /// it uses a table or column the migration drops: then a check refuses
    /// the migration, or with the loss allowed a step drops it first.
    std::vector<SchemaObject> objects;
    std::vector<MigrationCheck> checks;
    std::vector<MigrationStep> steps;
    /// True once the migration was committed.
    bool migrated = false;
};

/// Stateless; works on the current configuration database and one instance
/// database, used by one thread at a time.
class ARX InstanceMigration {
public:
    /// The stored model version that the instance database at `location`
    /// claims (ARX_InstanceInfo), as getInstanceInfo finds it; a file is
    /// only read, through a read-only session: its journal mode stays,
    /// nothing appears beside it, and it may lie where nobody may write.
    /// `model` receives a new object the caller owns (an object it held is
    /// deleted); on failure it may hold what the database said (then _ID is
    /// 0), as getInstanceInfo leaves it.
    static ResultMsg readClaim(const std::string& location, M_EntityModelDAO*& model);
    /// The drift of the instance database at `location` (a file path or a
    /// server URI) against the model version it claims (ARX_InstanceInfo):
    /// fills modelName, fromVersion (= toVersion), drift, unreconciled and
    /// objects. A file is only read (see readClaim).
    static ResultMsg checkDrift(const std::string& location, MigrationPlan& plan);
    /// Migrates the instance database at `location` to the model version
    /// `target` names (its project, name and version), in one transaction
    /// of that database that also moves ARX_InstanceInfo to the version: a
    /// failure or a crash at any step leaves the database as it was. Checks
    /// come first: a data-dependent change that fails on some rows, a
    /// destructive one that would lose rows, values or what a user made
    /// (unless allowed) and drift that the plan cannot reconcile refuse the
    /// migration, naming what they found, and nothing is written. The plan
    /// and checks are made once while only reading (all a dry run or a
    /// refusal does: a file is opened read-only) and again under the lock
    /// of the database that the steps are then done under, so that rows
    /// other writers commit meanwhile are checked and copied. A database at
    /// the target that differs from what the target version describes now
    /// (a version still open to edits) gets what is missing (tables,
    /// columns, indexes), and is refused with the reason for what no
    /// migration reconciles; one that matches is left alone. A lower
    /// version is reached by the same rules backwards: what the later
    /// versions ended comes back (a column with its default, a table
    /// empty) and what they added goes, checked as any drop is. One of
    /// another model and a version that does not exist are refused.
    /// `plan` receives what was planned, checked and (unless refused or a
    /// dry run) done.
    static ResultMsg migrate(const std::string& location, const M_EntityModelDAO& target,
                             const MigrationOptions& options, MigrationPlan& plan);
    /// migrate() to `version` of the model the database at `location` claims.
    static ResultMsg migrateToVersion(const std::string& location, int version,
                                      const MigrationOptions& options, MigrationPlan& plan);
    /// migrateToVersion() of each database in turn, each in its own
    /// transaction: one refused leaves the others to go on. Appends one
    /// outcome per location, in order; answers how many were refused.
    static int migrateEach(const std::vector<std::string>& locations, int version,
                           const MigrationOptions& options,
                           std::vector<MigrationOutcome>& outcomes);
};

/// "drop-object", "drop-table", "create-table", "add-column", "rebuild-table",
/// "set-index", "set-version".
ARX const char* stepActionName(MigrationStep::Action action);

}  // namespace MeridianSpace
