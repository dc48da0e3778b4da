#include <filesystem>
#include <set>

#include "DatabaseSchema.h"
#include "IEntityModel.h"
#include "Transaction.h"
#include "platform/service/ServiceTestSupport.h"
#include "support/FileText.h"

namespace arxtest {

namespace fs = std::filesystem;

class DatabaseFiles : public ServiceTest {
protected:
    // The names in the test's folder.
    // Skips a case about the bytes of a database file where the location
    // is not the file's path.
    bool plainFile() const { return fs::is_regular_file(dbPath); }
    std::set<std::string> folder() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir.path()))
            names.insert(entry.path().filename().string());
        return names;
    }
};

TEST_F(DatabaseFiles, FilesAreReadAndPublishedWithoutWritingAnythingElse) {
    {
        // A read-only session reads what is there and every write through it fails;
        // the file keeps its bytes and nothing is made beside it. A server refuses
        // such a session.
        ASSERT_TRUE(add("a", COMMIT_T_IMMEDIATELY).ok());
        ASSERT_TRUE(session->close().ok());
        MRDSession* opened = nullptr;
        const ResultMsg rm = service.openReadOnlySession(dbPath, opened);
        std::unique_ptr<MRDSession> reader(opened);
        if (!underTest().isFile(dbPath)) {
            EXPECT_EQ(rm.rCode, SRV_ERR_ARGUMENT) << rm.rMsg;
            EXPECT_EQ(opened, nullptr);
            return;
        }
        ASSERT_TRUE(rm.ok()) << rm.rMsg;
        const std::string bytes = readText(dbPath);
        const std::set<std::string> before = folder();
        InstanceDataManager* made = nullptr;
        ASSERT_TRUE(reader->createInstanceDataManager(made, 1).ok());
        std::unique_ptr<InstanceDataManager> manager(made);
        std::list<ITableData> rows;
        ASSERT_TRUE(
            manager->getITableData("T_Item", {describe("Name", 2)}, {}, rows, nullptr).ok());
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows.front()._colValue[0], "a");
        const double blob[] = {1.0};
        const std::pair<const char*, std::function<ResultMsg()>> writes[] = {
            {"add", [&] { return manager->addITableData(itemRow("b"), COMMIT_T_IMMEDIATELY); }},
            {"add later", [&] { return manager->addITableData(itemRow("b"), COMMIT_T_DEFERRED); }},
            {"update", [&] { return manager->updateITableData(itemRow("b"), {}, 1); }},
            {"delete", [&] { return manager->deleteITableDataAll("T_Item", 1); }},
            {"blob",
             [&] { return manager->updateIBlobTableData("T_Item", "Data", blob, 1, 1, 1); }},
            {"table", [&] { return manager->addMTableInstance(tableNamed("T_New"), {}); }},
            {"column",
             [&] { return manager->addNormalColumnInstance("T_Item", describe("X", 2)); }},
            {"drop", [&] { return manager->delTableInstance("T_Item"); }},
            {"version", [&] { return manager->setEntityModelInstanceVersion(2); }}};
        for (const auto& [what, write] : writes) {
            const ResultMsg refused = write();
            EXPECT_FALSE(refused.ok()) << what;
            EXPECT_FALSE(refused.rMsg.empty()) << what;
        }
        const ResultMsg closed = reader->close();
        EXPECT_TRUE(closed.ok()) << closed.rMsg;  // nothing was pending
        EXPECT_EQ(readText(dbPath), bytes);
        EXPECT_EQ(folder(), before);
    }
    {
        // What the service reads of a file without a session (its tables, its
        // schema, what instance it is) it reads without writing: a file that is
        // missing, no database, or cut short is refused as no file, and a database
        // that is no instance file as no table.
        if (!plainFile()) return;  // the location is no file path
        const std::string whole = readText(dbPath);
        writeText(dir.file("text.db"), "this is no database, just some text\n");
        writeText(dir.file("cut.db"), whole.substr(0, whole.size() / 2));
        const std::set<std::string> before = folder();
        for (const char* name : {"missing.db", "text.db", "cut.db"}) {
            SCOPED_TRACE(name);
            const std::string path = dir.file(name);
            std::vector<std::string> tables = {"kept"};
            DatabaseSchema schema;
            IEntityModel model;
            model._name = "kept";
            EXPECT_EQ(service.readTableNames(path, tables).rCode, SRV_ERR_NO_FILE);
            EXPECT_EQ(service.readInstanceFileInfo(path, model).rCode, SRV_ERR_NO_FILE);
            const ResultMsg rm = service.readSchema(path, schema);
            EXPECT_EQ(rm.rCode, SRV_ERR_NO_FILE);
            EXPECT_NE(rm.rMsg.find(path), std::string::npos) << rm.rMsg;
            EXPECT_EQ(model._name, "kept");
            EXPECT_TRUE(schema.tables.empty());
        }
        std::vector<std::string> tables;
        ASSERT_TRUE(service.readTableNames(dbPath, tables).ok());
        EXPECT_EQ(tables, V{"T_Item"});
        DatabaseSchema schema;
        ASSERT_TRUE(service.readSchema(dbPath, schema).ok());
        ASSERT_EQ(schema.tables.size(), 1u);
        V columns;
        for (const SchemaColumn& c : schema.tables[0].columns)
            columns.push_back(c.name + (c.primaryKeyPosition == 1 ? "*" : ""));
        EXPECT_EQ(columns, (V{"id*", "Name", "Qty", "Price", "Data"}));
        IEntityModel model;
        model._name = "kept";
        EXPECT_EQ(service.readInstanceFileInfo(dbPath, model).rCode, SRV_ERR_NO_TABLE);
        EXPECT_EQ(model._name, "kept");
        EXPECT_EQ(readText(dbPath), whole);
        EXPECT_EQ(folder(), before);
        EXPECT_FALSE(fs::exists(dir.file("missing.db")));
    }
    {
        // A finished file is published under its new name whole, and a name that
        // is taken is never touched.
        const std::string bytes = readText(dbPath);
        const std::string taken = dir.file("taken.db"), fresh = dir.file("fresh.db");
        writeText(taken, "someone else's");
        ResultMsg rm = MRDService::publishFile(dbPath, taken);
        EXPECT_EQ(rm.rCode, SRV_ERR_EXISTS) << rm.rMsg;
        EXPECT_NE(rm.rMsg.find(taken), std::string::npos) << rm.rMsg;
        EXPECT_EQ(readText(taken), "someone else's");
        rm = MRDService::publishFile(dir.file("gone.db"), fresh);
        EXPECT_FALSE(rm.ok());
        EXPECT_FALSE(fs::exists(fresh));
        ASSERT_TRUE(MRDService::publishFile(dbPath, fresh).ok());
        EXPECT_EQ(readText(fresh), bytes);
        EXPECT_EQ(readText(dbPath), bytes);  // the caller removes it
    }
}

