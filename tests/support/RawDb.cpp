#include "support/RawDb.h"

#include <sqlite3.h>

namespace arxtest {

std::string rawScalar(const std::string& dbPath, const std::string& sql) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(dbPath.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return "<error: open>";
    }
    sqlite3_stmt* stmt = nullptr;
    std::string out;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
        out = std::string("<error: ") + sqlite3_errmsg(db) + ">";
    } else if (sqlite3_step(stmt) == SQLITE_ROW) {
        const unsigned char* text = sqlite3_column_text(stmt, 0);
        out = text ? reinterpret_cast<const char*>(text) : "";
    } else {
        out = "<none>";
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return out;
}

bool rawExecute(const std::string& dbPath, const std::string& sql) {
    sqlite3* db = nullptr;
    bool ok = sqlite3_open(dbPath.c_str(), &db) == SQLITE_OK &&
              sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

}  // namespace arxtest
