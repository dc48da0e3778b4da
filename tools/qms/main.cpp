// qms: the models of an ARX_QMS configuration database from a terminal.
#include <csignal>
#include <cstring>
#include <iostream>

#include "Cli.h"
#include "Output.h"

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

    // The first word that is no option names the subcommand: name an
    // unknown one instead of saying that a subcommand is required.
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--config" || word == "--work") {
            ++i;
            continue;
        }
        if (word.empty() || word[0] == '-') continue;
        bool known = false;
        for (const CLI::App* sub : app.get_subcommands({}))
            known = known || sub->check_name(word);
        if (!known) {
            std::cerr << "qms: unknown subcommand '" << qms::printable(word)
                      << "' (see qms --help)\n";
            return 2;
        }
        break;
    }

    // Errors are one line: names in them cannot break it or drive the terminal.
    const auto report = [](const std::exception& e, const char* suffix, int code) {
        std::cerr << "qms: " << qms::printable(e.what()) << suffix << "\n";
        return code;
    };
    try {
        app.parse(argc, argv);
        qms::flushOutput();
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        return report(e, " (see qms --help)", 2);
    } catch (const qms::UsageError& e) {
        return report(e, " (see qms --help)", 2);
    } catch (const std::exception& e) {
        return report(e, "", 1);
    }
    return 0;
}
