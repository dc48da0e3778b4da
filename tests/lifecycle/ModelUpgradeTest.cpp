#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <map>

#include "InstanceDataManager.h"
#include "M_SceneInfoDAO.h"
#include "dao/RecordFixture.h"
#include "support/RawDb.h"
#include "support/Waiting.h"

namespace arxtest {

using Ids = std::map<std::string, int>;

// A model named `name` (display name Plan) with root folders A (A1, below it
// A1a holding T1) and B (holding T2), a scene record showing A1 in A's view
// and one showing T2.
class ModelUpgrade : public RecordFixture {
protected:
    M_EntityModelDAO build(const std::string& name) {
        M_EntityModelDAO m;
        m._name = name;
        m._displayName = "Plan";
        m._createTime = "2001-02-03 04:05:06";
        m._isReleased = 1;
        EXPECT_TRUE(project().addEntityModel(&m).ok());
        M_FolderDAO a = folder(m, "A"), b = folder(m, "B"), a1, a1a;
        a1._name = "A1";
        a1a._name = "A1a";
        EXPECT_TRUE(a.addM_SubFolderDAO(&a1).ok() && a1.addM_SubFolderDAO(&a1a).ok());
        table(a1a, "T1");
        M_EntityTableDAO t2 = table(b, "T2");
        M_SceneInfoDAO inFolder, inTable;
        std::tie(inFolder._sceneType, inFolder._dataObjectId, inFolder._entityModelID) =
            std::make_tuple(SCENE_KIND_FOLDER, a1._ID, m._ID);
        std::tie(inTable._sceneType, inTable._dataObjectId) =
            std::make_tuple(SCENE_KIND_TABLE, t2._ID);
        EXPECT_TRUE(a.addSceneInfo(&inFolder).ok() && t2.addSceneInfo(&m, &inTable).ok());
        return m;
    }
    std::string raw(const std::string& sql) { return rawScalar(config, sql); }
};

// "name[tables](sub-folders)" of the folders below `parent` (the model's root
// folders when 0); `ids` receives the _ID of every folder and table by name.
std::string shape(int modelID, int parent, Ids& ids) {
    Owned<M_FolderDAO> folders;
    (void)(parent == 0 ? M_FolderDAO::FindRootFolderByEntityModelID(modelID, folders.items)
                       : M_FolderDAO::FindByParentFolderID(parent, folders.items));
    std::string out;
    for (M_FolderDAO* f : folders.items) {
        Owned<M_EntityTableDAO> tables;
        (void)f->getM_EntityTableDAOList(tables.items);
        out += f->_name + "[";
        for (M_EntityTableDAO* t : tables.items) {
            out += t->_name;
            ids[t->_name] = t->_ID;
        }
        out += "](" + shape(modelID, f->_ID, ids) + ")";
        ids[f->_name] = f->_ID;
    }
    return out;
}

TEST_F(ModelUpgrade, MakesTheNextVersionWithTheTreeOnTheSameTablesAndTheScenes) {
    M_EntityModelDAO m = build("M");
    Ids old, now;
    const std::string tree = shape(m._ID, 0, old);
    EXPECT_EQ(tree, "TempFolder[]()A[](A1[](A1a[T1]()))B[T2]()");

    M_EntityModelDAO* out = new M_EntityModelDAO;  // replaced: ASan sees a leak otherwise
    ResultMsg rm = m.upgradeNewVersion(out);
    std::unique_ptr<M_EntityModelDAO> next(out);
    ASSERT_EQ(rm.rCode, RUN_SUCCESS) << utf8(rm.rMsg);
    auto stored = findByID<M_EntityModelDAO>(next->_ID);
    ASSERT_NE(stored, nullptr);
    for (const M_EntityModelDAO* n : {next.get(), stored.get()})
        EXPECT_EQ(std::tie(n->_version, n->_displayName, n->_name, n->_updateTime,
                           n->_isVersionLocked, n->_isReleased, n->_rProjectID),
                  std::make_tuple(2, "Plan_2", "M", m._createTime, 0, 0, project()._ID));
    EXPECT_NE(stored->_createTime, m._createTime);
    EXPECT_EQ(m._isVersionLocked, 1);
    EXPECT_EQ(shape(next->_ID, 0, now), tree);  // new folders (counted below), the same tables
    EXPECT_EQ(std::make_pair(now["T1"], now["T2"]), std::make_pair(old["T1"], old["T2"]));
    const std::string ofNew = " WHERE \"T_M_EntityModelID\" = " + std::to_string(next->_ID);
    EXPECT_EQ(raw("SELECT count(*) || '/' || count(CASE WHEN \"FolderType\" = 2 THEN 1 END) FROM "
                  "\"T_M_Folder\"" +
                  ofNew) +
                  "/" + raw("SELECT count(*) FROM \"T_M_R_ModelTable\"" + ofNew),
              "5/1/2");  // one temporary folder, the two tables
    EXPECT_EQ(raw("SELECT \"IsVersionLocked\" FROM \"T_M_EntityModel\" WHERE \"Version\" = 1"),
              "1");
    Owned<M_SceneInfoDAO> scenes;
    ASSERT_TRUE(M_SceneInfoDAO::FindByEntityModelID(next->_ID, scenes.items).ok());
    ASSERT_EQ(scenes.items.size(), 2u);
    for (const M_SceneInfoDAO* s : scenes.items) {
        const bool isFolder = s->_sceneType == SCENE_KIND_FOLDER;
        EXPECT_EQ(s->_dataObjectId, isFolder ? now["A1"] : old["T2"]);
        EXPECT_EQ(s->_parentID, isFolder ? now["A"] : old["T2"]);
    }
}

// Each refusal, and what it leaves: the old version's lock, the models of its
// name, the old tree untouched and nothing of a dropped new version.
TEST_F(ModelUpgrade, RefusalsLeaveTheLockAndTheStoredModelsAsTheOutcomeSays) {
    M_EntityModelDAO unsaved;
    M_EntityModelDAO* out = nullptr;
    ResultMsg rm = unsaved.upgradeNewVersion(out);
    EXPECT_EQ(std::tie(rm.rCode, rm.rMsg, unsaved._isVersionLocked),
              std::make_tuple(RUN_FAIL, "锁定失败！当前数据模型ID<=0.", 0));
    EXPECT_EQ(out, nullptr);

    enum Prepare { None, UpgradedOnce, UnlockedV5Beside };
    const std::string added = "添加数据模型记录失败！",
                      sub = "ERROR：在新数据模型中增加子数据模块失败。";
    const struct {
        Prepare prepare;
        std::string faultWhen, faultTable, faultCondition, message, names, locked;
    } cases[] = {
        {UpgradedOnce, "", "", "", added, "Plan,Plan_2", "1"},
        {UnlockedV5Beside, "", "", "", added, "Plan,Plan_5", "0"},
        {None, "BEFORE UPDATE", "T_M_EntityModel", "OLD.\"DisplayName\" LIKE '%_new'",
         "更新数据模型新名称失败！", "Plan,Plan_new", "0"},
        {None, "BEFORE INSERT", "T_M_Folder", "NEW.\"Name\" = 'A1'",
         sub + "ERROR：在新数据模型中递归增加子数据模块失败。", "Plan", "1"},
        {None, "BEFORE INSERT", "T_M_R_FolderTable", "1 = 1",
         sub + "ERROR：在新数据模型中递归增加子数据模块的下属模块失败。ERROR：在新数据模型中递归增"
               "加子数据类失败。",
         "Plan", "1"},
        {None, "BEFORE INSERT", "T_M_SceneInfo_2", "1 = 1",
         "ERROR：升版场景信息失败。 场景 ID = ", "Plan", "1"},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string name = "M" + std::to_string(++n);
        SCOPED_TRACE(name + ": " + utf8(c.message));
        M_EntityModelDAO m = build(name), v5;
        const std::string id = std::to_string(m._ID);
        if (c.prepare == UpgradedOnce) {
            M_EntityModelDAO* first = nullptr;
            ASSERT_TRUE(m.upgradeNewVersion(first).ok());
            delete first;
        } else if (c.prepare == UnlockedV5Beside) {
            std::tie(v5._name, v5._displayName, v5._version) = std::make_tuple(name, "Plan_5", 5);
            ASSERT_TRUE(project().addEntityModel(&v5).ok());
        }
        Ids before, after;
        const std::string tree = shape(m._ID, 0, before);
        if (!c.faultWhen.empty()) {
            ASSERT_TRUE(injectFault(config, "fault", c.faultWhen, c.faultTable, c.faultCondition));
            ASSERT_TRUE(MeridianNew::getCurrMRDConfigIDM()->initialMetaDataCache().ok());
        }
        out = new M_EntityModelDAO;
        M_EntityModelDAO* const held = out;
        rm = m.upgradeNewVersion(out);
        std::unique_ptr<M_EntityModelDAO> owned(out);  // a deleted `held` shows as a double free
        if (!c.faultWhen.empty()) {
            ASSERT_TRUE(removeFault(config, "fault", c.faultTable));
        }

        EXPECT_NE(rm.rCode, RUN_SUCCESS);
        EXPECT_EQ(utf8(rm.rMsg.substr(0, c.message.size())), utf8(c.message)) << utf8(rm.rMsg);
        EXPECT_EQ(out, held);
        EXPECT_EQ(raw("SELECT \"IsVersionLocked\" FROM \"T_M_EntityModel\" WHERE \"id\" = " + id),
                  c.locked);
        EXPECT_EQ(raw(joinedSql(config, "\"DisplayName\"",
                                "\"T_M_EntityModel\" WHERE \"Name\" = '" + name + "'")),
                  c.names);
        EXPECT_EQ(std::make_pair(shape(m._ID, 0, after), after), std::make_pair(tree, before));
        EXPECT_EQ(m._isVersionLocked, 1);
        // Nothing of a dropped new version: no folder, model link or folder link of it.
        EXPECT_EQ(raw("SELECT (SELECT count(*) FROM \"T_M_Folder\" WHERE \"T_M_EntityModelID\" NOT "
                      "IN (SELECT \"id\" FROM \"T_M_EntityModel\")) + (SELECT count(*) FROM "
                      "\"T_M_R_ModelTable\" WHERE \"T_M_EntityModelID\" NOT IN (SELECT \"id\" "
                      "FROM \"T_M_EntityModel\")) + (SELECT count(*) FROM \"T_M_R_FolderTable\" "
                      "WHERE \"T_M_FolderID\" NOT IN (SELECT \"id\" FROM \"T_M_Folder\"))"),
                  "0");
    }
}

// Two processes upgrade the version both of them read, at once: one new
// version, and on either backend the other is refused alike (the version it
// read is no longer the highest), the first one's lock kept.
TEST_F(ModelUpgrade, OfTwoProcessesUpgradingOneVersionOneIsRefused) {
    M_EntityModelDAO m = build("M");
    M_FolderDAO more = folder(m, "C");  // an upgrade long enough for the other to start
    for (int i = 0; i < 20; ++i)
        table(more, "C" + std::to_string(i));
    ASSERT_TRUE(MeridianNew::shutdown().ok());  // no connection is shared with the children
    int gate[2], report[2];
    ASSERT_EQ(pipe(gate) | pipe(report), 0);
    pid_t children[2];
    for (int k = 0; k < 2; ++k) {
        children[k] = fork();
        ASSERT_GE(children[k], 0);
        if (children[k] != 0) continue;
        close(gate[1]);
        ResultMsg rm = MeridianNew::startup(config, dir.file("w" + std::to_string(k) + ".db"), 0);
        M_EntityModelDAO *read = nullptr, *next = nullptr;
        if (rm.ok()) rm = M_EntityModelDAO::FindByID(m._ID, read);
        char go;
        if (read != nullptr && ::read(gate[0], &go, 1) == 0) rm = read->upgradeNewVersion(next);
        const std::string line = (rm.ok() ? "ok" : rm.rMsg) + "\n";
        _exit(MeridianNew::shutdown().ok() && write(report[1], line.data(), line.size()) > 0 ? 0
                                                                                             : 1);
    }
    close(gate[0]);
    close(gate[1]);  // both go
    close(report[1]);
    for (pid_t child : children) {
        int status = -1;
        EXPECT_TRUE(reap(child, Seconds(300), status));
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::string lines(512, '\0');
    lines.resize(std::max<ssize_t>(0, ::read(report[0], lines.data(), lines.size())));
    close(report[0]);
    const std::string refused =
        "添加数据模型记录失败！最大版本号对应数据模型，未定版。不能继续添加新的数据模型。\n";
    EXPECT_TRUE(lines == "ok\n" + refused || lines == refused + "ok\n") << utf8(lines);
    EXPECT_EQ(raw(joinedSql(config, "\"Version\" || ':' || \"IsVersionLocked\"",
                            "\"T_M_EntityModel\" WHERE \"Name\" = 'M'")),
              "1:1,2:0");
    ASSERT_TRUE(MeridianNew::startup(config, work, 0).ok());
}

}  // namespace arxtest
