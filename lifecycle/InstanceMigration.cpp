// Migration of an instance database to a later version of its model: the
// plan from the database's own tables to the target version, the checks,
// and the steps in one transaction of the database.
#include "InstanceMigration.h"

#include <memory>

#include "IEntityModel.h"
#include "InstanceClaim.h"
#include "InstanceDataManager.h"
#include "InstanceDatabase.h"
#include "MRDService.h"
#include "MRDSession.h"
#include "M_EntityModelDAO.h"
#include "MeridianNew.h"
#include "MigrationChecks.h"
#include "StringHelper.h"
#include "ValueScans.h"

namespace MeridianSpace {

namespace {

using Kind = ModelChange::Kind;
using Action = MigrationStep::Action;
using Access = InstanceDatabase::Access;

const LayoutTable* tableOf(const ModelLayout& layout, const std::string& innerName) {
    for (const LayoutTable& t : layout) {
        if (StringHelper::equalsIgnoreCase(t.table._innerName, innerName)) return &t;
    }
    return nullptr;
}

const MNormalColumn* columnOf(const LayoutTable* t, const std::string& innerName) {
    if (t == nullptr) return nullptr;
    for (const MNormalColumn& c : t->columns) {
        if (StringHelper::equalsIgnoreCase(c._innerName, innerName)) return &c;
    }
    return nullptr;
}

// Drift that no plan reconciles: what the database holds beyond the version
// it claims, or in another storage type. A missing table, column or index
// is made by the migration as its target asks.
std::vector<ModelChange> unreconciled(const std::vector<ModelChange>& drift) {
    std::vector<ModelChange> out;
    for (const ModelChange& c : drift) {
        if (c.kind == Kind::TableEnded || c.kind == Kind::ColumnEnded ||
            c.kind == Kind::TypeChanged)
            out.push_back(c);
    }
    return out;
}

// A storage type (InstanceDataManager::storageType) as a person reads it.
std::string storageWord(const std::string& type) {
    switch (StringHelper::string2int(type)) {
        case COL_TYPE_INT:
            return "整数";
        case COL_TYPE_DOUBLE:
            return "实数";
        case COL_TYPE_BLOB:
            return "二进制数据";
        default:
            return "文本";
    }
}

std::string describeDrift(const std::vector<ModelChange>& drift) {
    std::string out;
    for (const ModelChange& c : drift) {
        out += out.empty() ? "" : "；";
        const std::string table = "表" + c.tableInnerName;
        if (c.kind == Kind::TableEnded) {
            out += table + "不属于所声明的版本";
        } else if (c.kind == Kind::ColumnEnded) {
            out += table + "的列" + c.columnInnerName + "不属于所声明的版本";
        } else {
            out += table + "的列" + c.columnInnerName + "的存储类型是" + storageWord(c.before) +
                   "，版本中是" + storageWord(c.after);
        }
    }
    return out;
}

void addStep(MigrationPlan& plan, Action action, const std::string& table,
             const std::string& column = "") {
    MigrationStep step;
    step.action = action;
    step.table = table;
    step.column = column;
    plan.steps.push_back(std::move(step));
}

// The steps that turn the database into the target, from `physical` (the
// database against the target): what a user made that cannot be kept goes
// first (the last made first), then the tables dropped, then each target
// table made, rebuilt when SQLite cannot change it in place, or given its
// new columns and indexes; the version last, when it changes.
void planSteps(const std::vector<ModelChange>& physical, const ModelLayout& target,
               const std::vector<SchemaObject>& lost, MigrationPlan& plan) {
    for (auto it = lost.rbegin(); it != lost.rend(); ++it) {
        addStep(plan, Action::DropObject, it->table);
        plan.steps.back().object = *it;
    }
    for (const ModelChange& c : physical) {
        if (c.kind == Kind::TableEnded) addStep(plan, Action::DropTable, c.tableInnerName);
    }
    for (const LayoutTable& t : target) {
        const std::string& name = t.table._innerName;
        bool created = false, rebuilt = false;
        for (const ModelChange& c : physical) {
            if (!StringHelper::equalsIgnoreCase(c.tableInnerName, name)) continue;
            created = created || c.kind == Kind::TableAdded;
            rebuilt = rebuilt || c.kind == Kind::ColumnEnded || c.kind == Kind::TypeChanged ||
                      c.kind == Kind::DefaultChanged;
        }
        if (created || rebuilt) {
            addStep(plan, created ? Action::CreateTable : Action::RebuildTable, name);
            continue;
        }
        for (const ModelChange& c : physical) {
            if (!StringHelper::equalsIgnoreCase(c.tableInnerName, name)) continue;
            if (c.kind == Kind::ColumnAdded)
                addStep(plan, Action::AddColumn, name, c.columnInnerName);
            if (c.kind == Kind::IndexChanged || c.kind == Kind::UniqueChanged)
                addStep(plan, Action::SetIndex, name, c.columnInnerName);
        }
    }
    if (plan.fromVersion == plan.toVersion) return;
    addStep(plan, Action::SetVersion, "");
    plan.steps.back().rows = plan.toVersion;
}

ResultMsg applyStep(InstanceDataManager& manager, const MigrationStep& step,
                    const ModelLayout& target) {
    const LayoutTable* t = tableOf(target, step.table);
    const MNormalColumn* column = columnOf(t, step.column);
    switch (step.action) {
        case Action::DropObject:
            return manager.dropSchemaObject(step.object);
        case Action::DropTable:
            return manager.delTableInstance(step.table);
        case Action::CreateTable:
            return manager.addMTableInstance(t->table, t->columns);
        case Action::RebuildTable:
            return manager.rebuildTable(t->table, t->columns);
        case Action::AddColumn:
            return manager.addNormalColumnInstance(step.table, *column);
        case Action::SetIndex:
            return manager.setColumnIndex(step.table, *column);
        case Action::SetVersion:
            return manager.setEntityModelInstanceVersion(static_cast<int>(step.rows));
    }
    return ResultMsg();
}

// Rows of the tables that are dropped or rebuilt, for the plan and the progress.
ResultMsg countRows(InstanceDataManager& manager, MigrationPlan& plan) {
    ResultMsg rm;
    for (auto it = plan.steps.begin(); rm.ok() && it != plan.steps.end(); ++it) {
        if (it->action != Action::DropTable && it->action != Action::RebuildTable) continue;
        std::vector<std::pair<long long, std::string>> none;
        rm = ValueScans(manager).findValues(it->table, "id", ValueCheck::Present, 0, 0, it->rows,
                                            none);
    }
    return rm;
}

// The plan of a migration of `db` to `target` (of the model `claimed`
// names), from what the database says and holds as read now, with its
// checks. A refusal is the answer; `upToDate` tells that nothing is to be done.
ResultMsg planMigration(InstanceDatabase& db, const M_EntityModelDAO& claimed,
                        const M_EntityModelDAO& target, const ModelLayout& wanted,
                        bool allowDataLoss, MigrationPlan& plan, bool& upToDate) {
    IEntityModel record;
    ResultMsg rm = db.describedAs(record);
    if (!rm.ok()) return rm;
    plan.fromVersion = record._version;
    plan.toVersion = target._version;
    const std::string from = StringHelper::int2String(plan.fromVersion);
    const std::string to = StringHelper::int2String(plan.toVersion);
    ModelLayout described, held;
    rm = ModelDiff::readVersion(claimed, plan.fromVersion, described);
    if (rm.ok()) rm = db.read(described, held);
    if (rm.ok()) rm = db.manager().getSchemaObjects(plan.objects);
    if (!rm.ok()) return rm;
    plan.changes = ModelDiff::compare(described, wanted);
    plan.drift = ModelDiff::compare(held, described, true);
    plan.unreconciled = unreconciled(plan.drift);
    if (!plan.unreconciled.empty()) {
        return ResultMsg(RUN_FAIL, "实例数据与其声明的版本" + from +
                                       "不一致，迁移无法调和，未做任何修改：" +
                                       describeDrift(plan.unreconciled));
    }
    const std::vector<ModelChange> physical = ModelDiff::compare(held, wanted, true);
    upToDate = physical.empty() && plan.fromVersion == plan.toVersion;
    if (upToDate) return rm;
    rm = checkChanges(db.manager(), physical, plan.changes, allowDataLoss, plan.checks);
    std::vector<SchemaObject> lost;
    checkObjects(plan.objects, physical, allowDataLoss, plan.checks, lost);
    planSteps(physical, wanted, lost, plan);
    if (rm.ok()) rm = countRows(db.manager(), plan);
    if (!rm.ok()) return rm;
    std::string refusals;
    for (const MigrationCheck& check : plan.checks) {
        if (check.refuses) refusals += (refusals.empty() ? "" : "；") + check.message;
    }
    if (!refusals.empty()) {
        return ResultMsg(RUN_FAIL, "迁移到版本" + to + "被拒绝，未做任何修改：" + refusals);
    }
    return rm;
}

// Plans in a look at `location` that only reads.
ResultMsg planByReading(const std::string& location, const M_EntityModelDAO& claimed,
                        const M_EntityModelDAO& target, const ModelLayout& wanted,
                        bool allowDataLoss, MigrationPlan& plan, bool& upToDate) {
    InstanceDatabase look;
    ResultMsg rm = look.open(location, Access::Read);
    if (rm.ok()) rm = planMigration(look, claimed, target, wanted, allowDataLoss, plan, upToDate);
    ResultMsg closed = look.close();
    return rm.ok() ? closed : rm;
}

ResultMsg runSteps(InstanceDatabase& db, const MigrationOptions& options, const ModelLayout& target,
                   MigrationPlan& plan) {
    int rebuilds = 0, rebuilt = 0;
    for (const MigrationStep& step : plan.steps)
        rebuilds += step.action == Action::RebuildTable ? 1 : 0;
    ResultMsg rm;
    for (auto it = plan.steps.begin(); rm.ok() && it != plan.steps.end(); ++it) {
        if (it->action == Action::RebuildTable && options.onRebuild)
            options.onRebuild(it->table, ++rebuilt, rebuilds, it->rows);
        rm = applyStep(db.manager(), *it, target);
    }
    // Statements asked for are all a migration leaves: close() rolls them back.
    if (rm.ok() && options.statements == nullptr) rm = db.commit();
    if (!rm.ok()) return rm;
    plan.migrated = options.statements == nullptr;
    return db.close();
}

// The claim of the database at `location`, kept in `claimed`.
ResultMsg claimOf(const std::string& location, std::unique_ptr<M_EntityModelDAO>& claimed) {
    M_EntityModelDAO* found = nullptr;
    ResultMsg rm = InstanceMigration::readClaim(location, found);
    claimed.reset(found);
    return rm;
}

}  // namespace

const char* stepActionName(MigrationStep::Action action) {
    switch (action) {
        case Action::DropObject:
            return "drop-object";
        case Action::DropTable:
            return "drop-table";
        case Action::CreateTable:
            return "create-table";
        case Action::AddColumn:
            return "add-column";
        case Action::RebuildTable:
            return "rebuild-table";
        case Action::SetIndex:
            return "set-index";
        case Action::SetVersion:
            return "set-version";
    }
    return "";
}

ResultMsg InstanceMigration::readClaim(const std::string& location, M_EntityModelDAO*& model) {
    if (MRDService::isServerLocation(location))
        return M_EntityModelDAO::getInstanceInfo(location, model);
    // What getInstanceInfo does, through a session that cannot change the file.
    InstanceDatabase file;
    IEntityModel record;
    ResultMsg rm = file.open(location, Access::Read);
    if (rm.ok()) rm = file.describedAs(record);
    ResultMsg closed = file.close();
    if (rm.ok()) rm = closed;
    return rm.ok() ? findInstanceModel(record, model) : rm;
}

ResultMsg InstanceMigration::checkDrift(const std::string& location, MigrationPlan& plan) {
    plan = MigrationPlan();
    std::unique_ptr<M_EntityModelDAO> claimed;
    ResultMsg rm = claimOf(location, claimed);
    if (!rm.ok()) return rm;
    plan.modelName = claimed->_name;
    plan.fromVersion = plan.toVersion = claimed->_version;
    ModelLayout described, held;
    rm = ModelDiff::readVersion(*claimed, claimed->_version, described);
    InstanceDatabase db;
    if (rm.ok()) rm = db.open(location, Access::Read);
    if (rm.ok()) rm = db.read(described, held);
    if (rm.ok()) rm = db.manager().getSchemaObjects(plan.objects);
    if (!rm.ok()) return rm;
    plan.drift = ModelDiff::compare(held, described, true);
    plan.unreconciled = unreconciled(plan.drift);
    return db.close();
}

ResultMsg InstanceMigration::migrate(const std::string& location, const M_EntityModelDAO& target,
                                     const MigrationOptions& options, MigrationPlan& plan) {
    plan = MigrationPlan();
    std::unique_ptr<M_EntityModelDAO> claimed;
    ResultMsg rm = claimOf(location, claimed);
    if (!rm.ok()) return rm;
    plan.modelName = claimed->_name;
    plan.fromVersion = claimed->_version;
    plan.toVersion = target._version;
    if (claimed->_rProjectID != target._rProjectID || claimed->_name != target._name) {
        return ResultMsg(RUN_FAIL, "实例数据属于数据模型" + claimed->_name + "，不是数据模型" +
                                       target._name + "的实例，不能迁移。");
    }
    ModelLayout wanted;
    rm = ModelDiff::readVersion(target, target._version, wanted);
    if (!rm.ok()) return rm;
    bool upToDate = false;
    rm = planByReading(location, *claimed, target, wanted, options.allowDataLoss, plan, upToDate);
    const std::string to = StringHelper::int2String(target._version);
    const std::string alreadyThere = "实例数据已是版本" + to + "，无需迁移。";
    if (!rm.ok() || upToDate) return rm.ok() ? ResultMsg(RUN_SUCCESS, alreadyThere) : rm;
    if (options.dryRun) return ResultMsg(RUN_SUCCESS, "迁移计划已检查，未做任何修改。");

    // Again under the lock: rows and steps other writers committed since
    // (another migration of the same file too) are what is checked and done.
    InstanceDatabase db;
    rm = db.open(location, Access::Write);
    if (rm.ok()) rm = db.lock();
    if (!rm.ok()) return ResultMsg(rm.rCode, "迁移失败，实例数据未改变：" + rm.rMsg);
    MigrationPlan locked;
    locked.modelName = plan.modelName;
    rm = planMigration(db, *claimed, target, wanted, options.allowDataLoss, locked, upToDate);
    plan = std::move(locked);
    if (!rm.ok() || upToDate) return rm.ok() ? ResultMsg(RUN_SUCCESS, alreadyThere) : rm;
    db.recordStatements(options.statements);
    rm = runSteps(db, options, wanted, plan);
    if (!rm.ok()) return ResultMsg(rm.rCode, "迁移失败，实例数据未改变：" + rm.rMsg);
    if (options.statements != nullptr)
        return ResultMsg(RUN_SUCCESS, "迁移语句已列出，未做任何修改。");
    const std::string from = StringHelper::int2String(plan.fromVersion);
    if (plan.fromVersion == plan.toVersion)
        return ResultMsg(RUN_SUCCESS, "实例数据已按版本" + to + "现在的描述补齐。");
    return ResultMsg(RUN_SUCCESS, "实例数据已从版本" + from + "迁移到版本" + to + "。");
}

ResultMsg InstanceMigration::migrateToVersion(const std::string& location, int version,
                                              const MigrationOptions& options,
                                              MigrationPlan& plan) {
    plan = MigrationPlan();
    std::unique_ptr<M_EntityModelDAO> claimed;
    ResultMsg rm = claimOf(location, claimed);
    if (!rm.ok()) return rm;
    M_EntityModelDAO target = *claimed;
    target._version = version;
    return migrate(location, target, options, plan);
}

int InstanceMigration::migrateEach(const std::vector<std::string>& locations, int version,
                                   const MigrationOptions& options,
                                   std::vector<MigrationOutcome>& outcomes) {
    int refused = 0;
    for (const std::string& location : locations) {
        MigrationOutcome outcome;
        outcome.location = location;
        MigrationPlan plan;
        outcome.answer = migrateToVersion(location, version, options, plan);
        if (!outcome.answer.ok()) {
            ++refused;
        } else {
            // A dry run or a listing of statements says what it would do.
            outcome.result = plan.steps.empty() ? MigrationOutcome::Result::AlreadyThere
                                                : MigrationOutcome::Result::Migrated;
        }
        outcomes.push_back(std::move(outcome));
    }
    return refused;
}

}  // namespace MeridianSpace
