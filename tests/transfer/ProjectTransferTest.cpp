#include <filesystem>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "FileHelper.h"
#include "InstanceDataManager.h"
#include "M_DelByInterfaceDAO.h"
#include "M_DictDataDAO.h"
#include "M_DictItemDAO.h"
#include "M_FindByInterfaceDAO.h"
#include "M_SceneInfoDAO.h"
#include "M_XMLTemplateDAO.h"
#include "QmsRecordClasses.h"
#include "QmsSelfDescription.h"
#include "dao/RecordFixture.h"
#include "support/FaultyDisk.h"
#include "support/RawDb.h"
#include "support/Waiting.h"

namespace arxtest {

// A project's models as text, names in place of identifiers, so that a copy
// in another database renders like its source. Tables are numbered by first
// appearance (a table two models share shows one number); "?" is a
// reference to nothing of the project.
struct TreeText {
    std::string out;
    using Map = std::map<int, std::string>;
    Map folder, table, column;  // of the model, the project, the table

    explicit TreeText(int projectID) {
        Owned<M_EntityModelDAO> models;
        (void)M_EntityModelDAO::FindByRProjectID(projectID, models.items);
        for (M_EntityModelDAO* m : models.items)
            model(*m);
    }
    static std::string of(Map& names, int id) { return names.count(id) ? names[id] : "?"; }
    // "12,a#15,b" with the leading column identifier of each entry as a name.
    std::string named(const std::string& list, char separator) {
        std::istringstream in(list);
        std::string text;
        for (std::string e; std::getline(in, e, separator);)
            text += of(column, std::atoi(e.c_str())) + e.substr(std::min(e.find(','), e.size())) +
                    separator;
        return text;
    }
    void model(M_EntityModelDAO& m) {
        out += m._name + " v" + std::to_string(m._version) + " type " + std::to_string(m._type);
        Owned<M_FolderDAO> folders;  // parents before their sub-folders
        Owned<M_EntityTableDAO> tables;
        Owned<M_SceneInfoDAO> scenes;
        (void)M_FolderDAO::FindByEntityModelID(m._ID, folders.items);
        (void)m.getEntityTableList(tables.items);
        (void)M_SceneInfoDAO::FindByEntityModelID(m._ID, scenes.items);
        folder.clear();
        for (M_FolderDAO* f : folders.items) {
            std::list<M_EntityTableDAO*> held;
            (void)f->getM_EntityTableDAOList(held);
            out += "\n " + (folder[f->_ID] = f->_name) + " in " + of(folder, f->_t_M_FolderID) +
                   testing::PrintToString(namesOf(held));
        }
        for (M_EntityTableDAO* t : tables.items)
            table.emplace(t->_ID, "T" + std::to_string(table.size() + 1));
        for (M_EntityTableDAO* t : tables.items) {
            Owned<M_NormalColumnDAO> all, valid, exported;
            Owned<M_FindByInterfaceDAO> finds;
            Owned<M_DelByInterfaceDAO> dels;
            std::list<std::string> rows;
            (void)M_NormalColumnDAO::FindByT_M_EntityTableID(t->_ID, all.items);
            (void)t->getNormalColumnDAOList(&m, valid.items);
            (void)M_FindByInterfaceDAO::FindByT_M_EntityTableID(t->_ID, finds.items);
            (void)M_DelByInterfaceDAO::FindByT_M_EntityTableID(t->_ID, dels.items);
            if (m._type == ENTITY_MODEL_TYPE_DICTIONARY) (void)t->exportData(exported.items, rows);
            column.clear();
            for (const M_NormalColumnDAO* c : all.items)
                column[c->_ID] = c->_name;
            out += "\n " + table[t->_ID] + " " + t->_name + "/" + t->_innerName;
            for (const M_NormalColumnDAO* c : valid.items)
                out += "\n  " + c->_name + "/" + c->_innerName + ":" +
                       std::to_string(c->_dataType) +
                       (c->_fkTableID > 0 ? " -> " + of(table, c->_fkTableID) : "");
            for (const M_FindByInterfaceDAO* q : finds.items)
                out += "\n  find " + q->_name + " " + named(q->_paraList, '#') + " by " +
                       named(q->_sortAttributeList, ',');
            for (const M_DelByInterfaceDAO* d : dels.items)
                out += "\n  del " + d->_name + " " + named(d->_paraList, '#');
            for (const std::string& row : rows)
                out += "\n  row " + row;
        }
        for (const M_SceneInfoDAO* s : scenes.items)
            out += "\n scene " +
                   of(s->_sceneType == SCENE_KIND_FOLDER ? folder : table, s->_dataObjectId) +
                   " in " + of(s->_parentType == SCENE_KIND_FOLDER ? folder : table, s->_parentID) +
                   " at " + std::to_string(s->_x) + "," + std::to_string(s->_y);
        out += "\n";
    }
};

class Transfer : public RecordFixture {
protected:
    void SetUp() override {
        RecordFixture::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        second = dir.database("second-config.db");
        ResultMsg rm = QmsSelfDescription::ensure();
        ASSERT_TRUE(rm.ok()) << utf8(rm.rMsg);
        home = databases();
    }
    static std::string databases() {
        return MeridianNew::getCurrentMRDConfigDB() + "|" + MeridianNew::getCurrentWorkDB();
    }
    // Every transfer call leaves the databases current that were current before it.
    ResultMsg atHome(ResultMsg rm) {
        EXPECT_EQ(databases(), home);
        return rm;
    }
    // The projects of an export file: names into `listed`, identifiers into `ids`.
    ResultMsg list(const std::string& path) {
        Owned<M_ProjectDAO> found;
        ResultMsg rm = atHome(M_ProjectDAO::getImportProjectList(found.items, path));
        for (const M_ProjectDAO* p : found.items)
            listed.push_back(p->_name), ids.push_back(p->_ID);
        return rm;
    }
    // Exports `exported`, starts a second platform that describes itself, lists the file.
    void exportAndSwitch(std::list<int> exported) {
        ResultMsg rm = atHome(M_ProjectDAO::exportProject(exported, file));
        ASSERT_EQ(rm.rCode, RUN_SUCCESS) << utf8(rm.rMsg);
        ASSERT_TRUE(MeridianNew::startup(second, dir.file("second-work.db")).ok());
        M_ProjectDAO::setCurrProjectID(-1);
        ASSERT_TRUE(QmsSelfDescription::ensure().ok());
        home = databases();
        ASSERT_TRUE(list(file).ok());
    }
    // Model Plan (A > A1 holding Order, B holding Customer; Order.CustomerRef
    // refers to Customer; a query and a delete definition on Order; a folder
    // and a table scene record), its version 2 on the same tables with a
    // column more, and the dictionary model Codes whose table Color has rows.
    void build() {
        M_EntityModelDAO m = model("Plan");
        M_FolderDAO a = folder(m, "A"), b = folder(m, "B"), a1;
        a1._name = "A1";
        ASSERT_TRUE(a.addM_SubFolderDAO(&a1).ok());
        M_EntityTableDAO order = table(a1, "Order"), customer = table(b, "Customer");
        column(m, customer, "Name");
        column(m, customer, "Photo", COL_TYPE_BLOB);  // raw bytes: the highest data type
        M_NormalColumnDAO ref = column(m, order, "CustomerRef", 1);
        ref._fkTableID = customer._ID;
        ASSERT_TRUE(ref.save().ok());
        const std::string total = std::to_string(column(m, order, "Total", 3)._ID),
                          note = std::to_string(column(m, order, "Note")._ID);
        M_FindByInterfaceDAO find;
        M_DelByInterfaceDAO del;
        std::tie(find._name, find._paraList, find._sortAttributeList) =
            std::tuple("byTotal", total + ",a,1#" + note + ",b", note + "," + total);
        std::tie(del._name, del._paraList) = std::tuple("delNote", note + ",x");
        ASSERT_TRUE(order.addFindByInterfaceDAO(&find).ok() &&
                    order.addDelByInterfaceDAO(&del).ok());
        M_SceneInfoDAO inFolder, inTable;
        std::tie(inFolder._sceneType, inFolder._dataObjectId, inFolder._entityModelID,
                 inFolder._x) = std::tuple(SCENE_KIND_FOLDER, a1._ID, m._ID, 7);
        std::tie(inTable._sceneType, inTable._dataObjectId, inTable._y) =
            std::tuple(SCENE_KIND_TABLE, order._ID, 9);
        ASSERT_TRUE(a.addSceneInfo(&inFolder).ok() && order.addSceneInfo(&m, &inTable).ok());
        M_EntityModelDAO* next = nullptr;
        ASSERT_TRUE(m.upgradeNewVersion(next).ok());
        column(*std::unique_ptr<M_EntityModelDAO>(next), customer, "City");
        M_EntityModelDAO dm = model("Codes", ENTITY_MODEL_TYPE_DICTIONARY);
        M_FolderDAO f = folder(dm, "F");
        M_EntityTableDAO color = table(f, "Color");
        column(dm, color, "Code", 1);
        column(dm, color, "Label");
        column(dm, color, "Ratio", 3);
        column(dm, color, "Raw", COL_TYPE_BLOB);
        Owned<M_NormalColumnDAO> columns;
        ASSERT_TRUE(color.getNormalColumnDAOList(&dm, columns.items).ok());
        ASSERT_TRUE(color
                        .importData(columns.items,
                                    {"1@#@red@#@0.25@#@ab", "@#@007@#@@#@", "3@#@2.5e3@#@-1@#@7"})
                        .ok());
    }

