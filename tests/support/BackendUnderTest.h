#pragma once

// The storage backend that a run of the shared test suites is about, and
// the raw looks a test takes at a database behind the library's back. The
// same programs run once per backend of the matrix in tests/CMakeLists.txt
// (arx_add_test ... BACKENDS); ARX_TEST_BACKEND names the backend of a run
// (unset: the backend of database files). Each backend is one file under
// support/backends/. A test asks the backend for what differs (its
// capabilities, the SQL spellings below), never which backend it has.
// Without a reachable server the runs of a server backend skip every case
// with the reason, unless ARX_TEST_PG_REQUIRED=1 (CI), which makes that a
// failure. Read-only after start: any thread may call.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "backend/Backend.h"

namespace arxtest {

class BackendUnderTest {
public:
    virtual ~BackendUnderTest() = default;

    /// The name in the matrix (tests/CMakeLists.txt).
    virtual const char* name() const = 0;
    /// The start of this backend's locations ("" for file paths).
    virtual std::string scheme() const = 0;
    /// Whether `location` is one of this backend's databases.
    virtual bool owns(const std::string& location) const;
    /// Why this backend's cases cannot run here; empty when they can.
    virtual std::string unavailable() const { return ""; }
    /// A new, empty database for one test named after `name`; a database
    /// file goes into `folder`.
    virtual std::string newDatabase(const std::string& folder, const std::string& name) const = 0;
    /// The location of the server itself, where databases are made and
    /// dropped; "" for a backend of files.
    virtual std::string serverLocation() const { return ""; }
    /// Removes what newDatabase made outside `folder` (nothing for files).
    virtual void dropDatabase(const std::string& location) const { (void)location; }

    /// A connection of a test's own to one database, for statements that
    /// must share it (a lock or a transaction held while the library works).
    class Session {
    public:
        virtual ~Session() = default;
        /// Runs statements that return nothing; the error text, "" on success.
        virtual std::string execute(const std::string& sql) = 0;
        /// The first column of the first row as text; "<none>" without a
        /// row, "<error: ...>" when the statement fails.
        virtual std::string scalar(const std::string& sql) = 0;
    };
    /// Opens one; a missing database file is made only when `create` says so.
    virtual std::unique_ptr<Session> connect(const std::string& location,
                                             bool create = true) const = 0;

    /// Session::execute on a connection of its own.
    std::string execute(const std::string& location, const std::string& sql) const {
        return connect(location)->execute(sql);
    }
    /// Session::scalar on a connection of its own.
    std::string scalar(const std::string& location, const std::string& sql) const {
        return connect(location, false)->scalar(sql);
    }
    /// Every row of every table, table by table in name order, each row as
    /// the database prints it: what a test compares to see that nothing
    /// was written.
    virtual std::string allRows(const std::string& location) const = 0;

    /// Each row of `table` in identifier order as the database prints it,
    /// joined by '/'.
    virtual std::string tableRows(const std::string& location, const std::string& table) const = 0;
    /// SQL that joins `value` over the rows of `from` (tables with their
    /// conditions) by `separator`, ordered by `orderBy`.
    virtual std::string joinedSql(const std::string& value, const std::string& from,
                                  const std::string& orderBy,
                                  const std::string& separator) const = 0;
    /// The spelling of an "id" column that numbers rows by itself.
    virtual std::string idColumn() const = 0;
    /// A literal of the bytes written in `hex`.
    virtual std::string bytesLiteral(const std::string& hex) const = 0;
    /// The columns of `table` in order, comma-separated.
    virtual std::string columns(const std::string& location, const std::string& table) const = 0;
    /// The columns of `table`'s indexes besides a primary key, by index name.
    virtual std::string indexedColumns(const std::string& location,
                                       const std::string& table) const = 0;
    /// The catalogue: tables, their columns with type, default and
    /// not-null, and indexes, one line each in byte order.
    virtual std::string catalogue(const std::string& location) const = 0;
    /// How many indexes the database has besides primary keys.
    virtual std::string indexCount(const std::string& location) const = 0;
    /// How many tables the database has.
    virtual std::string tableCount(const std::string& location) const = 0;
    /// Makes every `when` (e.g. "BEFORE INSERT") write on `table` fail where
    /// `condition` holds (NEW."Name" = 'Q'; "1 = 1" for always).
    virtual bool injectFault(const std::string& location, const std::string& name,
                             const std::string& when, const std::string& table,
                             const std::string& condition) const = 0;
    virtual bool removeFault(const std::string& location, const std::string& name,
                             const std::string& table) const = 0;

