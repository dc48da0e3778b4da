#pragma once

// Tells a process that rows of some tables of a database may have changed,
// whoever changed them: a session of this process, another process, another
// machine. It keeps a connection of its own to the database and answers
// table names only, never rows: what changed is for the caller to read.
//
//   SQLite file: the connection's change numbers (InstanceDataManager::
//   changeCount) are looked at about four times a second; a commit by any
//   other connection counts as a change of every watched table, unless it
//   wrote nothing (SQLite writes no page for an update that leaves each row
//   as it was: nothing changed, and nothing is told).
//   PostgreSQL: LISTEN on the channel "arx_qms_change". Each watched table
//   gets a statement trigger "arx_qms_change" (function
//   arx_qms_change() in the same schema) that sends the table's
//   "schema.name" there; a watch puts in what is missing when it opens, so
//   the first watch of a database needs the right to make triggers. A
//   change arrives when its transaction commits.
//   Other backends: refused (SRV_ERR_ARGUMENT).
//
// One thread at a time calls wait() or sync(); interrupt() may be called
// from any thread.
#include <memory>
#include <string>
#include <vector>

#include "ArxExport.h"
#include "ResultReturnCode.h"

namespace MeridianSpace {

class ARX ChangeWatch {
public:
    /// A watch of `tables` (names as stored; ASCII case ignored) of the
    /// database at `location`, a file path or a server URI. A table the
    /// database does not have yet is watched on a file, not on a server.
    static ResultMsg open(const std::string& location, const std::vector<std::string>& tables,
                          std::unique_ptr<ChangeWatch>& out);
    virtual ~ChangeWatch();
    ChangeWatch(const ChangeWatch&) = delete;
    ChangeWatch& operator=(const ChangeWatch&) = delete;

    /// Waits at most `timeoutMs` for a change committed since the last
    /// wait (or since open) and sets `changed` to the watched tables whose
    /// rows may have changed, as passed to open(); empty after the time
    /// ran out or interrupt(). After a failure (a lost server) the next
    /// wait connects anew and then names every table: changes in between
    /// were not seen.
    virtual ResultMsg wait(int timeoutMs, std::vector<std::string>& changed) = 0;
    /// Sets `changed` at once to the watched tables whose rows may have
    /// changed by a commit made before the call and not yet told by wait()
    /// or sync(): a reader that syncs before it trusts what it kept never
    /// misses a change committed before it asked. On a server it takes one
    /// round trip (a notification to itself, which arrives after every one
    /// committed earlier). Called by the thread that waits, or with the
    /// waits held off by the caller.
    virtual ResultMsg sync(std::vector<std::string>& changed) = 0;
    /// Makes the wait() in progress, or the next one, return at once.
    virtual void interrupt() = 0;

protected:
    ChangeWatch() = default;
};

}  // namespace MeridianSpace
