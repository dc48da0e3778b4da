#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "CommonErrorCode.h"
#include "DAOFactoryRegistry.h"
#include "InstanceDataManager.h"
#include "MRDSession.h"
#include "M_EntityTableMapper.h"
#include "M_R_FolderTableDAO.h"
#include "M_R_ModelTableDAO.h"
#include "M_SceneInfoDAO.h"
#include "dao/RecordFixture.h"
#include "support/RawDb.h"

namespace arxtest {

namespace {

// A table whose removal from a model writes a prepared report, so that the
// folder's filtering of the report is seen apart from what a real removal
// reports. Finders make it when its mapper is the one registered.
std::string preparedReport;
struct ReportingTable : M_EntityTableDAO {
    struct Loader : M_EntityTableMapper {
        DAO* doLoad(ITableData& row) override {
            auto* table = new ReportingTable;
            table->_ID = StringHelper::string2int(row.getColValue("id"));
            table->_name = row.getColValue("Name");
            return table;
        }
    };
    static DAO* create() { return new ReportingTable; }
    Mapper* createMapper() override { return new Loader; }
    ResultMsg delFromEntityModel(M_EntityModelDAO*, std::string& report) override {
        if (_name == "Reporting") report += preparedReport;
        return ResultMsg();
    }
};

std::string id(const DAO& object) {
    return StringHelper::int2String(object._ID);
}

}  // namespace

class FolderTest : public RecordFixture {
protected:
    // The configuration database as another connection sees it, once the
    // inner steps' deferred writes are committed.
    std::string raw(const std::string& sql) {
        EXPECT_TRUE(MeridianNew::getCurrMRDConfigIDM()->getPSession()->commit().ok());
        return rawScalar(config, sql);
    }
    // "model links,folder links" of the table.
    std::string links(const DAO& table) {
        const std::string where = " WHERE \"T_M_EntityTableID\" = " + id(table);
        return raw("SELECT (SELECT count(*) FROM \"T_M_R_ModelTable\"" + where +
                   ") || ',' || (SELECT count(*) FROM \"T_M_R_FolderTable\"" + where + ")");
    }
    M_FolderDAO sub(M_FolderDAO& parent, const std::string& name) {
        M_FolderDAO f;
        f._name = name;
        EXPECT_TRUE(parent.addM_SubFolderDAO(&f).ok());
        return f;
    }
    static int count(const std::string& text, const std::string& part) {
        int n = 0;
        for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
            ++n;
        return n;
    }
};

TEST_F(FolderTest, AddingATableStoresItInTheModelVersionWithOneLinkOfEachKind) {
    M_EntityModelDAO m = model("M", 0, 3);
    M_FolderDAO f = folder(m, "F");
    M_EntityTableDAO t;
    t._name = "T";
    for (int call = 0; call < 2; ++call) {
        ResultMsg rm = f.addM_EntityTableDAO(&t);
        ASSERT_EQ(rm.rCode, RUN_SUCCESS) << utf8(rm.rMsg);
        EXPECT_TRUE(t._addVersion == 3 && t._version == 3);
        EXPECT_EQ(links(t), "1,1");
    }
    EXPECT_EQ(count(logText(),
                    "[RUN]: M_FolderDAO::addM_EntityTableDAO(): folderName = F  "
                    "tableName = T"),
              2);
}

TEST_F(FolderTest, RefusalsAndRemovalKeepTheTableRow) {
    M_EntityModelDAO m = model("M");
    M_FolderDAO f = folder(m, "F");
    M_FolderDAO orphan;
    orphan._t_M_EntityModelID = 999;
    M_EntityTableDAO unsaved;
    struct Case {
        ResultMsg rm;
        std::string message;
    } cases[] = {
        {f.addM_EntityTableDAO(nullptr), "错误：待添加数据类指针为NULL,不可用。"},
        {orphan.addM_EntityTableDAO(&unsaved), "错误：找不到所属数据 模型信息"},
        {f.removeM_EntityTableDAO(nullptr), "错误：待移除数据类指针为NULL,不可用。"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.rm.rCode, RUN_FAIL);
        EXPECT_EQ(utf8(c.rm.rMsg), utf8(c.message));
    }
    EXPECT_EQ(count(logText(), "[ERROR Msg]:错误：找不到所属数据 模型信息"), 1);
    // A null child of a link is refused by the relation tool, never read.
    M_EntityTableDAO linked = table(f, "L");
    for (const ResultMsg& rm :
         {project().addEntityModel(nullptr), m.addM_FolderDAO(nullptr),
          m.removeM_FolderDAO(nullptr), f.addM_SubFolderDAO(nullptr), f.removeSubFolderDAO(nullptr),
          f.addSceneInfo(nullptr), linked.addSceneInfo(&m, nullptr),
          linked.addFindByInterfaceDAO(nullptr), linked.removeFindByInterfaceDAO(nullptr),
          linked.addDelByInterfaceDAO(nullptr), linked.removeDelByInterfaceDAO(nullptr)}) {
        EXPECT_EQ(rm.rCode, COM_ERR_ARGUMENT) << utf8(rm.rMsg);
    }
    M_EntityTableDAO t = table(f, "T");
    ResultMsg none = f.removeM_EntityTableDAO(&unsaved);
    EXPECT_TRUE(none.ok() && none.rMsg.empty());
    EXPECT_EQ(links(t), "1,1");
    ASSERT_TRUE(f.removeM_EntityTableDAO(&t).ok());
    EXPECT_EQ(links(t), "0,0");
    EXPECT_EQ(raw("SELECT count(*) FROM \"T_M_EntityTable\" WHERE \"id\" = " + id(t)), "1");
}

TEST_F(FolderTest, TreeQueriesAndDeletionReachEveryDepth) {
    M_EntityModelDAO m = model("M");
    M_FolderDAO a = folder(m, "A"), other = folder(m, "Other");
    M_FolderDAO b = sub(a, "B"), detached = sub(a, "Detached");
    M_FolderDAO c = sub(b, "C");
    ASSERT_TRUE(a.removeSubFolderDAO(&detached).ok());  // parent key -1: a root again
    M_EntityTableDAO deep = table(c, "Deep");
    M_EntityTableDAO loose;
    loose._name = "Loose";
    ASSERT_TRUE(loose.save().ok());
    EXPECT_TRUE(a.isHaveEntityTable(deep._ID));
    EXPECT_TRUE(b.isHaveEntityTable(deep._ID));
    EXPECT_FALSE(other.isHaveEntityTable(deep._ID));
    EXPECT_FALSE(a.isHaveEntityTable(loose._ID));

    Owned<M_FolderDAO> roots;
    ASSERT_TRUE(M_FolderDAO::FindRootFolderByEntityModelID(m._ID, roots.items).ok());
    std::string names;
    for (const M_FolderDAO* r : roots.items)
        names += r->_name + ",";
    EXPECT_EQ(names, "TempFolder,A,Other,Detached,");

    ASSERT_TRUE(a.delself(0).ok());
    EXPECT_EQ(raw(joinedSql(config, "\"Name\"", "\"T_M_Folder\"")), "TempFolder,Other,Detached");
    EXPECT_EQ(links(deep), "0,0");
}

TEST_F(FolderTest, PairFindersDeleteDuplicatesAndListsDropDanglingLinks) {
    M_EntityModelDAO m = model("M");
    M_FolderDAO f = folder(m, "F");
    M_EntityTableDAO t = table(f, "T");
    for (int copy = 0; copy < 2; ++copy) {
        M_R_ModelTableDAO ml;
        ml._t_M_EntityModelID = m._ID;
        ml._t_M_EntityTableID = t._ID;
        M_R_FolderTableDAO fl;
        fl._t_M_FolderID = f._ID;
        fl._t_M_EntityTableID = t._ID;
        ASSERT_TRUE(ml.save().ok() && fl.save().ok());
    }
    const std::string duplicateLine =
        "RUN:M_R_ModelTableDAO::FindByModelIDAndTableID:pod->delself()";
    for (int call = 0; call < 2; ++call) {
        M_R_ModelTableDAO* ml = nullptr;
        M_R_FolderTableDAO* fl = nullptr;
        EXPECT_TRUE(M_R_ModelTableDAO::FindByModelIDAndTableID(m._ID, t._ID, ml).ok());
        EXPECT_TRUE(M_R_FolderTableDAO::FindByFolderIDAndTableID(f._ID, t._ID, fl).ok());
        std::unique_ptr<DAO> ownedModelLink(ml), ownedFolderLink(fl);
        ASSERT_TRUE(ml != nullptr && fl != nullptr);
        EXPECT_EQ(links(t), "1,1");
        EXPECT_EQ(count(logText(), duplicateLine), 2);
    }
    Owned<M_R_ModelTableDAO> byModel;
    ASSERT_TRUE(M_R_ModelTableDAO::FindByT_M_EntityModelID(double(m._ID), byModel.items).ok());
    EXPECT_EQ(byModel.items.size(), 1u);

    M_R_FolderTableDAO dangling;
    dangling._t_M_FolderID = f._ID;
    dangling._t_M_EntityTableID = 9999;
    ASSERT_TRUE(dangling.save().ok());
    Owned<M_EntityTableDAO> tables;
    ASSERT_TRUE(f.getM_EntityTableDAOList(tables.items).ok());
    ASSERT_EQ(tables.items.size(), 1u);
    EXPECT_EQ(tables.items.front()->_ID, t._ID);
    EXPECT_EQ(raw("SELECT count(*) FROM \"T_M_R_FolderTable\" WHERE \"id\" = " + id(dangling)),
              "0");
}

TEST_F(FolderTest, DeletingReportsOnlyWhatLayOutsideTheTree) {
    M_EntityModelDAO m = model("M");
    M_FolderDAO f = folder(m, "F"), elsewhere = folder(m, "Elsewhere");
    M_FolderDAO s = sub(f, "S");
    M_EntityTableDAO reporting = table(f, "Reporting");
    M_EntityTableDAO in = table(s, "In"), out = table(elsewhere, "Out");
    M_NormalColumnDAO inColumn = column(m, in, "A"), outColumn = column(m, out, "B");
    M_SceneInfoDAO scene;
    ASSERT_TRUE(f.addSceneInfo(&scene).ok());
    preparedReport =
        "3," + id(inColumn) + "#3," + id(outColumn) + "#2," + id(in) + "#2," + id(out) + "#9,1#";
    DAOFactoryRegistry::registerClass("M_EntityTableDAO", &ReportingTable::create);
    std::string report = "0,0#";
    ResultMsg rm = f.delself(report, 0);
    QmsRecordClasses::registerAll();
    ASSERT_EQ(rm.rCode, RUN_SUCCESS) << utf8(rm.rMsg);
    EXPECT_EQ(report, "0,0#3," + id(outColumn) + "#2," + id(out) + "#9,1#6," + id(scene) + "#");
    EXPECT_EQ(
        raw("SELECT count(*) FROM \"T_M_Folder\" WHERE \"id\" IN (" + id(f) + "," + id(s) + ")"),
        "0");
    EXPECT_EQ(raw("SELECT count(*) FROM \"T_M_SceneInfo_2\""), "0");
}

TEST_F(FolderTest, SceneRecordsRoundTripAndAreFoundByContainer) {
    int M_SceneInfoDAO::*const fields[] = {
        &M_SceneInfoDAO::_dataObjectId,  &M_SceneInfoDAO::_sceneType, &M_SceneInfoDAO::_parentID,
        &M_SceneInfoDAO::_parentType,    &M_SceneInfoDAO::_x,         &M_SceneInfoDAO::_y,
        &M_SceneInfoDAO::_entityModelID, &M_SceneInfoDAO::_height,    &M_SceneInfoDAO::_width};
    M_SceneInfoDAO s;
    for (int i = 0; i < 9; ++i)
        s.*fields[i] = 10 + i;
    ASSERT_TRUE(s.save().ok());
    EXPECT_EQ(
        raw("SELECT \"MHeight_3\" || ',' || \"MWidth_3\" FROM \"T_M_SceneInfo_2\" WHERE \"id\" = " +
            id(s)),
        "17,18");
    M_SceneInfoDAO* loaded = nullptr;
    ASSERT_TRUE(M_SceneInfoDAO::FindByID(s._ID, loaded).ok());
    std::unique_ptr<M_SceneInfoDAO> owned(loaded);
    ASSERT_NE(loaded, nullptr);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(loaded->*fields[i], 10 + i) << i;

    M_EntityModelDAO m = model("M");
    M_FolderDAO f = folder(m, "F");
    M_EntityTableDAO t = table(f, "T");
    M_SceneInfoDAO inFolder, inTable;
    inFolder._entityModelID = 77;
    ASSERT_TRUE(f.addSceneInfo(&inFolder).ok() && t.addSceneInfo(&m, &inTable).ok());
    Owned<M_SceneInfoDAO> a, b, c, d;
    c.items.push_back(new M_SceneInfoDAO);  // lists are appended to
    for (const ResultMsg& rm :
         {f.getSceneInfoList(a.items),  // whatever the model
          M_SceneInfoDAO::FindByModelIDAndParentTypeAndParentID(m._ID, 2, t._ID, b.items),
          M_SceneInfoDAO::FindByEntityModelID(4242, c.items),
          M_SceneInfoDAO::FindByEntityModelID(m._ID, d.items)})
        EXPECT_TRUE(rm.ok()) << utf8(rm.rMsg);
    for (const Owned<M_SceneInfoDAO>* found : {&a, &b, &c, &d})
        EXPECT_EQ(found->items.size(), 1u);
    EXPECT_EQ(d.items.front()->_ID, inTable._ID);
    EXPECT_EQ(b.items.front()->_ID, inTable._ID);
}

}  // namespace arxtest
