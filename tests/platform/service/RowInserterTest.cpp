#include <climits>
#include <cstdio>
#include <optional>

#include "RowInserter.h"
#include "Transaction.h"
#include "platform/service/ServiceTestSupport.h"

namespace arxtest {

using Inserter = ServiceTest;

namespace {

// One row of T_Item as the inserter binds it: no value is NULL.
struct Bound {
    std::optional<std::string> name;
    std::optional<long long> qty;
    std::optional<double> price;
};

std::string text(const Bound& b) {
    char price[40] = "null";
    if (b.price) std::snprintf(price, sizeof price, "%.17g", *b.price);
    std::string name = "null";
    if (b.name) name = b.name->size() > 20 ? std::to_string(b.name->size()) : "'" + *b.name + "'";
    return name + " " + (b.qty ? std::to_string(*b.qty) : std::string("null")) + " " + price;
}

}  // namespace

TEST_F(Inserter, BoundValuesAreStoredAsTheyAreAndInsertsJoinTheSessionsWork) {
    {
        // Each value is stored as the number or text it was bound as, with its
        // identifier in order; a column not bound, or bound at a position the
        // statement does not have, is NULL, and insert() clears what was bound.
        RowInserter row;
        ASSERT_TRUE(row.prepare(*idm, "T_Item", {"Name", "Qty", "Price"}).ok());
        EXPECT_TRUE(row.isPrepared());
        const std::string gbk = "\xD6\xD0\xCE\xC4";  // two GBK characters
        const std::string longText(70000, 'x');
        // The row to bind, and whether to bind out of range as well.
        const std::pair<Bound, bool> rows[] = {
            {{"plain", 3, 0.5}, false},
            {{"", LLONG_MAX, 1.7976931348623157e308}, false},
            {{std::nullopt, LLONG_MIN, -0.1}, false},
            {{gbk, 0, std::nullopt}, false},
            {{longText, std::nullopt, 4.9406564584124654e-324}, false},
            {{}, false},  // nothing bound: the last row's values are gone
            {{}, true},   // positions -1, 3 and far beyond change nothing
            {{"last", -1, -2.5}, true}};
        std::vector<int> ids;
        for (const auto& [b, outside] : rows) {
            if (b.name) row.bindText(0, *b.name);
            if (b.qty) row.bindInteger(1, *b.qty);
            if (b.price) row.bindReal(2, *b.price);
            if (outside) {
                row.bindInteger(-1, 7);
                row.bindText(3, gbk);
                row.bindReal(1000, 7.0);
                row.bindNull(INT_MAX);
            }
            int id = 0;
            const ResultMsg rm = row.insert(COMMIT_T_IMMEDIATELY, id);
            ASSERT_TRUE(rm.ok()) << rm.rMsg;
            ids.push_back(id);
        }
        EXPECT_EQ(ids, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));

        std::vector<std::string> stored;
        const std::vector<MNormalColumn> asked = {describe("Name", 2), describe("Qty", 1),
                                                  describe("Price", 3)};
        ASSERT_TRUE(idm->forEachResultRow("T_Item", asked, {}, nullptr,
                                          [&](const ResultRow& r) {
                                              Bound b;
                                              std::string name;
                                              r.text(0, name);
                                              b.name = name;
                                              long long qty = 0;
                                              double price = 0;
                                              if (r.integer(1, qty)) b.qty = qty;
                                              if (r.real(2, price)) b.price = price;
                                              stored.push_back(text(b));
                                              return true;
                                          })
                        .ok());
        std::vector<std::string> expected;
        for (const auto& [b, outside] : rows) {
            Bound read = b;
            read.name = b.name.value_or("");  // NULL text reads as empty text
            expected.push_back(text(read));
        }
        EXPECT_EQ(stored, expected);
        // Empty text and NULL stay apart.
        EXPECT_EQ(rawScalar(dbPath, "SELECT count(*) FROM \"T_Item\" WHERE \"Name\" IS NULL"), "3");
        EXPECT_EQ(rawScalar(dbPath, "SELECT count(*) FROM \"T_Item\" WHERE \"Name\" = ''"), "1");
        EXPECT_EQ(rawScalar(dbPath, "SELECT length(\"Name\") FROM \"T_Item\" WHERE \"id\" = 5"),
                  "70000");
        EXPECT_EQ(rawScalar(dbPath, "SELECT count(*) FROM \"T_Item\" WHERE \"Data\" IS NULL"), "8");
    }
    ASSERT_TRUE(idm->deleteITableDataAll("T_Item", COMMIT_T_IMMEDIATELY).ok());
    {
        // An insert is a write like addITableData's: deferred ones wait for the
        // session's commit and go with a roll-back, immediate ones commit at once,
        // and inside a Transaction only its commit keeps them.
        RowInserter row;
        ASSERT_TRUE(row.prepare(*idm, "T_Item", {"Name"}).ok());
        const auto insert = [&](const std::string& name, int commitType) {
            row.bindText(0, name);
            int id = 0;
            return row.insert(commitType, id).ok();
        };
        ASSERT_TRUE(insert("deferred", COMMIT_T_DEFERRED));
        EXPECT_EQ(committed(), "");
        ASSERT_TRUE(session->rollback().ok());
        ASSERT_TRUE(insert("kept", COMMIT_T_DEFERRED));
        ASSERT_TRUE(session->commit().ok());
        EXPECT_EQ(committed(), "kept");
        ASSERT_TRUE(insert("now", COMMIT_T_IMMEDIATELY));
        EXPECT_EQ(committed(), "kept,now");
        {
            Transaction tx(*session);
            ASSERT_TRUE(tx.begun().ok());
            ASSERT_TRUE(insert("undone", COMMIT_T_IMMEDIATELY));
            EXPECT_EQ(committed(), "kept,now");
        }
        {
            Transaction tx(*session);
            ASSERT_TRUE(insert("in tx", COMMIT_T_IMMEDIATELY));
            ASSERT_TRUE(tx.commit().ok());
        }
        EXPECT_EQ(committed(), "kept,now,in tx");
    }
}

