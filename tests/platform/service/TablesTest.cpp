#include "ValueScans.h"
#include "platform/service/ServiceTestSupport.h"

namespace arxtest {

using Tables = ServiceTest;

TEST_F(Tables, CreatesColumnsDefaultsAndIndexesAndRefusesWhatCannotBe) {
    MNormalColumn name = describe("Name", 2), qty = describe("Qty", 1), note = describe("Note", 2);
    name._isOnly = 1;
    qty._defaultValue = "5";
    qty._isIndex = 1;
    note._defaultValue = "it's";
    ASSERT_TRUE(idm->addMTableInstance(tableNamed("T_Dict_1"), {name, qty, note}).ok());
    // The indexes besides a server table's primary key.
    EXPECT_EQ(underTest().indexCount(dbPath), "2");
    ITableData row = itemRow("A");
    row._tableInnerName = "T_Dict_1";
    row._colNum = 1;
    ASSERT_TRUE(idm->addITableData(row, COMMIT_T_IMMEDIATELY).ok());
    EXPECT_EQ(rawScalar(dbPath, "SELECT \"Qty\" || '/' || \"Note\" FROM \"T_Dict_1\""), "5/it's");
    // The unique index refuses a second "A".
    EXPECT_EQ(idm->addITableData(row, COMMIT_T_IMMEDIATELY).rCode, SRV_ERR_ENGINE);
    // Names of the longest kind still get their index (the longest a server
    // keeps, which refuses a longer one rather than cut it short).
    const std::size_t limit = underTest().capabilities(dbPath).nameLimit;
    const std::size_t longest = limit != 0 ? limit : 255;
    MNormalColumn wide = describe(std::string(longest, 'c'), 2);
    wide._isIndex = 1;
    EXPECT_TRUE(idm->addMTableInstance(tableNamed(std::string(longest, 't')), {wide}).ok());
    ASSERT_TRUE(idm->delTableInstance(std::string(longest, 't')).ok());

    const std::tuple<std::string, std::list<MNormalColumn>, int> refused[] = {
        {"T_Item", {}, SRV_ERR_EXISTS},
        {"T_Fresh", {describe("ID", 1)}, SRV_ERR_ARGUMENT},  // the store makes it
        {"T_Fresh", {describe("A", 1), describe("a", 2)}, SRV_ERR_ARGUMENT},
        {"T_Fresh", {describe("bad\"name", 1)}, SRV_ERR_ARGUMENT},
        {std::string(longest + 1, 't'), {}, SRV_ERR_ARGUMENT},
        {"T_Fresh", {describe(std::string(longest + 1, 'c'), 1)}, SRV_ERR_ARGUMENT},
        {"", {}, SRV_ERR_ARGUMENT},
    };
    for (const auto& [table, columns, code] : refused) {
        SCOPED_TRACE(table + " " + (columns.empty() ? "" : columns.back()._innerName));
        EXPECT_EQ(idm->addMTableInstance(tableNamed(table), columns).rCode, code);
    }
    V tables;
    ASSERT_TRUE(idm->getTableNames(tables).ok());
    EXPECT_EQ(tables, (V{"T_Dict_1", "T_Item"}));
    // Read apart from the session, each name as it is.
    ASSERT_TRUE(idm->addMTableInstance(tableNamed("a; b"), {describe("X", 1)}).ok());
    tables.clear();
    ASSERT_TRUE(service.readTableNames(dbPath, tables).ok());
    EXPECT_EQ(tables, (V{"T_Dict_1", "T_Item", "a; b"}));
    EXPECT_EQ(idm->addNormalColumnInstance("T_Nowhere", describe("X", 1)).rCode, SRV_ERR_NO_TABLE);
    EXPECT_EQ(idm->addNormalColumnInstance("T_Item", describe("qty", 1)).rCode, SRV_ERR_EXISTS);
    EXPECT_EQ(
        idm->addNormalColumnInstance("T_Item", describe(std::string(longest + 1, 'c'), 1)).rCode,
        SRV_ERR_ARGUMENT);
    EXPECT_EQ(idm->delTableInstance("T_Nowhere").rCode, SRV_ERR_NO_TABLE);
}

TEST_F(Tables, SchemaChangesReachTheCaches) {
    // A change behind the manager's back shows once the cache is reloaded.
    V before, cached, after;
    ASSERT_TRUE(idm->getTableColumnNames("T_Item", before).ok());
    ASSERT_TRUE(rawExecute(dbPath, "ALTER TABLE \"T_Item\" ADD COLUMN \"Extra\" TEXT"));
    ASSERT_TRUE(idm->getTableColumnNames("T_Item", cached).ok());
    EXPECT_EQ(cached, before);
    ASSERT_TRUE(idm->initialMetaDataCache().ok());
    ASSERT_TRUE(idm->getTableColumnNames("T_Item", after).ok());
    EXPECT_EQ(after, (V{"id", "Name", "Qty", "Price", "Data", "Extra"}));

    ASSERT_TRUE(add("a").ok());
    MNormalColumn colour = describe("Colour", COL_TYPE_STRING);
    colour._defaultValue = "red";
    ASSERT_TRUE(idm->addNormalColumnInstance("T_Item", colour).ok());
    std::list<ITableData> rows;
    ASSERT_TRUE(idm->getITableData("T_Item", {}, {}, rows, nullptr).ok());
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows.front().getColValue("Colour"), "red");
    ASSERT_TRUE(idm->delTableInstance("T_Item").ok());
    EXPECT_EQ(add("a").rCode, SRV_ERR_NO_TABLE);
    ASSERT_TRUE(idm->addMTableInstance(tableNamed("T_Item"), {describe("Name", 2)}).ok());
    rows.clear();
    ASSERT_TRUE(idm->getITableData("T_Item", {}, {}, rows, nullptr).ok());  // the new columns
    EXPECT_TRUE(rows.empty());
    EXPECT_EQ(add("a").rCode, SRV_ERR_NO_COLUMN);
}

