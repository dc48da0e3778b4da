#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <regex>
#include <tuple>
#include <vector>

#include "InstanceDataManager.h"
#include "MRDSession.h"
#include "M_DictDataDAO.h"
#include "M_DictItemDAO.h"
#include "M_R_ModelTableDAO.h"
#include "Mapper.h"
#include "ModelVersionRecords.h"
#include "dao/RecordFixture.h"
#include "support/RawDb.h"

namespace arxtest {

namespace {

// Read during static initialisation, before any test sets a project.
const int initialProjectID = M_ProjectDAO::getCurrProjectID();

}  // namespace

class ProjectModel : public RecordFixture {
protected:
    // Lets another connection make a write of the configuration database fail
    // (see injectFault), or stop that, once the library's pending writes are
    // committed.
    void fault(const std::string& name, const std::string& when, const std::string& table,
               const std::string& condition) {
        ASSERT_TRUE(MeridianNew::getCurrMRDConfigIDM()->getPSession()->commit().ok());
        ASSERT_TRUE(injectFault(config, name, when, table, condition)) << name;
    }
    void unfault(const std::string& name, const std::string& table) {
        ASSERT_TRUE(MeridianNew::getCurrMRDConfigIDM()->getPSession()->commit().ok());
        ASSERT_TRUE(removeFault(config, name, table)) << name;
    }
    static std::vector<int> linkIDs(int modelID) {
        Owned<M_R_ModelTableDAO> links;
        EXPECT_TRUE(M_R_ModelTableDAO::FindByT_M_EntityModelID(modelID, links.items).ok());
        std::vector<int> ids;
        for (const M_R_ModelTableDAO* link : links.items)
            ids.push_back(link->_ID);
        return ids;
    }
    static std::unique_ptr<M_FolderDAO> tempOf(M_EntityModelDAO& m) {
        M_FolderDAO* found = nullptr;
        EXPECT_TRUE(m.getTempFolder(found).ok());
        return std::unique_ptr<M_FolderDAO>(found);
    }
    // A model of the project saved with a preset version (0: numbered by the save).
    M_EntityModelDAO versioned(const std::string& name, int version, int locked, ResultMsg& rm) {
        M_EntityModelDAO m;
        m._name = name;
        m._version = version;
        m._isVersionLocked = locked;
        rm = project().addEntityModel(&m);
        return m;
    }
    Names tablesOf(M_FolderDAO& f) {
        std::list<M_EntityTableDAO*> tables;
        (void)f.getM_EntityTableDAOList(tables);
        return namesOf(tables);
    }
};

TEST_F(ProjectModel, ProjectGetsAFreshGUIDWhenNewOrShort) {
    EXPECT_EQ(initialProjectID, -1);
    const std::regex guid("[0-9A-F]{8}-[0-9A-F]{4}-[0-9a-f]{4}-[0-9A-F]{4}-[0-9A-F]{12}");
    M_ProjectDAO p;
    // A caller-set GUID on a new project, a short one, a kept one.
    for (const std::string& uID : {std::string(36, 'x'), std::string("short"), std::string()}) {
        const bool fresh = !uID.empty();
        if (fresh) p._uID = uID;
        const std::string before = p._uID, id = std::to_string(p._ID);
        const size_t logBefore = logText().size();
        ASSERT_TRUE(p.save().ok());
        EXPECT_TRUE(std::regex_match(p._uID, guid)) << p._uID;
        EXPECT_EQ(p._uID != before, fresh) << uID;
        const std::string line = "生成M_ProjectDAO(_ID = " + id + ")的uid = " + p._uID;
        EXPECT_EQ(logText().find(line, logBefore) != std::string::npos, fresh) << utf8(line);
    }
}

TEST_F(ProjectModel, ProjectFindersOrderAndMatchExactly) {
    // Saved oldest first, so the row order is the reverse of the wanted one.
    const Names saved = {"500", "50%", "P", "O'Brien", "项目甲", "PX"};
    for (size_t i = 0; i < saved.size(); ++i) {
        M_ProjectDAO p;
        p._name = saved[i];
        p._updateTime = "2020-01-0" + std::to_string(i + 1) + " 00:00:00";
        ASSERT_TRUE(p.save().ok());
    }
    std::list<M_ProjectDAO*> found;
    ASSERT_TRUE(M_ProjectDAO::FindAll(found).ok());
    EXPECT_EQ(namesOf(found), Names(saved.rbegin(), saved.rend()));
    // No wildcard added; a quote is data; the caller's "%" is a wildcard.
    for (const auto& [pattern, expected] : std::map<std::string, Names>{{"P", {"P"}},
                                                                        {"O'Brien", {"O'Brien"}},
                                                                        {"50%", {"500", "50%"}},
                                                                        {"项目甲", {"项目甲"}},
                                                                        {"项目", {}}}) {
        EXPECT_TRUE(M_ProjectDAO::FindByName(pattern, found).ok());
        // Without an ordering, rows come in the order they were stored.
        EXPECT_EQ(namesOf(found), expected) << utf8(pattern);
    }
}

TEST_F(ProjectModel, ProjectDelselfStopsAtAModelThatStays) {
    M_EntityModelDAO a = model("A"), b = model("B");
    M_FolderDAO kept = folder(b, "F");
    fault("keep", "BEFORE DELETE", "T_M_Folder", "OLD.\"id\" = " + std::to_string(kept._ID));
    ResultMsg rm = project().delself();
    EXPECT_NE(rm.rCode, RUN_SUCCESS);
    EXPECT_EQ(rm.rMsg.rfind("M_ProjectDAO::delself()错误M_ProjectDAO::delself()错误:", 0), 0u)
        << utf8(rm.rMsg);
    std::list<M_EntityModelDAO*> left;
    ASSERT_TRUE(project().getEntityModelList(left).ok());
    EXPECT_EQ(namesOf(left), Names{"B"});

    unfault("keep", "T_M_Folder");
    ASSERT_TRUE(project().delself().ok());
    std::list<M_ProjectDAO*> projects;
    std::list<M_FolderDAO*> folders;
    ASSERT_TRUE(M_ProjectDAO::FindAll(projects).ok() && M_FolderDAO::FindAll(folders).ok());
    EXPECT_TRUE(namesOf(projects).empty() && namesOf(folders).empty());
}

// A delete that cannot read what hangs on its record, or what uses it, fails
// and keeps the record rather than leave behind what it could not see.
TEST_F(ProjectModel, DeletesThatCannotReadTheirDependantsKeepTheRecord) {
    M_EntityModelDAO m = model("M");
    M_DictItemDAO projectTypes;  // the first dictionary: the project types
    ASSERT_TRUE(projectTypes.save().ok() && projectTypes._ID == DICT_ID_PROJECT_TYPES);
    M_DictDataDAO unused;
    unused._code = 99;
    ASSERT_TRUE(projectTypes.addDictData(&unused).ok());
    const std::tuple<const char*, std::function<ResultMsg()>> rows[] = {
        {"T_M_EntityModel", [&] { return project().delself(); }},
        {"T_M_Folder", [&] { return m.delself(); }},
        {"T_M_DictData_2", [&] { return projectTypes.delself(); }},
        {"T_M_Project", [&] { return unused.delself(); }},  // its users
    };
    const std::string records =
        "SELECT (SELECT count(*) FROM \"T_M_Project\") || (SELECT count(*) FROM "
        "\"T_M_EntityModel\") || (SELECT count(*) FROM \"T_M_DictItem_2\") || (SELECT count(*) "
        "FROM \"T_M_DictData_2\")";
    const std::string before = rawScalar(config, records);
    for (const auto& [table, remove] : rows) {
        SCOPED_TRACE(table);
        ASSERT_TRUE(rawExecute(config, "ALTER TABLE \"" + std::string(table) + "\" RENAME TO x"));
        const ResultMsg rm = remove();
        ASSERT_TRUE(rawExecute(config, "ALTER TABLE x RENAME TO \"" + std::string(table) + "\""));
        EXPECT_NE(rm.rCode, RUN_SUCCESS);
        EXPECT_EQ(rawScalar(config, records), before);
    }
}

TEST_F(ProjectModel, ModelVersionsFollowTheLockOfTheHighest) {
    ResultMsg rm;
    M_EntityModelDAO first = versioned("F", 0, 0, rm);
    EXPECT_EQ(std::make_tuple(rm.rCode, first._version), std::make_tuple(RUN_SUCCESS, 1));
    std::unique_ptr<M_FolderDAO> temp = tempOf(first);
    ASSERT_NE(temp, nullptr);
    EXPECT_EQ(
        std::make_tuple(temp->_name, temp->_displayName, temp->_folderType, temp->_addVersion),
        std::make_tuple(std::string("TempFolder"), std::string("临时数据模块"), 2, 1));
    rm = first.save();
    EXPECT_EQ(std::make_pair(rm.rCode, rm.rMsg),
              std::make_pair(RUN_SUCCESS, std::string("临时数据模块已经建立，直接返回")));

    const struct {
        int preset, locked, code, version;
        size_t stored;
    } cases[] = {{3, 1, RUN_SUCCESS, 3, 1},  // a preset version is kept
                 {0, 0, RUN_SUCCESS, 4, 2},  // locked 3 -> 4
                 {0, 0, RUN_FAIL, 0, 2},     // 4 is not locked: nothing stored
                 {5, 0, RUN_SUCCESS, 5, 3}};
    for (const auto& c : cases) {
        M_EntityModelDAO m = versioned("L", c.preset, c.locked, rm);
        EXPECT_EQ(std::make_tuple(rm.rCode, m._version, m._ID > 0),
                  std::make_tuple(c.code, c.version, c.code == RUN_SUCCESS));
        if (c.code == RUN_FAIL) {
            EXPECT_EQ(rm.rMsg, "最大版本号对应数据模型，未定版。不能继续添加新的数据模型。");
        }
        std::list<M_EntityModelDAO*> same;
        ASSERT_TRUE(M_EntityModelDAO::FindByRProjectIDAndName(project()._ID, "L", same).ok());
        EXPECT_EQ(namesOf(same).size(), c.stored);
    }
}

TEST_F(ProjectModel, TableListKeepsTheVersionAndDropsStaleLinks) {
    ResultMsg rm;
    M_EntityModelDAO m = versioned("V", 2, 0, rm);
    M_FolderDAO f = folder(m, "F");
    M_EntityTableDAO kept = table(f, "Kept"), old = table(f, "Old"), gone = table(f, "Gone");
    (void)column(m, kept, "C");
    kept._addVersion = 1;
    old._delVersion = 2;
    ASSERT_TRUE(kept.save().ok() && old.save().ok() && gone.delself().ok());
    const std::vector<int> links = linkIDs(m._ID);  // Kept, Old, Gone
    ASSERT_EQ(links.size(), 3u);
    std::list<M_EntityTableDAO*> tables;
    EXPECT_TRUE(m.getEntityTableList(tables).ok());
    EXPECT_EQ(namesOf(tables), Names{"Kept"});
    const std::string log = logText();
    for (int i : {1, 2}) {
        const std::string line = "RUN:M_EntityModelDAO::getEntityTableList():清理垃圾" +
                                 std::to_string(i) + std::to_string(links[i]);
        EXPECT_NE(log.find(line), std::string::npos) << utf8(line);
    }
    EXPECT_EQ(linkIDs(m._ID), std::vector<int>{links[0]});
    std::list<M_NormalColumnDAO*> columns;
    EXPECT_TRUE(m.getNormalColumnList(columns).ok());
    EXPECT_EQ(namesOf(columns), Names{"C"});
}

namespace {

// Every stored field of a record (its mapper's row), its identifier and, for
// a table, its dictionary mark: what the two read paths must agree on.
template <class T>
std::string recordFields(T& record) {
    const std::unique_ptr<Mapper> mapper(record.createMapper());
    ITableData row;
    mapper->doSave(row, &record);
    std::string out = std::to_string(record._ID);
    for (int i = 0; i < row._colNum; ++i)
        out += "|" + row._cloInnerName[i] + "=" + row._colValue[i];
    if constexpr (std::is_same_v<T, M_EntityTableDAO>)
        out += "|dictionary=" + std::to_string(record._belongToDictionaryModel);
    return out;
}

template <class T>
std::vector<std::string> fieldsOf(const std::vector<std::unique_ptr<T>>& records) {
    std::vector<std::string> out;
    for (const auto& record : records)
        out.push_back(recordFields(*record));
    return out;
}

template <class T>
std::vector<std::string> fieldsOf(std::list<T*>& records) {
    std::vector<std::string> out;
    for (T* record : records)
        out.push_back(recordFields(*record));
    T_deletePtrList(records);
    return out;
}

}  // namespace

// The bulk reader of a model version gives the records the per-record
// getters give, field for field and in their order: a version sharing its
// tables with the next, whose columns changed there (older records of the
// same columns, which keep the places they entered in) and where a table
// ended, a table without columns, a table deleted with its links left
// behind, another model's folder and table amid the model's, a dictionary
// model and a model without tables. An unknown model is refused.
TEST_F(ProjectModel, BulkReadOfAVersionGivesWhatThePerRecordGettersGive) {
    M_EntityModelDAO v1 = model("M");
    M_FolderDAO f = folder(v1, "F");
    M_EntityTableDAO a = table(f, "A"), b = table(f, "B"), gone = table(f, "Gone");
    M_EntityModelDAO other = model("O");  // its folder and table amid the model's
    M_FolderDAO otherFolder = folder(other, "OF");
    M_EntityTableDAO otherTable = table(otherFolder, "OT");
    (void)column(other, otherTable, "o1");
    (void)table(f, "NoColumns");
    M_NormalColumnDAO a1 = column(v1, a, "a1"), a2 = column(v1, a, "a2", 1);
    (void)column(v1, b, "b1");
    M_FolderDAO sub;
    sub._name = "Sub";
    ASSERT_TRUE(f.addM_SubFolderDAO(&sub).ok());
    M_EntityTableDAO s = table(sub, "S");
    (void)column(v1, s, "s1");
    ASSERT_TRUE(gone.delself().ok());  // its links stay behind
    M_EntityModelDAO* next = nullptr;
    ASSERT_TRUE(v1.upgradeNewVersion(next).ok());
    const std::unique_ptr<M_EntityModelDAO> v2(next);
    (void)column(*v2, b, "b2");
    s._delVersion = 2;  // ended in version 2, still linked to it
    ASSERT_TRUE(s.save().ok());
    for (M_NormalColumnDAO* changed : {&a2, &a1}) {
        changed->_dataType = 3;
        ResultMsg rm = changed->reviseInModel(v2.get());
        ASSERT_TRUE(rm.ok()) << utf8(rm.rMsg);
    }
    M_EntityModelDAO dictionary = model("D", ENTITY_MODEL_TYPE_DICTIONARY);
    M_FolderDAO df = folder(dictionary, "DF");
    M_EntityTableDAO dt = table(df, "DT");
    (void)column(dictionary, dt, "d1");
    const M_EntityModelDAO empty = model("E");

    const struct {
        const char* what;
        int model;
        const char* shown;  // tables and their columns, in order
    } cases[] = {{"version 1", v1._ID, "A:a1,a2 B:b1 NoColumns: S:s1"},
                 {"version 2", v2->_ID, "A:a1,a2 B:b1,b2 NoColumns:"},
                 {"dictionary model", dictionary._ID, "DT:d1"},
                 {"model without tables", empty._ID, ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ModelVersionRecords bulk, drawn;
        // Read first: the getters remove the links they pass over. The
        // drawn members before all: the full read after it reads them all.
        ASSERT_TRUE(ModelVersionRecords::read(c.model, drawn, ColumnMembers::Drawn).ok());
        ResultMsg rm = ModelVersionRecords::read(c.model, bulk);
        ASSERT_TRUE(rm.ok()) << utf8(rm.rMsg);
        M_EntityModelDAO m = *findByID<M_EntityModelDAO>(c.model);
        EXPECT_EQ(recordFields(bulk.model), recordFields(m));

        std::list<M_EntityTableDAO*> tables;
        ASSERT_TRUE(m.getEntityTableList(tables).ok());
        std::vector<std::string> columns, bulkColumns;
        for (M_EntityTableDAO* t : tables) {
            std::list<M_NormalColumnDAO*> listed;
            ASSERT_TRUE(t->getNormalColumnDAOList(&m, listed).ok());
            columns.push_back(t->_name + ":");
            for (const std::string& fields : fieldsOf(listed))
                columns.push_back(fields);
        }
        std::string shown;
        for (const auto& t : bulk.tables) {
            bulkColumns.push_back(t->_name + ":");
            for (const std::string& fields : fieldsOf(bulk.columns.at(t->_ID)))
                bulkColumns.push_back(fields);
            shown += (shown.empty() ? "" : " ") + t->_name + ":";
            for (const auto& column : bulk.columns.at(t->_ID))
                shown += (shown.back() == ':' ? "" : ",") + column->_name;
        }
        EXPECT_EQ(shown, c.shown);
        EXPECT_EQ(bulk.columns.size(), bulk.tables.size());
        // Read with the drawn members: those as read in full, the others 0.
        EXPECT_EQ(fieldsOf(drawn.tables), fieldsOf(bulk.tables));
        ASSERT_EQ(drawn.columns.size(), bulk.columns.size());
        const auto drawnOf = [](const M_NormalColumnDAO& x) {
            return std::tie(x._ID, x._t_M_EntityTableID, x._name, x._displayName, x._innerName,
                            x._dataType, x._fkTableID, x._isPk, x._isFindKey, x._isIndex, x._isOnly,
                            x._addVersion, x._delVersion, x._version);
        };
        for (const auto& [table, full] : bulk.columns) {
            const auto& few = drawn.columns.at(table);
            ASSERT_EQ(few.size(), full.size());
            for (std::size_t i = 0; i < full.size(); ++i) {
                M_NormalColumnDAO expected = *full[i];
                expected._version = 0;
                EXPECT_EQ(drawnOf(*few[i]), drawnOf(expected));
            }
        }
        ModelVersionRecords again;  // from records with fewer members: read whole
        ASSERT_TRUE(ModelVersionRecords::readAgain(c.model, drawn, {}, again).ok());
        for (const auto& [table, full] : bulk.columns)
            EXPECT_EQ(fieldsOf(again.columns.at(table)), fieldsOf(full));
        EXPECT_EQ(fieldsOf(bulk.tables), fieldsOf(tables));
        EXPECT_EQ(bulkColumns, columns);

        std::list<M_FolderDAO*> folders;
        ASSERT_TRUE(M_FolderDAO::FindByEntityModelID(c.model, folders).ok());
        std::vector<std::string> folderTables, bulkFolderTables;
        for (M_FolderDAO* folder : folders) {
            std::list<M_EntityTableDAO*> held;
            ASSERT_TRUE(folder->getM_EntityTableDAOList(held).ok());
            folderTables.push_back(folder->_name + ":");
            for (const std::string& fields : fieldsOf(held))
                folderTables.push_back(fields);
        }
        for (const auto& folder : bulk.folders) {
            bulkFolderTables.push_back(folder->_name + ":");
            for (const std::string& fields : fieldsOf(bulk.folderTables.at(folder->_ID)))
                bulkFolderTables.push_back(fields);
        }
        EXPECT_EQ(fieldsOf(bulk.folders), fieldsOf(folders));
        EXPECT_EQ(bulk.folderTables.size(), bulk.folders.size());
        EXPECT_EQ(bulkFolderTables, folderTables);
    }
    ModelVersionRecords none;
    EXPECT_EQ(ModelVersionRecords::read(empty._ID + 1000, none).rCode, RUN_FAIL);
}

TEST_F(ProjectModel, FindByNameMaxVersionCopiesTheHighest) {
    ResultMsg rm;
    for (int version : {2, 7, 3})
        (void)versioned("N", version, version == 7, rm);
    M_EntityModelDAO* best = new M_EntityModelDAO();  // replaced, not leaked
    EXPECT_TRUE(M_EntityModelDAO::FindByNameMaxVersion("N", best).ok());
    EXPECT_EQ(std::make_tuple(best->_version, best->_isVersionLocked, best->_rProjectID,
                              best->_DAOType, best->_name, best->_ID > 0),
              std::make_tuple(7, 1, project()._ID, DAO_TYPE_OBJECT, std::string("N"), true));
    EXPECT_TRUE(M_EntityModelDAO::FindByNameMaxVersion("Nope", best).ok());
    EXPECT_EQ(std::make_pair(best->_ID, best->_name), std::make_pair(0, std::string("0")));
    delete best;
}

TEST_F(ProjectModel, RemovedFolderParksItsTablesOrRollsBack) {
    M_EntityModelDAO m = model("R");
    M_FolderDAO f = folder(m, "F");
    M_EntityTableDAO t1 = table(f, "T1"), t2 = table(f, "T2"), t3 = table(f, "T3");
    std::unique_ptr<M_FolderDAO> temp = tempOf(m);
    ASSERT_NE(temp, nullptr);
    fault("refuse", "BEFORE INSERT", "T_M_R_FolderTable",
          "NEW.\"T_M_FolderID\" = " + std::to_string(temp->_ID) +
              " AND NEW.\"T_M_EntityTableID\" = " + std::to_string(t3._ID));
    ResultMsg rm = m.removeM_FolderDAO(&f);
    EXPECT_NE(rm.rCode, RUN_SUCCESS);
    EXPECT_EQ(
        rm.rMsg.rfind("ERROR：从待移除的数据模块中，移除数据类后添加至临时数据模块中失败。", 0), 0u)
        << utf8(rm.rMsg);
    const Names back = tablesOf(f);  // T3 may have lost its row in the failed step
    ASSERT_GE(back.size(), 2u);
    EXPECT_EQ(Names(back.begin(), back.begin() + 2), (Names{"T1", "T2"}));
    EXPECT_TRUE(tablesOf(*temp).empty());
    EXPECT_EQ(f._t_M_EntityModelID, m._ID);

    unfault("refuse", "T_M_R_FolderTable");
    M_FolderDAO g = folder(m, "G");
    M_EntityTableDAO u1 = table(g, "U1"), u2 = table(g, "U2");
    ASSERT_TRUE(m.removeM_FolderDAO(&g).ok());
    EXPECT_EQ(tablesOf(*temp), (Names{"U1", "U2"}));
    EXPECT_EQ(g._t_M_EntityModelID, -1);
    std::list<M_FolderDAO*> roots;
    ASSERT_TRUE(m.getRootM_FolderDAOList(roots).ok());
    EXPECT_EQ(namesOf(roots), (Names{"TempFolder", "F"}));
}

}  // namespace arxtest
