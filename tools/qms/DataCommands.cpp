// data and dict: the rows of a table written to and read from a UTF-8 file,
// either in the row text form (values joined by "@#@", one line per row) or
// as CSV with a header line of column names (RFC 4180 quoting). `data`
// works on the rows of the work database, which must be an instance file of
// the model, with the row identifier as first value; `dict` on the rows of a
// dictionary model's table, kept in the configuration database, without
// one. Blob columns (bytes, blob) are not carried.
#include <iostream>
#include <memory>

#include "Cli.h"
#include "CommandSession.h"
#include "InputFile.h"
#include "InstanceDataManager.h"
#include "Lookup.h"
#include "MeridianNew.h"
#include "Output.h"
#include "PtrListHelper.h"
#include "RowFile.h"
#include "RowText.h"
#include "Transaction.h"

namespace qms {
namespace {

struct RowArgs {
    std::string model, table, project, file, output;
    int id = 0;  // --id of the model
    bool csv = false;
    bool keepIDs = false;
};

// The columns of a table in a model version, in the order of the library's
// lines, and which of them a file carries: the identifier column (work
// database rows) and every column except blobs.
class TableColumns {
public:
    TableColumns(M_EntityModelDAO& model, M_EntityTableDAO& table, bool withID) {
        check(table.getNormalColumnDAOList(&model, all_),
              "cannot read the columns of table " + utf8(table._name));
        id_._name = id_._innerName = "id";
        id_._dataType = 1;
        if (withID) {
            carried.push_back(&id_);
            kept.push_back(true);
        }
        for (M_NormalColumnDAO* column : all_) {
            const bool blob = column->_dataType == 4 || column->_dataType == 5;
            kept.push_back(!blob);
            if (!blob) carried.push_back(column);
        }
    }

    std::vector<std::string> names() const {
        std::vector<std::string> names;
        for (const M_NormalColumnDAO* column : carried)
            names.push_back(utf8(column->_name));
        return names;
    }

