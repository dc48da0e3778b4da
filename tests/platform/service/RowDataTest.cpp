#include <gtest/gtest.h>

#include "platform/service/ServiceTestSupport.h"
#include "support/RawDb.h"

namespace arxtest {

using RowData = ServiceTest;
using V = std::vector<std::string>;

TEST_F(RowData, InsertAssignsIdentifiersAndReadsBackTypedText) {
    int id1 = 0, id2 = 0;
    ASSERT_TRUE(idm->addITableData(itemRow("apple", "3", "0.1"), COMMIT_T_IMMEDIATELY, id1).ok());
    ASSERT_TRUE(idm->addITableData(itemRow("pear", "", "1e20"), COMMIT_T_IMMEDIATELY, id2).ok());
    EXPECT_EQ(id1, 1);
    EXPECT_EQ(id2, 2);

    std::list<ITableData> rows;
    ASSERT_TRUE(idm->getITableData("T_Item", {}, {}, rows, nullptr).ok());
    ASSERT_EQ(rows.size(), 2u);
    const ITableData& first = rows.front();
    EXPECT_EQ(first._tableInnerName, "T_Item");
    EXPECT_EQ(first._colNum, 4);
    EXPECT_EQ(first._cloInnerName[0], "id");
    EXPECT_EQ(first.getColValue("id"), "1");
    EXPECT_EQ(first.getColValue("Name"), "apple");
    EXPECT_EQ(first.getColValue("Qty"), "3");
    EXPECT_EQ(first.getColValue("Price"), "0.1");
    EXPECT_EQ(first._colType[2], COL_TYPE_INT);
    // An empty number is stored as no value and read back as empty text.
    EXPECT_EQ(rows.back().getColValue("Qty"), "");
    EXPECT_EQ(rows.back().getColValue("Price"), "1e+20");
}

TEST_F(RowData, ConditionsOrderingAndEarlyStop) {
    for (auto [name, qty] : {std::pair{"apple", "3"}, {"apricot", "7"}, {"banana", "5"}}) {
        ASSERT_TRUE(idm->addITableData(itemRow(name, qty, "1"), 0).ok());
    }
    EXPECT_EQ(names({condition("Name", "  like  ", "'ap%'")}), (V{"apple", "apricot"}));
    EXPECT_EQ(names({condition("Name", " LIKE ", "'AP%'")}), (V{"apple", "apricot"}));
    EXPECT_EQ(names({condition("Qty", "  =  ", "5")}), V{"banana"});
    EXPECT_EQ(names({condition("Qty", ">=", "5")}), (V{"apricot", "banana"}));
    EXPECT_EQ(names({condition("Qty", "<>", "5"), condition("Name", "not like", "'apr%'")}),
              V{"apple"});
    // Left to right: (Qty = 3 OR Qty = 7) AND Name like 'b%' finds nothing.
    EXPECT_EQ(names({condition("Qty", "=", "3"), condition("Qty", "=", "7", "or"),
                     condition("Name", "like", "'b%'", "and")}),
              V{});
    IOrderClause order;
    order.orderDirection = " DESC ";
    order.orderAttribute = " Qty ";
    EXPECT_EQ(names({}, &order), (V{"apricot", "banana", "apple"}));

    int seen = 0;
    ASSERT_TRUE(
        idm->forEachITableData("T_Item", {}, {}, nullptr, [&](ITableData&) { return ++seen < 2; })
            .ok());
    EXPECT_EQ(seen, 2);
}

TEST_F(RowData, UpdateAndDeleteTouchOnlyMatchingRows) {
    for (const char* name : {"a", "b", "c"}) {
        ASSERT_TRUE(idm->addITableData(itemRow(name, "1", "1"), COMMIT_T_IMMEDIATELY).ok());
    }
    int changed = -1;
    ASSERT_TRUE(idm->updateITableData(itemRow("b2", "2", "2"), {condition("Name", "=", "'b'")},
                                      COMMIT_T_IMMEDIATELY, changed)
                    .ok());
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(names({condition("Qty", "=", "2")}), V{"b2"});

    ASSERT_TRUE(idm->deleteITableDataById("T_Item", 1).ok());
    EXPECT_EQ(names({}), (V{"b2", "c"}));
    ResultMsg rm = idm->deleteITableDataByCondition("T_Item", {});
    EXPECT_EQ(rm.rCode, SRV_ERR_ARGUMENT);
    EXPECT_EQ(names({}), (V{"b2", "c"}));
    ASSERT_TRUE(idm->deleteITableDataByCondition("T_Item", {condition("Name", "=", "'c'")}).ok());
    EXPECT_EQ(names({}), V{"b2"});
    ASSERT_TRUE(idm->deleteITableDataAll("T_Item").ok());
    EXPECT_EQ(names({}), V{});
}

TEST_F(RowData, BadRowsAndNamesAreRefusedWithCodes) {
    ITableData wide = itemRow("x", "1", "1");
    wide._colNum = 81;
    EXPECT_EQ(idm->addITableData(wide, 1).rCode, SRV_ERR_ARGUMENT);
    wide._colNum = -1;
    EXPECT_EQ(idm->addITableData(wide, 1).rCode, SRV_ERR_ARGUMENT);

    ITableData missingTable = itemRow("x", "1", "1");
    missingTable._tableInnerName = "T_Nowhere";
    ResultMsg rm = idm->addITableData(missingTable, 1);
    EXPECT_EQ(rm.rCode, SRV_ERR_NO_TABLE);
    EXPECT_NE(rm.rMsg.find("T_Nowhere"), std::string::npos);

    ITableData missingColumn = itemRow("x", "1", "1");
    missingColumn._cloInnerName[1] = "Colour";
    rm = idm->addITableData(missingColumn, 1);
    EXPECT_EQ(rm.rCode, SRV_ERR_NO_COLUMN);
    EXPECT_NE(rm.rMsg.find("Colour"), std::string::npos);

    ITableData twice = itemRow("x", "1", "1");
    twice._cloInnerName[1] = "name";
    EXPECT_EQ(idm->addITableData(twice, 1).rCode, SRV_ERR_ARGUMENT);

    std::vector<MNormalColumn> tooMany(81, describe("Name", COL_TYPE_STRING));
    std::list<ITableData> rows;
    EXPECT_EQ(idm->getITableData("T_Item", tooMany, {}, rows, nullptr).rCode, SRV_ERR_ARGUMENT);
    EXPECT_EQ(idm->getITableData("T_Nowhere", {}, {}, rows, nullptr).rCode, SRV_ERR_NO_TABLE);
    EXPECT_EQ(idm->getITableData("T_Item", {describe("Colour", 2)}, {}, rows, nullptr).rCode,
              SRV_ERR_NO_COLUMN);
    EXPECT_TRUE(rows.empty());
    EXPECT_EQ(idm->deleteITableDataAll("T_Nowhere").rCode, SRV_ERR_NO_TABLE);
}

TEST_F(RowData, HostileTextIsMatchedAsDataNeverRun) {
    const V hostile = {"O'Brien", "100%", "a;b", "x'); DROP TABLE T_Item; --", "\" OR 1=1 --"};
    for (const std::string& name : hostile) {
        ASSERT_TRUE(idm->addITableData(itemRow(name, "1", "1"), 1).ok()) << name;
    }
    for (const std::string& name : hostile) {
        EXPECT_EQ(names({condition("Name", "=", "'" + name + "'")}), V{name}) << name;
    }
    // A caller's % is a wildcard of like; the other texts match only themselves.
    EXPECT_EQ(names({condition("Name", "like", "'100%'")}), V{"100%"});
    EXPECT_EQ(names({condition("Name", "like", "'O'Brien'")}), V{"O'Brien"});
    EXPECT_EQ(names({condition("Name", "=", "' OR '1'='1")}), V{});
    EXPECT_EQ(names({condition("Qty", "=", "1 OR 1=1")}), V{});
    EXPECT_EQ(names({}).size(), hostile.size());

    std::list<ITableData> rows;
    for (const char* op : {"= 1 OR 1=1 --", "; DROP TABLE T_Item", "IN", "", "glob"}) {
        ResultMsg rm =
            idm->getITableData("T_Item", {}, {condition("Name", op, "1")}, rows, nullptr);
        EXPECT_EQ(rm.rCode, SRV_ERR_ARGUMENT) << op;
    }
    IOrderClause order;
    order.orderAttribute = "Qty\"; DROP TABLE T_Item; --";
    EXPECT_EQ(idm->getITableData("T_Item", {}, {}, rows, &order).rCode, SRV_ERR_ARGUMENT);
    order.orderAttribute = "Qty";
    order.orderDirection = "DESC; DROP TABLE T_Item";
    EXPECT_EQ(idm->getITableData("T_Item", {}, {}, rows, &order).rCode, SRV_ERR_ARGUMENT);
    EXPECT_EQ(idm->getITableData("T_Item\"; --", {}, {}, rows, nullptr).rCode, SRV_ERR_ARGUMENT);
    EXPECT_TRUE(rows.empty());
    EXPECT_EQ(rawScalar(dbPath, "SELECT count(*) FROM T_Item"), "5");
}

TEST(ITableDataRecord, GetColValueSearchesAllSlotsFirstMatchWins) {
    ITableData row;
    EXPECT_EQ(row.getColValue("id"), "");
    row._cloInnerName[0] = "A";
    row._colValue[0] = "first";
    row._cloInnerName[1] = "A";
    row._colValue[1] = "second";
    row._cloInnerName[79] = "Z";
    row._colValue[79] = "last";
    row._colNum = 1;
    EXPECT_EQ(row.getColValue("A"), "first");
    EXPECT_EQ(row.getColValue("Z"), "last");
    EXPECT_EQ(row.getColValue("a"), "");
    EXPECT_EQ(row.getColValue("A "), "");
}

}  // namespace arxtest
