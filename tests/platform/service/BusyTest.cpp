#include <functional>

#include "RowInserter.h"
#include "Transaction.h"
#include "platform/service/ServiceTestSupport.h"

namespace arxtest {

using Busy = ServiceTest;

TEST_F(Busy, WritesOfARowAnotherConnectionHoldsAnswerBusyAndWriteNothing) {
    {
        // While another connection holds the lock on row 1 (a file's write lock, a
        // server's row lock), every write of that row gives up after the busy
        // timeout with SRV_ERR_BUSY, whatever its commit type, and nothing of it is
        // stored; once the lock is gone the same call succeeds.
        ASSERT_TRUE(idm->addITableData(itemRow("a", "1", "2"), COMMIT_T_IMMEDIATELY).ok());
        session->setBusyTimeout(100);
        const double blob[] = {1.5, 2.5};
        const Conditions first = {cond("id", "=", "1")};
        RowInserter inserter;
        ASSERT_TRUE(inserter.prepare(*idm, "T_Item", {"Name"}).ok());
        const std::pair<const char*, std::function<ResultMsg()>> writes[] = {
            {"update now", [&] { return idm->updateITableData(itemRow("u"), first, 1); }},
            {"update later", [&] { return idm->updateITableData(itemRow("u"), first, 0); }},
            {"delete by id", [&] { return idm->deleteITableDataById("T_Item", 1, 1); }},
            {"delete where", [&] { return idm->deleteITableDataByCondition("T_Item", first, 1); }},
            {"delete all", [&] { return idm->deleteITableDataAll("T_Item", 1); }},
            {"blob", [&] { return idm->updateIBlobTableData("T_Item", "Data", blob, 2, 1, 1); }},
            {"in a transaction",
             [&] {
                 Transaction tx(*session);
                 if (!tx.begun().ok()) return tx.begun();
                 ResultMsg rm = idm->updateITableData(itemRow("t"), first, 1);
                 return rm.ok() ? tx.commit() : rm;
             }},
            {"in a savepoint", [&] {
                 Savepoint sp(*idm);
                 if (!sp.begun().ok()) return sp.begun();
                 ResultMsg rm = idm->deleteITableDataById("T_Item", 1, 0);
                 return rm.ok() ? sp.release() : rm;
             }}};
        const std::string before = underTest().tableRows(dbPath, "T_Item");
        RawConnection other(dbPath);
        ASSERT_TRUE(other.execute("BEGIN"));
        ASSERT_TRUE(other.execute("UPDATE \"T_Item\" SET \"Qty\" = 7 WHERE \"id\" = 1"));
        for (const auto& [what, write] : writes) {
            SCOPED_TRACE(what);
            const ResultMsg rm = write();
            EXPECT_EQ(rm.rCode, SRV_ERR_BUSY) << rm.rMsg;
            EXPECT_FALSE(rm.rMsg.empty());
            EXPECT_FALSE(session->hasOpenTransaction());
        }
        ASSERT_TRUE(other.execute("ROLLBACK"));
        ASSERT_TRUE(session->commit().ok());
        EXPECT_EQ(underTest().tableRows(dbPath, "T_Item"), before);

        // Tried again without the lock, each succeeds (the last empties the table).
        for (const auto& [what, write] : writes) {
            if (std::string(what).find("delete") != std::string::npos) continue;
            const ResultMsg rm = write();
            EXPECT_TRUE(rm.ok()) << what << ": " << rm.rMsg;
        }
        ASSERT_TRUE(session->commit().ok());
        EXPECT_EQ(rawScalar(dbPath, "SELECT count(*) FROM \"T_Item\""), "0");
    }
    {
        // A busy timeout of 0 gives up at once; the session still works after it.
        ASSERT_TRUE(add("a", COMMIT_T_IMMEDIATELY).ok());
        session->setBusyTimeout(0);
        {
            RawConnection other(dbPath);
            ASSERT_TRUE(other.execute("BEGIN"));
            ASSERT_TRUE(other.execute("DELETE FROM \"T_Item\" WHERE \"Name\" = 'a'"));
            const ResultMsg rm = idm->updateITableData(itemRow("b"), {cond("Name", "=", "'a'")}, 1);
            EXPECT_EQ(rm.rCode, SRV_ERR_BUSY) << rm.rMsg;
            ASSERT_TRUE(other.execute("COMMIT"));
        }
        ASSERT_TRUE(add("c", COMMIT_T_IMMEDIATELY).ok());
        EXPECT_EQ(committed(), "c");
    }
}

}  // namespace arxtest
