// export and import: projects with everything under them carried between
// configuration databases through an export file.
#include <algorithm>
#include <iostream>
#include <map>
#include <memory>

#include "Cli.h"
#include "CommandSession.h"
#include "FileHelper.h"
#include "Lookup.h"
#include "Output.h"
#include "PtrListHelper.h"

namespace qms {
namespace {

struct ExportArgs {
    std::vector<std::string> projects;
    std::vector<int> ids;  // --id
    std::string file;
};

struct ImportArgs {
    std::string file;
    std::vector<std::string> projects;
    std::vector<int> ids;  // --id: identifiers in the file
    bool list = false, json = false;
    bool all = false;  // --list: also the platform's own project
};

// --id N, once for each project; each takes one value so that FILE stays
// an argument.
CLI::Option* idsOption(CLI::App* command, std::vector<int>& ids, const char* help) {
    return command->add_option("--id", ids, help)->allow_extra_args(false)->check(fromOne());
}

void exportProjects(const Options& options, const ExportArgs& args) {
    CommandSession session(options);
    std::list<int> ids;
    const auto add = [&](int id) {
        if (std::find(ids.begin(), ids.end(), id) == ids.end()) ids.push_back(id);
    };
    for (const std::string& name : args.projects)
        add(findProject(name)._ID);
    for (int id : args.ids)
        add(findProject("", id)._ID);
    check(M_ProjectDAO::exportProject(ids, args.file), "cannot export to " + location(args.file));
    session.close();
    std::cout << "exported " << ids.size() << " project(s) to " << printable(location(args.file))
              << "\n";
}

void printList(const std::list<M_ProjectDAO*>& inFile, const ImportArgs& args) {
    std::list<const M_ProjectDAO*> projects;
    for (const M_ProjectDAO* p : inFile) {
        if (args.all || !isPlatformProject(p->_name)) projects.push_back(p);
    }
    if (!args.json) {
        for (const M_ProjectDAO* p : projects) {
            std::cout << shown(p->_name) << " (id " << p->_ID << ", type " << p->_type
                      << ", author " << shown(p->_author)
                      << (p->_createTime.empty() ? "" : ", created " + shown(p->_createTime))
                      << ")\n";
        }
        return;
    }
    Json out = Json::array();
    for (const M_ProjectDAO* p : projects) {
        out.push_back({{"id", p->_ID},
                       {"name", utf8(p->_name)},
                       {"type", p->_type},
                       {"author", utf8(p->_author)},
                       {"createTime", utf8(p->_createTime)},
                       {"uid", p->_uID}});
    }
    std::cout << jsonText(out);
}

// The identifiers in the file of the projects named, or of every project but
// the platform's own when none is named.
std::list<int> chosenProjects(const std::list<M_ProjectDAO*>& inFile, const ImportArgs& args) {
    std::list<int> ids;
    const std::string file = location(args.file);
    if (args.projects.empty() && args.ids.empty()) {
        for (const M_ProjectDAO* p : inFile) {
            if (!isPlatformProject(p->_name)) ids.push_back(p->_ID);
        }
        if (ids.empty()) throw Failure(file + " holds no project to import");
    }
    for (int id : args.ids) {
        const bool inTheFile = std::any_of(inFile.begin(), inFile.end(),
                                           [&](const M_ProjectDAO* p) { return p->_ID == id; });
        if (!inTheFile) throw Failure("no project with id " + std::to_string(id) + " in " + file);
        if (std::find(ids.begin(), ids.end(), id) == ids.end()) ids.push_back(id);
    }
    for (const std::string& name : args.projects) {
        int found = 0;
        for (const M_ProjectDAO* p : inFile) {
            if (p->_name != gbk(name)) continue;
            if (found != 0) {
                throw Failure("project '" + name + "' exists twice in " + file + " (ids " +
                              std::to_string(found) + ", " + std::to_string(p->_ID) +
                              "; give --id)");
            }
            found = p->_ID;
        }
        if (found == 0) throw Failure("no project '" + name + "' in " + file);
        if (std::find(ids.begin(), ids.end(), found) == ids.end()) ids.push_back(found);
    }
    return ids;
}

// Identifier and name (UTF-8) of every stored project.
std::map<int, std::string> storedProjects() {
    std::list<M_ProjectDAO*> projects;
    PtrListGuard<M_ProjectDAO> guard(projects);
    check(M_ProjectDAO::FindAll(projects), "cannot list the projects");
    std::map<int, std::string> names;
    for (const M_ProjectDAO* p : projects)
        names[p->_ID] = utf8(p->_name);
    return names;
}

void importProjects(const Options& options, const ImportArgs& args) {
    if ((args.json || args.all) && !args.list) throw UsageError("--json and --all go with --list");
    if (args.list && (!args.projects.empty() || !args.ids.empty()))
        throw UsageError("--list takes no PROJECT and no --id");
    CommandSession session(options);
    std::list<M_ProjectDAO*> inFile;
    PtrListGuard<M_ProjectDAO> guard(inFile);
    if (!FileHelper::isFileExists(args.file))
        throw Failure(location(args.file) + " does not exist");
    check(M_ProjectDAO::getImportProjectList(inFile, args.file),
          location(args.file) + " is no export file made by 'qms export'");
    if (args.list) {
        printList(inFile, args);
        return;
    }
    const std::list<int> ids = chosenProjects(inFile, args);
    const std::map<int, std::string> before = storedProjects();
    check(M_ProjectDAO::importProject(args.file, ids), "cannot import from " + location(args.file));
    // An imported project whose name was taken arrives under a new name.
    const std::map<int, std::string> after = storedProjects();
    session.close();
    for (const auto& [id, name] : after) {
        if (before.count(id) == 0) std::cout << "imported " << printable(name) << "\n";
    }
}

}  // namespace

void addTransferCommands(CLI::App& app, Options& options) {
    auto exportArgs = std::make_shared<ExportArgs>();
    CLI::App* exporter =
        app.add_subcommand("export",
                           "write projects with their models, tables, columns and dictionary rows "
                           "into a new export file");
    exporter->positionals_at_end();  // the last argument is FILE
    if (!options.byId) {
        exporter->add_option("PROJECT", exportArgs->projects, "project to export")
            ->required()
            ->check(storable());
    }
    idsOption(exporter, exportArgs->ids,
              "a project to export by its identifier, in place of PROJECT");
    exporter->add_option("FILE", exportArgs->file, "export file (never overwritten)")->required();
    action(exporter, [&options, exportArgs] { exportProjects(options, *exportArgs); });

    auto importArgs = std::make_shared<ImportArgs>();
    CLI::App* importer = app.add_subcommand(
        "import", "copy projects of an export file into the configuration database");
    importer->add_option("FILE", importArgs->file, "export file")->required();
    importer
        ->add_option("PROJECT", importArgs->projects,
                     "project of the file (default: all but ARX_QMS)")
        ->check(storable());
    idsOption(importer, importArgs->ids, "a project of the file by its identifier (see --list)");
    importer->add_flag("--list", importArgs->list, "list the projects of the file");
    importer->add_flag("--json", importArgs->json, "with --list: JSON output");
    importer->add_flag("--all", importArgs->all,
                       "with --list: also the platform's own project (ARX_QMS)");
    action(importer, [&options, importArgs] { importProjects(options, *importArgs); });
}

}  // namespace qms
