#include "FolderHelper.h"
#include "Transaction.h"
#include "platform/service/ServiceTestSupport.h"
#include "support/FileText.h"

namespace arxtest {

// Model M version 2 of project UID-1 links New_2, Item_1 (twice) and Gone_1
// (removed in 2). Item_1: Code_1 unique, Qty_1 indexed with default 5, Old_1
// removed in 2, Future_3 added in 3. Model Bad's table has an unusable name.
const char* const kMetaData = R"(
CREATE TABLE "T_M_Project"("id" INTEGER PRIMARY KEY, "UID" TEXT);
CREATE TABLE "T_M_EntityModel"("id" INTEGER PRIMARY KEY, "Name" TEXT, "Version" INTEGER,
  "RProjectID" INTEGER);
CREATE TABLE "T_M_EntityTable"("id" INTEGER PRIMARY KEY, "Name" TEXT, "InnerName" TEXT,
  "AddVersion" INTEGER, "DelVersion" INTEGER);
CREATE TABLE "T_M_R_ModelTable"("id" INTEGER PRIMARY KEY, "T_M_EntityModelID" INTEGER,
  "T_M_EntityTableID" INTEGER);
CREATE TABLE "T_M_NormalColumn"("id" INTEGER PRIMARY KEY, "T_M_EntityTableID" INTEGER,
  "Name" TEXT, "InnerName" TEXT, "DataType" INTEGER, "DefaultValue" TEXT, "IsIndex" INTEGER,
  "IsOnly" INTEGER, "AddVersion" INTEGER, "DelVersion" INTEGER, "IsAutoIncrement" INTEGER,
  "MaxLength" INTEGER, "MinLength" INTEGER, "NumLength" INTEGER, "NumPresision" INTEGER);
INSERT INTO "T_M_Project" VALUES (1, 'UID-1');
INSERT INTO "T_M_EntityModel" VALUES (1, 'M', 1, 1), (2, 'M', 2, 1), (3, 'Bad', 1, 1);
INSERT INTO "T_M_EntityTable" VALUES (1, 'Item', 'Item_1', 1, 999999), (2, 'Gone', 'Gone_1', 1, 2),
  (3, 'New', 'New_2', 2, 999999), (4, 'Bad', 'Bad"1', 1, 999999);
INSERT INTO "T_M_R_ModelTable" VALUES (1, 2, 3), (2, 2, 1), (3, 2, 2), (4, 2, 1), (5, 3, 4);
INSERT INTO "T_M_NormalColumn" ("id", "T_M_EntityTableID", "Name", "InnerName", "DataType",
  "DefaultValue", "IsIndex", "IsOnly", "AddVersion", "DelVersion") VALUES
  (1, 1, 'Code', 'Code_1', 2, '', 0, 1, 1, 999999), (2, 1, 'Qty', 'Qty_1', 1, '5', 1, 0, 1, 999999),
  (3, 1, 'Old', 'Old_1', 2, '', 0, 0, 1, 2), (4, 1, 'Future', 'Future_3', 2, '', 0, 0, 3, 999999),
  (5, 3, 'X', 'X_2', 3, '', 0, 0, 2, 999999);
)";

class InstanceFile : public ServiceTest {
protected:
    void SetUp() override {
        ServiceTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_TRUE(rawExecute(dbPath, kMetaData));
        MetaDataNames::use(metaNames());
        record = IEntityModel{"M", 2, "12", "d", 0, 0, 0, dir.file("inst.db"), "", "uid-1", "3"};
    }
    // The folder's files besides the session's own database (a file only where databases are
    // files).
    V files() {
        V out;
        for (const std::string& name : FolderHelper::FilesInFolder(dir.path()))
            if (name.rfind("data.db", 0) != 0) out.push_back(name);
        return out;
    }
    // A new manager of `file`'s database (null when it cannot be made).
    static std::unique_ptr<InstanceDataManager> managerOf(MRDSession& file) {
        InstanceDataManager* m = nullptr;
        EXPECT_TRUE(file.createInstanceDataManager(m, 0).ok());
        return std::unique_ptr<InstanceDataManager>(m);
    }
    IEntityModel record;
};