    std::list<M_NormalColumnDAO*> carried;  ///< handed to the library
    std::vector<bool> kept;                 ///< per value of a library line

private:
    M_NormalColumnDAO id_;
    std::list<M_NormalColumnDAO*> all_;
    PtrListGuard<M_NormalColumnDAO> allGuard_{all_};
};

// The library's lines as the file's text.
std::string render(const TableColumns& columns, const std::list<std::string>& lines, bool csv) {
    std::string text = csv ? csvLine(columns.names()) : "";
    std::size_t row = 0;
    for (const std::string& line : lines) {
        const std::string where = "row " + std::to_string(++row);
        const std::vector<std::string> all = rowValues(line);
        if (all.size() != columns.kept.size())
            throw Failure(where + ": a value holds \"" + rowtext::kSeparator +
                          "\", which no file can carry");
        std::vector<std::string> values;
        for (std::size_t i = 0; i < all.size(); ++i) {
            if (columns.kept[i]) values.push_back(utf8(all[i]));
        }
        if (csv) {
            text += csvLine(values);
            continue;
        }
        for (const std::string& value : values) {
            if (value.find_first_of("\r\n") != std::string::npos)
                throw Failure(where + ": a value holds a line break (export with --csv)");
        }
        rowtext::join(values.data(), values.size(), text);
        text += "\n";
    }
    return text;
}

// The file's rows as the library's lines (GBK), and the line of the file
// each starts on; every row is checked before the library is called, so
// that a bad file writes nothing.
struct FileLines {
    std::list<std::string> lines;
    std::vector<std::size_t> starts;
};

FileLines parse(const std::string& path, const TableColumns& columns, bool csv,
                const std::string& table) {
    std::vector<FileRow> rows;
    if (csv) {
        rows = parseCsv(readFile(path), path);
        const std::string header = csvLine(columns.names());
        if (rows.empty() || csvLine(rows.front().values) != header) {
            throw Failure(path + ": the header line must name the columns of table " + table +
                          " in order: " + header.substr(0, header.size() - 1));
        }
        rows.erase(rows.begin());
    } else {
        std::size_t line = 0;
        for (const std::string& text : readLines(path))
            rows.push_back({++line, rowValues(text)});
    }
    FileLines parsed;
    for (const FileRow& row : rows) {
        const std::string where = path + " line " + std::to_string(row.line) + ": ";
        if (row.values.size() != columns.carried.size()) {
            throw Failure(where + std::to_string(row.values.size()) + " values, table " + table +
                          " takes " + std::to_string(columns.carried.size()));
        }
        parsed.lines.push_back(libraryLine(row.values, where));
        parsed.starts.push_back(row.line);
    }
    return parsed;
}

// The library names a failed line by its place among the lines it was given
// ("第3行..."); a file's header and values over several lines put it on
// another line of the file, which is named in front.
std::string failedLine(const std::string& message, const FileLines& file, const std::string& path) {
    const std::string before = u8"第", after = u8"行";
    if (message.rfind(before, 0) != 0) return message;
    const std::size_t digits = before.size(), end = message.find(after, digits);
    if (end == std::string::npos || end == digits || end - digits > 9 ||
        message.find_first_not_of("0123456789", digits) != end)
        return message;
    const std::size_t index = std::stoul(message.substr(digits, end - digits));
    if (index == 0 || index > file.starts.size()) return message;
    return path + " line " + std::to_string(file.starts[index - 1]) + ": " + message;
}

// The version of the model that the work database is an instance file of.
std::unique_ptr<M_EntityModelDAO> workModel(const Options& options, const RowArgs& args) {
    const M_EntityModelDAO named = findModel(args.model, args.project, 0, args.id);
    M_EntityModelDAO* found = nullptr;
    const ResultMsg rm = M_EntityModelDAO::getInstanceInfo(options.work, found);
    std::unique_ptr<M_EntityModelDAO> model(found);
    if (!rm.ok() || !model) {
        throw Failure(location(options.work) + " is no instance file of model " +
                      utf8(named._name) +
                      " (make one with 'qms model instance'): " + utf8(rm.rMsg));
    }
    if (model->_name != named._name || model->_rProjectID != named._rProjectID) {
        throw Failure(location(options.work) + " is an instance file of model " +
                      utf8(model->_name) + ", not of " + utf8(named._name));
    }
    return model;
}

void runRows(const Options& options, const RowArgs& args, bool dictionary, bool importing) {
    if (!importing && !args.file.empty() && !args.output.empty())
        throw UsageError("give the file to write as FILE or as -o, not both");
    CommandSession session(options);
    std::unique_ptr<M_EntityModelDAO> model;
    if (dictionary) {
        model = std::make_unique<M_EntityModelDAO>(findModel(args.model, args.project, 0, args.id));
        if (model->_type != ENTITY_MODEL_TYPE_DICTIONARY)
            throw Failure("model " + utf8(model->_name) +
                          " is no dictionary model (use 'qms data')");
    } else {
        model = workModel(options, args);
    }
    M_EntityTableDAO table = findTable(*model, args.table);
    TableColumns columns(*model, table, !dictionary);
    const std::string what = " the rows of table " + args.table;
    if (!importing) {
        std::list<M_NormalColumnDAO*> read;
        PtrListGuard<M_NormalColumnDAO> readGuard(read);
        std::list<std::string> lines;
        check(dictionary ? table.exportData(read, lines) : table.getData(read, lines),
              "cannot read" + what);
        writeOutput(args.output.empty() ? args.file : args.output,
                    render(columns, lines, args.csv));
        return;
    }
    const FileLines file = parse(args.file, columns, args.csv, args.table);
    const std::list<std::string>& lines = file.lines;
    // The whole file or nothing: inside the transaction the library's own
    // commit after its lines commits nothing, and a failed line undoes them all.
    InstanceDataManager* written =
        dictionary ? MeridianNew::getCurrMRDConfigIDM() : MeridianNew::getCurrentWorkDBIDM();
    if (written == nullptr) throw Failure("cannot write" + what + ": no database is open");
    Transaction transaction(*written);
    check(transaction.begun(), "cannot write" + what);
    const ResultMsg rm = dictionary     ? table.importData(columns.carried, lines)
                         : args.keepIDs ? table.insertData(columns.carried, lines)
                                        : table.saveData(columns.carried, lines);
    // Leaving undoes the transaction.
    if (!rm.ok()) {
        throw Failure("cannot write" + what +
                      ", nothing was written: " + failedLine(utf8(rm.rMsg), file, args.file));
    }
    check(transaction.commit(), "cannot write" + what);
    session.close();
    std::cout << (dictionary ? "replaced" : "saved") << printable(what) << " with " << lines.size()
              << (lines.size() == 1 ? " row" : " rows") << " from " << printable(args.file) << "\n";
}

void addRowCommands(CLI::App& app, Options& options, bool dictionary) {
    CLI::App* family = app.add_subcommand(
        dictionary ? "dict" : "data",
        dictionary ? "rows of a dictionary model's table"
                   : "rows of a table in the work database (an instance file of the model)");
    family->require_subcommand(1);
    auto args = std::make_shared<RowArgs>();
    CLI::App* exporter = family->add_subcommand("export", "write the rows as UTF-8 text");
    CLI::App* importer = family->add_subcommand(
        "import", dictionary ? "replace the rows with those of a UTF-8 file"
                             : "save the rows of a UTF-8 file (id 0, -1 or empty: a new row)");
    for (CLI::App* command : {exporter, importer}) {
        CLI::Option* byId =
            nameOrId(command, options, "MODEL", "entity model", args->model, args->id);
        command->add_option("TABLE", args->table, "table of the model")
            ->required()
            ->check(storable());
        if (command == importer) command->add_option("FILE", args->file, "UTF-8 file")->required();
        if (command == exporter)
            command->add_option("FILE", args->file, "file to write (default: standard output)");
        command->add_option("--project", args->project, "project of the model")
            ->check(storable())
            ->excludes(byId);
        command->add_flag("--csv", args->csv,
                          "CSV with a header line of column names instead of values joined by "
                          "\"@#@\"; blob columns are not carried");
        const bool importing = command == importer;
        action(command, [&options, args, dictionary, importing] {
            runRows(options, *args, dictionary, importing);
        });
    }
    exporter->add_option("-o,--output", args->output, "file to write, in place of FILE");
    if (!dictionary) {
        importer->add_flag("--keep-ids", args->keepIDs,
                           "insert every row under its own id (above 0), so that references to "
                           "it stay right; an id a row has already refuses the file");
    }
}

}  // namespace

void addDataCommands(CLI::App& app, Options& options) {
    addRowCommands(app, options, false);
    addRowCommands(app, options, true);
}

}  // namespace qms
