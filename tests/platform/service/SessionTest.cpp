#include <gtest/gtest.h>

#include <fstream>

#include "platform/service/ServiceTestSupport.h"
#include "support/RawDb.h"

namespace arxtest {

using Session = ServiceTest;

TEST_F(Session, DeferredWritesWaitForCommitAndSurviveClosing) {
    const std::string count = "SELECT count(*) FROM T_Item";
    ASSERT_TRUE(idm->addITableData(itemRow("a", "1", "1"), COMMIT_T_DEFERRED).ok());
    EXPECT_EQ(rawScalar(dbPath, count), "0");  // another connection sees nothing yet
    ASSERT_TRUE(session->commit().ok());
    EXPECT_EQ(rawScalar(dbPath, count), "1");

    ASSERT_TRUE(idm->addITableData(itemRow("b", "1", "1"), COMMIT_T_DEFERRED).ok());
    ASSERT_TRUE(idm->deleteITableDataById("T_Item", 1).ok());
    // An immediate write commits what was pending along with itself.
    ASSERT_TRUE(idm->addITableData(itemRow("c", "1", "1"), COMMIT_T_IMMEDIATELY).ok());
    EXPECT_EQ(rawScalar(dbPath, count), "2");
    EXPECT_EQ(rawScalar(dbPath, "SELECT group_concat(Name) FROM T_Item"), "b,c");

    ASSERT_TRUE(idm->addITableData(itemRow("d", "1", "1"), COMMIT_T_DEFERRED).ok());
    idm.reset();
    session.reset();  // closing commits
    EXPECT_EQ(rawScalar(dbPath, count), "3");
    EXPECT_EQ(rawScalar(dbPath, "PRAGMA journal_mode"), "wal");
}

TEST_F(Session, ClosedSessionAnswersEveryCallWithACode) {
    ASSERT_TRUE(idm->addITableData(itemRow("a", "1", "1"), COMMIT_T_DEFERRED).ok());
    ASSERT_TRUE(session->close().ok());
    EXPECT_FALSE(session->isOpen());
    EXPECT_EQ(rawScalar(dbPath, "SELECT count(*) FROM T_Item"), "1");

    std::list<ITableData> rows;
    EXPECT_EQ(session->commit().rCode, SRV_ERR_CLOSED);
    EXPECT_EQ(idm->addITableData(itemRow("b", "1", "1"), 1).rCode, SRV_ERR_CLOSED);
    EXPECT_EQ(idm->getITableData("T_Item", {}, {}, rows, nullptr).rCode, SRV_ERR_CLOSED);
    EXPECT_EQ(idm->deleteITableDataAll("T_Item").rCode, SRV_ERR_CLOSED);
    EXPECT_EQ(idm->delTableInstance("T_Item").rCode, SRV_ERR_CLOSED);
    InstanceDataManager* another = nullptr;
    EXPECT_EQ(session->createInstanceDataManager(another, 0).rCode, SRV_ERR_CLOSED);
    EXPECT_EQ(another, nullptr);

    EXPECT_EQ(idm->getPSession(), session.get());
    session.reset();
    EXPECT_EQ(idm->getPSession(), nullptr);
}

TEST_F(Session, MissingOrForeignFilesAreRefused) {
    MRDSession* other = nullptr;
    ResultMsg rm = service.createSession(dir.file("missing.db"), other);
    EXPECT_EQ(rm.rCode, SRV_ERR_NO_FILE);
    EXPECT_NE(rm.rMsg.find("missing.db"), std::string::npos);
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(service.createSession(dir.path(), other, 1).rCode, SRV_ERR_NO_FILE);
    EXPECT_EQ(service.createSession(dir.file("no/such/folder.db"), other, 1).rCode,
              SRV_ERR_NO_FILE);

    std::ofstream(dir.file("text.db")) << "this is no database, just some text\n";
    EXPECT_EQ(service.createSession(dir.file("text.db"), other).rCode, SRV_ERR_NO_FILE);
    EXPECT_EQ(other, nullptr);

    ASSERT_TRUE(service.createSession(dir.file("new.db"), other, 1).ok());
    std::unique_ptr<MRDSession> created(other);
    EXPECT_EQ(created->getFilePath(), dir.file("new.db"));
    InstanceDataManager* manager = nullptr;
    ASSERT_TRUE(created->createInstanceDataManager(manager, 1).ok());
    std::unique_ptr<InstanceDataManager> owned(manager);
    std::vector<std::string> tables;
    ASSERT_TRUE(owned->getTableNames(tables).ok());
    EXPECT_TRUE(tables.empty());
}

}  // namespace arxtest
