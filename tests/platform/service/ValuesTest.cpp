#include "Transaction.h"
#include "platform/service/ServiceTestSupport.h"

namespace arxtest {

using Values = ServiceTest;

TEST_F(Values, EdgeValuesRoundTripAndSavepointsUsedOutOfTurnChangeNothing) {
    {
        // Values given as text are stored as the number or text their column holds
        // and read back in one text form; each row is then found by each of its
        // values, quoted text as text and whole numbers as numbers, and by no other.
        // Name, Qty, Price as given, then Qty and Price as read back.
        const std::tuple<std::string, std::string, std::string, std::string, std::string> rows[] = {
            {"O'Brien", "9223372036854775807", "1e308", "9223372036854775807", "1e+308"},
            {"a\"b;-- ", "-9223372036854775808", "-0.5", "-9223372036854775808", "-0.5"},
            {"   spaced  ", "0", "2.5e-300", "0", "2.5e-300"},
            {"\xD6\xD0'\xCE\xC4", "-1", "123456.75", "-1", "123456.75"},
            {"%_", "2147483648", "0.1", "2147483648", "0.1"}};
        for (const auto& [name, qty, price, qtyRead, priceRead] : rows)
            ASSERT_TRUE(idm->addITableData(itemRow(name, qty, price), COMMIT_T_IMMEDIATELY).ok());
        std::list<ITableData> read;
        const std::vector<MNormalColumn> asked = {describe("Name", 2), describe("Qty", 1),
                                                  describe("Price", 3)};
        ASSERT_TRUE(idm->getITableData("T_Item", asked, {}, read, nullptr).ok());
        ASSERT_EQ(read.size(), std::size(rows));
        auto it = read.begin();
        for (const auto& [name, qty, price, qtyRead, priceRead] : rows) {
            SCOPED_TRACE(name);
            EXPECT_EQ(V(it->_colValue, it->_colValue + 3), (V{name, qtyRead, priceRead}));
            ++it;
            EXPECT_EQ(names({cond("Name", "=", "'" + name + "'")}), V{name});
            EXPECT_EQ(names({cond("Qty", "=", qty)}), V{name});
            EXPECT_EQ(names({cond("Qty", "=", qty), cond("Name", "<>", "'" + name + "'", "AND")}),
                      V{});
        }
        EXPECT_EQ(names({cond("Name", "=", "'%'")}), V{});  // a pattern character is itself
    }
    ASSERT_TRUE(idm->deleteITableDataAll("T_Item", COMMIT_T_IMMEDIATELY).ok());
    {
        // A Savepoint or Transaction used out of turn answers SRV_ERR_TRANSACTION
        // and changes nothing; one begun on a closed session answers SRV_ERR_CLOSED.
        ASSERT_TRUE(add("kept", COMMIT_T_IMMEDIATELY).ok());
        {
            Savepoint sp(*session);
            ASSERT_TRUE(add("released").ok());
            ASSERT_TRUE(sp.release().ok());
            EXPECT_EQ(sp.release().rCode, SRV_ERR_TRANSACTION);   // ended already
            EXPECT_EQ(sp.rollback().rCode, SRV_ERR_TRANSACTION);  // and keeps its work
        }
        ASSERT_TRUE(session->commit().ok());
        EXPECT_EQ(committed(), "kept,released");
        {
            Transaction tx(*session);
            ASSERT_TRUE(add("dropped").ok());
            ASSERT_TRUE(session->rollback().ok());  // the session's roll-back ends it
            EXPECT_FALSE(session->hasOpenTransaction());
            EXPECT_EQ(tx.commit().rCode, SRV_ERR_TRANSACTION);
            ASSERT_TRUE(add("after").ok());  // pending, not part of the ended one
        }
        ASSERT_TRUE(session->commit().ok());
        EXPECT_EQ(committed(), "kept,released,after");
        {
            Transaction outer(*session);
            Savepoint inner(*session);
            ASSERT_TRUE(add("inner").ok());
            EXPECT_EQ(outer.rollback().ok(), true);  // takes the inner one with it
            EXPECT_EQ(inner.release().rCode, SRV_ERR_TRANSACTION);
            EXPECT_FALSE(session->hasOpenTransaction());
        }
        EXPECT_EQ(committed(), "kept,released,after");
        ASSERT_TRUE(session->close().ok());
        Transaction closed(*session);
        EXPECT_EQ(closed.begun().rCode, SRV_ERR_CLOSED);
        EXPECT_EQ(closed.commit().rCode, SRV_ERR_CLOSED);
    }
}

}  // namespace arxtest
