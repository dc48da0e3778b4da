#include <gtest/gtest.h>

#include "platform/service/ServiceTestSupport.h"
#include "support/RawDb.h"

namespace arxtest {

using Tables = ServiceTest;

TEST_F(Tables, CreatesTypedColumnsDefaultsAndIndexes) {
    MTable table;
    table._innerName = "T_Dict_1";
    MNormalColumn qty = describe("Qty", COL_TYPE_INT);
    qty._defaultValue = "5";
    qty._isIndex = 1;
    MNormalColumn label = describe("Label", COL_TYPE_STRING);
    label._defaultValue = "it's";
    MNormalColumn code = describe("Code", COL_TYPE_STRING);
    code._isOnly = 1;
    MNormalColumn data = describe("Data", COL_TYPE_BLOB_DOUBLE);
    ResultMsg rm = idm->addMTableInstance(table, {qty, label, code, data});
    ASSERT_TRUE(rm.ok()) << rm.rMsg;

    std::vector<std::string> columns;
    ASSERT_TRUE(idm->getTableColumnNames("T_Dict_1", columns).ok());
    EXPECT_EQ(columns, (std::vector<std::string>{"id", "Qty", "Label", "Code", "Data"}));
    EXPECT_EQ(rawScalar(dbPath, "SELECT type FROM pragma_table_info('T_Dict_1') WHERE name='Data'"),
              "BLOB");
    EXPECT_EQ(rawScalar(dbPath,
                        "SELECT count(*) FROM sqlite_master WHERE type='index' AND "
                        "tbl_name='T_Dict_1'"),
              "2");

    ITableData row;
    row._tableInnerName = "T_Dict_1";
    row._cloInnerName[0] = "Code";
    row._colType[0] = COL_TYPE_STRING;
    row._colValue[0] = "A";
    row._colNum = 1;
    ASSERT_TRUE(idm->addITableData(row, 1).ok());
    EXPECT_EQ(rawScalar(dbPath, "SELECT Qty || '/' || Label FROM T_Dict_1"), "5/it's");
    rm = idm->addITableData(row, 1);  // the unique index refuses a second "A"
    EXPECT_EQ(rm.rCode, SRV_ERR_ENGINE);
    EXPECT_EQ(rawScalar(dbPath, "SELECT count(*) FROM T_Dict_1"), "1");
}

TEST_F(Tables, RefusesWhatCannotBeCreatedOrDropped) {
    MTable item;
    item._innerName = "T_Item";
    EXPECT_EQ(idm->addMTableInstance(item, {}).rCode, SRV_ERR_EXISTS);
    MTable fresh;
    fresh._innerName = "T_Fresh";
    EXPECT_EQ(idm->addMTableInstance(fresh, {describe("ID", 1)}).rCode, SRV_ERR_ARGUMENT);
    EXPECT_EQ(idm->addMTableInstance(fresh, {describe("A", 1), describe("a", 2)}).rCode,
              SRV_ERR_ARGUMENT);
    EXPECT_EQ(idm->addMTableInstance(fresh, {describe("bad\"name", 1)}).rCode, SRV_ERR_ARGUMENT);
    MTable unnamed;
    EXPECT_EQ(idm->addMTableInstance(unnamed, {}).rCode, SRV_ERR_ARGUMENT);
    std::vector<std::string> tables;
    ASSERT_TRUE(idm->getTableNames(tables).ok());
    EXPECT_EQ(tables, std::vector<std::string>{"T_Item"});

    EXPECT_EQ(idm->addNormalColumnInstance("T_Nowhere", describe("X", 1)).rCode, SRV_ERR_NO_TABLE);
    EXPECT_EQ(idm->addNormalColumnInstance("T_Item", describe("qty", 1)).rCode, SRV_ERR_EXISTS);
    EXPECT_EQ(idm->delTableInstance("T_Nowhere").rCode, SRV_ERR_NO_TABLE);
}

TEST_F(Tables, SchemaChangesReachCachedStatements) {
    ASSERT_TRUE(idm->addITableData(itemRow("a", "1", "1"), 1).ok());
    MNormalColumn colour = describe("Colour", COL_TYPE_STRING);
    colour._defaultValue = "red";
    ASSERT_TRUE(idm->addNormalColumnInstance("T_Item", colour).ok());
    std::list<ITableData> rows;
    ASSERT_TRUE(idm->getITableData("T_Item", {}, {}, rows, nullptr).ok());
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows.front().getColValue("Colour"), "red");

    ASSERT_TRUE(idm->delTableInstance("T_Item").ok());
    EXPECT_EQ(idm->addITableData(itemRow("a", "1", "1"), 1).rCode, SRV_ERR_NO_TABLE);
    MTable again;
    again._innerName = "T_Item";
    ASSERT_TRUE(idm->addMTableInstance(again, {describe("Name", 2)}).ok());
    rows.clear();
    ASSERT_TRUE(idm->getITableData("T_Item", {}, {}, rows, nullptr).ok());
    EXPECT_TRUE(rows.empty());
    EXPECT_EQ(idm->addITableData(itemRow("a", "1", "1"), 1).rCode, SRV_ERR_NO_COLUMN);
}

TEST_F(Tables, MetadataCacheReloadsAfterOutsideChange) {
    std::vector<std::string> before;
    ASSERT_TRUE(idm->getTableColumnNames("T_Item", before).ok());
    ASSERT_TRUE(session->commit().ok());
    ASSERT_TRUE(rawExecute(dbPath, "ALTER TABLE T_Item ADD COLUMN Extra TEXT"));
    std::vector<std::string> cached;
    ASSERT_TRUE(idm->getTableColumnNames("T_Item", cached).ok());
    EXPECT_EQ(cached, before);
    ASSERT_TRUE(idm->initialMetaDataCache().ok());
    std::vector<std::string> after;
    ASSERT_TRUE(idm->getTableColumnNames("T_Item", after).ok());
    EXPECT_EQ(after.size(), before.size() + 1);
    EXPECT_EQ(after.back(), "Extra");
}

}  // namespace arxtest
