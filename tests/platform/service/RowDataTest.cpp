#include <set>
#include <tuple>

#include "platform/service/ServiceTestSupport.h"

namespace arxtest {

using RowData = ServiceTest;

TEST_F(RowData, WritesReadBackAsTypedTextTouchOnlyMatchingRowsAndBadRowsAreRefused) {
    int id1 = 0, id2 = 0, count = -1;
    ASSERT_TRUE(idm->addITableData(itemRow("apple", "3", "0.1"), COMMIT_T_IMMEDIATELY, id1).ok());
    ASSERT_TRUE(idm->addITableData(itemRow("pear", "", "1e20"), COMMIT_T_IMMEDIATELY, id2).ok());
    ASSERT_TRUE(add("plum").ok());
    EXPECT_EQ(std::pair(id1, id2), std::pair(1, 2));
    std::list<ITableData> rows;
    ASSERT_TRUE(idm->getITableData("T_Item", {}, {}, rows, nullptr).ok());
    ASSERT_EQ(rows.size(), 3u);
    const ITableData &first = rows.front(), &second = *std::next(rows.begin());
    EXPECT_EQ(first._tableInnerName, "T_Item");
    EXPECT_EQ(V(first._cloInnerName, first._cloInnerName + first._colNum),
              (V{"id", "Name", "Qty", "Price", "Data"}));
    EXPECT_EQ(std::vector<int>(first._colType, first._colType + 5), (std::vector{1, 2, 1, 3, 6}));
    EXPECT_EQ(V(first._colValue, first._colValue + 5), (V{"1", "apple", "3", "0.1", ""}));
    // An empty number is stored as no value and read back as empty text.
    EXPECT_EQ(V(second._colValue, second._colValue + 4), (V{"2", "pear", "", "1e+20"}));

    ASSERT_TRUE(idm->updateITableData(itemRow("pea", "2"), {cond("id", "=", "2")}, 0, count).ok());
    EXPECT_EQ(count, 1);  // rows changed
    EXPECT_EQ(names({cond("Qty", "=", "2")}), V{"pea"});
    ASSERT_TRUE(idm->deleteITableDataById("T_Item", 1).ok());
    EXPECT_EQ(names(), (V{"pea", "plum"}));
    EXPECT_EQ(idm->deleteITableDataByCondition("T_Item", {}).rCode, SRV_ERR_ARGUMENT);
    ASSERT_TRUE(idm->deleteITableDataByCondition("T_Item", {cond("Name", "=", "'plum'")}).ok());
    EXPECT_EQ(names(), V{"pea"});
    // A value is stored whole or refused with nothing written: a server's
    // text holds no zero byte, and the reused insert still holds "plum".
    const std::string zero("x\0y", 3);
    ResultMsg rm = add(zero, COMMIT_T_IMMEDIATELY);
    EXPECT_EQ(rm.rCode, underTest().strictTypes() ? SRV_ERR_ARGUMENT : 0) << rm.rMsg;
    EXPECT_EQ(names(), rm.ok() ? (V{"pea", zero}) : V{"pea"});
    ASSERT_TRUE(idm->deleteITableDataAll("T_Item").ok());
    EXPECT_EQ(names(), V{});

    const std::tuple<std::string, std::string, int, int, std::string> bad[] = {
        {"T_Item", "Qty", 81, SRV_ERR_ARGUMENT, "81"},
        {"T_Item", "Qty", -1, SRV_ERR_ARGUMENT, "-1"},
        {"T_Nowhere", "Qty", 3, SRV_ERR_NO_TABLE, "T_Nowhere"},
        {"T_Item", "Colour", 3, SRV_ERR_NO_COLUMN, "Colour"},
        {"T_Item", "name", 3, SRV_ERR_ARGUMENT, "name"},  // "Name" twice
    };
    for (const auto& [table, column, colNum, code, culprit] : bad) {
        SCOPED_TRACE(culprit);
        ITableData row = itemRow("x");
        row._tableInnerName = table;
        row._cloInnerName[1] = column;
        row._colNum = colNum;
        ResultMsg rm = idm->addITableData(row, COMMIT_T_IMMEDIATELY);
        EXPECT_EQ(rm.rCode, code);
        EXPECT_NE(rm.rMsg.find(culprit), std::string::npos) << rm.rMsg;
    }
    EXPECT_EQ(idm->deleteITableDataAll("T_Nowhere").rCode, SRV_ERR_NO_TABLE);
}

TEST_F(RowData, QueriesTakeValuesAsDataAndRefuseAnythingElse) {
    const V hostile = {"O'Brien", "100%", "a;b", "x'); DROP TABLE T_Item; --", "\" OR 1=1 --"};
    for (auto [name, qty] : {std::pair{"apple", "3"}, {"apricot", "7"}, {"banana", "5"}})
        ASSERT_TRUE(idm->addITableData(itemRow(name, qty), COMMIT_T_IMMEDIATELY).ok());
    for (const std::string& name : hostile)
        ASSERT_TRUE(add(name, COMMIT_T_IMMEDIATELY).ok()) << name;
    for (const std::string& name : hostile)
        EXPECT_EQ(names({cond("Name", "=", "'" + name + "'")}), V{name}) << name;

    const std::tuple<int, V, IOrderClause, Conditions> cases[] = {
        {0, {"apple", "apricot"}, {}, {cond("Name", "  LiKe  ", "'AP%'")}},
        {0, {"apricot", "banana"}, {}, {cond("Qty", ">=", "5")}},
        {0, {"apple", "banana"}, {}, {cond("Qty", "<>", "1"), cond("Name", "not like", "'apr%'")}},
        {0, {}, {}, {cond("Name", "=", "' OR '1'='1")}},
        // Text against a number column: an engine that keeps any value
        // compares and finds nothing; a strict one refuses the value.
        {underTest().strictTypes() ? SRV_ERR_ARGUMENT : 0, {}, {}, {cond("Qty", "=", "1 OR 1=1")}},
        {0, {"apricot", "banana", "apple"}, {" DESC ", " Qty "}, {cond("Qty", ">", "1")}},
        {SRV_ERR_ARGUMENT, {}, {}, {cond("Name", "= 1 OR 1=1 --", "1")}},
        {SRV_ERR_ARGUMENT, {}, {}, {cond("Name", "", "1")}},
        {SRV_ERR_ARGUMENT, {}, {}, {cond("Name", "glob", "1")}},
        {SRV_ERR_ARGUMENT, {}, {"", "Qty\"; DROP TABLE T_Item; --"}, {}},
        {SRV_ERR_ARGUMENT, {}, {"DESC; DROP TABLE T_Item", "Qty"}, {}},
        // Operations and directions in any case and spacing, their other
        // spellings, and a relation read the same way.
        {0, {"apple"}, {}, {cond("Qty", "==", "3")}},
        {0, {"apple", "apricot", "banana"}, {}, {cond("Qty", "!=", "1")}},
        {0, {"banana"}, {}, {cond("Qty", ">", "1"), cond("Name", "NOT \t  Like", "'ap%'")}},
        {0, {"apple", "banana", "apricot"}, {" aSc ", "Qty"}, {cond("Qty", ">", "1")}},
        {0, {"apple", "banana", "apricot"}, {"", "Qty"}, {cond("Qty", ">", "1")}},
        {SRV_ERR_ARGUMENT, {}, {"descending", "Qty"}, {}},
        {0, {"apple", "banana"}, {}, {cond("Name", "=", "'apple'"), cond("Qty", "=", "5", " Or ")}},
        {SRV_ERR_ARGUMENT, {}, {}, {cond("Name", "=", "'apple'"), cond("Qty", "=", "5", "xor")}},
        // Left to right across two changes of relation: (banana OR apple) AND Qty <> 5.
        {0,
         {"apple"},
         {},
         {cond("Qty", ">=", "5"), cond("Name", "like", "'b%'", "and"),
          cond("Name", "=", "'apple'", "or"), cond("Qty", "<>", "5", "and")}},
    };
    int index = 0;
    for (const auto& [code, expected, order, conditions] : cases) {
        SCOPED_TRACE(index++);
        EXPECT_EQ(names(conditions, &order, code), expected);
    }
    // Left to right: (id = 1 OR id = 2) AND Qty = 7.
    EXPECT_EQ(
        names({cond("id", "=", "1"), cond("id", "=", "2", "or"), cond("Qty", "=", "7", "and")}),
        V{"apricot"});

    std::list<ITableData> rows;
    const std::vector<MNormalColumn> tooMany(81, describe("Name", COL_TYPE_STRING));
    EXPECT_EQ(idm->getITableData("T_Item", tooMany, {}, rows, nullptr).rCode, SRV_ERR_ARGUMENT);
    EXPECT_EQ(idm->getITableData("T_Nowhere", {}, {}, rows, nullptr).rCode, SRV_ERR_NO_TABLE);
    EXPECT_EQ(idm->getITableData("T_Item", {describe("Colour", 2)}, {}, rows, nullptr).rCode,
              SRV_ERR_NO_COLUMN);
    EXPECT_EQ(idm->getITableData("T_Item\"; --", {}, {}, rows, nullptr).rCode, SRV_ERR_ARGUMENT);
    EXPECT_TRUE(rows.empty());
    EXPECT_EQ(rawScalar(dbPath, "SELECT count(*) FROM \"T_Item\""), "8");
}

TEST(ITableDataRecord, GetColValueSearchesAllSlotsAndClearEmptiesThem) {
    {
        ITableData row;  // _colNum stays 0: all 80 slots are searched all the same
        row._cloInnerName[0] = row._cloInnerName[1] = "A";
        row._cloInnerName[79] = "Z";
        row._colValue[0] = "first";
        row._colValue[1] = row._colValue[79] = "later";
        for (auto [name, value] : {std::pair{"A", "first"}, {"Z", "later"}, {"a", ""}, {"A ", ""}})
            EXPECT_EQ(row.getColValue(name), value) << name;
    }
    {
        ITableData row;
        row._tableInnerName = "T";
        for (int i = 0; i < ITABLEDATA_MAX_COLUMNS; ++i) {
            row._cloInnerName[i] = "c" + std::to_string(i);
            row._colType[i] = 1 + i % 6;
            row._colValue[i] = std::to_string(i);
        }
        row._colNum = ITABLEDATA_MAX_COLUMNS;
        EXPECT_EQ(row.getColValue("c79"), "79");
        row.clear();
        EXPECT_EQ(row._tableInnerName, "");
        EXPECT_EQ(row._colNum, 0);
        for (int i = 0; i < ITABLEDATA_MAX_COLUMNS; ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(row._cloInnerName[i] + row._colValue[i], "");
            EXPECT_EQ(row._colType[i], 0);
            EXPECT_EQ(row.findColValue("c" + std::to_string(i)), nullptr);
        }
        EXPECT_NE(row.findColValue(""), nullptr);  // every slot is now named ""
    }
}

// A row read in place: columns found by name (the first of repeated names,
// whatever the hint), typed values, one layout number per shape of query.
TEST_F(RowData, ResultRowsAreReadInPlaceWithOneLayoutPerQueryShape) {
    ASSERT_TRUE(add("apple").ok());
    ASSERT_TRUE(idm->addITableData(itemRow("pear", "", "0.5"), COMMIT_T_IMMEDIATELY).ok());
    const std::vector<MNormalColumn> columns = {describe("Name", 2), describe("Qty", 1),
                                                describe("Price", 3), describe("Name", 2)};
    IOrderClause byId;
    byId.orderAttribute = "id";
    // Per row: the text of Name, whether Qty holds an integer, Price as a real.
    const std::tuple<std::string, bool, double> expected[] = {{"apple", true, 1.0},
                                                              {"pear", false, 0.5}};
    std::vector<std::uint64_t> keys;
    std::size_t at = 0;
    const auto read = [&](const ResultRow& row) {
        if (at >= std::size(expected)) return false;
        const auto& [name, hasQty, price] = expected[at++];
        std::string text;
        long long qty = 0;
        double real = 0;
        row.text(row.indexOf("Name", 3), text);
        EXPECT_EQ(text, name);
        EXPECT_EQ(std::tuple(row.count(), row.indexOf("Name", 3), row.indexOf("Qty", 1)),
                  std::tuple(4, 0, 1));
        EXPECT_EQ(row.indexOf("Nope", 0), -1);
        EXPECT_EQ(row.integer(1, qty), hasQty);
        EXPECT_TRUE(row.real(2, real) || row.integer(2, qty));
        EXPECT_DOUBLE_EQ(row.real(2, real) ? real : static_cast<double>(qty), price);
        keys.push_back(row.layoutKey());
        return true;
    };
    ASSERT_TRUE(idm->forEachResultRow("T_Item", columns, {}, &byId, read).ok());
    EXPECT_EQ(at, 2u);
    at = 0;
    ASSERT_TRUE(idm->forEachResultRow("T_Item", columns, {}, &byId, read).ok());
    ASSERT_EQ(keys.size(), 4u);
    EXPECT_NE(keys[0], 0u);
    EXPECT_EQ(std::set(keys.begin(), keys.end()).size(), 1u);  // one shape, one number
    std::uint64_t other = 0;
    int visits = 0;
    ASSERT_TRUE(idm->forEachResultRow("T_Item", {describe("Name", 2)}, {}, nullptr,
                                      [&](const ResultRow& row) {
                                          other = row.layoutKey();
                                          return ++visits < 1;  // stops after the first row
                                      })
                    .ok());
    EXPECT_EQ(visits, 1);
    EXPECT_NE(other, keys[0]);
    EXPECT_EQ(idm->forEachResultRow("T_Item", {}, {}, nullptr, read).rCode, SRV_ERR_ARGUMENT);
}

}  // namespace arxtest