    // The export file, and the second platform's configuration database.
    const std::string file = dir.file("export.db");
    std::string second;
    std::string home;
    Names listed;
    std::list<int> ids;
};

TEST_F(Transfer, ImportedProjectsRenderLikeTheirSourceAndASecondImportIsRenamed) {
    build();
    // A write still pending as the export starts (commit type 0) is exported.
    Owned<M_NormalColumnDAO> columns;
    ASSERT_TRUE(M_NormalColumnDAO::FindAll(columns.items).ok());
    std::map<std::string, M_NormalColumnDAO*> named;
    for (M_NormalColumnDAO* c : columns.items)
        named[c->_name] = c;
    named["Total"]->_fkTableID = named["CustomerRef"]->_fkTableID;
    ASSERT_TRUE(named["Total"]->save(0).ok());
    const std::string tree = TreeText(project()._ID).out;
    EXPECT_NE(
        tree.find("B in ?{ \"Customer\" }\n A1 in A{ \"Order\" }\n T1 Order/Order_1\n  "
                  "CustomerRef/CustomerRef_1:1 -> T2\n  Total/Total_1:3 -> T2\n  Note/Note_1:2\n "
                  " find byTotal Total,a,1#Note,b# by Note,Total,\n  del delNote Note,x#\n "
                  "T2 Customer/Customer_1\n  Name/Name_1:2\n  Photo/Photo_1:6"),
        std::string::npos)
        << tree;
    std::set<std::string> uids{project()._uID};
    exportAndSwitch({project()._ID});
    EXPECT_EQ(rawScalar(file, "SELECT count(*) FROM T_M_EntityTable WHERE Name = 'Order'"), "1");
    // Dictionary rows keep their values and storage types.
    EXPECT_EQ(rawScalar(file,
                        "SELECT group_concat(quote(Code_1) || ' ' || quote(Label_1) || ' ' || "
                        "quote(Ratio_1) || ' ' || quote(Raw_1), ',') FROM Color_5_1"),
              "1 'red' 0.25 X'6162',NULL '007' NULL NULL,3 '2.5e3' -1.0 X'37'");
    EXPECT_EQ(listed, Names{"P"});
    const std::string bytes = readText(file);
    std::set<int> known;  // the target's projects
    // Three imports within a second or two: each copy has a name of its own.
    for (int round = 1; round <= 3; ++round) {
        SCOPED_TRACE(round);
        ResultMsg rm = atHome(M_ProjectDAO::importProject(file, ids));
        EXPECT_EQ(rm.rCode, RUN_SUCCESS) << utf8(rm.rMsg);
        Owned<M_ProjectDAO> all;
        ASSERT_TRUE(M_ProjectDAO::FindAll(all.items).ok());
        std::set<std::string> names;
        for (const M_ProjectDAO* p : all.items) {
            EXPECT_TRUE(names.insert(p->_name).second) << p->_name;
            if (!known.insert(p->_ID).second || p->_name == "ARX_QMS") continue;
            // Later copies: "_imp", the time yyMMddhhmmss, a counter within a second.
            EXPECT_TRUE(
                std::regex_match(p->_name, std::regex(round == 1 ? "P" : "P_imp\\d{12}(_\\d+)?")))
                << p->_name;
            EXPECT_TRUE(uids.insert(p->_uID).second) << p->_uID;
            EXPECT_EQ(TreeText(p->_ID).out, tree);
        }
        EXPECT_EQ(known.size(), 1u + round);
    }
    // Every step's line, the export's and then the import's.
    const std::string log = logText();
    std::size_t at = 0;
    for (const char* direction : {"export", "import"}) {
        for (const char* step : {"1. M_project", "2. M_EntityModel", "3. M_Folder", "4. M_Table",
                                 "5. M_R_ModelTable", "6. M_R_FolderTable", "7. M_NormalColumn",
                                 "8. Findby接口信息,delBy接口信息", "9. M_NormalColumn",
                                 "10. M_SceneInfoDAO    场景数据", "11. 数据字典的表实例和数据"}) {
            at = log.find("RUN:M_ProjectDAO::" + std::string(direction) + "Project():" + step, at);
            EXPECT_NE(at, std::string::npos) << direction << " " << utf8(step);
        }
    }
    ASSERT_TRUE(MeridianNew::shutdown().ok());
    EXPECT_EQ(readText(file), bytes);  // the import only reads the file
    for (const std::string& db : {file, second})
        EXPECT_EQ(backendAt(db).damage(db), "") << db;
}

// The record catalogue against the databases: every class is registered and
// its table exists after start-up, one class per table; the self-described
// classes are the tables of "M_QMS"; with rows of every class in the source,
// export writes rows of exactly the transferred classes, and no table of the
// file holds rows of a class the catalogue leaves out.
TEST_F(Transfer, TheRecordCatalogueAgreesWithTheDatabasesAndWhatExportWrites) {
    build();
    M_XMLTemplateDAO xml;
    xml._name = "installation's";
    ASSERT_TRUE(xml.save().ok());
    M_EntityModelDAO* found = nullptr;
    ASSERT_TRUE(
        M_EntityModelDAO::FindByNameMaxVersion(QmsSelfDescription::metaDataModelName(), found)
            .ok());
    std::unique_ptr<M_EntityModelDAO> meta(found);
    ASSERT_NE(meta, nullptr);
    Owned<M_EntityTableDAO> metaTables;
    ASSERT_TRUE(meta->getEntityTableList(metaTables.items).ok());
    std::set<std::string> described;
    for (const M_EntityTableDAO* t : metaTables.items)
        described.insert(t->_name);
    ResultMsg rm = atHome(M_ProjectDAO::exportProject({project()._ID}, file));
    ASSERT_EQ(rm.rCode, RUN_SUCCESS) << utf8(rm.rMsg);

    std::set<std::string> tables;
    for (const RecordClass& record : QmsRecordClasses::all()) {
        SCOPED_TRACE(record.name);
        EXPECT_TRUE(DAOFactoryRegistry::isRegistered(record.name));
        EXPECT_TRUE(tables.insert(record.table).second) << record.table;
        const std::string quoted = "\"" + record.table + "\"";
        const std::string source = rawScalar(config, "SELECT count(*) FROM " + quoted);
        EXPECT_NE(source, "0");
        EXPECT_EQ(source.find("<"), std::string::npos) << source;  // the table exists
        const std::string exported = rawScalar(file, "SELECT count(*) FROM " + quoted);
        EXPECT_EQ(exported != "0", record.has(RECORD_TRANSFERRED)) << exported;
        EXPECT_EQ(described.count(record.table), record.has(RECORD_SELF_DESCRIBED) ? 1u : 0u);
        EXPECT_EQ(record.tie != ModelTie::None, record.has(RECORD_MODEL_STRUCTURE));
        for (const RecordReference& reference : record.references) {
            const RecordClass* target = QmsRecordClasses::named(reference.target);
            EXPECT_FALSE(reference.column.empty());
            EXPECT_TRUE(reference.kindColumn.empty() ? target && target->has(RECORD_TRANSFERRED)
                                                     : reference.target.empty());
        }
    }
    // Besides the records' tables the file holds its own description and the
    // physical tables of the exported tables (the dictionaries' rows).
    std::set<std::string> physical;
    std::istringstream inner(
        rawScalar(file, joinedSql(file, "\"InnerName\"",
                                  "\"" + QmsRecordClasses::tableOf("M_EntityTableDAO") + "\"")));
    for (std::string table; std::getline(inner, table, ',');)
        physical.insert(table);
    physical.insert("ARX_InstanceInfo");
    std::istringstream inFile(backendAt(file).tableNames(file));
    for (std::string table; std::getline(inFile, table, ',');) {
        if (!physical.count(table) &&
            rawScalar(file, "SELECT count(*) FROM \"" + table + "\"") != "0") {
            EXPECT_EQ(tables.count(table), 1u) << table;
        }
    }
}

// An entry of dictionary 2 whose code the target gives another entry gets the
// code after the target's highest (9). The two platform entries before it
// equal the target's own: they are not imported and use up no code.
TEST_F(Transfer, AnEntryWhoseCodeIsTakenGetsANewCodeAndItsModelsFollow) {
    auto add = [](int code, const std::string& name) {
        M_DictDataDAO e;
        std::tie(e._code, e._internalName, e._showName) = std::tuple(code, name, name + "!");
        EXPECT_TRUE(findByID<M_DictItemDAO>(2)->addDictData(&e).ok()) << name;
    };
    add(5, "Special");
    model("Typed", 5);
    model("Plain", 1);
    exportAndSwitch({project()._ID});
    add(5, "Other");
    add(9, "Nine");
    ASSERT_TRUE(atHome(M_ProjectDAO::importProject(file, ids)).ok());
    EXPECT_EQ(rawScalar(second, joinedSql(second, "\"MInternalName_2\" || \"MCode_2\"",
                                          "\"T_M_DictData_2\" WHERE \"MRDictItemID_2\" = 2",
                                          "\"MCode_2\"")),
              "Ordinary1,Dictionary2,Other5,Nine9,Special10");
    EXPECT_EQ(
        rawScalar(second, joinedSql(second, "\"Name\" || \"Type\"",
                                    "\"T_M_EntityModel\" WHERE \"Name\" IN ('Typed', 'Plain')")),
        "Typed10,Plain1");
}

// A dictionary row whose value does not fit its column leaves the table's
// rows out, named by row and column as their import names them; rows the
// target refuses (a label made unique) are left out and counted one by one,
// inside a run of rows stored by one insert and after it.
TEST_F(Transfer, DictionaryRowsThatDoNotFitAreLeftOut) {
    build();
    exportAndSwitch({project()._ID});
    const struct {
        const char *damage, *problem, *count;
    } rows[] = {
        {"UPDATE Color_5_1 SET Code_1 = CASE WHEN Code_1 IS NULL THEN 4294967296 "
         "WHEN Code_1 = 3 THEN 'x' ELSE Code_1 END",
         "第2行数据第1列（Code）的值不是32位整数：4294967296", ""},
        {"UPDATE Color_5_1 SET Code_1 = CASE WHEN Code_1 = 3 THEN 'x' ELSE Code_1 END",
         "第3行数据第1列（Code）的值不是32位整数：x", ""},
        {"UPDATE T_M_NormalColumn SET IsOnly = 1 WHERE Name = 'Label'; INSERT INTO Color_5_1 "
         "(Code_1, Label_1) WITH RECURSIVE n(i) AS (SELECT 4 UNION ALL SELECT i + 1 FROM n "
         "WHERE i < 70) SELECT i, 'l' || i FROM n; UPDATE Color_5_1 SET Label_1 = 'red' WHERE "
         "Code_1 IS NULL OR Code_1 = 70",
         "：第2行数据写入失败：", "（共2行写入失败）"},
    };
    int n = 0;
    for (const auto& row : rows) {
        const std::string damaged = dir.file("rows" + std::to_string(++n) + ".db");
        writeText(damaged, readText(file));
        ASSERT_TRUE(rawExecute(damaged, row.damage));
        const ResultMsg rm = atHome(M_ProjectDAO::importProject(damaged, ids));
        EXPECT_NE(rm.rMsg.find(std::string("：数据字典表数据 _ID = ")), std::string::npos);
        EXPECT_NE(rm.rMsg.find(row.problem), std::string::npos) << utf8(rm.rMsg);
        EXPECT_NE(rm.rMsg.find(row.count), std::string::npos) << utf8(rm.rMsg);
    }
}

// Saves that fail in the target: a project's removes the projects imported
// so far; the others leave their records out, and the import names how many
// (each one logged) and the first.
TEST_F(Transfer, FailedSavesRemoveTheImportedProjectsOrAreCountedExactly) {
    build();
    M_ProjectDAO q;
    q._name = "Q";
    ASSERT_TRUE(q.save().ok());
    exportAndSwitch({project()._ID, q._ID});
    const struct {
        const char *table, *condition, *message, *stays;
    } rows[] = {
        {"T_M_Project", "NEW.\"Name\" = 'Q'", "M_ProjectDAO 导入保存失败!", "ARX_QMS/0"},
        {"T_M_R_ModelTable", "1 = 1",  // Plan 1 and 2 (Order, Customer), Codes (Color)
         "ERROR：有5条记录未能写入目标数据库，第一条：M_R_ModelTableDAO _ID = ", "ARX_QMS,P,Q/2"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.table);
        ASSERT_TRUE(injectFault(second, "fault", "BEFORE INSERT", row.table, row.condition));
        ASSERT_TRUE(MeridianNew::getCurrMRDConfigIDM()->initialMetaDataCache().ok());
        ResultMsg rm = atHome(M_ProjectDAO::importProject(file, ids));
        ASSERT_TRUE(removeFault(second, "fault", row.table));
        EXPECT_NE(rm.rCode, RUN_SUCCESS);
        EXPECT_EQ(rm.rMsg.rfind(row.message, 0), 0u) << utf8(rm.rMsg);
        EXPECT_EQ(rawScalar(second, joinedSql(second, "\"Name\"", "\"T_M_Project\"")) + "/" +
                      rawScalar(second,
                                "SELECT count(*) FROM \"T_M_EntityModel\" WHERE \"Name\" = "
                                "'Plan'"),
                  row.stays);
    }
    const std::string log = logText();
    std::size_t logged = 0;
    for (std::size_t at = 0; (at = log.find("M_R_ModelTableDAO _ID = ", at)) != std::string::npos;
         ++at)
        ++logged;
    EXPECT_EQ(logged, 5u);
}

TEST_F(Transfer, RefusesBadPathsAndFilesThatAreNoExportFiles) {
    // Nothing named: the platform's models and all dictionaries, no project.
    const std::string counts =
        "SELECT (SELECT count(*) FROM \"T_M_EntityTable\") || '/' || (SELECT count(*) FROM "
        "\"T_M_NormalColumn\") || '/' || (SELECT count(*) FROM \"T_M_DictData_2\")";
    ASSERT_TRUE(atHome(M_ProjectDAO::exportProject({999}, file)).ok());
    EXPECT_EQ(rawScalar(file,
                        "SELECT group_concat(Name) || (SELECT count(*) FROM T_M_Project) "
                        "FROM (SELECT Name FROM T_M_EntityModel ORDER BY id)"),
              "M_QMS,M_ProjectManage0");
    EXPECT_EQ(rawScalar(file, counts), rawScalar(config, counts));
    const std::string withProjects = counts + " || '/' || (SELECT count(*) FROM \"T_M_Project\")",
                      before = rawScalar(config, withProjects);
    EXPECT_TRUE(atHome(M_ProjectDAO::importProject(file, {999})).ok());
    EXPECT_EQ(rawScalar(config, withProjects), before);

    writeText(dir.file("exists.db"), "keep");
    EXPECT_EQ(atHome(M_ProjectDAO::exportProject({}, dir.file("exists.db"))).rMsg,
              "ERROR: 导出文件已存在，请更换路径!");
    EXPECT_EQ(readText(dir.file("exists.db")), "keep");

    ASSERT_TRUE(rawExecute(file, "PRAGMA wal_checkpoint(TRUNCATE)"));  // all of it in the file
    writeText(dir.file("cut.db"), readText(file).substr(0, readText(file).size() / 2));
    writeText(dir.file("text.db"), "plain text, no database at all");
    writeText(dir.file("empty.db"), "");
    ASSERT_TRUE(rawExecute(dir.file("other.db"), "CREATE TABLE T_M_Project(Name)"));
    ASSERT_TRUE(model("M").createInstance(dir.path(), "instance.db").ok());
    const std::string missing = "ERROR: 导入文件不存在!", failed = "导入文件连接失败1！";
    for (const char* name :
         {"missing.db", "cut.db", "text.db", "empty.db", "other.db", "instance.db"}) {
        SCOPED_TRACE(name);
        const bool exists = name != std::string("missing.db");
        const std::string path = dir.file(name), bytes = readText(path);
        EXPECT_EQ(list(path).rMsg,
                  exists ? "ERROR:M_ProjectDAO::getImportProjectList():" + failed : missing);
        EXPECT_EQ(atHome(M_ProjectDAO::importProject(path, {1})).rMsg,
                  exists ? "ERROR:M_ProjectDAO::exportProject():" + failed : missing);
        EXPECT_EQ(readText(path), bytes);
        EXPECT_EQ(FileHelper::isFileExists(path), exists);
    }
    EXPECT_TRUE(listed.empty());
}

// Each row damages a fresh copy of an export one way. Listing and importing
// refuse it naming the damage, without a byte of it or of the target changed.
TEST_F(Transfer, DamagedExportFilesAreRefusedAndNothingIsWritten) {
    build();
    ASSERT_TRUE(atHome(M_ProjectDAO::exportProject({project()._ID}, file)).ok());
    const auto target = [this] { return backendAt(config).state(config); };
    const struct {
        const char* damage;
        const char* problem;
    } rows[] = {
        {"DROP TABLE T_M_Folder", "缺少表T_M_Folder"},
        {"ALTER TABLE T_M_NormalColumn DROP COLUMN Description",
         "表T_M_NormalColumn缺少列Description"},
        {"UPDATE T_M_R_FolderTable SET id = 900, T_M_EntityTableID = 'xyz' WHERE id = 1",
         "表T_M_R_FolderTable中id为900的记录的T_M_EntityTableID不是整数：xyz"},
        // A table missing comes before a value of an earlier table.
        {"UPDATE T_M_R_FolderTable SET T_M_EntityTableID = 'xyz'; DROP TABLE T_M_SceneInfo_2",
         "缺少表T_M_SceneInfo_2"},
        {"UPDATE T_M_NormalColumn SET id = 900, FkTableID = 999 WHERE Name = 'CustomerRef'",
         "表T_M_NormalColumn中id为900的记录的FkTableID指向T_M_EntityTable中不存在的记录：999"},
        {"UPDATE T_M_NormalColumn SET id = 900, DataType = 99 WHERE Name = 'Note'",
         "表T_M_NormalColumn中id为900的记录的DataType不是已知的数据类型：99"},
        {"UPDATE T_M_NormalColumn SET id = 900, DataType = 0 WHERE Name = 'Note'",
         "表T_M_NormalColumn中id为900的记录的DataType不是已知的数据类型：0"},
        {"UPDATE T_M_NormalColumn SET id = 900, MaxLength = 4294967296 WHERE Name = 'Note'",
         "表T_M_NormalColumn中id为900的记录的MaxLength不是整数：4294967296"},
        {"UPDATE T_M_NormalColumn SET id = 900, MinLength = -2147483649 WHERE Name = 'Note'",
         "表T_M_NormalColumn中id为900的记录的MinLength不是整数：-2147483649"},
        {"UPDATE T_M_SceneInfo_2 SET id = 900, MSceneType_2 = 2, MDataObjectId_2 = 999 WHERE id = "
         "(SELECT min(id) FROM T_M_SceneInfo_2)",
         "表T_M_SceneInfo_2中id为900的记录的MDataObjectId_2指向T_M_EntityTable中不存在的记录：999"},
        {"UPDATE T_M_DictData_2 SET id = 900, MRDictItemID_2 = 999 WHERE id = "
         "(SELECT min(id) FROM T_M_DictData_2)",
         "表T_M_DictData_2中id为900的记录的MRDictItemID_2指向T_M_DictItem_2中不存在的记录：999"},
        {"UPDATE T_M_EntityModel SET RProjectID = 999 WHERE Name = 'Codes'",
         "表T_M_EntityModel中id为5的记录的RProjectID指向T_M_Project中不存在的记录：999"},
        {"DELETE FROM T_M_EntityModel WHERE Name = 'M_QMS'", "没有数据模型M_QMS，导出没有完成"},
    };
    int n = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.damage);
        const std::string damaged = dir.file("damaged" + std::to_string(++n) + ".db");
        writeText(damaged, readText(file));
        ASSERT_TRUE(rawExecute(damaged, row.damage));
        const std::string bytes = readText(damaged), before = target();
        const std::string problem = ":不是完整的导出文件：" + damaged + "：" + row.problem;
        EXPECT_EQ(list(damaged).rMsg, "ERROR:M_ProjectDAO::getImportProjectList()" + problem);
        EXPECT_EQ(atHome(M_ProjectDAO::importProject(damaged, {1})).rMsg,
                  "ERROR:M_ProjectDAO::importProject()" + problem);
        EXPECT_TRUE(readText(damaged) == bytes && target() == before);
        EXPECT_FALSE(FileHelper::isFileExists(damaged + "-shm"));
    }
    EXPECT_TRUE(listed.empty());
}

