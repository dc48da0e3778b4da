// qms model export|apply|inspect: a model version as one file, the newest
// version made to match a file, and a live database read into a model.
#include <iostream>
#include <memory>

#include "ChangeText.h"
#include "Cli.h"
#include "CommandSession.h"
#include "InputFile.h"
#include "Lookup.h"
#include "ModelApply.h"
#include "ModelExport.h"
#include "ModelFile.h"
#include "ModelFileJson.h"
#include "ModelInspect.h"
#include "Output.h"

namespace qms {

namespace {

struct FileArgs {
    std::string model, project, file, output, versionOf, folder = "Tables";
    int id = 0, version = 0;
    bool dryRun = false, json = false;
};

void exportModel(const Options& options, const FileArgs& args) {
    CommandSession session(options);
    const M_EntityModelDAO model = findModel(args.model, args.project, args.version, args.id);
    ModelDescription description;
    check(ModelExport::describe(model, model._version, description),
          "cannot export model '" + utf8(model._name) + "'");
    session.close();
    writeOutput(args.output, args.json ? modelFileJson(description).dump(2) + "\n"
                                       : ModelFile::toYaml(description));
}

// What the apply did, in the form of `qms model diff`, then the changes of
// folders, places and definitions.
std::string planText(const ApplyPlan& plan, bool dryRun) {
    std::string text =
        "model " + shown(plan.modelName) + " version " + std::to_string(plan.version) + ": " +
        std::to_string(plan.changes.size() + plan.structure.size()) + " changes" +
        (dryRun ? " (dry run, nothing written)" : "") + "\n" + changesText(plan.changes);
    for (const StructureChange& s : plan.structure) {
        std::string kind = structureChangeName(s.kind);
        kind.resize(std::max<std::size_t>(kind.size(), 31), ' ');
        text += "  " + kind + shown(s.subject);
        using Kind = StructureChange::Kind;
        if (s.kind == Kind::ModelChanged || s.kind == Kind::FolderChanged ||
            s.kind == Kind::TableChanged || s.kind == Kind::TableMoved)
            text += "  " + s.attribute + ": " + shown(s.before) + " -> " + shown(s.after);
        text += "\n";
    }
    return text;
}

std::string notesText(const std::vector<InspectNote>& notes, const std::string& prefix) {
    std::string text;
    for (const auto kind : {InspectNote::Kind::Mapped, InspectNote::Kind::NotHeld}) {
        std::string lines;
        for (const InspectNote& n : notes) {
            if (n.kind == kind)
                lines += prefix + "  " + shown(n.subject) + ": " + shown(n.what) + "\n";
        }
        if (lines.empty()) continue;
        text += prefix +
                (kind == InspectNote::Kind::Mapped ? "held as the nearest type or form:\n"
                                                   : "not held by the model:\n") +
                lines;
    }
    return text;
}

void printPlan(const ApplyPlan& plan, const FileArgs& args, const Json& extra = Json()) {
    if (args.json) {
        Json out = applyPlanJson(plan);
        if (!extra.is_null()) out["notes"] = extra;
        std::cout << jsonText(out);
    } else {
        std::cout << planText(plan, args.dryRun);
    }
}

void applyFile(const Options& options, const FileArgs& args) {
    // The file is read and checked before any database is opened.
    ModelDescription description;
    check(ModelFile::parse(readFile(args.file, ModelFile::kMaxBytes), description),
          "cannot apply " + args.file);
    CommandSession session(options);
    const M_EntityModelDAO model = findModel(args.model, args.project, 0, args.id);
    M_ProjectDAO::setCurrProjectID(model._rProjectID);
    ApplyOptions apply;
    apply.dryRun = args.dryRun;
    ApplyPlan plan;
    const ResultMsg rm = ModelApply::apply(model, description, apply, plan);
    check(rm, "cannot apply " + args.file + " to model '" + utf8(model._name) + "'");
    session.close();
    printPlan(plan, args);
    if (!args.json && plan.applied)
        std::cout << "applied " << printable(args.file) << " to model " << shown(plan.modelName)
                  << " version " << plan.version << "\n";
}

void inspectDatabase(const Options& options, const FileArgs& args) {
    if (args.versionOf.empty() == args.model.empty())
        throw UsageError("give either --model (a new model) or --version-of (a new version)");
    CommandSession session(options);
    std::unique_ptr<M_EntityModelDAO> existing;
    if (!args.versionOf.empty())
        existing = std::make_unique<M_EntityModelDAO>(findModel(args.versionOf, args.project));
    InspectOptions inspect;
    inspect.folder = gbk(args.folder);
    inspect.existing = existing.get();
    ModelDescription description;
    std::vector<InspectNote> notes;
    check(ModelInspect::read(args.file, inspect, description, notes),
          "cannot read " + location(args.file));
    // The header names the version the file would make.
    if (existing) {
        ++description.record._version;
    } else {
        description.record._name = gbk(args.model);
        description.record._displayName = description.record._name;
        description.record._version = 1;
        description.project = gbk(args.project);
    }
    if (args.dryRun) {
        session.close();
        std::cout << (args.json ? jsonText({{"file", modelFileJson(description)},
                                            {"notes", inspectNotesJson(notes)}})
                                : notesText(notes, "# ") + ModelFile::toYaml(description));
        return;
    }
    ApplyPlan plan;
    ResultMsg rm;
    if (existing) {
        M_ProjectDAO::setCurrProjectID(existing->_rProjectID);
        rm = ModelApply::applyAsNewVersion(*existing, description, ApplyOptions(), plan);
    } else {
        const M_ProjectDAO project = findProject(args.project);
        M_ProjectDAO::setCurrProjectID(project._ID);
        rm = ModelApply::applyAsNewModel(project._ID, gbk(args.model), description, ApplyOptions(),
                                         plan);
    }
    check(rm, "cannot read " + location(args.file) + " into a model");
    session.close();
    if (args.json) {
        printPlan(plan, args, inspectNotesJson(notes));
        return;
    }
    std::cout << notesText(notes, "") << planText(plan, false) << "read "
              << printable(location(args.file)) << " into model " << shown(plan.modelName)
              << " version " << plan.version << "\n";
}

}  // namespace

void addModelFileCommands(CLI::App& app, Options& options) {
    CLI::App* model = app.get_subcommand("model");

    auto exported = std::make_shared<FileArgs>();
    CLI::App* command =
        modelSubcommand(model, options, "export", "a model version as one YAML (or JSON) file",
                        exported->model, exported->project, exported->id);
    command->add_option("--version", exported->version, "model version (default highest)")
        ->check(fromOne())
        ->excludes(command->get_option("--id"));
    command->add_option("-o,--output", exported->output, "the file (default standard output)");
    command->add_flag("--json", exported->json, "the same content as JSON");
    action(command, [&options, exported] { exportModel(options, *exported); });

    auto applied = std::make_shared<FileArgs>();
    command = modelSubcommand(model, options, "apply",
                              "make the newest version of a model match a model file",
                              applied->model, applied->project, applied->id);
    command->add_option("FILE", applied->file, "the model file (YAML or JSON)")->required();
    command->add_flag("--dry-run", applied->dryRun, "show what would change; write nothing");
    command->add_flag("--json", applied->json, "machine-readable output");
    action(command, [&options, applied] { applyFile(options, *applied); });

    auto inspected = std::make_shared<FileArgs>();
    command = model->add_subcommand(
        "inspect", "read an existing SQLite file or PostgreSQL database into a model");
    command->add_option("DATABASE", inspected->file, "a SQLite file or a postgresql:// URI")
        ->required();
    command->add_option("--project", inspected->project, "the project of the model")
        ->check(storable());
    command->add_option("--model", inspected->model, "a new model of that name")
        ->check(newName())
        ->needs(command->get_option("--project"));
    command
        ->add_option("--version-of", inspected->versionOf,
                     "an existing model: the database becomes its next version")
        ->check(storable())
        ->excludes(command->get_option("--model"));
    command->add_option("--folder", inspected->folder, "the folder of new tables (default Tables)")
        ->check(newName());
    command->add_flag("--dry-run", inspected->dryRun,
                      "print the file it would apply; write nothing");
    command->add_flag("--json", inspected->json, "machine-readable output");
    action(command, [&options, inspected] { inspectDatabase(options, *inspected); });
}

}  // namespace qms
