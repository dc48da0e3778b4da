// codegen: the C++ source of the DAO classes of a table, or of every table
// in a folder and below it (with the folder's intermediate class when it
// generates one).
#include <iostream>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "Cli.h"
#include "CommandSession.h"
#include "GeneratedNames.h"
#include "Lookup.h"
#include "Output.h"
#include "PtrListHelper.h"

namespace qms {
namespace {

struct CodegenArgs {
    std::string name, dir, model, project;
    int id = 0;  // --id of the model
    bool allowRenamed = false;
};

bool hasTable(M_EntityModelDAO& model, const std::string& name) {
    std::list<M_EntityTableDAO*> tables;
    PtrListGuard<M_EntityTableDAO> guard(tables);
    check(model.getEntityTableList(tables), "cannot list the tables");
    for (const M_EntityTableDAO* table : tables) {
        if (table->_name == gbk(name)) return true;
    }
    return false;
}

bool hasRootFolder(const M_EntityModelDAO& model, const std::string& name) {
    std::list<M_FolderDAO*> folders;
    PtrListGuard<M_FolderDAO> guard(folders);
    check(M_FolderDAO::FindRootFolderByEntityModelID(model._ID, folders),
          "cannot list the folders");
    for (const M_FolderDAO* folder : folders) {
        if (folder->_name == gbk(name)) return true;
    }
    return false;
}

// NAME names a folder when it holds a "/" (a trailing one marks a single
// name as a folder), else a table, or a root folder when no table has it.
struct Target {
    bool folder;
    std::string path;
};

Target targetOf(const std::string& name) {
    Target target{name.find('/') != std::string::npos, name};
    if (!target.path.empty() && target.path.back() == '/') target.path.pop_back();
    if (target.path.empty()) throw UsageError("empty table or folder name");
    return target;
}

bool holds(M_EntityModelDAO& model, const Target& target) {
    if (target.folder) return hasRootFolder(model, target.path.substr(0, target.path.find('/')));
    return hasTable(model, target.path) || hasRootFolder(model, target.path);
}

// The model that --model names, or else the one model (highest version of
// each) that holds the table or the folder path's root folder.
M_EntityModelDAO modelOf(const CodegenArgs& args, const Target& target) {
    if (!args.model.empty() || args.id > 0) return findModel(args.model, args.project, 0, args.id);
    const int projectID = args.project.empty() ? 0 : findProject(args.project)._ID;
    std::list<M_EntityModelDAO*> all;
    PtrListGuard<M_EntityModelDAO> guard(all);
    check(M_EntityModelDAO::FindAll(all), "cannot list the models");
    std::map<std::pair<int, std::string>, M_EntityModelDAO*> highest;
    for (M_EntityModelDAO* model : all) {
        if (projectID > 0 && model->_rProjectID != projectID) continue;
        M_EntityModelDAO*& kept = highest[{model->_rProjectID, model->_name}];
        if (kept == nullptr || model->_version > kept->_version) kept = model;
    }
    M_EntityModelDAO* chosen = nullptr;
    for (const auto& entry : highest) {
        if (!holds(*entry.second, target)) continue;
        if (chosen != nullptr)
            throw Failure("'" + args.name + "' exists in several models (give --model)");
        chosen = entry.second;
    }
    if (chosen == nullptr) throw Failure("no table or folder '" + args.name + "' in any model");
    return *chosen;
}

// The tables of the model's version that lie in the folder or below it.
void collectTables(M_FolderDAO& folder, const std::set<int>& inModel, std::set<int>& seen,
                   std::vector<std::unique_ptr<M_EntityTableDAO>>& out) {
    std::list<M_EntityTableDAO*> tables;
    PtrListGuard<M_EntityTableDAO> tablesGuard(tables);
    check(folder.getM_EntityTableDAOList(tables), "cannot list the tables");
    for (M_EntityTableDAO*& table : tables) {
        if (inModel.count(table->_ID) == 0 || !seen.insert(table->_ID).second) continue;
        out.emplace_back(table);
        table = nullptr;
    }
    std::list<M_FolderDAO*> subs;
    PtrListGuard<M_FolderDAO> subsGuard(subs);
    check(M_FolderDAO::FindByParentFolderID(folder._ID, subs), "cannot list the folders");
    for (M_FolderDAO* sub : subs)
        collectTables(*sub, inModel, seen, out);
}

std::vector<std::unique_ptr<M_EntityTableDAO>> tablesBelow(M_EntityModelDAO& model,
                                                           M_FolderDAO& folder) {
    std::list<M_EntityTableDAO*> all;
    PtrListGuard<M_EntityTableDAO> guard(all);
    check(model.getEntityTableList(all), "cannot list the tables of model " + utf8(model._name));
    std::set<int> inModel, seen;
    for (const M_EntityTableDAO* table : all)
        inModel.insert(table->_ID);
    std::vector<std::unique_ptr<M_EntityTableDAO>> tables;
    collectTables(folder, inModel, seen, tables);
    return tables;
}

// Names that code generation would change (their prefix missing) are
// refused before anything is written, or with --allow-renamed warned about.
void checkPrefixes(M_EntityModelDAO& model, const std::vector<M_EntityTableDAO*>& tables,
                   const CodegenArgs& args) {
    std::vector<std::string> renamed;
    for (M_EntityTableDAO* table : tables) {
        const std::string own = renamedTable(table->_name);
        if (!own.empty()) renamed.push_back(own);
        std::list<M_NormalColumnDAO*> columns;
        PtrListGuard<M_NormalColumnDAO> guard(columns);
        check(table->getNormalColumnDAOList(&model, columns),
              "cannot list the columns of table " + utf8(table->_name));
        for (const M_NormalColumnDAO* column : columns) {
            const std::string member = renamedColumn(table->_name, column->_name);
            if (!member.empty()) renamed.push_back(member);
        }
    }
    if (renamed.empty()) return;
    if (!args.allowRenamed) {
        std::string all;
        for (const std::string& one : renamed)
            all += (all.empty() ? "" : "; ") + one;
        throw Failure("cannot generate " + args.name + ": " + all +
                      " (--allow-renamed generates them so)");
    }
    for (const std::string& one : renamed)
        warn(one);
}

void generate(const Options& options, const CodegenArgs& args) {
    const Target target = targetOf(args.name);
    if (args.dir.empty()) throw UsageError("empty folder for the source files");
    CommandSession session(options);
    M_EntityModelDAO model = modelOf(args, target);
    if (!holds(model, target)) {
        throw Failure("no table or folder '" + args.name + "' in model " + utf8(model._name));
    }
    std::list<std::string> files;
    std::string failure;
    if (!target.folder && hasTable(model, target.path)) {
        M_EntityTableDAO table = findTable(model, target.path);
        checkPrefixes(model, {&table}, args);
        const ResultMsg rm = table.CreateCode(&model, args.dir, files);
        if (!rm.ok()) failure = "cannot generate table " + target.path + ": " + utf8(rm.rMsg);
    } else {
        M_FolderDAO folder = findFolder(model, target.path);
        std::vector<std::unique_ptr<M_EntityTableDAO>> tables = tablesBelow(model, folder);
        if (folder._isGenerateDAO != 1 && tables.empty())
            throw Failure("folder " + target.path + " holds no table and generates no class");
        // Every class is checked before the first file is written, so a
        // refused one leaves the folder as it was.
        std::vector<M_EntityTableDAO*> generated;
        for (const auto& table : tables)
            generated.push_back(table.get());
        checkPrefixes(model, generated, args);
        if (folder._isGenerateDAO == 1)
            check(folder.CheckCode(), "cannot generate folder " + target.path);
        for (const auto& table : tables)
            check(table->CheckCode(&model), "cannot generate table " + utf8(table->_name));
        if (folder._isGenerateDAO == 1) {
            const ResultMsg rm = folder.CreateCode(args.dir, files);
            if (!rm.ok()) failure = "cannot generate folder " + target.path + ": " + utf8(rm.rMsg);
        }
        for (std::size_t i = 0; i < tables.size() && failure.empty(); ++i) {
            const std::string name = utf8(tables[i]->_name);
            progress(i + 1, tables.size(), name);
            const ResultMsg rm = tables[i]->CreateCode(&model, args.dir, files);
            if (!rm.ok()) failure = "cannot generate table " + name + ": " + utf8(rm.rMsg);
        }
    }
    // The files written, also those written before a failure; every table
    // adds its line to the same registration file.
    std::set<std::string> printed;
    for (const std::string& file : files) {
        if (printed.insert(file).second) std::cout << printable(file) << "\n";
    }
    if (!failure.empty()) throw Failure(failure);
    session.close();
}

}  // namespace

void addCodegenCommand(CLI::App& app, Options& options) {
    auto args = std::make_shared<CodegenArgs>();
    CLI::App* command = app.add_subcommand(
        "codegen", "write the C++ DAO and mapper classes of a table or of the tables of a folder");
    command
        ->add_option("NAME", args->name, "table, or folder path A/B (a trailing / means a folder)")
        ->required()
        ->check(storable());
    command->add_option("DIR", args->dir, "folder for the source files (made when missing)")
        ->required();
    CLI::Option* byId =
        command->add_option("--id", args->id, "the identifier of the model, in place of --model")
            ->check(fromOne());
    command->add_option("--model", args->model, "entity model (default: the one holding NAME)")
        ->check(storable())
        ->excludes(byId);
    command->add_option("--project", args->project, "project of the model")
        ->check(storable())
        ->excludes(byId);
    command->add_flag("--allow-renamed", args->allowRenamed,
                      "generate a table without the prefix T_ or a column without its prefix "
                      "letter (the generated names lose their first characters) with a warning");
    action(command, [&options, args] { generate(options, *args); });
}

}  // namespace qms
