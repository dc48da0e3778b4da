// Migration of an instance database to a later version of its model: the
// plan from the database's own tables to the target version, the checks,
// and the steps in one transaction of the database.
#include "InstanceMigration.h"

#include <memory>

#include "IEntityModel.h"
#include "InstanceDataManager.h"
#include "MRDService.h"
#include "MRDSession.h"
#include "M_EntityModelDAO.h"
#include "MeridianNew.h"
#include "MigrationChecks.h"
#include "StringHelper.h"
#include "Transaction.h"

namespace MeridianSpace {

namespace {

using Kind = ModelChange::Kind;
using Action = MigrationStep::Action;

// The table in which an instance database describes itself; not a model table.
const char* const kInfoTable = "ARX_InstanceInfo";

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

// A session and its manager on the instance database, closed on every way out.
class InstanceDatabase {
public:
    ResultMsg open(const std::string& location) {
        MRDService* service = MeridianNew::getCurrService();
        if (service == nullptr) return MeridianNew::noCurrentDatabase();
        MRDSession* made = nullptr;
        ResultMsg rm = service->createSession(location, made, 0);
        session_.reset(made);
        InstanceDataManager* manager = nullptr;
        if (rm.ok()) rm = session_->createInstanceDataManager(manager, 0);
        manager_.reset(manager);
        return rm;
    }
    /// Closes the session; a failure to do so is the answer.
    ResultMsg close() {
        manager_.reset();
        return session_ ? session_->close() : ResultMsg();
    }
    MRDSession& session() { return *session_; }
    InstanceDataManager& manager() { return *manager_; }

