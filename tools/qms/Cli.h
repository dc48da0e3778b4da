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
};

/// A command line that names something wrongly (exit code 2).
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};
/// An operation that failed (exit code 1); the text is UTF-8.
struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

/// Library text (GBK) for the terminal, and terminal text for the library.
std::string utf8(const std::string& gbk);
std::string gbk(const std::string& utf8);

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
// when nothing or more than one record matches.
M_ProjectDAO findProject(const std::string& name);
/// The model of that name (in `project` when not empty); the highest
/// version unless `version` is above 0.
M_EntityModelDAO findModel(const std::string& name, const std::string& project = "",
                           int version = 0);
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

/// Writes `text` to the file `path`, or to standard output for "" or "-".
void writeOutput(const std::string& path, const std::string& text);
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

/// A subcommand of `parent` that names a model: the positional MODEL and
/// the option --project.
CLI::App* modelSubcommand(CLI::App* parent, const char* name, const char* help, std::string& model,
                          std::string& project);

/// Runs `body` as the command's action: qms reports what it throws.
void action(CLI::App* command, std::function<void()> body);

}  // namespace qms
