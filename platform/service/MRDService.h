#pragma once

// Entry point of the data service: opens sessions on database files.
#include <string>

#include "ArxExport.h"
#include "ResultReturnCode.h"

namespace MeridianSpace {

class MRDSession;

/// Keeps no state; may be used from any thread.
class ARX MRDService {
public:
    /// A new session on the database file at `path`; the caller deletes it.
    /// A missing file is refused, unless `createIfMissing` is 1, which makes
    /// a new empty database there. An empty path and SQLite's special names
    /// (":memory:", "file:" URIs) are refused with SRV_ERR_ARGUMENT.
    ResultMsg createSession(const std::string& path, MRDSession*& session, int createIfMissing = 0);
    /// A new session on a private in-memory database that vanishes with it;
    /// the caller deletes it.
    ResultMsg createMemorySession(MRDSession*& session);
};

}  // namespace MeridianSpace
