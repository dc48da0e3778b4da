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
