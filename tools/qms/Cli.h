#pragma once

// The command line of qms: the options every command sees, the two kinds of
// error and their exit codes, and the text conversion between the terminal
// (UTF-8) and the library (GBK) with the checks of typed text. The
// commands' other needs have their own headers: CommandSession.h (opening and
// checking the databases), Lookup.h (finding records by name), Output.h
// (what qms writes) and InputFile.h (the files it reads).
#include <CLI/CLI.hpp>

#include <functional>
#include <stdexcept>
#include <string>

#include "ResultReturnCode.h"

namespace qms {

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
/// A record named by name or identifier that is not there (exit code 1).
struct NotFound : Failure {
    using Failure::Failure;
};
/// A database that another connection keeps busy, or a server out of reach
/// (exit code 1): nothing was written, and a later try may succeed.
struct Unavailable : Failure {
    using Failure::Failure;
};

/// Library text (GBK) as UTF-8, and typed text (UTF-8) for the library;
/// gbk() throws Failure (see notStorable) rather than let the library
/// store '?' for a character.
std::string utf8(const std::string& gbk);
std::string gbk(const std::string& utf8);
/// Empty when `utf8` has an exact GBK form; else what stops it, naming the
/// first character that is no UTF-8 or that GBK lacks.
std::string notStorable(const std::string& utf8);

/// Checks of the command line, before anything is opened (exit code 2):
/// text the library keeps (an exact GBK form); the name of something new
/// (also neither empty nor with blanks at either end); a number from 1.
CLI::Validator storable();
CLI::Validator newName();
CLI::Validator fromOne();
/// Why `name` cannot name something new, or empty.
std::string newNameProblem(const std::string& name);

/// Throws Failure("<what>: <library message>") unless `rm` is a success
/// (Unavailable for a busy database or an unreachable server).
void check(const MeridianSpace::ResultMsg& rm, const std::string& what);

// The command families; each adds its subcommands to `app`.
void addSetupCommands(CLI::App& app, Options& options);      // init, status, log
void addProjectCommands(CLI::App& app, Options& options);    // project
void addModelCommands(CLI::App& app, Options& options);      // model
void addStructureCommands(CLI::App& app, Options& options);  // folder, table, column
void addDataCommands(CLI::App& app, Options& options);       // data, dict
/// After addModelCommands and addDataCommands: model diff, data check, data migrate.
void addMigrationCommands(CLI::App& app, Options& options);
/// After addModelCommands: model export, apply, inspect.
void addModelFileCommands(CLI::App& app, Options& options);
void addTransferCommands(CLI::App& app, Options& options);  // export, import
void addCodegenCommand(CLI::App& app, Options& options);    // codegen
void addDiagramCommand(CLI::App& app, Options& options);    // diagram
void addServeCommand(CLI::App& app, Options& options);      // serve

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
