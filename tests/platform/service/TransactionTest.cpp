#include <functional>

#include "Transaction.h"
#include "platform/service/ServiceTestSupport.h"
#include "support/FaultyDisk.h"

namespace arxtest {

using Transactions = ServiceTest;

TEST_F(Transactions, OnlyCommittedWorkIsKeptAndEarlierPendingWritesSurviveARollBack) {
    // Alone, a savepoint opens the session's transaction and leaves its work pending.
    Savepoint alone(*session);
    ASSERT_TRUE(add("pending").ok());
    ASSERT_TRUE(alone.release().ok());
    V columns;
    {
        Transaction tx(*session);
        ASSERT_TRUE(tx.begun().ok());
        ASSERT_TRUE(add("undone", COMMIT_T_IMMEDIATELY).ok());
        ASSERT_TRUE(idm->addMTableInstance(tableNamed("T_Temp"), {describe("X", 1)}).ok());
        ASSERT_TRUE(idm->getTableColumnNames("T_Temp", columns).ok());  // now in the cache
        // Neither an immediate write nor the session's commit ends the transaction.
        ASSERT_TRUE(session->commit().ok());
        EXPECT_EQ(committed(), "");
    }  // destroyed without commit: its rows and table are gone
    EXPECT_EQ(idm->getTableColumnNames("T_Temp", columns).rCode, SRV_ERR_NO_TABLE);
    EXPECT_EQ(names(), V{"pending"});
    ASSERT_TRUE(session->commit().ok());
    EXPECT_EQ(committed(), "pending");

    Transaction tx(*idm);
    ASSERT_TRUE(add("kept").ok());
    ASSERT_TRUE(tx.commit().ok());
    EXPECT_EQ(committed(), "pending,kept");
    EXPECT_EQ(tx.commit().rCode, SRV_ERR_TRANSACTION);  // ended already
}

TEST_F(Transactions, NestedSavepointsUndoOnlyTheirOwnWork) {
    Transaction outer(*session);
    ASSERT_TRUE(add("a").ok());
    Savepoint undone(*session);
    ASSERT_TRUE(add("b").ok());
    // The outer one cannot end while the inner one is open.
    EXPECT_EQ(outer.commit().rCode, SRV_ERR_TRANSACTION);
    ASSERT_TRUE(undone.rollback().ok());
    Transaction inner(*session);  // nested: behaves as a savepoint
    ASSERT_TRUE(add("c").ok());
    ASSERT_TRUE(inner.commit().ok());
    EXPECT_EQ(committed(), "");
    ASSERT_TRUE(outer.commit().ok());
    EXPECT_EQ(committed(), "a,c");
}

TEST_F(Transactions, AFailedWriteUndoesOnlyItselfAndKeepsTheIdentifiersGiven) {
    Transaction tx(*session);
    std::vector<int> ids;
    // A long run of inserts, a refused one, then more work of every kind.
    for (int i = 0; i < 150; ++i) {
        int id = 0;
        ASSERT_TRUE(idm->addITableData(itemRow("r" + std::to_string(i)), 0, id).ok());
        ids.push_back(id);
    }
    ITableData bad = itemRow("bad");
    bad._cloInnerName[2] = "Nope";
    EXPECT_EQ(idm->addITableData(bad, 0).rCode, SRV_ERR_NO_COLUMN);
    ASSERT_TRUE(add("gone").ok());
    ASSERT_TRUE(idm->deleteITableDataByCondition("T_Item", {cond("Name", "=", "'gone'")}, 0).ok());
    int last = 0;
    ASSERT_TRUE(idm->addITableData(itemRow("after"), 0, last).ok());
    ASSERT_TRUE(tx.commit().ok());
    // Every row kept is found under the identifier its insert answered.
    for (int i : {0, 99, 100, 149}) {
        EXPECT_EQ(names({cond("id", "=", std::to_string(ids[i]))}), V{"r" + std::to_string(i)});
    }
    EXPECT_EQ(names({cond("id", "=", std::to_string(last))}), V{"after"});
    EXPECT_EQ(names({cond("Name", "=", "'bad'")}), V{});
    EXPECT_EQ(rawScalar(dbPath, "SELECT count(*) FROM \"T_Item\""), "151");
}

TEST_F(Transactions, SessionRollBackAndCloseNeverKeepUnfinishedWork) {
    ASSERT_TRUE(add("pending").ok());
    auto tx = std::make_unique<Transaction>(*session);
    ASSERT_TRUE(add("in transaction").ok());
    ASSERT_TRUE(session->rollback().ok());
    EXPECT_EQ(tx->commit().rCode, SRV_ERR_TRANSACTION);
    tx.reset();
    EXPECT_EQ(names(), V{});

    // Closing commits pending writes but rolls back an open transaction.
    ASSERT_TRUE(add("pending").ok());
    Transaction open(*session);
    ASSERT_TRUE(add("unfinished").ok());
    EXPECT_TRUE(session->hasOpenTransaction());
    ASSERT_TRUE(session->close().ok());
    EXPECT_EQ(committed(), "pending");
    EXPECT_EQ(open.commit().rCode, SRV_ERR_CLOSED);
}

// A schema change made while deferred writes are pending joins their
// transaction: it commits none of them, and a roll-back undoes both.
TEST_F(Transactions, ASchemaChangeCommitsNoPendingWrites) {
    ASSERT_TRUE(idm->addMTableInstance(tableNamed("T_Old"), {describe("X", 1)}).ok());
    MNormalColumn indexed = describe("Qty", 1);
    indexed._isIndex = 1;
    const std::pair<const char*, std::function<ResultMsg()>> changes[] = {
        {"table", [&] { return idm->addMTableInstance(tableNamed("T_New"), {describe("X", 1)}); }},
        {"column", [&] { return idm->addNormalColumnInstance("T_Item", describe("Extra", 1)); }},
        {"index", [&] { return idm->setColumnIndex("T_Item", indexed); }},
        {"rebuild",
         [&] {
             return idm->rebuildTable(tableNamed("T_Item"),
                                      {describe("Name", 2), describe("Qty", 2)});
         }},
        {"drop", [&] { return idm->delTableInstance("T_Old"); }},
    };
    for (const auto& [what, change] : changes) {
        SCOPED_TRACE(what);
        ASSERT_TRUE(add("pending").ok());
        ResultMsg rm = change();
        ASSERT_TRUE(rm.ok()) << rm.rMsg;
        ASSERT_TRUE(session->rollback().ok());
        EXPECT_EQ(committed(), "");
    }
}

// An immediate write whose commit the disk refuses answers the failed
// commit; neither it nor the writes pending before it are kept.
TEST_F(Transactions, AnImmediateWriteWhoseCommitFailsSaysSo) {
    ARX_FILE_ONLY();  // a full disk under database files
    installFaultyDisk();
    openSession(0);  // on the faulty disk
    ASSERT_TRUE(add("pending").ok());
    ResultMsg rm;
    {
        FullDisk full;
        rm = add("now", COMMIT_T_IMMEDIATELY);
    }
    EXPECT_EQ(rm.rCode, SRV_ERR_COMMIT) << rm.rMsg;
    EXPECT_EQ(committed(), "");
}

TEST_F(Transactions, ALockHeldElsewhereIsABusyAnswerThatCanBeRetried) {
    ARX_FILE_ONLY();  // the lock is a database file's lock
    session->setBusyTimeout(50);
    RawConnection other(dbPath);
    ASSERT_TRUE(other.execute("BEGIN IMMEDIATE"));
    ResultMsg rm = add("x", COMMIT_T_IMMEDIATELY);
    EXPECT_EQ(rm.rCode, SRV_ERR_BUSY);
    EXPECT_NE(rm.rMsg.find("锁定"), std::string::npos) << rm.rMsg;
    Transaction blocked(*session);
    EXPECT_EQ(blocked.begun().rCode, SRV_ERR_BUSY);
    EXPECT_EQ(blocked.commit().rCode, SRV_ERR_BUSY);
    ASSERT_TRUE(other.execute("COMMIT"));
    ASSERT_TRUE(add("x", COMMIT_T_IMMEDIATELY).ok());
    EXPECT_EQ(committed(), "x");
    {
        Transaction undone(*session);
        ASSERT_TRUE(add("y").ok());
    }  // rolled back, and with it the lock its writes took
    EXPECT_TRUE(other.execute("BEGIN IMMEDIATE; COMMIT"));
}

// A step the engine undid together with its whole transaction (a full disk
// while the step spilled its pages) is its owner's failure: once the owner
// rolls its transaction back, closing the session has nothing to report.
TEST_F(Transactions, WorkTheEngineUndidWholeIsOnlyItsOwnersFailure) {
    ARX_FILE_ONLY();  // a full disk under database files
    installFaultyDisk();
    ASSERT_TRUE(session->close().ok());
    MRDSession* opened = nullptr;
    ASSERT_TRUE(service.createSession(dbPath, opened).ok());
    session.reset(opened);
    InstanceDataManager* manager = nullptr;
    ASSERT_TRUE(session->createInstanceDataManager(manager, 0).ok());
    idm.reset(manager);
    // More than the 16 MiB page cache holds, so that a rebuild spills pages.
    ASSERT_TRUE(rawExecute(dbPath,
                           "WITH RECURSIVE k(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM k "
                           "WHERE i < 3000) INSERT INTO T_Item (Name) SELECT "
                           "printf('%08d', i) || hex(randomblob(4000)) FROM k"));
    {
        Transaction tx(*session);
        ASSERT_TRUE(tx.begun().ok());
        FullDisk full("data.db");
        const ResultMsg rm =
            idm->rebuildTable(tableNamed("T_Item"), {describe("Name", 2), describe("Qty", 2)});
        EXPECT_FALSE(rm.ok());
    }
    const ResultMsg closed = session->close();
    EXPECT_TRUE(closed.ok()) << closed.rMsg;
    EXPECT_EQ(rawScalar(dbPath, "SELECT count(*) || typeof(Qty) FROM T_Item"), "3000null");
}

}  // namespace arxtest