// The dictionary model Codes (table Color, one row) and the operations that
// write in many steps, each with the database file its commit writes.
class Faults : public Transfer {
protected:
    void SetUp() override {
        Transfer::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        codes = model("Codes", ENTITY_MODEL_TYPE_DICTIONARY);
        M_FolderDAO f = folder(codes, "F");
        color = table(f, "Color");
        column(codes, color, "Code", 1);
        column(codes, color, "Label");
        ASSERT_TRUE(color.getNormalColumnDAOList(&codes, columns.items).ok());
        ASSERT_TRUE(color.importData(columns.items, {"1@#@red"}).ok());
    }
    struct Operation {
        const char* name;
        const char* disk;
        std::function<ResultMsg()> run;
    };
    std::vector<Operation> operations() {
        return {
            {"upgradeNewVersion", "/config.db",
             [] {
                 M_EntityModelDAO *latest = nullptr, *next = nullptr;
                 (void)M_EntityModelDAO::FindByNameMaxVersion("Codes", latest);
                 ResultMsg rm = latest->upgradeNewVersion(next);
                 delete latest;
                 delete next;
                 return rm;
             }},
            {"copyTo", "/config.db",
             [this] {
                 M_EntityModelDAO copy;
                 copy._name = "C";
                 M_EntityModelDAO* target = &copy;
                 return codes.copyTo(target);
             }},
            {"exportProject", "/export.db",
             [this] { return M_ProjectDAO::exportProject({project()._ID}, file); }},
            {"importProject", "/config.db",
             [this] { return M_ProjectDAO::importProject(file, {1}); }},
            {"saveData", "/inst.db",
             [this] {
                 M_NormalColumnDAO id;
                 id._innerName = "id";
                 std::list<M_NormalColumnDAO*> withID(columns.items);
                 withID.push_front(&id);
                 return color.saveData(withID, {"0@#@2@#@green"});
             }},
            {"importData", "/config.db",
             [this] { return color.importData(columns.items, {"3@#@blue"}); }},
        };
    }
    // No file the row's operation was making: no build folder, no export file.
    bool leftNothing(const Operation& row) {
        for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
            if (entry.path().filename().string().rfind(".arx-", 0) == 0) return false;
        }
        return row.disk != std::string("/export.db") || !FileHelper::isFileExists(file);
    }

    M_EntityModelDAO codes;
    M_EntityTableDAO color;
    Owned<M_NormalColumnDAO> columns;
};

