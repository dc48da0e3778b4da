// qms: the models of an ARX_QMS configuration database from a terminal.
#include <csignal>
#include <iostream>

#include "Cli.h"

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

    qms::addSetupCommands(app, options);
    qms::addProjectCommands(app, options);
    qms::addModelCommands(app, options);
    qms::addStructureCommands(app, options);
    qms::addDataCommands(app, options);
    qms::addTransferCommands(app, options);
    qms::addCodegenCommand(app, options);
    qms::addDiagramCommand(app, options);

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
            std::cerr << "qms: unknown subcommand '" << word << "' (see qms --help)\n";
            return 2;
        }
        break;
    }

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::cerr << "qms: " << e.what() << " (see qms --help)\n";
        return 2;
    } catch (const qms::UsageError& e) {
        std::cerr << "qms: " << e.what() << " (see qms --help)\n";
        return 2;
    } catch (const qms::Failure& e) {
        std::cerr << "qms: " << e.what() << "\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "qms: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
