#pragma once

// The databases of one command: the platform started on them, and the
// checks that keep qms from writing into a database that is not its own.
#include <string>

#include "Cli.h"

namespace qms {

/// A database location as qms shows it: a server URI without its password.
std::string location(const std::string& path);

/// The platform started on the chosen databases for one command; shut down
/// (and committed) by close() or the destructor. Without `create`, both
/// files must exist and the configuration database must be one of ours
/// (made by `qms init`); nothing is written otherwise.
class CommandSession {
public:
    CommandSession(const Options& options, bool create = false);
    ~CommandSession();
    CommandSession(const CommandSession&) = delete;
    CommandSession& operator=(const CommandSession&) = delete;
    /// Commits and closes; throws Failure when the commit fails.
    void close();
    /// Makes what is pending in both databases durable (reads may tidy
    /// dangling links), keeping them open; throws Failure when it cannot.
    void commit();
    /// Discards what is pending in both databases; throws Failure when it cannot.
    void rollback();

private:
    bool open_ = false;
};

/// Checks, reading only, that `path` is a database made by `qms init` (or
/// an export file): it has the metadata tables. Throws Failure otherwise.
void requireOurDatabase(const std::string& path);

}  // namespace qms
