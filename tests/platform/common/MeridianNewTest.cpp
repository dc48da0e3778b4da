#include <gtest/gtest.h>

#include <filesystem>

#include "CommonErrorCode.h"
#include "InstanceDataManager.h"
#include "MRDSession.h"
#include "ServiceErrorCode.h"
#include "StringHelper.h"
#include "support/FileText.h"
#include "support/PlatformFixture.h"
#include "support/RawDb.h"

namespace arxtest {

using Platform = PlatformFixture;

namespace {

std::string indexedColumns(const std::string& db, const std::string& table) {
    return rawScalar(db, "SELECT group_concat(c.name) FROM (SELECT name FROM pragma_index_list('" +
                             table + "') ORDER BY name) i, pragma_index_info(i.name) c");
}

}  // namespace

TEST_F(Platform, StartupCreatesTheDatabasesWithIndexedKeyColumns) {
    EXPECT_TRUE(std::filesystem::exists(configPath));
    EXPECT_TRUE(std::filesystem::exists(workPath));
    EXPECT_EQ(MeridianNew::getCurrPlatformStatus(), "OK");
    EXPECT_EQ(MeridianNew::getCurrentMRDConfigDB(), configPath);
    EXPECT_EQ(MeridianNew::getCurrentWorkDB(), workPath);
    EXPECT_NE(MeridianNew::getCurrService(), nullptr);
    EXPECT_NE(MeridianNew::getCurrMRDConfigMDM(), nullptr);

    std::vector<std::string> columns;
    ASSERT_TRUE(MeridianNew::getCurrMRDConfigIDM()->getTableColumnNames("T_M_Note", columns).ok());
    EXPECT_EQ(columns,
              (std::vector<std::string>{"id", "Name", "Title", "RProjectID", "T_M_FolderID",
                                        "Priority", "Weight", "InnerName"}));
    EXPECT_EQ(indexedColumns(configPath, "T_M_Note"), "RProjectID,T_M_FolderID");
    EXPECT_EQ(indexedColumns(configPath, "T_M_Tag_2"), "MRNoteID_2");
    // Metadata tables live in the configuration database only.
    EXPECT_EQ(rawScalar(workPath, "SELECT count(*) FROM sqlite_master"), "0");
}

TEST_F(Platform, SwitchingDatabasesCommitsWhatIsPending) {
    NoteDAO note;
    ASSERT_TRUE(note.save(COMMIT_T_DEFERRED).ok());
    EXPECT_EQ(rawScalar(configPath, "SELECT count(*) FROM T_M_Note"), "0");
    const std::string otherConfig = dir.file("other-config.db");
    ASSERT_TRUE(rawExecute(otherConfig, "CREATE TABLE Placeholder (x)"));
    ASSERT_TRUE(MeridianNew::setCurrMRDConfigDB(otherConfig).ok());
    EXPECT_EQ(rawScalar(configPath, "SELECT count(*) FROM T_M_Note"), "1");
    // The new configuration database received the registered tables.
    EXPECT_EQ(rawScalar(otherConfig, "SELECT count(*) FROM T_M_Note"), "0");

    InstanceDataManager* work = MeridianNew::getCurrentWorkDBIDM();
    MTable table;
    table._innerName = "T_Rows";
    ASSERT_TRUE(work->addMTableInstance(table, {}).ok());
    ITableData row;
    row._tableInnerName = "T_Rows";
    ASSERT_TRUE(work->addITableData(row, COMMIT_T_DEFERRED).ok());
    EXPECT_EQ(rawScalar(workPath, "SELECT count(*) FROM T_Rows"), "0");
    ASSERT_TRUE(MeridianNew::setCurrentWorkDB(dir.file("other-work.db"), 0).ok());
    EXPECT_EQ(rawScalar(workPath, "SELECT count(*) FROM T_Rows"), "1");

    TagDAO tag;
    ASSERT_TRUE(tag.save(COMMIT_T_DEFERRED).ok());
    MeridianNew::shutdown();
    EXPECT_EQ(rawScalar(otherConfig, "SELECT count(*) FROM T_M_Tag_2"), "1");
}

TEST_F(Platform, OneFileAsBothDatabasesSharesOneSession) {
    ASSERT_TRUE(MeridianNew::setCurrentWorkDB(configPath).ok());
    EXPECT_EQ(MeridianNew::getCurrentWorkDBIDM(), MeridianNew::getCurrMRDConfigIDM());
    NoteDAO note;
    ASSERT_TRUE(note.save(COMMIT_T_DEFERRED).ok());
    std::list<ITableData> rows;
    ASSERT_TRUE(
        MeridianNew::getCurrentWorkDBIDM()->getITableData("T_M_Note", {}, {}, rows, nullptr).ok());
    EXPECT_EQ(rows.size(), 1u);
    ASSERT_TRUE(MeridianNew::setCurrentWorkDB(workPath).ok());
    EXPECT_NE(MeridianNew::getCurrentWorkDBIDM(), MeridianNew::getCurrMRDConfigIDM());
    ASSERT_TRUE(MeridianNew::getCurrMRDConfigIDM()->getPSession()->commit().ok());
    EXPECT_EQ(rawScalar(configPath, "SELECT count(*) FROM T_M_Note"), "1");
}

TEST_F(Platform, FailedSwitchesKeepTheCurrentDatabases) {
    ResultMsg rm = MeridianNew::setCurrentWorkDB(dir.file("missing.db"));
    EXPECT_EQ(rm.rCode, SRV_ERR_NO_FILE);
    EXPECT_EQ(MeridianNew::getCurrentWorkDB(), workPath);
    EXPECT_EQ(MeridianNew::setCurrMRDConfigDB(dir.file("missing.db")).rCode, SRV_ERR_NO_FILE);
    EXPECT_EQ(MeridianNew::getCurrentMRDConfigDB(), configPath);
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing.db")));

    MeridianNew::shutdown();
    EXPECT_EQ(MeridianNew::getCurrPlatformStatus(), "NOT_STARTED");
    EXPECT_EQ(MeridianNew::getCurrMRDConfigIDM(), nullptr);
    EXPECT_EQ(MeridianNew::setCurrentWorkDB(workPath).rCode, COM_ERR_NOT_STARTED);
    EXPECT_EQ(MeridianNew::ensureRegisteredTables().rCode, COM_ERR_NOT_STARTED);
}

TEST(PlatformStartup, AnOlderConfigurationDatabaseGetsMissingColumns) {
    registerSampleRecords();
    TempDir dir;
    const std::string config = dir.file("old.db");
    ASSERT_TRUE(rawExecute(config,
                           "CREATE TABLE T_M_Note (id INTEGER PRIMARY KEY, Name TEXT);"
                           "INSERT INTO T_M_Note (Name) VALUES ('kept');"));
    ResultMsg rm = MeridianNew::startup(config, dir.file("work.db"));
    ASSERT_TRUE(rm.ok()) << rm.rMsg;
    DAOFinder finder;
    DAO* found = nullptr;
    ASSERT_TRUE(finder.findByID("NoteDAO", 1, found).ok());
    std::unique_ptr<DAO> owned(found);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->_name, "kept");
    MeridianNew::shutdown();
    EXPECT_EQ(rawScalar(config, "SELECT count(*) FROM pragma_table_info('T_M_Note')"), "8");
}

}  // namespace arxtest

