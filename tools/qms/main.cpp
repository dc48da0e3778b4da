// qms: the models of an ARX_QMS configuration database from a terminal.
#include <csignal>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "Cli.h"
#include "Output.h"
#include "Suggest.h"

namespace {

// "qms column add": the command whose arguments were being read.
std::string commandPath(const CLI::App& app) {
    std::string path = "qms";
    for (const CLI::App* at = &app; !at->get_subcommands().empty();) {
        at = at->get_subcommands().front();
        path += " " + at->get_name();
    }
    return path;
}

// The words that name subcommands, checked before parsing: one that names
// none is told with the nearest name, instead of CLI11 saying that a
// subcommand is required or an argument unexpected. Empty when all are known.
std::string unknownSubcommand(CLI::App& app, int argc, char** argv) {
    CLI::App* at = &app;
    std::string path = "qms";
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        const std::string word = argv[i];
        if (word == "--config" || word == "--work") {
            ++i;
            continue;
        }
        if (word.empty() || word[0] == '-') continue;
        const std::vector<CLI::App*> subcommands = at->get_subcommands({});
        if (subcommands.empty()) break;  // the command's own arguments follow
        CLI::App* found = nullptr;
        std::vector<std::string> names;
        for (CLI::App* sub : subcommands) {
            if (sub->check_name(word)) found = sub;
            names.push_back(sub->get_name());
        }
        if (found == nullptr) {
            const std::string nearest = qms::nearestName(word, names);
            return "unknown subcommand '" + word + "'" + (at == &app ? "" : " of " + path) +
                   (nearest.empty() ? "" : "; did you mean '" + nearest + "'?") + " (see " + path +
                   " --help)";
        }
        at = found;
        path += " " + found->get_name();
    }
    return "";
}

}  // namespace

int main(int argc, char** argv) {
    // A file grown past the process's size limit (ulimit -f) then fails
    // its write and the command fails cleanly, instead of the signal
    // ending the process half-way through writing.
    std::signal(SIGXFSZ, SIG_IGN);
    qms::Options options;
    CLI::App app{
        "qms: keep projects, entity models, tables and their data in an ARX_QMS "
        "configuration database"};
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string("qms ") + QMS_VERSION);
    // The global options may also follow the subcommand.
    app.fallthrough();
    app.add_option("--config", options.config,
                   "configuration database: a file or a postgresql:// URI (default qms.db)");
    app.add_option("--work", options.work,
                   "work database: a file or a postgresql:// URI (default work.db)");
    app.add_flag("--verbose", options.verbose, "show the library's own console lines on stderr");
    // A project or model named by --id leaves its name argument out; the
    // commands are built knowing that (see nameOrId).
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i)
        options.byId = options.byId || std::strcmp(argv[i], "--id") == 0 ||
                       std::strncmp(argv[i], "--id=", 5) == 0;

    qms::addSetupCommands(app, options);
    qms::addProjectCommands(app, options);
    qms::addModelCommands(app, options);
    qms::addStructureCommands(app, options);
    qms::addDataCommands(app, options);
    qms::addMigrationCommands(app, options);
    qms::addModelFileCommands(app, options);
    qms::addTransferCommands(app, options);
    qms::addCodegenCommand(app, options);
    qms::addDiagramCommand(app, options);
    qms::addServeCommand(app, options);

    if (const std::string unknown = unknownSubcommand(app, argc, argv); !unknown.empty()) {
        std::cerr << "qms: " << qms::printable(unknown) << "\n";
        return 2;
    }

    // Errors are one line: names in them cannot break it or drive the terminal.
    const auto report = [](const std::exception& e, const std::string& suffix, int code) {
        std::cerr << "qms: " << qms::printable(e.what()) << suffix << "\n";
        return code;
    };
    // A wrong command line points at the help of the command it was for.
    const auto seeHelp = [&app] { return " (see " + commandPath(app) + " --help)"; };
    try {
        app.parse(argc, argv);
        qms::flushOutput();
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        return report(e, seeHelp(), 2);
    } catch (const qms::UsageError& e) {
        return report(e, seeHelp(), 2);
    } catch (const std::exception& e) {
        return report(e, "", 1);
    }
    return 0;
}
