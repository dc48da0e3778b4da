// qms folder add|delete, table add|show|delete, column add|change|delete:
// the structure of the highest version of a model.
#include <iostream>
#include <list>
#include <map>
#include <memory>
#include <sstream>

#include "Cli.h"
#include "CommandSession.h"
#include "Edits.h"
#include "GeneratedNames.h"
#include "Lookup.h"
#include "Output.h"
#include "PtrListHelper.h"
#include "RecordJson.h"
#include "StringHelper.h"

namespace qms {

namespace {

struct StructureArgs {
    std::string model;
    std::string project;
    std::string path;  // folder path (folder commands, table add)
    std::string table;
    std::string column;
    std::string display;
    std::string type;
    std::string defaultValue;
    std::string references;
    int id = 0;       // --id of the model
    int version = 0;  // table show: the model version (0: the highest)
    // column change: what is set (-1 or unset: unchanged)
    bool defaultGiven = false;
    int index = -1, unique = -1, maxLength = -1;
    bool generateDao = false;
    bool findKey = false;
    bool json = false;
};

// The model to change: its highest version, which must not be locked. Saves
// stamp its project's update time.
M_EntityModelDAO changeableModel(const StructureArgs& args) {
    M_EntityModelDAO model = findModel(args.model, args.project, 0, args.id);
    requireChangeable(model);
    return model;
}

// "A/B/C" as its names; empty names are refused, and a last name (the
// new folder's) that no new name may be.
std::vector<std::string> folderNames(const std::string& path) {
    std::vector<std::string> names;
    std::size_t start = 0;
    while (true) {
        const std::size_t slash = path.find('/', start);
        names.push_back(path.substr(start, slash - start));
        if (names.back().empty()) throw UsageError("folder path '" + path + "' has an empty name");
        if (slash == std::string::npos) break;
        start = slash + 1;
    }
    const std::string problem = newNameProblem(names.back());
    if (!problem.empty()) throw UsageError("PATH: " + problem);
    return names;
}

// "TABLE.COLUMN" of a stored column, else its identifier.
std::string columnName(int id) {
    M_NormalColumnDAO* found = nullptr;
    check(M_NormalColumnDAO::FindByID(id, found), "cannot read the column");
    std::unique_ptr<M_NormalColumnDAO> column(found);
    if (!column) return std::to_string(id);
    M_EntityTableDAO* owner = nullptr;
    check(M_EntityTableDAO::FindByID(column->_t_M_EntityTableID, owner), "cannot read the table");
    std::unique_ptr<M_EntityTableDAO> table(owner);
    return (table ? shown(table->_name) + "." : std::string()) + shown(column->_name);
}

// The records that a deletion removed or changed outside what was named,
// one a line (while the session is open: changed columns are named).
std::string reportLines(const std::string& report) {
    static const std::map<std::string, std::string> kinds = {
        {"2", "table"}, {"3", "column"}, {"6", "scene record"}};
    std::string text;
    for (const std::string& record : StringHelper::splitString(report, "#")) {
        const std::vector<std::string> parts = StringHelper::splitString(record, ",");
        if (parts.size() != 2) continue;
        if (parts[0] == "7") {
            text += "  cleared the reference of column " +
                    columnName(StringHelper::string2int(parts[1])) + "\n";
            continue;
        }
        const auto kind = kinds.find(parts[0]);
        text += "  also deleted " +
                (kind == kinds.end() ? "record of kind " + parts[0] : kind->second) + " " +
                parts[1] + "\n";
    }
    return text;
}

void addFolder(const Options& options, const StructureArgs& args) {
    const std::vector<std::string> names = folderNames(args.path);
    CommandSession session(options);
    M_EntityModelDAO model = changeableModel(args);
    M_FolderDAO parent;
    if (names.size() > 1) parent = findFolder(model, args.path.substr(0, args.path.rfind('/')));
    try {
        (void)qms::addFolder(model, names.size() > 1 ? &parent : nullptr, names.back(),
                             args.generateDao);
    } catch (const EditRefused& e) {
        // Named by its whole path here.
        if (e.field == "name") throw Failure("folder '" + args.path + "' exists");
        throw;
    }
    session.close();
    std::cout << "added folder " << printable(args.path) << "\n";
}

void deleteFolder(const Options& options, const StructureArgs& args) {
    CommandSession session(options);
    M_EntityModelDAO model = changeableModel(args);
    M_FolderDAO folder = findFolder(model, args.path);
    const std::string lines = reportLines(qms::deleteFolder(model, folder));
    session.close();
    std::cout << "deleted folder " << printable(args.path) << "\n" << lines;
}

void addTable(const Options& options, const StructureArgs& args) {
    CommandSession session(options);
    M_EntityModelDAO model = changeableModel(args);
    M_FolderDAO folder = findFolder(model, args.path);
    const M_EntityTableDAO table = qms::addTable(model, folder, args.table, args.display);
    session.close();
    std::cout << "added table " << printable(args.table) << " to folder " << printable(args.path)
              << "\n";
    const std::string renamed = renamedTable(table._name);
    if (!renamed.empty()) warn(renamed);
}

void showTable(const Options& options, const StructureArgs& args) {
    CommandSession session(options);
    M_EntityModelDAO model = findModel(args.model, args.project, args.version, args.id);
    M_EntityTableDAO table = findTable(model, args.table);
    const Json out = tableJson(model, table);
    session.close();
    std::cout << (args.json ? jsonText(out) : tableText(out));
}

void deleteTable(const Options& options, const StructureArgs& args) {
    CommandSession session(options);
    M_EntityModelDAO model = changeableModel(args);
    M_EntityTableDAO table = findTable(model, args.table);
    const std::string lines = reportLines(qms::deleteTable(model, table));
    session.close();
    std::cout << "deleted table " << printable(args.table) << "\n" << lines;
}

void addColumn(const Options& options, const StructureArgs& args) {
    ColumnFields fields;
    fields.dataType = dataTypeOf(args.type);
    CommandSession session(options);
    M_EntityModelDAO model = changeableModel(args);
    M_EntityTableDAO table = findTable(model, args.table);
    if (!args.references.empty()) fields.references = findTable(model, args.references)._ID;
    if (!args.display.empty()) fields.display = args.display;
    fields.defaultValue = args.defaultValue;
    fields.findKey = args.findKey;
    const M_NormalColumnDAO column = qms::addColumn(model, table, args.column, fields);
    session.close();
    std::cout << "added column " << printable(args.column) << " (" << args.type << ") to table "
              << printable(args.table) << "\n";
    const std::string renamed = renamedColumn(table._name, column._name);
    if (!renamed.empty()) warn(renamed);
}

void changeColumn(const Options& options, const StructureArgs& args) {
    CommandSession session(options);
    M_EntityModelDAO model = changeableModel(args);
    M_EntityTableDAO table = findTable(model, args.table);
    M_NormalColumnDAO column = findColumn(model, table, args.column);
    ColumnFields fields;
    if (!args.type.empty()) fields.dataType = dataTypeOf(args.type);
    if (args.defaultGiven) fields.defaultValue = args.defaultValue;
    if (!args.display.empty()) fields.display = args.display;
    if (args.index >= 0) fields.index = args.index;
    if (args.unique >= 0) fields.unique = args.unique;
    if (args.maxLength > 0) fields.maxLength = args.maxLength;
    qms::changeColumn(model, column, fields);
    session.close();
    std::cout << "changed column " << printable(args.column) << " of table "
              << printable(args.table) << " in version " << model._version << "\n";
}

void deleteColumn(const Options& options, const StructureArgs& args) {
    CommandSession session(options);
    M_EntityModelDAO model = changeableModel(args);
    M_EntityTableDAO table = findTable(model, args.table);
    M_NormalColumnDAO column = findColumn(model, table, args.column);
    qms::deleteColumn(model, column);
    session.close();
    std::cout << "deleted column " << printable(args.column) << " from table "
              << printable(args.table) << "\n";
}

}  // namespace

void addStructureCommands(CLI::App& app, Options& options) {
    CLI::App* folder = app.add_subcommand("folder", "add and delete folders of a model");
    folder->require_subcommand(1);
    auto folderAdd = std::make_shared<StructureArgs>();
    const auto named = [&](CLI::App* parent, const char* name, const char* help,
                           StructureArgs& args) {
        return modelSubcommand(parent, options, name, help, args.model, args.project, args.id);
    };
    CLI::App* command = named(folder, "add", "add a folder (A/B/C: C below A/B)", *folderAdd);
    command->add_option("PATH", folderAdd->path, "folder path")->required()->check(storable());
    command->add_flag("--generate-dao", folderAdd->generateDao,
                      "generate an intermediate DAO class");
    action(command, [&options, folderAdd] { addFolder(options, *folderAdd); });
    auto folderDelete = std::make_shared<StructureArgs>();
    command =
        named(folder, "delete", "delete a folder with its sub-folders and tables", *folderDelete);
    command->add_option("PATH", folderDelete->path, "folder path")->required()->check(storable());
    action(command, [&options, folderDelete] { deleteFolder(options, *folderDelete); });

    CLI::App* table = app.add_subcommand("table", "add, show and delete tables of a model");
    table->require_subcommand(1);
    auto tableAdd = std::make_shared<StructureArgs>();
    command = named(table, "add", "add a table to a folder", *tableAdd);
    command->add_option("FOLDERPATH", tableAdd->path, "folder path")->required()->check(storable());
    command->add_option("TABLE", tableAdd->table, "table name")->required()->check(newName());
    command->add_option("--display", tableAdd->display, "display name (default TABLE)")
        ->check(newName());
    action(command, [&options, tableAdd] { addTable(options, *tableAdd); });
    auto tableShow = std::make_shared<StructureArgs>();
    command = named(table, "show", "a table's columns and definitions", *tableShow);
    command->add_option("TABLE", tableShow->table, "table name")->required()->check(storable());
    command->add_option("--version", tableShow->version, "model version (default the highest)")
        ->check(fromOne())
        ->excludes(command->get_option("--id"));
    command->add_flag("--json", tableShow->json, "machine-readable output");
    action(command, [&options, tableShow] { showTable(options, *tableShow); });
    auto tableDelete = std::make_shared<StructureArgs>();
    command = named(table, "delete", "delete a table from a model", *tableDelete);
    command->add_option("TABLE", tableDelete->table, "table name")->required()->check(storable());
    action(command, [&options, tableDelete] { deleteTable(options, *tableDelete); });

    CLI::App* column = app.add_subcommand("column", "add, change and delete columns of a table");
    column->require_subcommand(1);
    auto columnAdd = std::make_shared<StructureArgs>();
    command = named(column, "add", "add a column to a table", *columnAdd);
    command->add_option("TABLE", columnAdd->table, "table name")->required()->check(storable());
    command->add_option("COLUMN", columnAdd->column, "column name")->required()->check(newName());
    command->add_option("--type", columnAdd->type, "int, text, real, bytes or blob")->required();
    command->add_option("--display", columnAdd->display, "display name (default COLUMN)")
        ->check(newName());
    command->add_option("--default", columnAdd->defaultValue, "default value")->check(storable());
    command->add_flag("--find-key", columnAdd->findKey, "a key of the generated finders");
    command->add_option("--references", columnAdd->references, "the table it refers to")
        ->check(storable());
    action(command, [&options, columnAdd] { addColumn(options, *columnAdd); });
    auto columnChange = std::make_shared<StructureArgs>();
    command = named(column, "change", "change a column from this version on", *columnChange);
    command->add_option("TABLE", columnChange->table, "table name")->required()->check(storable());
    command->add_option("COLUMN", columnChange->column, "column name")
        ->required()
        ->check(storable());
    command->add_option("--type", columnChange->type, "int, text, real, bytes or blob");
    CLI::Option* defaultValue =
        command->add_option("--default", columnChange->defaultValue, "default value ('' for none)")
            ->check(storable());
    command->add_option("--display", columnChange->display, "display name")->check(newName());
    command->add_option("--index", columnChange->index, "1: indexed, 0: not")
        ->check(CLI::Range(0, 1));
    command->add_option("--unique", columnChange->unique, "1: unique, 0: not")
        ->check(CLI::Range(0, 1));
    command->add_option("--max-length", columnChange->maxLength, "maximum length")
        ->check(fromOne());
    action(command, [&options, columnChange, defaultValue] {
        columnChange->defaultGiven = defaultValue->count() > 0;
        changeColumn(options, *columnChange);
    });
    auto columnDelete = std::make_shared<StructureArgs>();
    command = named(column, "delete", "delete a column from a table", *columnDelete);
    command->add_option("TABLE", columnDelete->table, "table name")->required()->check(storable());
    command->add_option("COLUMN", columnDelete->column, "column name")
        ->required()
        ->check(storable());
    action(command, [&options, columnDelete] { deleteColumn(options, *columnDelete); });
}

}  // namespace qms
