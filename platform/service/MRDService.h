#pragma once

// Entry point of the data service: opens sessions on database files.
#include <string>

#include "ArxExport.h"
#include "ResultReturnCode.h"

namespace MeridianSpace {

class MRDSession;

class ARX MRDService {
public:
    /// A new session on the database file at `path`; the caller deletes it.
    /// A missing file is refused, unless `createIfMissing` is 1, which makes
    /// a new empty database there.
    ResultMsg createSession(const std::string& path, MRDSession*& session, int createIfMissing = 0);
};

}  // namespace MeridianSpace