    /// The tables of `location` in name order, comma-separated, without the
    /// engine's own.
    virtual std::string tableNames(const std::string& location) const = 0;
    /// Each table in name order, a line each, with its columns (name, type,
    /// default), its indexes and its rows: what two databases that hold the
    /// same share, however each came to hold it.
    virtual std::string tablesDump(const std::string& location) const = 0;
    /// What a test compares before and after a refused write to see that
    /// nothing was written: the bytes of a database file (its log folded
    /// in), or the catalogue and rows of a server's database.
    virtual std::string state(const std::string& location) const {
        return catalogue(location) + "\n" + allRows(location);
    }
    /// What the engine's own check finds wrong with the database; "" when
    /// nothing, or when the engine keeps its storage to itself (a server).
    virtual std::string damage(const std::string& location) const {
        (void)location;
        return "";
    }
    /// SQL that makes the trigger `name` run `statements` (each ended by
    /// ';') for each row of `table` at `when` ("AFTER INSERT"); NEW names
    /// the row.
    virtual std::string triggerSql(const std::string& name, const std::string& when,
                                   const std::string& table,
                                   const std::string& statements) const = 0;
    /// Whether a session waits for a lock on a table of `location` that
    /// another holds; false where the engine does not tell.
    virtual bool waitsForLock(const std::string& location) const {
        (void)location;
        return false;
    }
    /// How many databases beside `location` on its server, or files in its
    /// folder, have names that start with `prefix`.
    virtual std::string databasesStartingWith(const std::string& location,
                                              const std::string& prefix) const = 0;
    /// The form of the sample schemas under tests/data that this backend
    /// reads (data/chinook/Chinook_<form>.sql).
    virtual std::string sampleForm() const = 0;
    /// How that form spells the name that the form of database files
    /// spells `name` (Album.ArtistId).
    virtual std::string sampleName(const std::string& name) const { return name; }
    /// The value of `qms model sql --dialect` for this backend's statements;
    /// "" when the tool has none.
    virtual std::string dialect() const = 0;

    /// Whether the engine refuses a value unlike its column (text in a
    /// number column, a zero byte in text) rather than keep it.
    virtual bool strictTypes() const { return false; }
    /// Whether the library watches this backend's databases for changes
    /// (ChangeWatch); false when it refuses to.
    virtual bool watchesChanges() const { return true; }
    /// A location of the same database through a login of its own whose
    /// sessions read bytes in the engine's other text form; "" when the
    /// engine has only one. dropReader removes the login.
    virtual std::string otherBytesReader(const std::string& location) const {
        (void)location;
        return "";
    }
    virtual void dropReader(const std::string& reader) const { (void)reader; }

    /// What the library's backend of `location` says its databases are.
    const MeridianSpace::detail::BackendCapabilities& capabilities(
        const std::string& location) const;
    /// Those of this backend's databases.
    const MeridianSpace::detail::BackendCapabilities& capabilities() const;
    /// Whether `location` is a database file on the local disk.
    bool isFile(const std::string& location) const { return capabilities(location).localFile; }
};

/// The backend of this run (ARX_TEST_BACKEND).
const BackendUnderTest& underTest();
/// The backend whose database `location` is, whatever the run.
const BackendUnderTest& backendAt(const std::string& location);
/// Every backend of the matrix, the backend of files first.
std::vector<const BackendUnderTest*> matrixBackends();
/// The first backend of the matrix whose databases live on a server, for
/// the cases about servers whatever the run.
const BackendUnderTest& serverUnderTest();
/// Whether a failure to reach a server fails the run instead of skipping it.
bool serverRequired();

}  // namespace arxtest

/// In a fixture's SetUp or a test: skips (or, when required, fails) a case
/// when the backend of the run cannot be reached.
#define ARX_REQUIRE_BACKEND()                                                              \
    do {                                                                                   \
        const std::string arxWhy = ::arxtest::underTest().unavailable();                   \
        if (!arxWhy.empty()) {                                                             \
            if (::arxtest::serverRequired())                                               \
                FAIL() << ::arxtest::underTest().name() << " run required: " << arxWhy;    \
            GTEST_SKIP() << ::arxtest::underTest().name() << " cases skipped: " << arxWhy; \
        }                                                                                  \
    } while (0)

/// A case about database files themselves: it runs where the backend's
/// databases are local files only.
#define ARX_FILE_ONLY()                                       \
    do {                                                      \
        if (!::arxtest::underTest().capabilities().localFile) \
            GTEST_SKIP() << "a case about database files";    \
    } while (0)
