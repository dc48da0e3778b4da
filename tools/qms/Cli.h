#pragma once

// What every qms command shares: the options that choose the databases, the
// two kinds of error and their exit codes, the text conversion between the
// terminal (UTF-8) and the library (GBK), the platform session, finding
// records by name, JSON output and progress lines.
#include <CLI/CLI.hpp>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "M_EntityModelDAO.h"
#include "M_EntityTableDAO.h"
#include "M_FolderDAO.h"
#include "M_NormalColumnDAO.h"
#include "M_ProjectDAO.h"
#include "ResultReturnCode.h"

namespace qms {

using namespace MeridianSpace;

/// Options every command sees.
struct Options {
    std::string config = "qms.db";
    std::string work = "work.db";
    bool verbose = false;  ///< the library's own console lines on standard error
    /// --id is on the command line: the command's project or model is named
    /// by its identifier, and its name argument is left out.
    bool byId = false;
};

/// A command line that names something wrongly (exit code 2).
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};
/// An operation that failed (exit code 1); the text is UTF-8. Errors carry
/// names as typed or stored: qms makes them printable when it reports them.
struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

/// Library text (GBK) as UTF-8, and typed text (UTF-8) for the library;
/// gbk() throws Failure (see notStorable) rather than let the library
/// store '?' for a character.
std::string utf8(const std::string& gbk);
std::string gbk(const std::string& utf8);
/// Empty when `utf8` has an exact GBK form; else what stops it, naming the
/// first character that is no UTF-8 or that GBK lacks.
std::string notStorable(const std::string& utf8);

/// Text for the terminal: control characters and the backslash escaped
/// (\n, \t, \x1b, \\), so that no name moves the cursor, colours the
/// terminal or breaks a line of a list.
std::string printable(const std::string& utf8);
/// Library text (GBK) for the terminal.
std::string shown(const std::string& gbk);
/// A database location as qms shows it: a server URI without its password.
std::string location(const std::string& path);

/// Checks of the command line, before anything is opened (exit code 2):
/// text the library keeps (an exact GBK form); the name of something new
/// (also neither empty nor with blanks at either end); a number from 1.
CLI::Validator storable();
CLI::Validator newName();
CLI::Validator fromOne();
/// Why `name` cannot name something new, or empty.
std::string newNameProblem(const std::string& name);

/// Throws Failure("<what>: <library message>") unless `rm` is a success.
void check(const ResultMsg& rm, const std::string& what);

/// The platform started on the chosen databases for one command; shut down
/// (and committed) by close() or the destructor. Without `create`, both
/// files must exist and the configuration database must be one of ours
/// (made by `qms init`); nothing is written otherwise.
class Session {
public:
    Session(const Options& options, bool create = false);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    /// Commits and closes; throws Failure when the commit fails.
    void close();

private:
    bool open_ = false;
};

/// Checks, reading only, that `path` is a database made by `qms init` (or
/// an export file): it has the metadata tables. Throws Failure otherwise.
void requireOurDatabase(const std::string& path);

// Finding records by name (names in UTF-8 as typed). Each throws Failure
// when nothing or more than one record matches, naming the identifiers of
// the matches for --id.
/// The project of that name, or with the identifier `id` when above 0.
M_ProjectDAO findProject(const std::string& name, int id = 0);
/// The model of that name (in `project` when not empty); the highest
/// version unless `version` is above 0. With `id` above 0, the model
/// version with that identifier.
M_EntityModelDAO findModel(const std::string& name, const std::string& project = "",
                           int version = 0, int id = 0);
M_EntityTableDAO findTable(M_EntityModelDAO& model, const std::string& name);
/// A folder by its path of names from the root ("Sales/Orders").
M_FolderDAO findFolder(M_EntityModelDAO& model, const std::string& path);
M_NormalColumnDAO findColumn(M_EntityModelDAO& model, M_EntityTableDAO& table,
                             const std::string& name);

/// Column data type by name: int 1, text 2, real 3, bytes 4, blob 5.
int dataTypeOf(const std::string& name);
std::string dataTypeName(int dataType);

/// A small JSON writer: values are written as they come, commas and
/// escaping are handled; text is UTF-8.
class Json {
public:
    Json& beginObject();
    Json& endObject();
    Json& beginArray();
    Json& endArray();
    Json& key(const std::string& name);
    Json& value(const std::string& text);
    Json& value(const char* text) { return value(std::string(text)); }
    Json& value(int number);
    Json& value(bool flag);
    /// The text written so far, with a final line end.
    std::string str() const { return out_ + "\n"; }

private:
    void separate();
    std::string out_;
    std::vector<bool> first_;
    bool afterKey_ = false;
};

/// A progress line "[i/n] text" on standard error, only on a terminal and
/// only for more than a few items; the last one ends the line.
void progress(std::size_t index, std::size_t count, const std::string& text);

/// Writes `text` to the file `path`, or to standard output for "" or "-";
/// throws Failure when it cannot all be written. A file is written under a
/// temporary name beside it and renamed into place: nothing is left of a
/// failed write, and a symbolic link at `path` is replaced, not followed.
void writeOutput(const std::string& path, const std::string& text);
/// Flushes standard output; throws Failure when anything written to it
/// was lost (a full disk, a file size limit).
void flushOutput();
/// The bytes of a file; anything but a readable regular file is refused.
std::string readFile(const std::string& path);
/// The lines of a file (without line ends), read as by readFile.
std::vector<std::string> readLines(const std::string& path);

// The command families; each adds its subcommands to `app`.
void addSetupCommands(CLI::App& app, Options& options);      // init, status, log
void addProjectCommands(CLI::App& app, Options& options);    // project
void addModelCommands(CLI::App& app, Options& options);      // model
void addStructureCommands(CLI::App& app, Options& options);  // folder, table, column
void addDataCommands(CLI::App& app, Options& options);       // data, dict
void addTransferCommands(CLI::App& app, Options& options);   // export, import
void addCodegenCommand(CLI::App& app, Options& options);     // codegen
void addDiagramCommand(CLI::App& app, Options& options);     // diagram

/// The argument `label` that names a project or model (checked by
/// storable()), and the option --id N that names it by its identifier
/// instead; with --id on the command line the argument is left out, so
/// that the arguments after it keep their places.
CLI::Option* nameOrId(CLI::App* command, const Options& options, const char* label,
                      const char* help, std::string& name, int& id);

/// A subcommand of `parent` that names a model: MODEL or --id, and the
/// option --project (not with --id).
CLI::App* modelSubcommand(CLI::App* parent, const Options& options, const char* name,
                          const char* help, std::string& model, std::string& project, int& id);

/// Runs `body` as the command's action: qms reports what it throws.
void action(CLI::App* command, std::function<void()> body);

}  // namespace qms
