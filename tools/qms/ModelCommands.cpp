// qms model list|create|show|upgrade|copy|instance.
#include <unistd.h>

#include <iostream>
#include <list>
#include <map>
#include <memory>
#include <sstream>

#include "Cli.h"
#include "CommandSession.h"
#include "Edits.h"
#include "Lookup.h"
#include "MRDService.h"
#include "Output.h"
#include "PtrListHelper.h"
#include "RecordJson.h"
#include "StringHelper.h"

namespace qms {

namespace {

struct ModelArgs {
    std::string model;
    std::string project;
    std::string name;  // create: the new model; copy: the copy; instance: the file
    std::string display;
    int type = 1;  // dictionary 2: 1 ordinary, 2 dictionary model
    int version = 0;
    int id = 0;  // --id: of the model, or of the project for list and create
    bool json = false;
    bool all = false;  // list: also the models of the platform's own project
};

void listModels(const Options& options, const ModelArgs& args) {
    CommandSession session(options);
    std::list<M_EntityModelDAO*> models;
    PtrListGuard<M_EntityModelDAO> guard(models);
    if (args.project.empty() && args.id == 0) {
        check(M_EntityModelDAO::FindAll(models), "cannot list the models");
    } else {
        const M_ProjectDAO project = findProject(args.project, args.id);
        check(M_EntityModelDAO::FindByRProjectID(project._ID, models),
              "cannot list the models of '" + utf8(project._name) + "'");
    }
    // Named by --project or --id, even the platform's project lists its models.
    const bool all = args.all || !args.project.empty() || args.id > 0;
    Json out = Json::array();
    for (Json& m : modelsJson(models)) {
        if (all || !isPlatformProject(gbk(m["project"]))) out.push_back(std::move(m));
    }
    session.close();

    std::string text;
    for (const Json& m : out) {
        text += printable(m["name"]) + "\t" + std::to_string(m["version"].get<int>()) + "\t" +
                std::to_string(m["type"].get<int>()) + "\t" +
                (m["locked"].get<bool>() ? "locked" : "unlocked") + "\t" + printable(m["project"]) +
                "\n";
    }
    std::cout << (args.json ? jsonText(out) : text);
}

void createModel(const Options& options, const ModelArgs& args) {
    CommandSession session(options);
    M_ProjectDAO project = findProject(args.project, args.id);
    const M_EntityModelDAO model = qms::createModel(project, args.name, args.type, args.display);
    session.close();
    std::cout << "created model " << printable(args.name) << " version " << model._version
              << " in project " << printable(utf8(project._name)) << "\n";
}

void showModel(const Options& options, const ModelArgs& args) {
    CommandSession session(options);
    M_EntityModelDAO model = findModel(args.model, args.project, args.version, args.id);
    const Json out = modelDetailJson(model);
    session.close();
    const std::string text =
        "model:   " + shown(model._name) + "\nversion: " + std::to_string(model._version) +
        "\ntype:    " + std::to_string(model._type) +
        "\nlocked:  " + (model._isVersionLocked == 1 ? "yes" : "no") +
        "\nproject: " + printable(out["project"]) + "\ndisplay: " + shown(model._displayName) +
        "\nfolders:\n" + folderTreeText(out["folders"], 1) + "tables:\n" +
        tableListText(out["folders"]);
    std::cout << (args.json ? jsonText(out) : text);
}

void upgradeModel(const Options& options, const ModelArgs& args) {
    CommandSession session(options);
    M_EntityModelDAO model = findModel(args.model, args.project, 0, args.id);
    const M_EntityModelDAO upgraded = qms::upgradeModel(model);
    session.close();
    std::cout << "upgraded " << shown(model._name) << " to version " << upgraded._version << "\n";
}

void copyModel(const Options& options, const ModelArgs& args) {
    CommandSession session(options);
    M_EntityModelDAO source = findModel(args.model, args.project, args.version, args.id);
    M_ProjectDAO::setCurrProjectID(source._rProjectID);
    auto copy = std::make_unique<M_EntityModelDAO>();
    copy->_name = gbk(args.name);
    copy->_displayName = gbk(args.name);
    M_EntityModelDAO* target = copy.get();
    check(source.copyTo(target), "cannot copy model '" + utf8(source._name) + "'");
    session.close();
    std::cout << "copied " << shown(source._name) << " version " << source._version << " to "
              << printable(args.name) << " version " << copy->_version << "\n";
}

void createInstance(const Options& options, const ModelArgs& args) {
    // The library takes a folder and a file name (a server URI and none); a
    // relative path is taken from the current folder.
    std::string path = args.name;
    const bool server = MRDService::isServerLocation(path);
    if (path.empty() || (!server && path.back() == '/'))
        throw UsageError("FILE must name a file or a server database");
    if (!server && path.front() != '/') {
        char cwd[4096];
        if (getcwd(cwd, sizeof(cwd)) == nullptr) throw Failure("cannot read the current folder");
        path = std::string(cwd) + "/" + path;
    }
    const std::size_t slash = server ? path.size() - 1 : path.rfind('/');
    CommandSession session(options);
    M_EntityModelDAO model = findModel(args.model, args.project, args.version, args.id);
    check(model.createInstance(path.substr(0, slash + 1), path.substr(slash + 1)),
          "cannot create " + location(args.name));
    session.close();
    std::cout << "created " << printable(location(args.name)) << " for " << shown(model._name)
              << " version " << model._version << "\n";
}

}  // namespace

// A subcommand taking MODEL and [--project P]; StructureCommands.cpp uses it
// too (declared there).
void addModelCommands(CLI::App& app, Options& options) {
    CLI::App* model = app.add_subcommand("model", "list, create, show, upgrade and copy models");
    model->require_subcommand(1);
    const auto versioned = [](CLI::App* command, ModelArgs& args) {
        command->add_option("--version", args.version, "model version (default highest)")
            ->check(fromOne())
            ->excludes(command->get_option("--id"));
        return command;
    };
    const auto named = [&](const char* name, const char* help, ModelArgs& args) {
        return modelSubcommand(model, options, name, help, args.model, args.project, args.id);
    };

    auto list = std::make_shared<ModelArgs>();
    CLI::App* listCommand =
        model->add_subcommand("list", "the models: name, version, type, locked, project");
    listCommand->add_option("--project", list->project, "only the models of this project")
        ->check(storable())
        ->excludes(listCommand->add_option("--id", list->id, "only the models of this project id")
                       ->check(fromOne()));
    listCommand->add_flag("--json", list->json, "machine-readable output");
    listCommand->add_flag("--all", list->all,
                          "also the models of the platform's own project (ARX_QMS)");
    action(listCommand, [&options, list] { listModels(options, *list); });

    auto create = std::make_shared<ModelArgs>();
    CLI::App* createCommand = model->add_subcommand("create", "create a model in a project");
    nameOrId(createCommand, options, "PROJECT", "project name", create->project, create->id);
    createCommand->add_option("NAME", create->name, "model name")->required()->check(newName());
    createCommand->add_option("--type", create->type,
                              "model type (default 1; 2 a dictionary model)");
    createCommand->add_option("--display", create->display, "display name (default NAME)")
        ->check(newName());
    action(createCommand, [&options, create] { createModel(options, *create); });

    auto show = std::make_shared<ModelArgs>();
    CLI::App* showCommand =
        versioned(named("show", "a model's folder tree with its tables", *show), *show);
    showCommand->add_flag("--json", show->json, "machine-readable output");
    action(showCommand, [&options, show] { showModel(options, *show); });

    auto upgrade = std::make_shared<ModelArgs>();
    CLI::App* upgradeCommand =
        named("upgrade", "lock the highest version and make the next one from it", *upgrade);
    action(upgradeCommand, [&options, upgrade] { upgradeModel(options, *upgrade); });

    auto copy = std::make_shared<ModelArgs>();
    CLI::App* copyCommand =
        versioned(named("copy", "copy a model into a new model of its project", *copy), *copy);
    copyCommand->add_option("NEWNAME", copy->name, "name of the copy")
        ->required()
        ->check(newName());
    action(copyCommand, [&options, copy] { copyModel(options, *copy); });

    auto instance = std::make_shared<ModelArgs>();
    CLI::App* instanceCommand = versioned(
        named("instance", "create an instance file (a work database) of a model", *instance),
        *instance);
    instanceCommand
        ->add_option("FILE", instance->name, "the new file, or a server database holding no table")
        ->required();
    action(instanceCommand, [&options, instance] { createInstance(options, *instance); });
}

}  // namespace qms
