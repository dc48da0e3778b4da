#include "IdentifierMap.h"
#include "M_DelByInterfaceDAO.h"
#include "M_FindByInterfaceDAO.h"
#include "M_SceneInfoDAO.h"
#include "dao/RecordFixture.h"
#include "support/RawDb.h"

namespace arxtest {

class ModelCopy : public RecordFixture {
protected:
    std::string raw(const std::string& sql) { return rawScalar(config, sql); }
    /// Every row of each metadata table, in identifier order, as text (on the
    /// server: the text of the row's record).
    std::vector<std::string> rows() {
        std::vector<std::string> out;
        for (std::string t : {"T_M_EntityModel", "T_M_Folder", "T_M_EntityTable",
                              "T_M_NormalColumn", "T_M_R_FolderTable", "T_M_R_ModelTable",
                              "T_M_FindByInterface_2", "T_M_DelByInterface_2", "T_M_SceneInfo_2"})
            out.push_back(backendAt(config).tableRows(config, t));
        return out;
    }
    /// The one table linked to the model.
    std::unique_ptr<M_EntityTableDAO> tableOf(const M_EntityModelDAO& m) {
        return findByID<M_EntityTableDAO>(
            std::stoi(raw("SELECT \"T_M_EntityTableID\" FROM \"T_M_R_ModelTable\" WHERE "
                          "\"T_M_EntityModelID\" = " +
                          id(m))));
    }
    static std::string id(const DAO& d) { return std::to_string(d._ID); }
    std::string physicalTables() { return backendAt(config).tableCount(config); }
};

// Version 2 of S: folder A, sub-folder A1 holding T (c1; c2 refers to T; c3 gone
// in version 2), a query and a delete definition, a scene record of each kind.
TEST_F(ModelCopy, CopiesTheTreeIntoNewRecordsAndRewritesEveryReference) {
    M_EntityModelDAO s = model("S"), copy;
    s._version = 2;
    s._createTime = "2001-02-03 04:05:06";
    s._description = "d";
    ASSERT_TRUE(s.save().ok());
    M_FolderDAO a = folder(s, "A"), a1;
    a1._name = "A1";
    ASSERT_TRUE(a.addM_SubFolderDAO(&a1).ok());
    M_EntityTableDAO t = table(a1, "T");
    M_NormalColumnDAO c1 = column(s, t, "c1"), c2 = column(s, t, "c2"), c3 = column(s, t, "c3");
    c2._fkTableID = t._ID;
    c3._delVersion = 2;
    M_FindByInterfaceDAO q;
    q._paraList = id(c1) + ",x#" + id(c2) + ",y";
    q._sortAttributeList = id(c2) + "," + id(c1);
    M_DelByInterfaceDAO d;
    d._paraList = id(c2) + ",z";
    M_SceneInfoDAO inFolder, inTable;
    std::tie(inFolder._sceneType, inFolder._dataObjectId, inFolder._entityModelID) =
        std::make_tuple(SCENE_KIND_FOLDER, a1._ID, s._ID);
    std::tie(inTable._sceneType, inTable._dataObjectId) = std::make_tuple(SCENE_KIND_TABLE, t._ID);
    ASSERT_TRUE(c2.save().ok() && c3.save().ok() && t.addFindByInterfaceDAO(&q).ok() &&
                t.addDelByInterfaceDAO(&d).ok() && a.addSceneInfo(&inFolder).ok() &&
                t.addSceneInfo(&s, &inTable).ok());

    const std::vector<std::string> before = rows();
    const std::string tablesBefore = physicalTables();
    copy._name = "C";
    M_EntityModelDAO* target = &copy;
    ResultMsg rm = s.copyTo(target);
    ASSERT_EQ(rm.rCode, RUN_SUCCESS) << utf8(rm.rMsg);
    EXPECT_EQ(raw("SELECT \"Name\" || \"Version\" || \"UpdateTime\" || \"Description\" || "
                  "\"RProjectID\" FROM \"T_M_EntityModel\" WHERE \"id\" = " +
                  id(copy)),
              "C1" + s._createTime + "d" + id(project()));
    const std::vector<std::string> after = rows();
    // The source's rows, its lock included, stay as they were; new rows come after them.
    for (std::size_t i = 0; i < before.size(); ++i)
        EXPECT_EQ(after[i].substr(0, before[i].size()), before[i]) << i;
    EXPECT_EQ(physicalTables(), tablesBefore);  // no rows to copy outside dictionary models

    const std::string inCopy = " AND \"T_M_EntityModelID\" = " + id(copy);
    const std::string a1New =
        raw("SELECT \"id\" || '@' || \"T_M_FolderID\" FROM \"T_M_Folder\" "
            "WHERE \"Name\" = 'A1'" +
            inCopy);
    // Each folder of the copy as name<parent name (a parent of the same model), by _ID.
    const std::string tree =
        "f.\"Name\" || '<' || coalesce((SELECT p.\"Name\" FROM \"T_M_Folder\" p WHERE p.\"id\" = "
        "f.\"T_M_FolderID\" AND p.\"T_M_EntityModelID\" = f.\"T_M_EntityModelID\"), '')";
    EXPECT_EQ(
        raw(joinedSql(config, tree, "\"T_M_Folder\" f WHERE f.\"T_M_EntityModelID\" = " + id(copy),
                      "f.\"id\"")),
        "TempFolder<,A<,A1<A");

    auto tNew = tableOf(copy);
    ASSERT_NE(tNew, nullptr);
    EXPECT_EQ(std::tie(t._innerName, tNew->_innerName), std::make_tuple("T_2", "T_1"));
    EXPECT_EQ(
        raw("SELECT \"T_M_FolderID\" FROM \"T_M_R_FolderTable\" WHERE \"T_M_EntityTableID\" = " +
            id(*tNew)),
        a1New.substr(0, a1New.find('@')));
    Owned<M_NormalColumnDAO> columns;
    ASSERT_TRUE(tNew->getNormalColumnDAOList(&copy, columns.items).ok());
    ASSERT_EQ(columns.items.size(), 2u);  // c3 lies outside version 2
    const M_NormalColumnDAO &n1 = *columns.items.front(), &n2 = *columns.items.back();
    EXPECT_EQ(std::tie(n1._name, n2._name, n1._fkTableID, n2._fkTableID),
              std::make_tuple("c1", "c2", c1._fkTableID, tNew->_ID));

    EXPECT_EQ(
        raw(joinedSql(config, "\"MParaList_2\" || '|' || \"MSortAttributeList_2\"",
                      "\"T_M_FindByInterface_2\" WHERE \"Mt_M_EntityTableID_2\" = " + id(*tNew))),
        id(n1) + ",x#" + id(n2) + ",y|" + id(n2) + "," + id(n1));
    EXPECT_EQ(
        raw(joinedSql(config, "\"MParaList_2\"",
                      "\"T_M_DelByInterface_2\" WHERE \"Mt_M_EntityTableID_2\" = " + id(*tNew))),
        id(n2) + ",z");
    EXPECT_EQ(raw(joinedSql(config,
                            "\"MSceneType_2\" || ':' || \"MDataObjectId_2\" || '@' || "
                            "\"MParentID_2\"",
                            "\"T_M_SceneInfo_2\" WHERE \"MEntityModelID_2\" = " + id(copy))),
              "1:" + a1New + ",2:" + id(*tNew) + "@" + id(*tNew));
}

TEST_F(ModelCopy, RefusalsStoreNothing) {
    M_EntityModelDAO s = model("S"), orphan = s, saved, same, fresh;
    orphan._rProjectID = 4242;  // no such project
    saved._ID = 5;
    same._name = "S";
    ASSERT_TRUE(s.save().ok());  // commits the temporary folder for the other connection
    const std::tuple<M_EntityModelDAO*, M_EntityModelDAO*, std::string> cases[] = {
        {&s, nullptr, "目标数据模型指针不能为NULL，并需要将基础信息赋值."},
        {&s, &saved, "目标数据模型不能是保存过的，ID应小于等于0."},
        {&s, &same, "新数据模型不能与已有数据模型重名！"},
        {&orphan, &fresh, "所属项目未找到."},
    };
    for (auto [source, target, message] : cases) {
        ResultMsg rm = source->copyTo(target);
        EXPECT_EQ(std::make_pair(rm.rCode, utf8(rm.rMsg)), std::make_pair(RUN_FAIL, utf8(message)));
        EXPECT_EQ(raw("SELECT (SELECT count(*) FROM \"T_M_Folder\") || '/' || count(*) FROM "
                      "\"T_M_EntityModel\""),
                  "1/1");  // S and its temporary folder
    }
}

// Two columns of one name from different versions get one inner name in the
// copy: the second is refused as a second save of it would be.
TEST_F(ModelCopy, ColumnsThatWouldShareAnInnerNameAreRefused) {
    M_EntityModelDAO s = model("S"), copy;
    M_FolderDAO f = folder(s, "F");
    M_EntityTableDAO t = table(f, "T");
    M_NormalColumnDAO first = column(s, t, "x"), second = first;
    std::tie(second._ID, second._addVersion, s._version) = std::make_tuple(-1, 7, 7);
    ASSERT_TRUE(second.save().ok() && s.save().ok());
    copy._name = "C";
    M_EntityModelDAO* target = &copy;
    const ResultMsg rm = s.copyTo(target);
    EXPECT_EQ(utf8(rm.rMsg).rfind(utf8("ERROR：在新数据模型中增加属性失败。"), 0), 0u)
        << utf8(rm.rMsg);
}

// The rows of a dictionary model's tables go along (into a physical table of
// the copy's own); a model of another type copies none (see above).
TEST_F(ModelCopy, ADictionaryModelTakesItsRowsAlong) {
    M_EntityModelDAO m = model("D", ENTITY_MODEL_TYPE_DICTIONARY), copy;
    M_FolderDAO f = folder(m, "F");
    M_EntityTableDAO t = table(f, "Color");
    column(m, t, "A");
    column(m, t, "B");
    Owned<M_NormalColumnDAO> columns, exported;
    ASSERT_TRUE(t.getNormalColumnDAOList(&m, columns.items).ok());
    ASSERT_TRUE(t.importData(columns.items, {"red@#@1", "g@#@h"}).ok());
    const int tablesBefore = std::stoi(physicalTables());
    copy._name = "C";
    M_EntityModelDAO* target = &copy;
    ASSERT_TRUE(m.copyTo(target).ok());
    EXPECT_EQ(std::stoi(physicalTables()), tablesBefore + 1);
    auto tNew = tableOf(copy);
    ASSERT_NE(tNew, nullptr);
    std::list<std::string> lines;
    ASSERT_TRUE(tNew->exportData(exported.items, lines).ok());
    EXPECT_EQ(lines, (std::list<std::string>{"red@#@1", "g@#@h"}));
}

// Identifiers are looked up in the text as it was: a new identifier that is
// another old one is not replaced again, and 12 is no part of 112 or 1212.
TEST(IdentifierRewrite, ReplacesEachIdentifierOnceAndKeepsEveryOtherByte) {
    const IdentifierMap columns{{12, 112}, {112, 5}, {1, 12}};
    const Unmapped keep = Unmapped::Keep, minus = Unmapped::MinusOne;
    const std::tuple<bool, const char*, Unmapped, const char*> cases[] = {
        {true, "12,a#112,b#1", keep, "112,a#5,b#12"},
        {true, "1212,12#12", keep, "1212,12#112"},
        {true, ",12,a##,,1,b#", keep, ",112,a##,,12,b#"},
        {true, "7,a#1", minus, "-1,a#12"},
        {false, "12,112", keep, "112,5"},
        {false, ",,1,,1212,", keep, ",,12,,1212,"},
        {false, "1,99", minus, "12,-1"},
    };
    for (const auto& [parameters, in, unmapped, out] : cases)
        EXPECT_EQ(parameters ? rewriteParameterList(in, columns, unmapped)
                             : rewriteSortList(in, columns, unmapped),
                  out)
            << in;
    const IdentifierMap folders{{3, 30}}, tables{{3, 300}}, none;
    const std::tuple<int, int, const IdentifierMap*, Unmapped, int, int> scenes[] = {
        {1, 2, &tables, keep, 30, 300},  // kind 1 through the folders, kind 2 through the tables
        {2, 1, &tables, keep, 300, 30},
        {1, 2, nullptr, keep, 30, 3},   // no table map: table references stay
        {7, 1, &tables, minus, 3, 30},  // no kind of its own
        {2, 2, &none, minus, -1, -1},   // a table map without the table
    };
    for (const auto& [kind, parentKind, tableMap, unmapped, object, parent] : scenes) {
        M_SceneInfoDAO s;
        std::tie(s._sceneType, s._parentType, s._dataObjectId, s._parentID) =
            std::make_tuple(kind, parentKind, 3, 3);
        rewriteSceneReferences(s, &folders, tableMap, unmapped);
        EXPECT_EQ(std::make_pair(s._dataObjectId, s._parentID), std::make_pair(object, parent))
            << kind << "/" << parentKind;
    }
}

}  // namespace arxtest
