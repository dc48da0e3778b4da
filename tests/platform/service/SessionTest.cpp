#include <filesystem>
#include <fstream>

#include "DatabaseSchema.h"
#include "IEntityModel.h"
#include "MetaDataManager.h"
#include "Transaction.h"
#include "platform/service/ServiceTestSupport.h"
#include "support/SchemaDump.h"

namespace arxtest {

using Session = ServiceTest;

TEST_F(Session, WritesWaitForACommitOrCloseAndClosedCallsAnswerWithACode) {
    ASSERT_TRUE(add("a").ok());
    EXPECT_EQ(committed(), "");  // another connection sees nothing yet
    ASSERT_TRUE(session->commit().ok());
    EXPECT_EQ(committed(), "a");
    ASSERT_TRUE(add("b").ok());
    ASSERT_TRUE(idm->deleteITableDataById("T_Item", 1).ok());
    // An immediate write commits what was pending along with itself, also
    // when it fails itself.
    ASSERT_TRUE(add("c", COMMIT_T_IMMEDIATELY).ok());
    ASSERT_TRUE(injectFault(dbPath, "fault", "BEFORE INSERT", "T_Item", "NEW.\"Name\" = 'bad'"));
    ASSERT_TRUE(add("c2").ok());
    EXPECT_NE(add("bad", COMMIT_T_IMMEDIATELY).rCode, RUN_SUCCESS);
    EXPECT_EQ(committed(), "b,c,c2");
    if (underTest().isFile(dbPath)) {
        EXPECT_EQ(rawScalar(dbPath, "PRAGMA journal_mode"), "wal");
    }

    ASSERT_TRUE(add("d").ok());
    ASSERT_TRUE(session->close().ok());
    EXPECT_FALSE(session->isOpen());
    EXPECT_EQ(session->commit().rCode, SRV_ERR_CLOSED);
    EXPECT_EQ(add("x", COMMIT_T_IMMEDIATELY).rCode, SRV_ERR_CLOSED);
    EXPECT_TRUE(names({}, nullptr, SRV_ERR_CLOSED).empty());
    EXPECT_EQ(idm->deleteITableDataAll("T_Item").rCode, SRV_ERR_CLOSED);
    EXPECT_EQ(idm->delTableInstance("T_Item").rCode, SRV_ERR_CLOSED);
    InstanceDataManager* another = nullptr;
    EXPECT_EQ(session->createInstanceDataManager(another, 0).rCode, SRV_ERR_CLOSED);
    EXPECT_EQ(another, nullptr);
    // The same managers work again on the reopened database.
    ASSERT_TRUE(session->reopen().ok());
    EXPECT_EQ(names(), (V{"b", "c", "c2", "d"}));
    ASSERT_TRUE(add("e").ok());
    EXPECT_EQ(idm->getPSession(), session.get());
    session.reset();  // closing commits
    EXPECT_EQ(committed(), "b,c,c2,d,e");
    EXPECT_EQ(idm->getPSession(), nullptr);
    EXPECT_TRUE(names({}, nullptr, SRV_ERR_CLOSED).empty());
}

TEST_F(Session, PathsThatAreNoUsableFileAreRefused) {
    ARX_FILE_ONLY();
    std::ofstream(dir.file("text.db")) << "this is no database, just some text\n";
    const std::tuple<std::string, int, int> cases[] = {
        {dir.file("missing.db"), 0, SRV_ERR_NO_FILE},
        {dir.path(), 1, SRV_ERR_NO_FILE},
        {dir.file("no/such/folder.db"), 1, SRV_ERR_NO_FILE},
        {dir.file("text.db"), 0, SRV_ERR_NO_FILE},
        // These would write into a temporary database that vanishes.
        {"", 1, SRV_ERR_ARGUMENT},
        {":memory:", 1, SRV_ERR_ARGUMENT},
        {"file:x.db?mode=memory", 1, SRV_ERR_ARGUMENT},
    };
    for (const auto& [path, create, code] : cases) {
        SCOPED_TRACE(path);
        MRDSession* other = nullptr;
        ResultMsg rm = service.createSession(path, other, create);
        EXPECT_EQ(rm.rCode, code);
        EXPECT_NE(rm.rMsg.find(path), std::string::npos);
        EXPECT_EQ(other, nullptr);
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing.db")));

    // An in-memory database only when asked for by name.
    MRDSession* memory = nullptr;
    ASSERT_TRUE(service.createMemorySession(memory).ok());
    InstanceDataManager* manager = nullptr;
    EXPECT_TRUE(std::unique_ptr<MRDSession>(memory)->createInstanceDataManager(manager, 1).ok());
    delete manager;
}

TEST_F(Session, CachedStatementsInUseSurviveEviction) {
    for (const char* name : {"a", "b", "c"})
        ASSERT_TRUE(add(name).ok());
    // While the outer query is being read, enough other statements are
    // prepared to overflow the cache; the one in use must stay valid.
    V seen;
    auto visit = [&](ITableData& row) {
        for (Conditions conditions; conditions.size() < 300;) {
            conditions.push_back(cond("Qty", ">=", "0"));
            EXPECT_EQ(names(conditions).size(), 3u);
        }
        seen.push_back(row._colValue[0]);
        return seen.size() < 2;  // false stops the query
    };
    ASSERT_TRUE(idm->forEachITableData("T_Item", {describe("Name", 2)}, {}, nullptr, visit).ok());
    EXPECT_EQ(seen, (V{"a", "b"}));
}

// What a session records while it writes (MRDSession::recordStatements):
// only the statements that change the database, each with its values
// written in, so that the list run alone on an empty database of the same
// backend makes the same tables, indexes and rows. Each row of `values`
// goes through one bound write; the values are the ones whose literal is
// easy to get wrong.
TEST_F(Session, RecordedStatementsRunAloneMakeTheSameDatabase) {
    const std::string fresh = dir.database("replayed.db");
    std::vector<std::string> log;
    session->recordStatements(&log);
    MNormalColumn note = describe("Note", COL_TYPE_STRING);
    note._defaultValue = "n'a";
    note._isIndex = 1;
    ASSERT_TRUE(idm->addMTableInstance(tableNamed("T_Log"),
                                       {describe("Name", 2), describe("Qty", 1),
                                        describe("Price", 3), describe("Data", 5), note})
                    .ok());
    // Name, Qty, Price: each written by an insert, the first also updated.
    const std::tuple<std::string, std::string, std::string> values[] = {
        {"it's", "1", "2"},              // a quote doubled; a whole real stays real
        {"?1 and ? stay text", "", ""},  // parameter marks inside a value; no numbers
        {"", "0", "-0.5"},
        {"back\\slash \"and\" $1", "-9007199254740993", "1e+20"},
        {u8"名称", "7", "0.1"},
    };
    for (const auto& [name, qty, price] : values) {
        ITableData row = itemRow(name, qty, price);
        row._tableInnerName = "T_Log";
        ASSERT_TRUE(idm->addITableData(row, COMMIT_T_DEFERRED).ok()) << name;
    }
    ITableData changed = itemRow("it's again", "3", "4.25");
    changed._tableInnerName = "T_Log";
    int count = 0;
    ASSERT_TRUE(idm->updateITableData(changed, {cond("Name", "=", "'it's'")}, 0, count).ok());
    ASSERT_EQ(count, 1);
    const double doubles[] = {1.5, -0.0, 1e-300};
    ASSERT_TRUE(idm->updateIBlobTableData("T_Log", "Data", doubles, 3, 2).ok());
    ASSERT_TRUE(idm->deleteITableDataById("T_Log", 3).ok());
    ASSERT_TRUE(idm->addNormalColumnInstance("T_Log", describe("Later", COL_TYPE_INT)).ok());
    std::list<ITableData> read;
    ASSERT_TRUE(idm->getITableData("T_Log", {}, {}, read, nullptr).ok());
    ASSERT_TRUE(session->commit().ok());
    session->recordStatements(nullptr);
    ASSERT_TRUE(add("not recorded", COMMIT_T_IMMEDIATELY).ok());

    std::string script;
    for (const std::string& statement : log) {
        EXPECT_NE(statement.rfind("SELECT \"", 0), 0u) << statement;  // reads stay out
        EXPECT_EQ(statement.find("not recorded"), std::string::npos) << statement;
        script += statement + ";\n";
    }
    ASSERT_EQ(rawRun(fresh, script), "") << script;
    ASSERT_TRUE(rawExecute(dbPath, "DROP TABLE \"T_Item\""));
    EXPECT_EQ(schemaDump(fresh), schemaDump(dbPath)) << script;
}

// Every call of a manager whose session is closed, or gone, answers
// SRV_ERR_CLOSED, hands nothing back and writes nothing; reopened, the
// same managers work.
TEST_F(Session, EveryCallOfAClosedSessionsManagersAnswersClosed) {
    MetaDataNames::use(metaNames());
    MetaDataManager* made = nullptr;
    ASSERT_TRUE(session->createMetaDataManager(made).ok());
    std::unique_ptr<MetaDataManager> mdm(made);
    ASSERT_TRUE(add("a", COMMIT_T_IMMEDIATELY).ok());
    V names;
    std::vector<int> ids;
    std::list<MNormalColumn> layout;
    std::vector<SchemaObject> objects;
    std::vector<std::string> statements;
    std::list<ITableData> rows;
    double* blob = nullptr;
    int count = 0, type = 0, changed = 0;
    bool indexed = false;
    const double values[] = {1.0};
    IEntityModel model{"M", 1, "7", "", 0, 0, 0, dir.file("inst.db"), "", "u", ""};
    MRDSession* instance = nullptr;
    const auto visit = [](const ResultRow&) { return true; };
    const std::pair<const char*, std::function<ResultMsg()>> calls[] = {
        {"add", [&] { return idm->addITableData(itemRow("x"), 0); }},
        {"update", [&] { return idm->updateITableData(itemRow("x"), {}, 0, changed); }},
        {"read", [&] { return idm->getITableData("T_Item", {}, {}, rows, nullptr); }},
        {"read in place",
         [&] {
             return idm->forEachResultRow("T_Item", {describe("Name", 2)}, {}, nullptr, visit);
         }},
        {"delete",
         [&] { return idm->deleteITableDataByCondition("T_Item", {cond("id", "=", "1")}); }},
        {"write blob", [&] { return idm->updateIBlobTableData("T_Item", "Data", values, 1, 1); }},
        {"read blob", [&] { return idm->getIBlobTableData("T_Item", "Data", 1, blob, count); }},
        {"new table", [&] { return idm->addMTableInstance(tableNamed("T_New"), {}); }},
        {"new column", [&] { return idm->addNormalColumnInstance("T_Item", describe("X", 2)); }},
        {"columns", [&] { return idm->getTableColumnNames("T_Item", names); }},
        {"tables", [&] { return idm->getTableNames(names); }},
        {"layout", [&] { return idm->getTableLayout("T_Item", layout); }},
        {"rebuild", [&] { return idm->rebuildTable(tableNamed("T_Item"), {describe("Name", 2)}); }},
        {"index", [&] { return idm->setColumnIndex("T_Item", describe("Qty", 1)); }},
        {"objects", [&] { return idm->getSchemaObjects(objects); }},
        {"hold off", [&] { return idm->holdOffWriters({"T_Item"}); }},
        {"lock schema", [&] { return idm->lockSchemaChanges(); }},
        {"reload", [&] { return idm->initialMetaDataCache(); }},
        {"instance", [&] { return idm->createEntityModelInstance_Create(model, instance, 0); }},
        {"statements", [&] { return idm->instanceStatements(model, statements); }},
        {"info", [&] { return idm->getEntityModelInstanceInfo(model); }},
        {"version", [&] { return idm->setEntityModelInstanceVersion(2); }},
        {"savepoint", [&] { return Savepoint(*idm).begun(); }},
        {"lock", [&] { return mdm->lockEntityModelVersion(1); }},
        {"related", [&] { return mdm->findRelatedTableIDs(1, 1, "T", "none", ids); }},
        {"column ids", [&] { return mdm->findModelColumnIDsByName(1, 1, "Qty", ids); }},
        {"inner names", [&] { return mdm->findColumnInnerNames(1, names); }},
        {"owner", [&] { return mdm->findMaxVersionOwnerType(1, type); }},
        {"lookup indexes", [&] { return mdm->ensureLookupIndexes(); }},
        {"has indexes", [&] { return mdm->hasLookupIndexes(indexed); }}};
    ASSERT_TRUE(session->close().ok());
    const std::string before = underTest().state(dbPath);
    for (const bool gone : {false, true}) {
        if (gone) {
            ASSERT_TRUE(session->reopen().ok());
            session.reset();  // the managers outlive it
        }
        for (const auto& [what, call] : calls) {
            SCOPED_TRACE(std::string(what) + (gone ? " (session gone)" : ""));
            EXPECT_EQ(call().rCode, SRV_ERR_CLOSED);
        }
        EXPECT_EQ(idm->changeCount("T_Item"), 0u);
        EXPECT_TRUE(names.empty() && ids.empty() && layout.empty() && objects.empty());
        EXPECT_TRUE(statements.empty() && rows.empty());
        EXPECT_EQ(std::tie(blob, count, type, changed, instance),
                  std::make_tuple(nullptr, 0, 0, 0, nullptr));
    }
    EXPECT_EQ(underTest().state(dbPath), before);
    EXPECT_FALSE(std::filesystem::exists(dir.file("inst.db")));
}

}  // namespace arxtest
