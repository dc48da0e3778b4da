// qms model diff, qms data check, qms data migrate: the differences between
// two versions of a model, and instance files that follow their model.
#include <iostream>
#include <memory>

#include "ChangeText.h"
#include "Cli.h"
#include "InstanceMigration.h"
#include "Names.h"
#include "Output.h"
#include "RecordJson.h"
#include "Session.h"

namespace qms {
namespace {

struct MigrationArgs {
    std::string model, project, file;
    int id = 0, from = 0, to = 0;
    bool dryRun = false, allowDataLoss = false, json = false;
};

}  // namespace

// "  column-added    safe           Customer.Phone (Customer_1.Phone_2)",
// with `note` at the end.
std::string changeLine(const ModelChange& c, const std::string& note) {
    std::string kind = changeKindName(c.kind), safety = safetyName(c.safety);
    kind.resize(std::max<std::size_t>(kind.size(), 16), ' ');
    safety.resize(std::max<std::size_t>(safety.size(), 15), ' ');
    std::string line = "  " + kind + safety + shown(c.tableName);
    std::string inner = shown(c.tableInnerName);
    if (!c.columnInnerName.empty()) {
        line += "." + shown(c.columnName);
        inner += "." + shown(c.columnInnerName);
    }
    line += " (" + inner + ")";
    if (!c.attribute.empty()) {
        const Json values = changeJson(c);  // a data type by its name
        line += "  " + c.attribute + ": " + printable(values.at("before").get<std::string>()) +
                " -> " + printable(values.at("after").get<std::string>());
    }
    return line + note + "\n";
}

std::string changesText(const std::vector<ModelChange>& changes,
                        const std::vector<ModelChange>& marked) {
    std::string text;
    for (const ModelChange& c : changes) {
        bool found = false;
        for (const ModelChange& m : marked) {
            found = found || (m.kind == c.kind && m.tableInnerName == c.tableInnerName &&
                              m.columnInnerName == c.columnInnerName);
        }
        text += changeLine(c, found ? "  (no migration reconciles this)" : "");
    }
    return text;
}

namespace {

// The drift of a file under a heading that says which way it reads.
std::string driftText(const MigrationPlan& plan) {
    return "drift (what would turn the instance into version " + std::to_string(plan.fromVersion) +
           "):\n" + changesText(plan.drift, plan.unreconciled);
}

// "view Recent", "trigger Stamp on Customer_1".
std::string objectName(const SchemaObject& o) {
    return o.kind + " " + shown(o.name) + (o.table.empty() ? "" : " on " + shown(o.table));
}

Json objectJson(const SchemaObject& o) {
    return {{"kind", o.kind},
            {"name", utf8(o.name)},
            {"table", utf8(o.table)},
            {"problem", utf8(o.problem)}};
}

// What a user made in the file, each that the database cannot use with its reason.
std::string objectsText(const std::vector<SchemaObject>& objects) {
    std::string text = objects.empty() ? "" : "made in the file beside the model's tables:\n";
    for (const SchemaObject& o : objects)
        text += "  " + objectName(o) +
                (o.problem.empty() ? "" : "  (cannot be used: " + shown(o.problem) + ")") + "\n";
    return text;
}

void diffModel(const Options& options, const MigrationArgs& args) {
    Session session(options);
    const M_EntityModelDAO model = findModel(args.model, args.project, 0, args.id);
    std::vector<ModelChange> changes;
    check(ModelDiff::between(model, args.from, args.to, changes),
          "cannot compare the versions of '" + utf8(model._name) + "'");
    session.close();
    std::cout << (args.json
                      ? jsonText(modelDiffJson(model, args.from, args.to, changes))
                      : "model " + shown(model._name) + " version " + std::to_string(args.from) +
                            " -> " + std::to_string(args.to) + ": " +
                            std::to_string(changes.size()) + " changes\n" + changesText(changes));
}

void checkFile(const Options& options, const MigrationArgs& args) {
    Session session(options);
    MigrationPlan plan;
    check(InstanceMigration::checkDrift(args.file, plan), "cannot check " + location(args.file));
    session.close();
    Json objects = Json::array();
    std::size_t broken = 0;
    for (const SchemaObject& o : plan.objects) {
        objects.push_back(objectJson(o));
        broken += o.problem.empty() ? 0 : 1;
    }
    Json out = {{"file", location(args.file)},
                {"model", utf8(plan.modelName)},
                {"version", plan.fromVersion},
                {"drift", changeListJson(plan.drift)},
                {"unreconciled", changeListJson(plan.unreconciled)},
                {"objects", objects}};
    std::cout << (args.json ? jsonText(out)
                            : printable(location(args.file)) + ": model " + shown(plan.modelName) +
                                  " version " + std::to_string(plan.fromVersion) + "\n" +
                                  (plan.drift.empty() ? "no drift\n" : driftText(plan)) +
                                  objectsText(plan.objects));
    flushOutput();
    if (!plan.drift.empty()) {
        throw Failure(location(args.file) + " differs from the version it claims (" +
                      std::to_string(plan.unreconciled.size()) +
                      " of the differences no migration reconciles)");
    }
    if (broken > 0) {
        throw Failure(location(args.file) + ": " + std::to_string(broken) +
                      " of what was made in it beside the model's tables cannot be used");
    }
}

Json planJson(const MigrationPlan& plan) {
    Json checks = Json::array(), steps = Json::array(), objects = Json::array();
    for (const SchemaObject& o : plan.objects)
        objects.push_back(objectJson(o));
    for (const MigrationCheck& c : plan.checks) {
        Json entry = changeJson(c.change);
        entry["count"] = c.count;
        entry["refuses"] = c.refuses;
        entry["message"] = utf8(c.message);
        checks.push_back(std::move(entry));
    }
    for (const MigrationStep& s : plan.steps) {
        Json step = {{"action", stepActionName(s.action)},
                     {"table", utf8(s.table)},
                     {"column", utf8(s.column)},
                     {"rows", s.rows}};
        if (s.action == MigrationStep::Action::DropObject) step["object"] = objectJson(s.object);
        steps.push_back(std::move(step));
    }
    return {{"model", utf8(plan.modelName)},
            {"from", plan.fromVersion},
            {"to", plan.toVersion},
            {"changes", changeListJson(plan.changes)},
            {"drift", changeListJson(plan.drift)},
            {"objects", objects},
            {"checks", checks},
            {"steps", steps},
            {"migrated", plan.migrated}};
}

std::string planText(const MigrationPlan& plan, bool dryRun) {
    std::string text = "model " + shown(plan.modelName) + " version " +
                       std::to_string(plan.fromVersion) + " -> " + std::to_string(plan.toVersion) +
                       (dryRun ? " (dry run)" : "") + "\n";
    if (!plan.changes.empty()) text += "changes:\n" + changesText(plan.changes);
    if (!plan.drift.empty()) text += driftText(plan);
    if (!plan.checks.empty()) text += "checks:\n";
    for (const MigrationCheck& c : plan.checks) {
        const char* outcome = c.refuses ? "refused " : c.count > 0 ? "allowed " : "ok      ";
        text += std::string("  ") + outcome + shown(c.message) + "\n";
    }
    if (!plan.steps.empty()) text += "steps:\n";
    for (const MigrationStep& s : plan.steps) {
        text += "  " + std::string(stepActionName(s.action)) + " " +
                (s.action == MigrationStep::Action::DropObject ? objectName(s.object)
                                                               : shown(s.table)) +
                (s.column.empty() ? "" : "." + shown(s.column));
        if (s.action == MigrationStep::Action::RebuildTable ||
            s.action == MigrationStep::Action::DropTable)
            text += " (" + std::to_string(s.rows) + " rows)";
        if (s.action == MigrationStep::Action::SetVersion) text += std::to_string(s.rows);
        text += "\n";
    }
    return text;
}

void migrateFile(const Options& options, const MigrationArgs& args) {
    Session session(options);
    M_EntityModelDAO* claimed = nullptr;
    const ResultMsg read = InstanceMigration::readClaim(args.file, claimed);
    const std::unique_ptr<M_EntityModelDAO> owned(claimed);
    check(read, "cannot migrate " + location(args.file));
    M_EntityModelDAO target = *owned;
    target._version = args.to;
    MigrationOptions migration;
    migration.dryRun = args.dryRun;
    migration.allowDataLoss = args.allowDataLoss;
    migration.onRebuild = [](const std::string& table, int number, int count, long long rows) {
        progress(number, count,
                 "rebuilding table " + utf8(table) + " (" + std::to_string(rows) + " rows)", true);
    };
    MigrationPlan plan;
    const ResultMsg rm = InstanceMigration::migrate(args.file, target, migration, plan);
    session.close();
    // A refusal before anything was planned (another model, a version that
    // is not there or lower) is its message alone.
    const bool planned = rm.ok() || !plan.changes.empty() || !plan.drift.empty();
    if (args.json || planned)
        std::cout << (args.json ? jsonText(planJson(plan)) : planText(plan, args.dryRun));
    flushOutput();
    check(rm, "cannot migrate " + location(args.file));
    if (!args.json) std::cout << shown(rm.rMsg) << "\n";
}

}  // namespace

void addMigrationCommands(CLI::App& app, Options& options) {
    auto diff = std::make_shared<MigrationArgs>();
    CLI::App* command = modelSubcommand(app.get_subcommand("model"), options, "diff",
                                        "the changes between two versions of a model", diff->model,
                                        diff->project, diff->id);
    command->add_option("--from", diff->from, "the earlier version")->required()->check(fromOne());
    command->add_option("--to", diff->to, "the later version")->required()->check(fromOne());
    command->add_flag("--json", diff->json, "machine-readable output");
    action(command, [&options, diff] { diffModel(options, *diff); });

    CLI::App* data = app.get_subcommand("data");
    auto drift = std::make_shared<MigrationArgs>();
    command = data->add_subcommand(
        "check", "compare an instance file with the model version it claims (exit 1 on drift)");
    command->add_option("FILE", drift->file, "the instance file (or server URI)")->required();
    command->add_flag("--json", drift->json, "machine-readable output");
    action(command, [&options, drift] { checkFile(options, *drift); });

    auto migrate = std::make_shared<MigrationArgs>();
    command = data->add_subcommand(
        "migrate", "migrate an instance file to a later version of its model, in place");
    command->add_option("FILE", migrate->file, "the instance file (or server URI)")->required();
    command->add_option("--to-version", migrate->to, "the target version")
        ->required()
        ->check(fromOne());
    command->add_flag("--dry-run", migrate->dryRun, "plan and check only; write nothing");
    command->add_flag("--allow-data-loss", migrate->allowDataLoss,
                      "let changes drop rows or values (ended tables and columns) and what "
                      "was made on them (views, triggers, indexes)");
    command->add_flag("--json", migrate->json, "machine-readable output");
    action(command, [&options, migrate] { migrateFile(options, *migrate); });
}

}  // namespace qms
