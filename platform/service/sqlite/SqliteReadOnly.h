#pragma once

// A SQLite database file opened only to look at it, without a session:
// nothing of the file changes (its journal mode neither, whatever the file
// turns out to be) and nothing appears beside it. Internal to the service.
// One thread at a time.
#include <sqlite3.h>

#include <functional>
#include <string>
#include <vector>

#include "ResultReturnCode.h"
#include "backend/Statement.h"

namespace MeridianSpace::detail {

class SqliteReadOnlyFile {
public:
    SqliteReadOnlyFile() = default;
    /// Closes the file.
    ~SqliteReadOnlyFile();
    SqliteReadOnlyFile(const SqliteReadOnlyFile&) = delete;
    SqliteReadOnlyFile& operator=(const SqliteReadOnlyFile&) = delete;

    /// Opens the file at `path` and checks every page of it. SRV_ERR_NO_FILE
    /// for a missing file, one that is no database and a damaged one;
    /// SRV_ERR_BUSY when another connection's lock outlasts the busy timeout;
    /// what SqliteConnection::checkPath refuses.
    ResultMsg open(const std::string& path);
    /// Names of every table of the file, the engine's own included, in byte
    /// order, each name as it is.
    ResultMsg tableNames(std::vector<std::string>& out);

    /// One value of a row that firstRow() read.
    struct Value {
        std::string bytes;
        bool isInteger = false;
        long long integer = 0;
    };
    /// Runs `sql` up to its first row: Row with its values in `row`, Done
    /// without one, Error with the engine's message in `why`.
    StepResult firstRow(const std::string& sql, std::vector<Value>& row, std::string& why);
    /// Hands every row of `sql`, with `parameter` bound as ?1 when not
    /// null, to `read`; a failure names the file and the engine's message.
    ResultMsg forEachRow(const char* sql, const std::string* parameter,
                         const std::function<void(sqlite3_stmt*)>& read);

private:
    sqlite3* db_ = nullptr;
    std::string path_;
};

}  // namespace MeridianSpace::detail