namespace arxtest {

TEST(PlatformLogger, TheStartupMakesTheLogManagerInTheChosenMode) {
    registerSampleRecords();
    TempDir dir;
    ScopedCwd cwd(dir.path());
    const std::string dayFile = dir.file("DB_Log/db_log" + StringHelper::currTimeStr(3) + ".log");

    ASSERT_TRUE(MeridianNew::startup(dir.file("c.db"), dir.file("w.db"), 0).ok());
    ASSERT_NE(MeridianNew::LOGGER(), nullptr);
    MeridianNew::LOGGER()->appendMsg("silent");
    EXPECT_FALSE(std::filesystem::exists(dir.file("DB_Log")));

    ASSERT_TRUE(MeridianNew::startup(dir.file("c.db"), dir.file("w.db")).ok());
    MeridianNew::LOGGER()->appendMsg("生成 line");
    MeridianNew::LOGGER()->appendError("M_Test::save() ", "failed");
    MeridianNew::shutdown();
    MeridianNew::LOGGER()->appendMsg("after shutdown");
    const std::string log = readText(dayFile);
    EXPECT_NE(log.find(": [Msg]:\xC9\xFA\xB3\xC9 line\n"), std::string::npos) << log;
    EXPECT_NE(log.find(": [ERROR Pos]: M_Test::save() \n"), std::string::npos);
    EXPECT_NE(log.find(": [ERROR Msg]:failed\n"), std::string::npos);
    EXPECT_NE(log.find("after shutdown"), std::string::npos);
    EXPECT_EQ(log.find("silent"), std::string::npos);
}

}  // namespace arxtest
