// qms init, status and log: making the databases, what they hold, and the
// library's day log.
#include <cctype>
#include <iostream>
#include <list>
#include <memory>
#include <sstream>

#include "Cli.h"
#include "CommandSession.h"
#include "FileHelper.h"
#include "InputFile.h"
#include "Lookup.h"
#include "MeridianNew.h"
#include "Output.h"
#include "PtrListHelper.h"
#include "QmsSelfDescription.h"
#include "StringHelper.h"

namespace qms {

namespace {

void init(const Options& options) {
    CommandSession session(options, true);
    check(QmsSelfDescription::ensure(), "cannot describe " + location(options.config));
    session.close();
    std::cout << "initialised " << printable(location(options.config)) << "\n";
}

void status(const Options& options, bool json) {
    CommandSession session(options);
    std::list<M_ProjectDAO*> projects;
    PtrListGuard<M_ProjectDAO> projectsGuard(projects);
    check(M_ProjectDAO::FindAll(projects), "cannot list the projects");
    std::list<M_EntityModelDAO*> models;
    PtrListGuard<M_EntityModelDAO> modelsGuard(models);
    check(M_EntityModelDAO::FindAll(models), "cannot list the models");
    const std::string platform = MeridianNew::getCurrPlatformStatus();
    session.close();

    const int projectCount = static_cast<int>(projects.size());
    const int modelCount = static_cast<int>(models.size());
    if (json) {
        std::cout << jsonText({{"config", location(options.config)},
                               {"work", location(options.work)},
                               {"platform", platform},
                               {"projects", projectCount},
                               {"models", modelCount}});
        return;
    }
    std::cout << "config:   " << printable(location(options.config)) << "\n"
              << "work:     " << printable(location(options.work)) << "\n"
              << "platform: " << platform << "\n"
              << "projects: " << projectCount << "\n"
              << "models:   " << modelCount << "\n";
}

// The day file the log manager writes (log mode 1) in the current folder.
void showLog(const std::string& date) {
    const std::string day = date.empty() ? StringHelper::currTimeStr(3) : date;
    bool digits = day.size() == 8;
    for (unsigned char c : day)
        digits = digits && std::isdigit(c);
    if (!digits) throw UsageError("--date wants YYYYMMDD, not '" + date + "'");
    const std::string path = "./DB_Log/db_log" + day + ".log";
    if (!FileHelper::isFileExists(path)) throw Failure("no log of " + day + " (" + path + ")");
    std::ostringstream out;
    for (const std::string& line : readLines(path))
        out << shown(line) << "\n";
    std::cout << out.str();
}

}  // namespace

void addSetupCommands(CLI::App& app, Options& options) {
    CLI::App* initCommand = app.add_subcommand(
        "init", "create the configuration and work databases when missing and describe them");
    action(initCommand, [&options] { init(options); });

    CLI::App* statusCommand =
        app.add_subcommand("status", "the databases, the platform and what they hold");
    auto json = std::make_shared<bool>(false);
    statusCommand->add_flag("--json", *json, "machine-readable output");
    action(statusCommand, [&options, json] { status(options, *json); });

    CLI::App* logCommand = app.add_subcommand("log", "the library's log lines of one day");
    auto date = std::make_shared<std::string>();
    logCommand->add_option("--date", *date, "the day as YYYYMMDD (default today)");
    action(logCommand, [date] { showLog(*date); });
}

}  // namespace qms
