#include <cctype>
#include <functional>
#include <map>
#include <set>

#include "ChangeWatch.h"
#include "ServiceErrorCode.h"
#include "Transaction.h"
#include "platform/service/ServiceTestSupport.h"

namespace arxtest {

// The metadata tables with the columns their mappers write (those used here).
const std::map<std::string, V> kMeta = {
    {"T_M_Project", {"Name", "UID"}},
    {"T_M_EntityModel", {"Name"}},
    {"T_M_EntityTable", {"Name", "AddVersion", "DelVersion", "InnerName"}},
    {"T_M_R_ModelTable", {"T_M_EntityModelID", "T_M_EntityTableID"}},
    {"T_M_NormalColumn", {"Name", "T_M_EntityTableID", "AddVersion", "DelVersion"}}};

class MetaData : public ServiceTest {
protected:
    void SetUp() override {
        ServiceTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        MetaDataNames::use(metaNames());
        MetaDataManager* m = nullptr;
        ASSERT_TRUE(session->createMetaDataManager(m).ok());
        mdm.reset(m);
        ASSERT_TRUE(mdm->ensureLookupIndexes().ok());  // no metadata table yet: nothing to do
        for (const auto& [table, columns] : kMeta) {
            std::list<MNormalColumn> described;
            for (const std::string& c : columns) {
                described.push_back(describe(c, type(c)));  // versions 1 to 999999 unless given
                if (c.find("Version") != std::string::npos)
                    described.back()._defaultValue = c[0] == 'A' ? "1" : "999999";
            }
            ASSERT_TRUE(idm->addMTableInstance(tableNamed(table), described).ok());
        }
        ASSERT_TRUE(mdm->ensureLookupIndexes().ok());
    }
    static int type(const std::string& c) {
        return c == "Name" || c == "InnerName" || c == "UID" ? 2 : 1;
    }
    // Inserts the values of the table's first columns; the new row's id.
    int row(const std::string& table, const V& values) {
        ITableData data;
        data._tableInnerName = table;
        for (const std::string& value : values) {
            data._cloInnerName[data._colNum] = kMeta.at(table)[data._colNum];
            data._colType[data._colNum] = type(data._cloInnerName[data._colNum]);
            data._colValue[data._colNum++] = value;
        }
        int id = 0;
        EXPECT_TRUE(idm->addITableData(data, COMMIT_T_IMMEDIATELY, id).ok());
        return id;
    }
    int link(int model, int table) {
        return row("T_M_R_ModelTable", {std::to_string(model), std::to_string(table)});
    }
    std::unique_ptr<MetaDataManager> mdm;
};

TEST_F(MetaData, ChangeCountMovesWithEveryPossibleChangeOfRowsAndNeverRepeats) {
    ITableData other = itemRow("o");
    other._tableInnerName = "T_M_Project";
    other._colNum = 1;
    const std::tuple<const char*, std::function<bool()>, bool> steps[] = {
        {"cache reload, same schema", [&] { return idm->initialMetaDataCache().ok(); }, false},
        {"write", [&] { return add("a", COMMIT_T_IMMEDIATELY).ok(); }, true},
        {"other table", [&] { return idm->addITableData(other, 1).ok(); }, false},
        {"savepoint roll-back",
         [&] {
             Savepoint sp(*session);
             return idm->addITableData(other, 0).ok() && sp.rollback().ok();
         },
         true},
        {"session roll-back", [&] { return add("b").ok() && session->rollback().ok(); }, true},
        {"other connection",
         [&] { return rawExecute(dbPath, "INSERT INTO \"T_M_Project\" VALUES (9, 'x', '')"); },
         true},
        {"emptied", [&] { return idm->deleteITableDataAll("T_Item", 1).ok(); }, true},
        {"reopen",
         [&] {
             return session->close().ok() && idm->changeCount("T_Item") == 0 &&
                    session->reopen().ok();
         },
         true}};
    std::uint64_t last = idm->changeCount("T_Item");
    std::set<std::uint64_t> seen = {last};
    for (const auto& [what, step, changes] : steps) {
        SCOPED_TRACE(what);
        ASSERT_TRUE(step());
        const std::uint64_t now = idm->changeCount("t_item");  // names ignore case
        // A server's rows are never cached.
        EXPECT_EQ(now != last, changes || !underTest().isFile(dbPath));
        EXPECT_TRUE(!changes || seen.insert(now).second);  // never a number seen before
        last = now;
    }
    // Rows written before anyone asked about their table are noted once asked.
    ASSERT_TRUE(idm->addITableData(other, 1).ok());
    const std::uint64_t asked = idm->changeCount("T_M_Project");
    ASSERT_TRUE(idm->addITableData(other, 1).ok());
    EXPECT_NE(idm->changeCount("T_M_Project"), asked);
    MRDSession* second = nullptr;
    ASSERT_TRUE(service.createSession(dbPath, second, 0).ok());
    std::unique_ptr<MRDSession> owned(second);
    InstanceDataManager* m = nullptr;
    ASSERT_TRUE(second->createInstanceDataManager(m, 0).ok());
    EXPECT_TRUE(seen.insert(std::unique_ptr<InstanceDataManager>(m)->changeCount("T_Item")).second);
}

// A watch names the watched tables that a session of this process or
// another connection committed to; a server names only those written, and
// only in the watch's own database.
TEST_F(MetaData, ChangeWatchNamesTheTablesThatCommitsChanged) {
    std::unique_ptr<ChangeWatch> watch;
    const ResultMsg opened = ChangeWatch::open(dbPath, {"T_Item", "T_M_Project"}, watch);
    if (!underTest().watchesChanges()) {
        EXPECT_EQ(opened.rCode, SRV_ERR_ARGUMENT);
        return;
    }
    ASSERT_TRUE(opened.ok()) << opened.rMsg;
    // Every table named until `table` is (10 s at most).
    const auto namedUntil = [&](const std::string& table) {
        std::set<std::string> named;
        std::vector<std::string> changed;
        for (int i = 0; i < 10 && named.count(table) == 0; ++i) {
            EXPECT_TRUE(watch->wait(1000, changed).ok());
            named.insert(changed.begin(), changed.end());
        }
        return named;
    };
    const std::set<std::string> both = {"T_Item", "T_M_Project"};
    ASSERT_TRUE(add("a", COMMIT_T_IMMEDIATELY).ok());
    const bool server = !underTest().isFile(dbPath);
    EXPECT_EQ(namedUntil("T_Item"), server ? std::set<std::string>{"T_Item"} : both);
    ASSERT_TRUE(rawExecute(dbPath, "INSERT INTO \"T_M_Project\" VALUES (9, 'x', '')"));
    EXPECT_EQ(namedUntil("T_M_Project"), server ? std::set<std::string>{"T_M_Project"} : both);
    if (!server) return;
    // A table of the same name in another schema, watched there, is not ours.
    const std::string other = dir.database("other");
    ASSERT_TRUE(rawExecute(other, "CREATE TABLE \"T_Item\" (\"id\" INT)"));
    std::unique_ptr<ChangeWatch> otherWatch;
    ASSERT_TRUE(ChangeWatch::open(other, {"T_Item"}, otherWatch).ok());
    ASSERT_TRUE(rawExecute(other, "INSERT INTO \"T_Item\" VALUES (1)"));
    ASSERT_TRUE(rawExecute(dbPath, "INSERT INTO \"T_M_Project\" VALUES (10, 'y', '')"));
    EXPECT_EQ(namedUntil("T_M_Project"), std::set<std::string>{"T_M_Project"});
}

TEST_F(MetaData, FindsRelatedTablesAndColumnsByBytesVersionsAndLinks) {
    const int model = row("T_M_EntityModel", {"M"}), otherModel = row("T_M_EntityModel", {"N"});
    const std::string gbk = "\x81_A_7";  // '_' (0x5F) as the trail byte of a GBK character
    const V tables[] = {{"TR_A_B"},     {"X_A_7"}, {"YX_A_7"},    {"TR_AX", "1", "3"},
                        {"Z_A_7", "5"}, {gbk},     {"\xFF\xFFz"}, {"\xFF\xFE"},
                        {"A\xFF\x01"},  {"B"}};
    std::map<int, std::string> names;
    std::vector<int> ids;
    for (const V& table : tables) {
        ids.push_back(row("T_M_EntityTable", table));
        names[ids.back()] = table[0];
        link(model, ids.back());
    }
    const int elsewhere = row("T_M_EntityTable", {"TR_A_2"});
    link(otherModel, elsewhere);
    link(model, 9999);    // the table row is gone
    link(model, ids[2]);  // YX_A_7 linked twice: found twice, in link order
    const std::tuple<std::string, std::string, int, V> cases[] = {
        {"TR_A", "_A_7", 3, {"TR_A_B", "X_A_7", "YX_A_7", gbk, "YX_A_7"}},
        {"TR_A", "A_7", 3, {"TR_A_B", "X_A_7", "YX_A_7", gbk, "YX_A_7"}},  // short suffix
        {"TR_A", "_A_7", 5, {"TR_A_B", "X_A_7", "YX_A_7", "Z_A_7", gbk, "YX_A_7"}},
        {"\xFF\xFF", "none", 3, {"\xFF\xFFz"}},
        {"A\xFF", "none", 3, {"A\xFF\x01"}},
        {"TR%", "%A_7", 3, {}}};
    for (const auto& [prefix, suffix, version, expected] : cases) {
        SCOPED_TRACE(prefix + " " + suffix + " " + std::to_string(version));
        std::vector<int> out = {-7};  // appended to
        ASSERT_TRUE(mdm->findRelatedTableIDs(model, version, prefix, suffix, out).ok());
        V found;
        for (std::size_t i = 1; i < out.size(); ++i)
            found.push_back(names[out[i]]);
        EXPECT_EQ(found, expected);
    }

    const auto column = [&](const char* name, int table, V versions = {}) {
        versions.insert(versions.begin(), {name, std::to_string(table)});
        return row("T_M_NormalColumn", versions);
    };
    const int yx = column("CRAID", ids[2]), a = column("CRAID", ids[0]);
    const int old = column("CRAID", ids[1], {"1", "2"});
    column("craid", ids[0]);         // never found: another case,
    column("CRAID", elsewhere);      // another model's table,
    column("CRAID", 9999);           // a gone table,
    column("CRAID", ids[0], {"4"});  // a later version
    const std::pair<int, std::vector<int>> columnCases[] = {{3, {a, yx, yx}},
                                                            {1, {a, old, yx, yx}}};
    for (const auto& [version, expected] : columnCases) {
        std::vector<int> out;
        ASSERT_TRUE(mdm->findModelColumnIDsByName(model, version, "CRAID", out).ok());
        EXPECT_EQ(out, expected) << version;
    }
}

TEST_F(MetaData, DeletesRefuseMissingRowsAndMakeTheSessionReadTheTableAnew) {
    const int model = row("T_M_EntityModel", {"M"});
    const int table = row("T_M_EntityTable", {"Item", "1", "9", "T_Item"});
    const int column = row("T_M_NormalColumn", {"Qty", std::to_string(table)});
    using Delete = std::function<ResultMsg(int, int)>;
    const Delete delTable = [&](int id, int m) { return mdm->delMTableByIdFromEntityModel(id, m); };
    const Delete delColumn = [&](int id, int m) { return mdm->delMNormalColumnById(id, m); };
    const std::tuple<Delete, int, int, int> refused[] = {
        {delTable, 0, model, SRV_ERR_ARGUMENT},
        {delTable, table, -1, SRV_ERR_ARGUMENT},
        {delTable, table + 9, model, SRV_ERR_NO_ROW},
        {delTable, table, model + 9, SRV_ERR_NO_ROW},
        {delColumn, 0, model, SRV_ERR_ARGUMENT},
        {delColumn, column + 9, model, SRV_ERR_NO_ROW},
        {delColumn, column, model + 9, SRV_ERR_NO_ROW}};
    for (const auto& [del, id, m, code] : refused)
        EXPECT_EQ(del(id, m).rCode, code) << id << " " << m;

    for (const auto& [del, id] : {std::pair<Delete, int>{delTable, table}, {delColumn, column}}) {
        V before, after;
        ASSERT_TRUE(idm->getTableColumnNames("T_Item", before).ok());  // now cached
        ASSERT_TRUE(rawExecute(dbPath, "ALTER TABLE \"T_Item\" ADD COLUMN \"X" +
                                           std::to_string(before.size()) + "\" TEXT"));
        ASSERT_TRUE(del(id, model).ok());
        ASSERT_TRUE(idm->getTableColumnNames("T_Item", after).ok());
        EXPECT_EQ(after.size(), before.size() + 1);
    }
    EXPECT_EQ(rawScalar(dbPath, "SELECT count(*) FROM \"T_M_EntityTable\""), "1");  // rows stay
}

TEST_F(MetaData, LookupsAndNameFindersUseTheirIndexes) {
    ARX_FILE_ONLY();  // reads the query plans of database files
    std::vector<std::string> plans;
    ASSERT_TRUE(mdm->lookupPlans(plans).ok());
    const V expected = {"ix_T_M_EntityTable_Name (Name>? AND Name<?)",
                        "ix_T_M_EntityTable_NameTail (<expr>=?)",
                        "ix_T_M_R_ModelTable_T_M_EntityModelID (T_M_EntityModelID=?)",
                        "ix_T_M_NormalColumn_Name (Name=?)",
                        // the finders' LIKE with its pattern bound
                        "ix_T_M_Project_Name_nocase (Name>? AND Name<?)",
                        "ix_T_M_Project_UID_nocase (UID>? AND UID<?)",
                        "ix_T_M_EntityModel_Name_nocase (Name>? AND Name<?)"};
    ASSERT_EQ(plans.size(), expected.size());
    for (std::size_t i = 0; i < plans.size(); ++i) {
        EXPECT_NE(plans[i].find(expected[i]), std::string::npos) << plans[i];
        EXPECT_EQ(plans[i].find("SCAN"), std::string::npos) << plans[i];
    }
    EXPECT_EQ(underTest().damage(dbPath), "");
}

// The lookups read the names handed down and none of their own: under other
// names for every table and column they find the same rows; without names
// they refuse.
TEST_F(MetaData, LookupsReadTheTablesAndColumnsTheyAreHandedDown) {
    MetaDataNames other;
    other.projects = {"Prj", "PName", "PUid"};
    other.models = {"Mdl", "MName", "MType", "MVersion", "MLock", "MProject"};
    other.tables = {"Tbl", "TName", "TInner", "TAdd", "TDel"};
    other.columns = {"Col",  "CName", "CInner", "CAdd", "CDel", "CTable", "CType", "CDefault",
                     "CIdx", "COnly", "CAuto",  "CMax", "CMin", "CNum",   "CPrec"};
    other.links = {"Lnk", "LModel", "LTable"};
    // Each table with its columns (text or integer) and one row of values.
    const std::vector<std::tuple<std::string, V, V>> tables = {
        {"Prj", {"PName", "PUid"}, {"P", "u"}},
        {"Mdl", {"MName", "MType", "MVersion", "MLock", "MProject"}, {"M", "7", "1", "0", "1"}},
        {"Tbl", {"TName", "TInner", "TAdd", "TDel"}, {"TR_ABCD", "T_Inner", "1", "9"}},
        {"Col",
         {"CName", "CInner", "CAdd", "CDel", "CTable", "CType", "CDefault", "CIdx", "COnly",
          "CAuto", "CMax", "CMin", "CNum", "CPrec"},
         {"Qty", "Qty_1", "1", "9", "1", "1", "5", "0", "0", "0", "0", "0", "0", "0"}},
        {"Lnk", {"LModel", "LTable"}, {"1", "1"}}};
    for (const auto& [table, columns, values] : tables) {
        std::list<MNormalColumn> described;
        ITableData data;
        data._tableInnerName = table;
        for (std::size_t i = 0; i < columns.size(); ++i) {
            const int kind = std::isdigit(static_cast<unsigned char>(values[i][0])) ? 1 : 2;
            described.push_back(describe(columns[i], kind));
            data._cloInnerName[i] = columns[i];
            data._colType[i] = kind;
            data._colValue[i] = values[i];
        }
        data._colNum = static_cast<int>(columns.size());
        ASSERT_TRUE(idm->addMTableInstance(tableNamed(table), described).ok());
        int id = 0;
        ASSERT_TRUE(idm->addITableData(data, COMMIT_T_IMMEDIATELY, id).ok() && id == 1);
    }
    std::vector<int> ids;
    std::vector<std::string> inner;
    int type = 0;
    bool indexed = false;
    // The layout of an instance of version 1, built in memory.
    const IEntityModel model{"M", 1, "7", "", 0, 0, 0, "", "", "u", ""};
    V built;
    const std::vector<std::pair<const char*, std::function<ResultMsg()>>> lookups = {
        {"by prefix", [&] { return mdm->findRelatedTableIDs(1, 1, "TR_", "none", ids); }},
        {"by suffix", [&] { return mdm->findRelatedTableIDs(1, 1, "X", "ABCD", ids); }},
        {"all links", [&] { return mdm->findRelatedTableIDs(1, 1, "", "BCD", ids); }},
        {"column", [&] { return mdm->findModelColumnIDsByName(1, 1, "Qty", ids); }},
        {"inner names", [&] { return mdm->findColumnInnerNames(1, inner); }},
        {"owner type", [&] { return mdm->findMaxVersionOwnerType(1, type); }},
        {"layout", [&] { return idm->instanceStatements(model, built); }},
        {"lock", [&] { return mdm->lockEntityModelVersion(1); }},
        {"unlock", [&] { return mdm->unlockEntityModelVersion(1); }},
        {"table removal", [&] { return mdm->delMTableByIdFromEntityModel(1, 1); }},
        {"column removal", [&] { return mdm->delMNormalColumnById(1, 1); }},
        {"indexes", [&] { return mdm->ensureLookupIndexes(); }},
        {"indexed", [&] { return mdm->hasLookupIndexes(indexed); }}};
    MetaDataNames::use(other);
    for (const auto& [what, lookup] : lookups) {
        const ResultMsg rm = lookup();
        EXPECT_TRUE(rm.ok()) << what << ": " << rm.rMsg;
    }
    EXPECT_EQ(ids, std::vector<int>({1, 1, 1, 1}));
    EXPECT_EQ(inner, V{"Qty_1"});
    EXPECT_EQ(type, 7);
    EXPECT_TRUE(std::any_of(built.begin(), built.end(), [](const std::string& sql) {
        return sql.find("T_Inner") != std::string::npos && sql.find("Qty_1") != std::string::npos &&
               sql.find("DEFAULT 5") != std::string::npos;
    })) << testing::PrintToString(built);
    EXPECT_TRUE(indexed);
    std::vector<std::string> plans;
    EXPECT_TRUE(mdm->lookupPlans(plans).ok());
    EXPECT_EQ(plans.size(), 7u);

    MetaDataNames::use(MetaDataNames());
    for (const auto& [what, lookup] : lookups) {
        if (std::string(what).rfind("index", 0) == 0 || std::string(what) == "unlock") continue;
        const ResultMsg rm = lookup();
        EXPECT_EQ(rm.rCode, SRV_ERR_NO_TABLE) << what;
        EXPECT_NE(rm.rMsg.find("没有登记"), std::string::npos) << what << ": " << rm.rMsg;
    }
}

// A lookup that cannot run says which metadata table or column it misses;
// without the name of every table handed down none runs at all.
TEST_F(MetaData, ALookupThatCannotRunNamesWhatItMisses) {
    const int model = row("T_M_EntityModel", {"M"});
    std::vector<int> ids;
    using Names = std::function<void(MetaDataNames&)>;
    const auto byPrefix = [&] { return mdm->findRelatedTableIDs(model, 1, "T", "none", ids); };
    const auto bySuffix = [&] { return mdm->findRelatedTableIDs(model, 1, "", "_ABCD", ids); };
    const auto column = [&] { return mdm->findModelColumnIDsByName(model, 1, "Qty", ids); };
    const auto lock = [&] { return mdm->lockEntityModelVersion(model); };
    const std::tuple<const char*, Names, std::function<ResultMsg()>, int, std::string> cases[] = {
        {"table name", [](MetaDataNames& n) { n.tables.name = "NoName"; }, byPrefix,
         SRV_ERR_NO_COLUMN, "NoName"},
        {"link table", [](MetaDataNames& n) { n.links.table = "T_M_NoLinks"; }, bySuffix,
         SRV_ERR_NO_TABLE, "T_M_NoLinks"},
        {"link model", [](MetaDataNames& n) { n.links.model = "NoModel"; }, byPrefix,
         SRV_ERR_NO_COLUMN, "NoModel"},
        {"column name", [](MetaDataNames& n) { n.columns.name = "NoCName"; }, column,
         SRV_ERR_NO_COLUMN, "NoCName"},
        {"column version", [](MetaDataNames& n) { n.columns.delVersion = "NoDel"; }, column,
         SRV_ERR_NO_COLUMN, "NoDel"},
        // The models' table here has no lock column.
        {"version lock", [](MetaDataNames&) {}, lock, SRV_ERR_NO_COLUMN, "IsVersionLocked"},
        {"no projects", [](MetaDataNames& n) { n.projects.table.clear(); }, byPrefix,
         SRV_ERR_NO_TABLE, "没有登记"},
        {"no models", [](MetaDataNames& n) { n.models.table.clear(); }, column, SRV_ERR_NO_TABLE,
         "没有登记"},
        {"no tables", [](MetaDataNames& n) { n.tables.table.clear(); }, lock, SRV_ERR_NO_TABLE,
         "没有登记"},
        {"no columns", [](MetaDataNames& n) { n.columns.table.clear(); }, bySuffix,
         SRV_ERR_NO_TABLE, "没有登记"},
        {"no links", [](MetaDataNames& n) { n.links.table.clear(); }, byPrefix, SRV_ERR_NO_TABLE,
         "没有登记"}};
    for (const auto& [what, change, lookup, code, named] : cases) {
        SCOPED_TRACE(what);
        MetaDataNames names = metaNames();
        change(names);
        MetaDataNames::use(names);
        EXPECT_EQ(MetaDataNames::current()->complete(),
                  code != SRV_ERR_NO_TABLE || named[0] == 'T');
        ids.clear();
        const ResultMsg rm = lookup();
        EXPECT_EQ(rm.rCode, code) << rm.rMsg;
        EXPECT_NE(rm.rMsg.find(named), std::string::npos) << rm.rMsg;
        EXPECT_TRUE(ids.empty());
    }
    MetaDataNames::use(metaNames());
    EXPECT_TRUE(bySuffix().ok());
}

TEST_F(MetaData, VersionLocksOwnerTypesAndColumnNames) {
    {
        // A version lock is written at once (or with the open transaction); it is
        // undone only by the manager that set it, never when it was there before.
        for (const char* column : {"IsVersionLocked", "Type", "Version"})
            ASSERT_TRUE(idm->addNormalColumnInstance("T_M_EntityModel", describe(column, 1)).ok());
        V ids;
        for (const char* name : {"set", "before", "other", "undone"})
            ids.push_back(std::to_string(row("T_M_EntityModel", {name})));
        ASSERT_TRUE(rawExecute(dbPath,
                               "UPDATE \"T_M_EntityModel\" SET \"IsVersionLocked\" = 1 "
                               "WHERE \"Name\" = 'before'"));
        const auto locks = [&] {
            const std::string each = "CAST(coalesce(\"IsVersionLocked\", 0) AS TEXT)";
            return rawScalar(dbPath,
                             "SELECT coalesce((" +
                                 joinedSql(dbPath, each, "\"T_M_EntityModel\"", "\"id\"", "") +
                                 "), '')");
        };
        const std::pair<int, int> refused[] = {
            {0, SRV_ERR_ARGUMENT}, {-3, SRV_ERR_ARGUMENT}, {99, SRV_ERR_NO_ROW}};
        for (const auto& [id, code] : refused) {
            EXPECT_EQ(mdm->lockEntityModelVersion(id).rCode, code) << id;
            EXPECT_EQ(mdm->unlockEntityModelVersion(id).rCode, id < 1 ? code : 0) << id;
        }
        MetaDataManager* made = nullptr;
        ASSERT_TRUE(session->createMetaDataManager(made).ok());
        std::unique_ptr<MetaDataManager> other(made);
        for (int i = 0; i < 3; ++i)
            ASSERT_TRUE((i == 2 ? *other : *mdm).lockEntityModelVersion(std::stoi(ids[i])).ok());
        EXPECT_EQ(locks(), "1110");  // committed: another connection sees them
        {
            Transaction undone(*session);
            ASSERT_TRUE(mdm->lockEntityModelVersion(std::stoi(ids[3])).ok());
            EXPECT_EQ(locks(), "1110");  // not before the transaction commits
        }
        EXPECT_EQ(locks(), "1110");
        for (const std::string& id : ids)
            ASSERT_TRUE(mdm->unlockEntityModelVersion(std::stoi(id)).ok()) << id;
        EXPECT_EQ(locks(), "0110");  // only its own lock
        ASSERT_TRUE(other->unlockEntityModelVersion(std::stoi(ids[2])).ok());
        EXPECT_EQ(locks(), "0100");
        // A lock the last call found set already is that call's no more.
        ASSERT_TRUE(mdm->lockEntityModelVersion(std::stoi(ids[0])).ok());
        ASSERT_TRUE(mdm->lockEntityModelVersion(std::stoi(ids[0])).ok());
        ASSERT_TRUE(mdm->unlockEntityModelVersion(std::stoi(ids[0])).ok());
        EXPECT_EQ(locks(), "1100");
    }
    {
        // The type of the highest version linked to a table, the first link of a
        // tie; versions of 0 and below never count. A table's column inner names
        // come in the order stored.
        ASSERT_TRUE(
            idm->addNormalColumnInstance("T_M_NormalColumn", describe("InnerName", 2)).ok());
        const int table = row("T_M_EntityTable", {"T"}), lone = row("T_M_EntityTable", {"L"});
        // Name, type, version of each model linked to `table`, in link order.
        const std::tuple<const char*, int, int> models[] = {{"a", 7, 1}, {"b", 9, 3},  {"c", 11, 3},
                                                            {"d", 5, 0}, {"e", 4, -2}, {"f", 6, 2}};
        for (const auto& [name, type, version] : models) {
            const int model = row("T_M_EntityModel", {name});
            ASSERT_TRUE(rawExecute(
                dbPath, "UPDATE \"T_M_EntityModel\" SET \"Type\" = " + std::to_string(type) +
                            ", \"Version\" = " + std::to_string(version) +
                            " WHERE \"id\" = " + std::to_string(model)));
            link(model, table);
        }
        const int zero = row("T_M_EntityModel", {"z"});  // version NULL: not above 0
        link(zero, lone);
        int type = -1;
        ASSERT_TRUE(mdm->findMaxVersionOwnerType(table, type).ok());
        EXPECT_EQ(type, 9);
        type = -1;
        EXPECT_EQ(mdm->findMaxVersionOwnerType(lone, type).rCode, SRV_ERR_NO_ROW);
        EXPECT_EQ(mdm->findMaxVersionOwnerType(table + 99, type).rCode, SRV_ERR_NO_ROW);
        EXPECT_EQ(type, -1);

        for (const char* inner : {"Z_1", "A_1", "M_1"}) {
            const int column = row("T_M_NormalColumn", {inner, std::to_string(table)});
            ASSERT_TRUE(rawExecute(dbPath, std::string("UPDATE \"T_M_NormalColumn\" SET ") +
                                               "\"InnerName\" = '" + inner +
                                               "' WHERE \"id\" = " + std::to_string(column)));
        }
        row("T_M_NormalColumn", {"X_1", std::to_string(lone)});
        V inner = {"kept"};  // appended to
        ASSERT_TRUE(mdm->findColumnInnerNames(table, inner).ok());
        EXPECT_EQ(inner, (V{"kept", "Z_1", "A_1", "M_1"}));
    }
}

}  // namespace arxtest