TEST_F(InstanceFile, HoldsTheTablesAndColumnsOfTheVersionAndDescribesItself) {
    MRDSession* made = nullptr;
    ASSERT_TRUE(idm->createEntityModelInstance_Create(record, made, 1).ok());
    std::unique_ptr<MRDSession> file(made);
    InstanceDataManager* m = nullptr;
    ASSERT_TRUE(made && file->createInstanceDataManager(m, 0).ok());
    std::unique_ptr<InstanceDataManager> fileIdm(m);
    const std::string path = record._filePath, insert = "INSERT INTO Item_1 (Code_1) VALUES ('a')";
    // Each table once; the columns of version 2 only.
    const BackendUnderTest& fileBackend = backendAt(path);
    EXPECT_EQ(fileBackend.tableNames(path), "ARX_InstanceInfo,Item_1,New_2");
    EXPECT_EQ(fileBackend.columns(path, "Item_1"), "id,Code_1,Qty_1");
    EXPECT_TRUE(rawExecute(path, insert));
    EXPECT_FALSE(rawExecute(path, insert));  // unique
    EXPECT_EQ(rawScalar(path, "SELECT Qty_1 FROM Item_1") + fileBackend.indexCount(path), "52");

    IEntityModel back;
    ASSERT_TRUE(fileIdm->getEntityModelInstanceInfo(back).ok());
    EXPECT_EQ(std::tie(back._name, back._version, back._type, back._description, back._projectUID),
              std::make_tuple("M", 2, "12", "d", "uid-1"));
    // No temporary file stays.
    EXPECT_EQ(files(), (V{"inst.db", "inst.db-shm", "inst.db-wal"}));
}

TEST_F(InstanceFile, RefusalsLeaveNoFileAndTouchNoExistingOne) {
    writeText(dir.file("taken.db"), "keep");
    const std::tuple<const char*, const char*, int, int> cases[] = {
        {"taken.db", "M", 2, SRV_ERR_EXISTS},
        {"x.db", "M", 3, SRV_ERR_NO_ROW},
        {"x.db", "Bad", 1, SRV_ERR_ARGUMENT},  // fails while the file is built
        {"no/x.db", "M", 2, SRV_ERR_NO_FILE},
    };
    for (const auto& [file, name, version, code] : cases) {
        SCOPED_TRACE(name + std::to_string(version));
        IEntityModel changed = record;
        std::tie(changed._filePath, changed._name, changed._version) =
            std::make_tuple(dir.file(file), name, version);
        MRDSession* made = nullptr;
        EXPECT_EQ(idm->createEntityModelInstance_Create(changed, made, 1).rCode, code);
        EXPECT_EQ(made, nullptr);
        EXPECT_EQ(files(), V{"taken.db"});
    }
    EXPECT_EQ(readText(dir.file("taken.db")), "keep");
}

