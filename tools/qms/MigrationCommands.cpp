// qms model diff, qms data check, qms data migrate: the differences between
// two versions of a model, and instance files that follow their model.
#include <iostream>
#include <memory>

#include "ChangeText.h"
#include "Cli.h"
#include "CommandSession.h"
#include "InstanceMigration.h"
#include "Lookup.h"
#include "MRDService.h"
#include "M_EntityModelDAO.h"
#include "Output.h"
#include "RecordJson.h"

namespace qms {
namespace {

struct MigrationArgs {
    std::string model, project, file, dialect, server;
    std::vector<std::string> files;
    int id = 0, from = 0, to = 0, version = 0;
    bool dryRun = false, allowDataLoss = false, json = false, sql = false;
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
    CommandSession session(options);
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
    CommandSession session(options);
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

// The statements as one script that runs them in one transaction, as the library does.
std::string sqlScript(const std::vector<std::string>& statements) {
    std::string text = "BEGIN;\n";
    for (const std::string& statement : statements)
        text += statement + ";\n";
    return text + "COMMIT;\n";
}

MigrationOptions migrationOptions(const MigrationArgs& args) {
    MigrationOptions migration;
    migration.dryRun = args.dryRun;
    migration.allowDataLoss = args.allowDataLoss;
    migration.onRebuild = [](const std::string& table, int number, int count, long long rows) {
        progress(number, count,
                 "rebuilding table " + utf8(table) + " (" + std::to_string(rows) + " rows)", true);
    };
    return migration;
}

void migrateFile(const Options& options, const MigrationArgs& args) {
    const std::string& file = args.files.front();
    CommandSession session(options);
    MigrationOptions migration = migrationOptions(args);
    std::vector<std::string> statements;
    if (args.sql) migration.statements = &statements;
    MigrationPlan plan;
    const ResultMsg rm = InstanceMigration::migrateToVersion(file, args.to, migration, plan);
    session.close();
    // A refusal before anything was planned (another model, a version that
    // is not there) is its message alone.
    const bool planned = rm.ok() || !plan.changes.empty() || !plan.drift.empty();
    if (rm.ok() && args.sql) {
        std::cout << sqlScript(statements);
    } else if (args.json || planned) {
        std::cout << (args.json ? jsonText(planJson(plan)) : planText(plan, args.dryRun));
    }
    flushOutput();
    check(rm, "cannot migrate " + location(file));
    if (!args.json && !args.sql) std::cout << shown(rm.rMsg) << "\n";
}

const char* outcomeName(MigrationOutcome::Result result) {
    switch (result) {
        case MigrationOutcome::Result::Migrated:
            return "migrated";
        case MigrationOutcome::Result::AlreadyThere:
            return "already there";
        case MigrationOutcome::Result::Refused:
            return "refused";
    }
    return "";
}

// Each file in its own transaction, then what became of each.
void migrateFiles(const Options& options, const MigrationArgs& args) {
    if (args.sql) throw UsageError("--sql takes one instance file");
    CommandSession session(options);
    std::vector<MigrationOutcome> outcomes;
    const int refused =
        InstanceMigration::migrateEach(args.files, args.to, migrationOptions(args), outcomes);
    session.close();
    std::size_t counts[3] = {0, 0, 0};
    Json list = Json::array();
    std::string lines;
    for (const MigrationOutcome& o : outcomes) {
        ++counts[static_cast<int>(o.result)];
        std::string name = outcomeName(o.result);
        list.push_back(
            {{"file", location(o.location)}, {"result", name}, {"message", utf8(o.answer.rMsg)}});
        name.resize(15, ' ');
        lines +=
            "  " + name + printable(location(o.location)) +
            (o.result == MigrationOutcome::Result::Refused ? ": " + shown(o.answer.rMsg) : "") +
            "\n";
    }
    const std::string verb = args.dryRun ? " would be migrated, " : " migrated, ";
    std::cout << (args.json ? jsonText(Json{{"to", args.to}, {"files", list}})
                            : lines + std::to_string(counts[0]) + verb + std::to_string(counts[1]) +
                                  " already there, " + std::to_string(counts[2]) + " refused\n");
    flushOutput();
    if (refused > 0) {
        throw Failure(std::to_string(refused) + " of " + std::to_string(outcomes.size()) +
                      " instance files refused");
    }
}

// The statements that make an instance of the model version.
void modelSql(const Options& options, const MigrationArgs& args) {
    const bool server = args.dialect == "postgresql";
    std::string where = args.server;
    if (server && where.empty() && MRDService::isServerLocation(options.config))
        where = options.config;
    if (server && !MRDService::isServerLocation(where))
        throw UsageError(
            "--dialect postgresql runs the statements on a server, in a transaction "
            "that is rolled back: give --server postgresql://...");
    if (!server && !where.empty()) throw UsageError("--server goes with --dialect postgresql");
    CommandSession session(options);
    const M_EntityModelDAO model = findModel(args.model, args.project, args.version, args.id);
    std::vector<std::string> statements;
    check(model.instanceStatements(where, statements),
          "cannot list the statements of '" + utf8(model._name) + "'");
    session.close();
    std::cout << sqlScript(statements);
    flushOutput();
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
        "migrate", "migrate instance files to another version of their model, in place");
    command->add_option("FILE", migrate->files, "the instance files (or server URIs)")->required();
    command->add_option("--to-version", migrate->to, "the target version (lower goes back)")
        ->required()
        ->check(fromOne());
    command->add_flag("--dry-run", migrate->dryRun, "plan and check only; write nothing");
    command->add_flag("--allow-data-loss", migrate->allowDataLoss,
                      "let changes drop rows or values (ended tables and columns) and what "
                      "was made on them (views, triggers, indexes)");
    command
        ->add_flag("--sql", migrate->sql,
                   "print the statements the migration runs, in order; write nothing")
        ->excludes("--dry-run");
    command->add_flag("--json", migrate->json, "machine-readable output");
    action(command, [&options, migrate] {
        if (migrate->files.size() == 1) {
            migrateFile(options, *migrate);
        } else {
            migrateFiles(options, *migrate);
        }
    });

    auto sql = std::make_shared<MigrationArgs>();
    command = modelSubcommand(app.get_subcommand("model"), options, "sql",
                              "the statements that make an instance of a model version", sql->model,
                              sql->project, sql->id);
    command->add_option("--version", sql->version, "model version (default highest)")
        ->check(fromOne())
        ->excludes(command->get_option("--id"));
    command->add_option("--dialect", sql->dialect, "sqlite or postgresql")
        ->required()
        ->check(CLI::IsMember({"sqlite", "postgresql"}));
    command->add_option("--server", sql->server,
                        "with postgresql: the server database to run them in, rolled back "
                        "(default the configuration database when it is on a server)");
    action(command, [&options, sql] { modelSql(options, *sql); });
}

}  // namespace qms