// What a migration looks at and does on either backend: offending values
// found and named, a rebuild that keeps rows and identifiers and converts
// values in the database, and a column's index set.
TEST_F(Tables, ValuesAreCheckedAndATableIsRebuiltWithItsRows) {
    for (const auto& [name, qty, price] :
         {std::tuple{"a", "1", "1.5"}, {"a", "2", "2"}, {"12", "3000000000", "2"}})
        ASSERT_TRUE(idm->addITableData(itemRow(name, qty, price), COMMIT_T_IMMEDIATELY).ok());
    using Check = ValueCheck;
    const std::tuple<const char*, Check, int, long long, std::string> checks[] = {
        {"id", Check::Present, 0, 3, "1:1"},
        {"Name", Check::Duplicated, 0, 1, "2:a"},
        {"Name", Check::NotConvertible, COL_TYPE_INT, 2, "1:a"},
        {"Price", Check::NotConvertible, COL_TYPE_INT, 1, "1:1.5"},
        {"Qty", Check::NotConvertible, COL_TYPE_STRING, 0, ""},
        {"Name", Check::LongerThan, 1, 1, "3:12"},
        {"Qty", Check::Beyond32Bits, 0, 1, "3:3000000000"},
    };
    for (const auto& [column, check, argument, count, first] : checks) {
        SCOPED_TRACE(std::string(column) + " " + std::to_string(static_cast<int>(check)));
        long long found = -1;
        std::vector<std::pair<long long, std::string>> samples;
        ASSERT_TRUE(
            ValueScans(*idm).findValues("T_Item", column, check, argument, 1, found, samples).ok());
        EXPECT_EQ(found, count);
        EXPECT_EQ(samples.empty() ? "" : std::to_string(samples[0].first) + ":" + samples[0].second,
                  first);
    }
    // Refused before anything is counted: table, column, check, answer.
    const std::tuple<const char*, const char*, Check, int> refusals[] = {
        {"T_Nowhere", "Name", Check::Present, SRV_ERR_NO_TABLE},
        {"T_Item", "Nope", Check::Present, SRV_ERR_NO_COLUMN},
        {"T_Item", "Na\"me", Check::Present, SRV_ERR_ARGUMENT},
        {"T_Item", "Name", Check::Beyond32Bits, SRV_ERR_ARGUMENT},  // not an integer column
    };
    for (const auto& [table, column, check, code] : refusals) {
        long long found = -1;
        std::vector<std::pair<long long, std::string>> samples;
        EXPECT_EQ(ValueScans(*idm).findValues(table, column, check, 0, 1, found, samples).rCode,
                  code)
            << table << "." << column;
        EXPECT_TRUE(samples.empty());
    }
    MNormalColumn name = describe("Name", 2), qty = describe("Qty", 2), extra = describe("X", 1),
                  unique = describe("U", 2);
    name._isIndex = 1;
    extra._defaultValue = "7";
    unique._isOnly = 1;
    ASSERT_TRUE(
        idm->rebuildTable(tableNamed("T_Item"), {name, qty, describe("Price", 3), extra, unique})
            .ok());
    EXPECT_EQ(layoutText(*idm, "T_Item", shapeOf), "Name:21 Qty:20 Price:30 X:10 U:21 ");
    EXPECT_EQ(rawScalar(dbPath,
                        "SELECT \"Qty\" || '/' || \"X\" || '/' || \"Name\" FROM "
                        "\"T_Item\" WHERE \"id\" = 3"),
              "3000000000/7/12");
    ASSERT_TRUE(add("b", COMMIT_T_IMMEDIATELY).ok());
    EXPECT_EQ(rawScalar(dbPath, "SELECT max(\"id\") FROM \"T_Item\""), "4");
    // An index set and one dropped; a unique one over repeated values refused.
    qty._isIndex = 1;
    name._isIndex = 0;
    ASSERT_TRUE(idm->setColumnIndex("T_Item", qty).ok() &&
                idm->setColumnIndex("T_Item", name).ok());
    qty._isOnly = 1;
    EXPECT_EQ(idm->setColumnIndex("T_Item", qty).rCode, SRV_ERR_ENGINE);
    EXPECT_EQ(layoutText(*idm, "T_Item", flagsOf), "0010000011");
}

