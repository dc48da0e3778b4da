#pragma once

// Entry point of the data service: opens sessions on database files.
#include <string>
#include <vector>

#include "ArxExport.h"
#include "ResultReturnCode.h"

namespace MeridianSpace {

class MRDSession;
struct DatabaseSchema;
struct IEntityModel;

/// Keeps no state; may be used from any thread.
class ARX MRDService {
public:
    /// A new session on the database file at `path`; the caller deletes it.
    /// A missing file is refused, unless `createIfMissing` is 1, which makes
    /// a new empty database there. An empty path and SQLite's special names
    /// (":memory:", "file:" URIs) are refused with SRV_ERR_ARGUMENT. A file,
    /// or a folder, the process may not write is refused (SRV_ERR_NO_FILE)
    /// before the file is opened, so that nothing is left beside it:
    /// openReadOnlySession reads such a file.
    ///
    /// A PostgreSQL connection URI ("postgresql://user@host:port/db", see
    /// isServerLocation) opens a session on that server database instead;
    /// with `createIfMissing` 1 a missing database is created (encoding
    /// SQL_ASCII, so that the platform's GBK text is kept byte for byte).
    /// An unreachable server or a refused login answers SRV_ERR_SERVER.
    ResultMsg createSession(const std::string& path, MRDSession*& session, int createIfMissing = 0);
    /// A new session that only reads the existing database file at `path`:
    /// nothing is written to the file or made beside it (a file without a
    /// write-ahead log or journal is read as immutable), and every write
    /// through the session fails. A server URI is refused (SRV_ERR_ARGUMENT).
    ResultMsg openReadOnlySession(const std::string& path, MRDSession*& session);
    /// A new session on a private in-memory database that vanishes with it;
    /// the caller deletes it.
    ResultMsg createMemorySession(MRDSession*& session);
    /// Reads which model version the instance file at `path` was made for
    /// (_name, _version, _type, _description, _projectUID) without writing
    /// anything to the file, after checking every page of it (a damaged or
    /// truncated file is refused). SRV_ERR_NO_FILE for a missing file, one
    /// that is no database or a damaged one; SRV_ERR_NO_TABLE for a database
    /// that is no instance file.
    ResultMsg readInstanceFileInfo(const std::string& path, IEntityModel& model);
    /// The names of the tables of the database file at `path`, in byte
    /// order, read without writing anything to the file after the same
    /// check; SRV_ERR_NO_FILE as readInstanceFileInfo answers it.
    /// For a server URI the tables of that database, read without writing.
    ResultMsg readTableNames(const std::string& path, std::vector<std::string>& tables);
    /// What the database at `path` (a file of any SQLite database, or a
    /// server URI: its current schema, whatever the database's encoding)
    /// holds, as its catalogue says, read without writing anything. A file
    /// is checked as for readTableNames first.
    ResultMsg readSchema(const std::string& path, DatabaseSchema& schema);
    /// Gives the finished database file `temporary` the name `target` as
    /// well (a hard link; a rename that never replaces where the file system
    /// has no links), so that it appears under that name complete or not at
    /// all. A `target` that exists is never touched (SRV_ERR_EXISTS). The
    /// caller removes `temporary` afterwards.
    static ResultMsg publishFile(const std::string& temporary, const std::string& target);
    /// True for a PostgreSQL connection URI ("postgresql://" or
    /// "postgres://"), false for a file path.
    static bool isServerLocation(const std::string& location);
    /// True when the location is a database file on the local disk, one
    /// that the file system can be asked about.
    static bool isFileLocation(const std::string& location);
    /// The location as messages and logs show it: a server URI without its
    /// password, a file path as it is.
    static std::string displayLocation(const std::string& location);
};

}  // namespace MeridianSpace