// A read that fails ends the operation with its failure; nothing of the
// operation stays, and it succeeds once the table can be read again.
TEST_F(Faults, AFailedReadEndsTheOperationAndNothingStays) {
    const std::string digest =
        "SELECT (SELECT count(*) FROM \"T_M_EntityModel\") || '/' || (SELECT "
        "sum(\"IsVersionLocked\") FROM \"T_M_EntityModel\") || '/' || (SELECT count(*) FROM "
        "\"T_M_Folder\") || '/' || (SELECT count(*) FROM \"T_M_EntityTable\")";
    std::vector<Operation> operationRows = operations();
    // The scene records, read one model at a time, in upgradeNewVersion,
    // copyTo and exportProject; the query definitions, read for many tables
    // at once, in copyTo and exportProject.
    const struct {
        const char* table;
        const char* says;
        std::size_t firstOperation;
    } cases[] = {{"T_M_SceneInfo_2", "ERROR：读取M_SceneInfoDAO失败：", 0},
                 {"T_M_FindByInterface_2", "ERROR：读取M_FindByInterfaceDAO失败：", 1}};
    for (std::size_t i = 0; i < 3; ++i) {
        const Operation& row = operationRows[i];
        for (const auto& c : cases) {
            if (i < c.firstOperation) continue;
            SCOPED_TRACE(std::string(row.name) + " without " + c.table);
            const std::string before = rawScalar(config, digest);
            const std::string table = std::string("\"") + c.table + "\"";
            ASSERT_TRUE(rawExecute(config, "ALTER TABLE " + table + " RENAME TO \"Gone\""));
            ResultMsg rm = row.run();
            ASSERT_TRUE(rawExecute(config, "ALTER TABLE \"Gone\" RENAME TO " + table));
            EXPECT_EQ(rm.rMsg.rfind(c.says, 0), 0u) << utf8(rm.rMsg);
            EXPECT_NE(rm.rMsg.find(c.table), std::string::npos) << utf8(rm.rMsg);
            EXPECT_TRUE(rawScalar(config, digest) == before && leftNothing(row));
        }
        SCOPED_TRACE(row.name);
        ResultMsg rm = row.run();
        EXPECT_TRUE(rm.ok()) << utf8(rm.rMsg);
    }
}