// A default is written into the table's definition as a literal: a number
// of a number column as written (blanks around it dropped), anything else
// as the text it is, whatever it looks like.
TEST_F(Tables, DefaultsAreStoredAsTheValueTheyAre) {
    const std::tuple<int, std::string, std::string> defaults[] = {
        {COL_TYPE_INT, " 7 ", "7"},
        {COL_TYPE_INT, "-5", "-5"},
        {COL_TYPE_INT, "+5", "5"},
        {COL_TYPE_DOUBLE, ".5", "0.5"},
        {COL_TYPE_DOUBLE, "-2.25", "-2.25"},
        {COL_TYPE_STRING, "  x ", "  x "},
        {COL_TYPE_STRING, "1e3", "1e3"},
        {COL_TYPE_STRING, "007", "007"},
        {COL_TYPE_STRING, "'q'", "'q'"},
        {COL_TYPE_STRING, "-- not a comment", "-- not a comment"},
    };
    std::list<MNormalColumn> columns = {describe("Name", COL_TYPE_STRING)};
    std::vector<MNormalColumn> asked;
    for (const auto& [type, value, read] : defaults) {
        columns.push_back(describe("D" + std::to_string(columns.size()), type));
        columns.back()._defaultValue = value;
        asked.push_back(columns.back());
    }
    ASSERT_TRUE(idm->addMTableInstance(tableNamed("T_Defaults"), columns).ok());
    ITableData row = itemRow("only a name");
    row._tableInnerName = "T_Defaults";
    row._colNum = 1;
    ASSERT_TRUE(idm->addITableData(row, COMMIT_T_IMMEDIATELY).ok());
    std::list<ITableData> rows;
    ASSERT_TRUE(idm->getITableData("T_Defaults", asked, {}, rows, nullptr).ok());
    ASSERT_EQ(rows.size(), 1u);
    for (std::size_t i = 0; i < asked.size(); ++i)
        EXPECT_EQ(rows.front()._colValue[i], std::get<2>(defaults[i])) << std::get<1>(defaults[i]);
}

// An index name too long for the database is made from a hash of table and
// column: every indexed column of such tables gets its own index, also
// where the two names run together the same way.
TEST_F(Tables, EveryIndexOfLongNamesIsMade) {
    const std::size_t limit = underTest().capabilities(dbPath).nameLimit;
    const std::string stem(limit != 0 ? limit - 3 : 252, 't');
    // Table, its indexed columns (unique when marked so).
    const std::pair<std::string, std::vector<std::string>> tables[] = {
        {stem + "a", {"bc", "B", "u:C"}},
        {stem + "ab", {"c"}},
    };
    for (const auto& [table, indexed] : tables) {
        std::list<MNormalColumn> columns;
        for (const std::string& name : indexed) {
            const bool unique = name.rfind("u:", 0) == 0;
            columns.push_back(describe(unique ? name.substr(2) : name, COL_TYPE_INT));
            (unique ? columns.back()._isOnly : columns.back()._isIndex) = 1;
        }
        ASSERT_TRUE(idm->addMTableInstance(tableNamed(table), columns).ok());
    }
    for (const auto& [table, indexed] : tables)
        EXPECT_EQ(layoutText(*idm, table, flagsOf), indexed.size() == 1 ? "10" : "101011")
            << table.size();
    EXPECT_EQ(underTest().indexCount(dbPath), "4");
}

}  // namespace arxtest