// Model R (versions 1 and 2) links Rev_1, whose column A_1 is text in
// version 1 and an integer from version 2 on (a second record of the same
// inner name): each version's instance holds A_1 once, in the place of its
// first record, with that version's type.
TEST_F(InstanceFile, ARevisedColumnKeepsItsPlaceWithTheTypeOfEachVersion) {
    ASSERT_TRUE(rawExecute(dbPath, R"(
INSERT INTO "T_M_EntityModel" VALUES (4, 'R', 1, 1), (5, 'R', 2, 1);
INSERT INTO "T_M_EntityTable" VALUES (5, 'Rev', 'Rev_1', 1, 999999);
INSERT INTO "T_M_R_ModelTable" VALUES (6, 4, 5), (7, 5, 5);
INSERT INTO "T_M_NormalColumn" ("id", "T_M_EntityTableID", "Name", "InnerName", "DataType",
  "DefaultValue", "IsIndex", "IsOnly", "AddVersion", "DelVersion") VALUES
  (6, 5, 'A', 'A_1', 2, '', 0, 0, 1, 2), (7, 5, 'B', 'B_1', 3, '', 0, 0, 1, 999999),
  (8, 5, 'A', 'A_1', 1, '', 1, 0, 2, 999999);)"));
    // Version, the layout of Rev_1: inner name, storage type and index.
    const std::pair<int, std::string> versions[] = {{1, "A_1:20 B_1:30 "}, {2, "A_1:11 B_1:30 "}};
    for (const auto& [version, layout] : versions) {
        SCOPED_TRACE(version);
        IEntityModel model = record;
        std::tie(model._name, model._version, model._filePath) =
            std::make_tuple("R", version, dir.file("r" + std::to_string(version) + ".db"));
        MRDSession* made = nullptr;
        ASSERT_TRUE(idm->createEntityModelInstance_Create(model, made, 1).ok());
        std::unique_ptr<MRDSession> file(made);
        InstanceDataManager* m = nullptr;
        ASSERT_TRUE(file->createInstanceDataManager(m, 0).ok());
        std::unique_ptr<InstanceDataManager> fileIdm(m);
        EXPECT_EQ(layoutText(*fileIdm, "Rev_1", shapeOf), layout);
    }
}

// The version an instance describes itself with changes with the open
// transaction: a roll-back keeps the old one. A database that is no instance
// has no version to set, and is left as it was.
TEST_F(InstanceFile, ItsVersionChangesOnlyWithATransactionThatCommits) {
    MRDSession* made = nullptr;
    ASSERT_TRUE(idm->createEntityModelInstance_Create(record, made, 0).ok());
    std::unique_ptr<MRDSession> file(made);
    const std::unique_ptr<InstanceDataManager> fileIdm = managerOf(*file);
    ASSERT_NE(fileIdm, nullptr);
    const auto version = [&] {
        IEntityModel back;
        back._version = -1;
        EXPECT_TRUE(fileIdm->getEntityModelInstanceInfo(back).ok());
        return back._version;
    };
    {
        Transaction undone(*file);
        ASSERT_TRUE(fileIdm->setEntityModelInstanceVersion(5).ok());
        EXPECT_EQ(version(), 5);  // seen inside
    }
    EXPECT_EQ(version(), 2);
    {
        Transaction kept(*file);
        ASSERT_TRUE(fileIdm->setEntityModelInstanceVersion(7).ok());
        ASSERT_TRUE(kept.commit().ok());
    }
    ASSERT_TRUE(fileIdm->setEntityModelInstanceVersion(8).ok());  // a transaction of its own
    ASSERT_TRUE(file->rollback().ok());
    EXPECT_EQ(version(), 8);
    if (isFile(record._filePath)) {
        ASSERT_TRUE(file->close().ok());
        IEntityModel read;
        ASSERT_TRUE(service.readInstanceFileInfo(record._filePath, read).ok());
        EXPECT_EQ(std::tie(read._name, read._version, read._type, read._projectUID),
                  std::make_tuple("M", 8, "12", "uid-1"));
    }

    ASSERT_TRUE(session->commit().ok());
    const std::string before = underTest().state(dbPath);
    const ResultMsg rm = idm->setEntityModelInstanceVersion(3);
    EXPECT_FALSE(rm.ok());
    ASSERT_TRUE(session->commit().ok());
    EXPECT_EQ(underTest().state(dbPath), before);
    IEntityModel none;
    none._name = "kept";
    EXPECT_EQ(idm->getEntityModelInstanceInfo(none).rCode, SRV_ERR_NO_TABLE);
    EXPECT_EQ(none._name, "kept");
}

}  // namespace arxtest