// Each operation on a full disk: its commit fails and says so, nothing of it
// stays (not even for a later commit), and it succeeds on a disk with room.
TEST_F(Faults, OnAFullDiskTheCommitFailsAndNothingStays) {
    ARX_FILE_ONLY();  // a full disk under database files
    installFaultyDisk();
    const std::string instance = dir.file("inst.db");
    ASSERT_TRUE(codes.createInstance(dir.path(), "inst.db").ok());
    for (const Operation& row : operations()) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(MeridianNew::shutdown().ok());
        const std::string before = readText(config) + readText(instance);
        ASSERT_TRUE(MeridianNew::startup(config, instance).ok());
        ResultMsg rm;
        {
            FullDisk full(row.disk);
            rm = row.run();
        }
        EXPECT_NE(rm.rCode, RUN_SUCCESS);
        EXPECT_TRUE(MeridianNew::shutdown().ok());  // commits whatever was left pending
        EXPECT_TRUE(readText(config) + readText(instance) == before && leftNothing(row));
        ASSERT_TRUE(MeridianNew::startup(config, instance).ok());
        rm = row.run();
        EXPECT_TRUE(rm.ok()) << utf8(rm.rMsg);
    }
}

// An export killed (kill -9) while it writes its file, before it publishes:
// no file stands under the export's name, only the private build folder,
// and that leftover does not stand in the way of the next export.
TEST_F(Transfer, AnExportKilledBeforeItPublishesLeavesNoFileUnderItsName) {
    build();
    const int id = project()._ID;
    const auto privateEntries = [this] {
        int count = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            count += entry.path().filename().string().rfind(".arx-", 0) == 0;
        return count;
    };
    ASSERT_TRUE(MeridianNew::shutdown().ok());  // no connection is shared with the child
    int stalled[2];
    ASSERT_EQ(pipe(stalled), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        StalledWrite stall("/export.db-wal", stalled[1]);
        if (MeridianNew::startup(config, work, 0).ok())
            (void)M_ProjectDAO::exportProject({id}, file);
        _exit(0);
    }
    close(stalled[1]);
    const bool writing = readByte(stalled[0], Seconds(300));
    close(stalled[0]);
    const int building = privateEntries();
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_TRUE(reap(child, Seconds(60), status));
    ASSERT_TRUE(writing) << "the export ended before it wrote its file";
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    EXPECT_EQ(building, 1);
    EXPECT_FALSE(std::filesystem::exists(file) || std::filesystem::exists(file + "-wal"));
    EXPECT_EQ(privateEntries(), 1);  // what the killed export left

    ASSERT_TRUE(MeridianNew::startup(config, work, 0).ok());
    ResultMsg rm = atHome(M_ProjectDAO::exportProject({id}, file));
    ASSERT_TRUE(rm.ok()) << utf8(rm.rMsg);
    ASSERT_TRUE(list(file).ok());
    EXPECT_EQ(listed, Names{project()._name});
}

using WithoutSelfDescription = RecordFixture;

TEST_F(WithoutSelfDescription, ExportNeedsThePlatformModel) {
    ResultMsg rm = M_ProjectDAO::exportProject({project()._ID}, dir.file("x.db"));
    EXPECT_EQ(std::tie(rm.rCode, rm.rMsg), std::make_tuple(RUN_FAIL, "ERROR: M_QMS模型没有查到!"));
    EXPECT_FALSE(FileHelper::isFileExists(dir.file("x.db")));
}

}  // namespace arxtest