TEST_F(Inserter, RefusedPreparesAndRowsStoreNothing) {
    {
        // A prepare that fails for whatever reason leaves no statement behind, not
        // even the one prepared before: an insert then is refused and writes
        // nothing. The message names what was refused.
        V many;
        for (int i = 0; i < 81; ++i)
            many.push_back("Qty");
        // What prepare() itself refuses: names no statement can be made of.
        const std::tuple<std::string, V, int, std::string> refused[] = {
            {"T_Item", {"Name", "id"}, SRV_ERR_ARGUMENT, "T_Item"},  // the store gives the id
            {"T_Item", {"ID", "Name"}, SRV_ERR_ARGUMENT, "T_Item"},
            {"T_Item", many, SRV_ERR_ARGUMENT, "81"},
            {"T_Item", {"Name", "name"}, SRV_ERR_ARGUMENT, "name"},
            {"T_\"Item", {"Name"}, SRV_ERR_ARGUMENT, "T_\"Item"},
            {"T_Item", {"Na\"me"}, SRV_ERR_ARGUMENT, "Na\"me"},
            {"", {"Name"}, SRV_ERR_ARGUMENT, ""}};
        const std::string before = underTest().state(dbPath);
        RowInserter row;
        for (const auto& [table, columns, code, culprit] : refused) {
            SCOPED_TRACE(culprit);
            ASSERT_TRUE(row.prepare(*idm, "T_Item", {"Name"}).ok());
            const ResultMsg rm = row.prepare(*idm, table, columns);
            EXPECT_EQ(rm.rCode, code) << rm.rMsg;
            EXPECT_NE(rm.rMsg.find(culprit), std::string::npos) << rm.rMsg;
            EXPECT_FALSE(row.isPrepared());
            row.bindText(0, culprit);
            int id = -5;
            EXPECT_EQ(row.insert(COMMIT_T_IMMEDIATELY, id).rCode, SRV_ERR_ARGUMENT);
            EXPECT_EQ(id, -5);
        }
        // Names the database does not have are found out by the first insert,
        // which stores nothing and says what is missing.
        const std::tuple<std::string, V, int, std::string> missing[] = {
            {"T_Nowhere", {"Name"}, SRV_ERR_NO_TABLE, "T_Nowhere"},
            {"T_Item", {"Name", "Colour"}, SRV_ERR_NO_COLUMN, "Colour"}};
        for (const auto& [table, columns, code, culprit] : missing) {
            ASSERT_TRUE(row.prepare(*idm, table, columns).ok());
            row.bindText(0, culprit);
            int id = -5;
            const ResultMsg rm = row.insert(COMMIT_T_IMMEDIATELY, id);
            EXPECT_EQ(rm.rCode, code) << rm.rMsg;
            EXPECT_NE(rm.rMsg.find(culprit), std::string::npos) << rm.rMsg;
            EXPECT_EQ(id, -5);
        }
        EXPECT_EQ(underTest().state(dbPath), before);

        // A closed session prepares nothing; reopened, the same manager does.
        ASSERT_TRUE(session->close().ok());
        EXPECT_EQ(row.prepare(*idm, "T_Item", {"Name"}).rCode, SRV_ERR_CLOSED);
        EXPECT_FALSE(row.isPrepared());
        ASSERT_TRUE(session->reopen().ok());
        ASSERT_TRUE(row.prepare(*idm, "T_Item", {"Name"}).ok());
        // The statement stays the one prepared last, and so does its width.
        ASSERT_TRUE(row.prepare(*idm, "T_Item", {"Qty"}).ok());
        const std::string beyond = "beyond";
        row.bindInteger(0, 42);
        row.bindText(1, beyond);  // the width of the earlier statement
        int id = 0;
        ASSERT_TRUE(row.insert(COMMIT_T_IMMEDIATELY, id).ok());
        EXPECT_EQ(rawScalar(dbPath,
                            "SELECT coalesce(\"Name\", 'null') || ' ' || \"Qty\" FROM "
                            "\"T_Item\""),
                  "null 42");
    }
    ASSERT_TRUE(idm->deleteITableDataAll("T_Item", COMMIT_T_IMMEDIATELY).ok());
    {
        // A row the engine refuses, or one whose identifier would not fit the
        // caller's int, is not stored; the inserter then goes on with the next row.
        ASSERT_TRUE(
            injectFault(dbPath, "fault", "BEFORE INSERT", "T_Item", "NEW.\"Name\" = 'bad'"));
        RowInserter row;
        ASSERT_TRUE(row.prepare(*idm, "T_Item", {"Name", "Qty"}).ok());
        int id = 0;
        const std::string bad = "bad", good = "good";
        row.bindText(0, bad);
        row.bindInteger(1, 5);
        ResultMsg rm = row.insert(COMMIT_T_IMMEDIATELY, id);
        EXPECT_NE(rm.rCode, RUN_SUCCESS);
        EXPECT_EQ(id, 0);
        row.bindText(0, good);
        ASSERT_TRUE(row.insert(COMMIT_T_IMMEDIATELY, id).ok());
        EXPECT_EQ(committed(), "good");
        EXPECT_EQ(rawScalar(dbPath, "SELECT coalesce(\"Qty\", -1) FROM \"T_Item\""), "-1");

        // The last identifier an int holds, given by hand: the store's next one
        // does not fit, and that row is refused whole.
        ITableData last = itemRow("last");
        last._cloInnerName[3] = "id";
        last._colType[3] = COL_TYPE_INT;
        last._colValue[3] = std::to_string(INT_MAX);
        last._colNum = 4;
        ASSERT_TRUE(idm->addITableData(last, COMMIT_T_IMMEDIATELY).ok());
        const int before = id;
        row.bindText(0, good);
        rm = row.insert(COMMIT_T_IMMEDIATELY, id);
        EXPECT_EQ(rm.rCode, SRV_ERR_ARGUMENT);
        EXPECT_NE(rm.rMsg.find("2147483648"), std::string::npos) << rm.rMsg;
        EXPECT_EQ(id, before);
        EXPECT_EQ(committed(), "good,last");
    }
}