    /// The database's tables as it holds them, the description table left
    /// out; names and defaults taken from `claimed` where it knows a table
    /// or column (a database keeps no defaults worth comparing).
    ResultMsg read(const ModelLayout& claimed, ModelLayout& out) {
        std::vector<std::string> names;
        ResultMsg rm = manager_->getTableNames(names);
        for (auto name = names.begin(); rm.ok() && name != names.end(); ++name) {
            if (StringHelper::equalsIgnoreCase(*name, kInfoTable)) continue;
            LayoutTable t;
            t.table._name = t.table._innerName = *name;
            rm = manager_->getTableLayout(*name, t.columns);
            const LayoutTable* known = tableOf(claimed, *name);
            if (known != nullptr) {
                t.table._ID = known->table._ID;
                t.table._name = known->table._name;
            }
            for (MNormalColumn& c : t.columns) {
                const MNormalColumn* described = columnOf(known, c._innerName);
                if (described == nullptr) continue;
                c._ID = described->_ID;
                c._name = described->_name;
                c._defaultValue = described->_defaultValue;
            }
            out.push_back(std::move(t));
        }
        return rm;
    }

private:
    std::unique_ptr<MRDSession> session_;
    std::unique_ptr<InstanceDataManager> manager_;
};

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
            out += table + "的列" + c.columnInnerName + "的存储类型是" + c.before + "，版本中是" +
                   c.after;
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
// database against the target): tables dropped first, then each target
// table made, rebuilt when SQLite cannot change it in place, or given its
// new columns and indexes; the version last.
void planSteps(const std::vector<ModelChange>& physical, const ModelLayout& target,
               MigrationPlan& plan) {
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
    addStep(plan, Action::SetVersion, "");
    plan.steps.back().rows = plan.toVersion;
}

ResultMsg applyStep(InstanceDataManager& manager, const MigrationStep& step,
                    const ModelLayout& target) {
    const LayoutTable* t = tableOf(target, step.table);
    const MNormalColumn* column = columnOf(t, step.column);
    switch (step.action) {
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
        rm = manager.findValues(it->table, "id", InstanceDataManager::ValueCheck::Present, 0, 0,
                                it->rows, none);
    }
    return rm;
}

ResultMsg runSteps(InstanceDatabase& db, const MigrationOptions& options, const ModelLayout& target,
                   MigrationPlan& plan) {
    int rebuilds = 0, rebuilt = 0;
    for (const MigrationStep& step : plan.steps)
        rebuilds += step.action == Action::RebuildTable ? 1 : 0;
    Transaction tx(db.session());
    ResultMsg rm = tx.begun();
    for (auto it = plan.steps.begin(); rm.ok() && it != plan.steps.end(); ++it) {
        if (it->action == Action::RebuildTable && options.onRebuild)
            options.onRebuild(it->table, ++rebuilt, rebuilds, it->rows);
        rm = applyStep(db.manager(), *it, target);
    }
    if (rm.ok()) rm = tx.commit();
    if (!rm.ok()) return ResultMsg(rm.rCode, "迁移失败，实例数据未改变：" + rm.rMsg);
    plan.migrated = true;
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
    MRDService* service = MeridianNew::getCurrService();
    if (service == nullptr) return MeridianNew::noCurrentDatabase();
    // A session would turn on the write-ahead log of a file that is no
    // instance file: a read-only one looks first.
    if (!MRDService::isServerLocation(location)) {
        MRDSession* opened = nullptr;
        ResultMsg rm = service->openReadOnlySession(location, opened);
        const std::unique_ptr<MRDSession> session(opened);
        InstanceDataManager* made = nullptr;
        if (rm.ok()) rm = session->createInstanceDataManager(made, 0);
        const std::unique_ptr<InstanceDataManager> manager(made);
        IEntityModel described;
        if (rm.ok()) rm = manager->getEntityModelInstanceInfo(described);
        if (!rm.ok()) return rm;
    }
    return M_EntityModelDAO::getInstanceInfo(location, model);
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
    if (rm.ok()) rm = db.open(location);
    if (rm.ok()) rm = db.read(described, held);
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
    const std::string from = StringHelper::int2String(claimed->_version);
    const std::string to = StringHelper::int2String(target._version);
    plan.modelName = claimed->_name;
    plan.fromVersion = claimed->_version;
    plan.toVersion = target._version;
    if (claimed->_rProjectID != target._rProjectID || claimed->_name != target._name) {
        return ResultMsg(RUN_FAIL, "实例数据属于数据模型" + claimed->_name + "，不是数据模型" +
                                       target._name + "的实例，不能迁移。");
    }
    ModelLayout described, wanted, held;
    rm = ModelDiff::readVersion(target, target._version, wanted);
    if (!rm.ok()) return rm;
    if (target._version < claimed->_version) {
        return ResultMsg(RUN_FAIL,
                         "实例数据已是版本" + from + "，不能迁移到更低的版本" + to + "。");
    }
    if (target._version == claimed->_version)
        return ResultMsg(RUN_SUCCESS, "实例数据已是版本" + to + "，无需迁移。");

    rm = ModelDiff::readVersion(*claimed, claimed->_version, described);
    InstanceDatabase db;
    if (rm.ok()) rm = db.open(location);
    if (rm.ok()) rm = db.read(described, held);
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
    planSteps(physical, wanted, plan);
    rm = checkChanges(db.manager(), physical, plan.changes, options.allowDataLoss, plan.checks);
    if (rm.ok()) rm = countRows(db.manager(), plan);
    if (!rm.ok()) return rm;
    std::string refusals;
    for (const MigrationCheck& check : plan.checks) {
        if (check.refuses) refusals += (refusals.empty() ? "" : "；") + check.message;
    }
    if (!refusals.empty()) {
        return ResultMsg(RUN_FAIL, "迁移到版本" + to + "被拒绝，未做任何修改：" + refusals);
    }
    if (options.dryRun) return ResultMsg(RUN_SUCCESS, "迁移计划已检查，未做任何修改。");
    rm = runSteps(db, options, wanted, plan);
    if (!rm.ok()) return rm;
    return ResultMsg(RUN_SUCCESS, "实例数据已从版本" + from + "迁移到版本" + to + "。");
}

}  // namespace MeridianSpace
