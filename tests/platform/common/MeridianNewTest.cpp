#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#include "CommonErrorCode.h"
#include "InstanceDataManager.h"
#include "MRDSession.h"
#include "ServiceErrorCode.h"
#include "StringHelper.h"
#include "Transaction.h"
#include "support/FaultyDisk.h"
#include "support/FileText.h"
#include "support/PlatformFixture.h"
#include "support/RawDb.h"
#include "support/Waiting.h"

namespace arxtest {

using Platform = PlatformFixture;

namespace {

// The columns of the table's indexes (besides a server table's primary key),
// by index name.
std::string indexedColumns(const std::string& db, const std::string& table) {
    return backendAt(db).indexedColumns(db, table);
}

// The table's columns in order.
std::string columnsOf(const std::string& db, const std::string& table) {
    return backendAt(db).columns(db, table);
}

std::string count(const std::string& db, const std::string& table) {
    return rawScalar(db, "SELECT count(*) FROM \"" + table + "\"");
}

std::string tableCount(const std::string& db) {
    return backendAt(db).tableCount(db);
}

const char* const kNoteColumns = "id,Name,Title,RProjectID,T_M_FolderID,Priority,Weight,InnerName";

// A table of rows without columns, and one row of it.
MTable rowsTable() {
    MTable table;
    table._innerName = "T_Rows";
    return table;
}

ITableData emptyRow() {
    ITableData row;
    row._tableInnerName = "T_Rows";
    return row;
}

}  // namespace

TEST_F(Platform, StartupCreatesTheDatabasesWithIndexedKeyColumns) {
    EXPECT_EQ(MeridianNew::getCurrPlatformStatus(), "OK");
    EXPECT_EQ(MeridianNew::getCurrentMRDConfigDB(), configPath);
    EXPECT_EQ(MeridianNew::getCurrentWorkDB(), workPath);
    EXPECT_EQ(columnsOf(configPath, "T_M_Note"), kNoteColumns);
    EXPECT_EQ(indexedColumns(configPath, "T_M_Note"), "RProjectID,T_M_FolderID");
    EXPECT_EQ(indexedColumns(configPath, "T_M_Tag_2"), "MRNoteID_2");
    // Metadata tables live in the configuration database only.
    EXPECT_EQ(tableCount(workPath), "0");
}

TEST_F(Platform, SwitchingCommitsWhatIsPendingAndHeldManagersStayValid) {
    NoteDAO note;
    ASSERT_TRUE(note.save(COMMIT_T_DEFERRED).ok());
    EXPECT_EQ(count(configPath, "T_M_Note"), "0");
    const std::string otherConfig = dir.file("other-config.db");
    ASSERT_TRUE(rawExecute(otherConfig, "CREATE TABLE Placeholder (x)"));
    ASSERT_TRUE(MeridianNew::setCurrMRDConfigDB(otherConfig).ok());
    EXPECT_EQ(count(configPath, "T_M_Note"), "1");
    EXPECT_EQ(count(otherConfig, "T_M_Note"), "0");  // it received the registered tables

    InstanceDataManager* held = MeridianNew::getCurrentWorkDBIDM();
    ASSERT_TRUE(held->addMTableInstance(rowsTable(), {}).ok());
    ASSERT_TRUE(held->addITableData(emptyRow(), COMMIT_T_DEFERRED).ok());
    ASSERT_TRUE(MeridianNew::setCurrentWorkDB(dir.file("other-work.db"), 0).ok());
    EXPECT_EQ(count(workPath, "T_Rows"), "1");
    // A manager held across the switch answers, and works again once its
    // file is current again, also across a shut-down and a start-up.
    ResultMsg rm = held->addITableData(emptyRow(), COMMIT_T_IMMEDIATELY);
    EXPECT_EQ(rm.rCode, SRV_ERR_CLOSED);
    // Messages show a server URI without its user and password: from the host on.
    EXPECT_NE(rm.rMsg.find(workPath.substr(workPath.find('@') + 1)), std::string::npos);
    ASSERT_TRUE(MeridianNew::setCurrentWorkDB(workPath).ok());
    EXPECT_EQ(MeridianNew::getCurrentWorkDBIDM(), held);
    ASSERT_TRUE(MeridianNew::shutdown().ok());
    EXPECT_EQ(held->addITableData(emptyRow(), 1).rCode, SRV_ERR_CLOSED);
    ASSERT_TRUE(MeridianNew::startup(otherConfig, workPath).ok());
    ASSERT_TRUE(held->addITableData(emptyRow(), 1).ok());
    EXPECT_EQ(count(workPath, "T_Rows"), "2");

    // One file as both databases shares one session; leaving one role keeps
    // the file open in the other, with its pending writes.
    ASSERT_TRUE(MeridianNew::setCurrentWorkDB(otherConfig).ok());
    EXPECT_EQ(MeridianNew::getCurrentWorkDBIDM(), MeridianNew::getCurrMRDConfigIDM());
    TagDAO tag;
    ASSERT_TRUE(tag.save(COMMIT_T_DEFERRED).ok());
    ASSERT_TRUE(MeridianNew::setCurrentWorkDB(workPath).ok());
    EXPECT_EQ(count(otherConfig, "T_M_Tag_2"), "0");
    ASSERT_TRUE(MeridianNew::shutdown().ok());
    EXPECT_EQ(count(otherConfig, "T_M_Tag_2"), "1");
}

TEST_F(Platform, RefusedSwitchesKeepTheCurrentDatabases) {
    struct Case {
        std::string path;
        int mustExist;
        int code;
    };
    const Case cases[] = {
        {dir.file("missing.db"), 1, SRV_ERR_NO_FILE},
        {"", 0, SRV_ERR_ARGUMENT},
        {":memory:", 0, SRV_ERR_ARGUMENT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(MeridianNew::setCurrentWorkDB(c.path, c.mustExist).rCode, c.code);
        EXPECT_EQ(MeridianNew::setCurrMRDConfigDB(c.path).rCode, c.code);
        EXPECT_EQ(MeridianNew::getCurrentWorkDB(), workPath);
        EXPECT_EQ(MeridianNew::getCurrentMRDConfigDB(), configPath);
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing.db")));

    // An open transaction keeps its database current.
    {
        Transaction tx(*MeridianNew::getCurrentWorkDBIDM());
        EXPECT_EQ(MeridianNew::setCurrentWorkDB(dir.file("new.db"), 0).rCode, SRV_ERR_TRANSACTION);
        EXPECT_EQ(MeridianNew::getCurrentWorkDB(), workPath);
    }

    ASSERT_TRUE(MeridianNew::shutdown().ok());
    EXPECT_EQ(MeridianNew::getCurrPlatformStatus(), "NOT_STARTED");
    EXPECT_EQ(MeridianNew::getCurrMRDConfigIDM(), nullptr);
    EXPECT_EQ(MeridianNew::setCurrentWorkDB(workPath).rCode, COM_ERR_NOT_STARTED);
    EXPECT_EQ(MeridianNew::ensureRegisteredTables().rCode, COM_ERR_NOT_STARTED);
    for (const char* path : {"", ":memory:"}) {
        EXPECT_EQ(MeridianNew::startup(path, workPath).rCode, SRV_ERR_ARGUMENT);
        EXPECT_EQ(MeridianNew::startup(configPath, path).rCode, SRV_ERR_ARGUMENT);
        EXPECT_EQ(MeridianNew::getCurrPlatformStatus(), "NOT_STARTED");
    }
}

TEST_F(Platform, StartingOnADatabaseThatHasEverythingWaitsForNoWriter) {
    ARX_FILE_ONLY();  // a writer holding a database file's write lock
    ASSERT_TRUE(MeridianNew::shutdown().ok());
    RawConnection writer(configPath);
    ASSERT_TRUE(
        writer.execute("BEGIN IMMEDIATE; INSERT INTO \"T_M_Note\" (\"Name\") VALUES ('x')"));
    ResultMsg rm = MeridianNew::startup(configPath, workPath);
    EXPECT_TRUE(rm.ok()) << StringHelper::GBKToUTF8(rm.rMsg);
    EXPECT_EQ(MeridianNew::getCurrPlatformStatus(), "OK");
    ASSERT_TRUE(writer.execute("COMMIT"));
}

TEST(PlatformFaults, AFailedCommitOnSwitchOrShutdownIsReportedAndLogged) {
    ARX_FILE_ONLY();  // a full disk under database files
    installFaultyDisk();
    registerSampleRecords();
    TempDir dir;
    ScopedCwd cwd(dir.path());
    const std::string config = dir.file("c.db"), work = dir.file("w.db");
    ASSERT_TRUE(MeridianNew::startup(config, work, 0).ok());  // log mode 0 writes nothing
    MeridianNew::LOGGER()->appendMsg("silent");
    EXPECT_FALSE(std::filesystem::exists(dir.file("DB_Log")));
    ASSERT_TRUE(MeridianNew::startup(config, work).ok());
    MeridianNew::LOGGER()->appendMsg("生成 line");
    InstanceDataManager* idm = MeridianNew::getCurrentWorkDBIDM();
    ASSERT_TRUE(idm->addMTableInstance(rowsTable(), {}).ok());
    for (int i = 0; i < 200; ++i) {
        ASSERT_TRUE(idm->addITableData(emptyRow(), COMMIT_T_DEFERRED).ok());
    }
    bool kept = false;
    {
        FullDisk full;
        ResultMsg rm = MeridianNew::setCurrentWorkDB(dir.file("other.db"), 0);
        EXPECT_EQ(rm.rCode, SRV_ERR_COMMIT);
        EXPECT_NE(rm.rMsg.find(work), std::string::npos);
        EXPECT_EQ(MeridianNew::getCurrentWorkDB(), work);
        kept = rm.rMsg.find("修改仍未提交") != std::string::npos;
    }
    // The message told the truth: rows still pending are committed by the
    // next switch; rows the engine dropped are said to be lost.
    ASSERT_TRUE(MeridianNew::setCurrentWorkDB(dir.file("other.db"), 0).ok());
    EXPECT_EQ(count(work, "T_Rows"), kept ? "200" : "0");

    for (int i = 0; i < 200; ++i) {
        NoteDAO note;
        ASSERT_TRUE(note.save(COMMIT_T_DEFERRED).ok());
    }
    ResultMsg rm;
    {
        FullDisk full;
        rm = MeridianNew::shutdown();
    }
    MeridianNew::LOGGER()->appendMsg("after shutdown");  // the log manager stays
    EXPECT_EQ(rm.rCode, SRV_ERR_COMMIT);
    EXPECT_NE(rm.rMsg.find(config), std::string::npos);
    EXPECT_EQ(count(config, "T_M_Note"), "0");
    const std::string log =
        readText(dir.file("DB_Log/db_log" + StringHelper::currTimeStr(3) + ".log"));
    EXPECT_NE(log.find(": [ERROR Pos]: MeridianNew::shutdown() \n"), std::string::npos) << log;
    EXPECT_NE(log.find(rm.rMsg), std::string::npos);
    EXPECT_NE(log.find(": [Msg]:\xC9\xFA\xB3\xC9 line\n"), std::string::npos);  // GBK
    EXPECT_EQ(log.find("silent"), std::string::npos);
    EXPECT_NE(log.find("after shutdown"), std::string::npos);
}

// Processes starting at once on a configuration database that is not there
// yet (a file two of them make, a server database six of them fill) all
// start, and its tables are there.
TEST(PlatformFaults, ProcessesStartingTogetherOnANewDatabaseAllSucceed) {
    ARX_REQUIRE_BACKEND();
    registerSampleRecords();
    TempDir dir;
    const bool file = underTest().capabilities().localFile;
    for (int round = 0; round < (file ? 20 : 1); ++round) {
        const std::string config = dir.database("c" + std::to_string(round) + ".db");
        int gate[2];
        ASSERT_EQ(pipe(gate), 0);
        std::vector<pid_t> children(file ? 2 : 6);
        for (std::size_t k = 0; k < children.size(); ++k) {
            children[k] = fork();
            ASSERT_GE(children[k], 0);
            if (children[k] == 0) {
                close(gate[1]);
                char go;
                bool ok = read(gate[0], &go, 1) == 0;  // released when the parent closes it
                const std::string work = dir.file("w" + std::to_string(round) + std::to_string(k));
                ResultMsg rm = MeridianNew::startup(config, work, 0);
                ok = ok && rm.ok() && MeridianNew::shutdown().ok();
                if (!rm.ok()) fprintf(stderr, "%s\n", StringHelper::GBKToUTF8(rm.rMsg).c_str());
                _exit(ok ? 0 : 1);
            }
        }
        close(gate[0]);
        close(gate[1]);
        for (pid_t child : children) {
            int status = 0;
            EXPECT_TRUE(reap(child, Seconds(300), status));
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "round " << round;
        }
        EXPECT_EQ(count(config, "T_M_Note"), "0");
    }
}

TEST(PlatformStartup, AnOlderConfigurationDatabaseGetsMissingColumns) {
    ARX_REQUIRE_BACKEND();
    registerSampleRecords();
    TempDir dir;
    const std::string config = dir.database("old.db");
    const std::string id = underTest().idColumn();
    ASSERT_TRUE(rawExecute(config, "CREATE TABLE \"T_M_Note\" (\"id\" " + id +
                                       ", \"Name\" TEXT);"
                                       "INSERT INTO \"T_M_Note\" (\"Name\") VALUES ('kept');"));
    ResultMsg rm = MeridianNew::startup(config, dir.file("work.db"));
    ASSERT_TRUE(rm.ok()) << rm.rMsg;
    DAOFinder finder;
    DAO* found = nullptr;
    ASSERT_TRUE(finder.findByID("NoteDAO", 1, found).ok());
    std::unique_ptr<DAO> owned(found);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->_name, "kept");
    ASSERT_TRUE(MeridianNew::shutdown().ok());
    EXPECT_EQ(columnsOf(config, "T_M_Note"), kNoteColumns);
}

}  // namespace arxtest