// What a user made beside the tables (an index over several columns, a
// view, a trigger) is listed in the order made, a single column's index
// not; dropping one is part of the open transaction.
TEST_F(DatabaseFiles, SchemaObjectsAreListedAndDroppedInsideTheTransaction) {
    const std::string sql[] = {
        "CREATE INDEX \"ix_single\" ON \"T_Item\" (\"Qty\")",
        "CREATE INDEX \"ix_pair\" ON \"T_Item\" (\"Name\", \"Qty\")",
        "CREATE VIEW \"v_names\" AS SELECT \"Name\" FROM \"T_Item\"",
        underTest().triggerSql("t_keep", "AFTER INSERT", "T_Item",
                               "UPDATE \"T_Item\" SET \"Qty\" = 1 WHERE \"Qty\" IS NULL;")};
    ASSERT_TRUE(session->commit().ok());
    for (const std::string& statement : sql)
        ASSERT_EQ(rawRun(dbPath, statement), "") << statement;
    ASSERT_TRUE(idm->initialMetaDataCache().ok());
    const auto listed = [&] {
        std::vector<SchemaObject> objects;
        EXPECT_TRUE(idm->getSchemaObjects(objects).ok());
        V out;
        for (const SchemaObject& o : objects)
            out.push_back(o.kind + " " + o.name + " " + o.table);
        return out;
    };
    const V all = {"index ix_pair T_Item", "view v_names ", "trigger t_keep T_Item"};
    ASSERT_EQ(listed(), all);
    std::vector<SchemaObject> objects;
    ASSERT_TRUE(idm->getSchemaObjects(objects).ok());
    {
        Transaction undone(*session);
        ASSERT_TRUE(idm->dropSchemaObject(objects[1]).ok());
        EXPECT_EQ(listed(), (V{all[0], all[2]}));
    }
    EXPECT_EQ(listed(), all);
    for (const SchemaObject& o : objects)
        ASSERT_TRUE(idm->dropSchemaObject(o).ok()) << o.name;
    ASSERT_TRUE(session->commit().ok());
    EXPECT_EQ(listed(), V{});
    EXPECT_EQ(rawScalar(dbPath, "SELECT count(*) FROM \"T_Item\""), "0");  // rows stay as they were
    EXPECT_NE(underTest().indexedColumns(dbPath, "T_Item").find("Qty"), std::string::npos);
    const ResultMsg rm = idm->dropSchemaObject(objects[1]);  // gone already
    EXPECT_FALSE(rm.ok());
    EXPECT_NE(rm.rMsg.find("v_names"), std::string::npos) << rm.rMsg;
}

}  // namespace arxtest