// An inserter knows the database it was prepared for without keeping it
// open (a per-thread cache of inserters must not hold files): isFor() tells
// that database from another, whatever the prepare answered, and once its
// manager and session are gone an insert is refused and stores nothing.
TEST_F(Inserter, AnInserterKnowsItsDatabaseWithoutKeepingItOpen) {
    RowInserter row;
    EXPECT_FALSE(row.isFor(*idm));
    ASSERT_TRUE(row.prepare(*idm, "T_Item", {"Name"}).ok());
    EXPECT_TRUE(row.isFor(*idm));
    EXPECT_FALSE(row.prepare(*idm, "T_Item", {"id"}).ok());
    EXPECT_TRUE(row.isFor(*idm));

    TempDir otherDir;
    MRDSession* s = nullptr;
    ASSERT_TRUE(service.createSession(otherDir.database("other.db"), s, 1).ok());
    std::unique_ptr<MRDSession> other(s);
    InstanceDataManager* m = nullptr;
    ASSERT_TRUE(other->createInstanceDataManager(m, 0).ok());
    std::unique_ptr<InstanceDataManager> otherIdm(m);
    EXPECT_FALSE(row.isFor(*otherIdm));

    ASSERT_TRUE(row.prepare(*idm, "T_Item", {"Name"}).ok());
    openSession(0);  // the manager and session prepared for are gone
    EXPECT_FALSE(row.isFor(*idm));
    const std::string name = "after";
    row.bindText(0, name);
    int id = -5;
    const ResultMsg rm = row.insert(COMMIT_T_IMMEDIATELY, id);
    EXPECT_NE(rm.rCode, RUN_SUCCESS);
    EXPECT_EQ(id, -5);
    EXPECT_EQ(committed(), "");
}

}  // namespace arxtest
