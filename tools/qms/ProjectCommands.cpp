// qms project list|create|show|delete.
#include <iostream>
#include <list>
#include <memory>
#include <sstream>

#include "Cli.h"
#include "CommandSession.h"
#include "Edits.h"
#include "Lookup.h"
#include "Output.h"
#include "PtrListHelper.h"
#include "RecordJson.h"

namespace qms {

namespace {

struct ProjectArgs {
    std::string name;
    std::string author;
    int id = 0;
    int type = 2;  // dictionary 1: 1 platform, 2 application
    bool json = false;
    bool all = false;  // list: also the platform's own project
};

void listProjects(const Options& options, const ProjectArgs& args) {
    CommandSession session(options);
    std::list<M_ProjectDAO*> projects;
    PtrListGuard<M_ProjectDAO> guard(projects);
    check(M_ProjectDAO::FindAll(projects), "cannot list the projects");
    session.close();

    Json out = Json::array();
    std::ostringstream text;
    for (const M_ProjectDAO* p : projects) {
        if (!args.all && isPlatformProject(p->_name)) continue;
        out.push_back(projectJson(*p));
        text << shown(p->_name) << "\t" << p->_type << "\t" << shown(p->_author) << "\t"
             << p->_updateTime << "\n";
    }
    std::cout << (args.json ? jsonText(out) : text.str());
}

void createProject(const Options& options, const ProjectArgs& args) {
    CommandSession session(options);
    qms::createProject(args.name, args.author, args.type);
    session.close();
    std::cout << "created project " << printable(args.name) << "\n";
}

void showProject(const Options& options, const ProjectArgs& args) {
    CommandSession session(options);
    M_ProjectDAO project = findProject(args.name, args.id);
    const Json out = projectDetailJson(project);
    session.close();
    if (args.json) {
        std::cout << jsonText(out);
        return;
    }
    std::ostringstream text;
    text << "name:    " << printable(out["name"]) << "\n"
         << "id:      " << project._ID << "\n"
         << "type:    " << project._type << "\n"
         << "author:  " << printable(out["author"]) << "\n"
         << "uid:     " << project._uID << "\n"
         << "created: " << project._createTime << "\n"
         << "updated: " << project._updateTime << "\n"
         << "models:\n";
    for (const Json& m : out["models"])
        text << "  " << printable(m["name"]) << " version " << m["version"].get<int>() << "\n";
    std::cout << text.str();
}

void deleteProject(const Options& options, const ProjectArgs& args) {
    CommandSession session(options);
    M_ProjectDAO project = findProject(args.name, args.id);
    qms::deleteProject(project);
    session.close();
    std::cout << "deleted project " << printable(utf8(project._name)) << "\n";
}

}  // namespace

void addProjectCommands(CLI::App& app, Options& options) {
    CLI::App* project = app.add_subcommand("project", "list, create, show and delete projects");
    project->require_subcommand(1);

    auto list = std::make_shared<ProjectArgs>();
    CLI::App* listCommand = project->add_subcommand("list", "the projects, newest change first");
    listCommand->add_flag("--json", list->json, "machine-readable output");
    listCommand->add_flag("--all", list->all,
                          "also the platform's own project (ARX_QMS, the self-description)");
    action(listCommand, [&options, list] { listProjects(options, *list); });

    auto create = std::make_shared<ProjectArgs>();
    CLI::App* createCommand = project->add_subcommand("create", "create a project");
    createCommand->add_option("NAME", create->name, "project name")->required()->check(newName());
    createCommand->add_option("--author", create->author, "author")->check(storable());
    createCommand->add_option("--type", create->type, "project type (default 2, application)");
    action(createCommand, [&options, create] { createProject(options, *create); });

    auto show = std::make_shared<ProjectArgs>();
    CLI::App* showCommand = project->add_subcommand("show", "a project's fields and models");
    nameOrId(showCommand, options, "NAME", "project name", show->name, show->id);
    showCommand->add_flag("--json", show->json, "machine-readable output");
    action(showCommand, [&options, show] { showProject(options, *show); });

    auto del = std::make_shared<ProjectArgs>();
    CLI::App* deleteCommand = project->add_subcommand("delete", "delete a project with its models");
    nameOrId(deleteCommand, options, "NAME", "project name", del->name, del->id);
    action(deleteCommand, [&options, del] { deleteProject(options, *del); });
}

}  // namespace qms
