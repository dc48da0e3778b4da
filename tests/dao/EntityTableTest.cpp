#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "CommonErrorCode.h"
#include "InstanceDataManager.h"
#include "M_DelByInterfaceDAO.h"
#include "M_FindByInterfaceDAO.h"
#include "M_R_FolderTableDAO.h"
#include "M_R_ModelTableDAO.h"
#include "M_SceneInfoDAO.h"
#include "dao/RecordFixture.h"

namespace arxtest {

namespace {

Names physicalColumns(const std::string& table) {
    Names names;
    (void)MeridianNew::getCurrMRDConfigIDM()->getTableColumnNames(table, names);
    return names;
}

}  // namespace

class EntityTable : public RecordFixture {
protected:
    void link(const M_EntityModelDAO& m, const M_EntityTableDAO& t) {
        M_R_ModelTableDAO l;
        l._t_M_EntityModelID = m._ID;
        l._t_M_EntityTableID = t._ID;
        ASSERT_TRUE(l.save().ok());
    }
    // A table saved under exactly this name and linked to the model.
    M_EntityTableDAO linked(const M_EntityModelDAO& m, const std::string& name) {
        M_EntityTableDAO t;
        t._name = name;
        t._addVersion = m._version;
        EXPECT_TRUE(t.save().ok());
        link(m, t);
        return t;
    }
    // A column row of the table, written without the table's checks.
    M_NormalColumnDAO rawColumn(const M_EntityTableDAO& t, const std::string& name,
                                int addVersion = 1, int delVersion = 999999) {
        M_NormalColumnDAO c;
        c._name = name;
        c._t_M_EntityTableID = t._ID;
        c._addVersion = addVersion;
        c._delVersion = delVersion;
        EXPECT_TRUE(c.save().ok());
        return c;
    }
};

TEST_F(EntityTable, InnerNamesAreFixedByTheFirstSave) {
    M_EntityTableDAO t;
    M_NormalColumnDAO fresh;
    EXPECT_EQ(t._whiteBoxType, "1:1,2:1,3:1,4:1,5:1,6:1,7:1,8:1");
    EXPECT_EQ(std::vector<int>({t._delVersion, fresh._dataType, fresh._fkTableID, fresh._maxLength,
                                fresh._numLength, fresh._numPresision, fresh._t_M_EntityTableID,
                                fresh._t_M_EntityViewID, fresh._delVersion}),
              std::vector<int>({999999, 1, -1, 256, 10, 3, -1, -1, 999999}));
    t._name = "Order";
    t._addVersion = 3;
    ASSERT_TRUE(t.save().ok());
    M_NormalColumnDAO c = rawColumn(t, "Price", 2);
    t._name = "Order2";
    c._name = "Price2";
    ASSERT_TRUE(t.save().ok() && c.save().ok());
    auto st = findByID<M_EntityTableDAO>(t._ID);
    auto sc = findByID<M_NormalColumnDAO>(c._ID);
    ASSERT_TRUE(st && sc);
    EXPECT_EQ(st->_name + " " + st->_innerName + " " + sc->_name + " " + sc->_innerName,
              "Order2 Order_3 Price2 Price_2");
    EXPECT_EQ(M_NormalColumnDAO::NameToDAOAttriName("MName") +
                  M_NormalColumnDAO::NameToDAOAttriName("MDataType_2") +
                  M_NormalColumnDAO::NameToDAOAttriName("M"),
              "_name_dataType_2_");
}

TEST_F(EntityTable, DictionaryTablesDropTheModelSuffixAndKeepTheirStoredName) {
    M_EntityModelDAO dm = model("D", 2);
    M_EntityTableDAO t;
    t._name = "Color_12";
    t._addVersion = 1;
    t._belongToDictionaryModel = 1;
    ASSERT_TRUE(t.save().ok());
    EXPECT_EQ(t._name + " " + t._innerName, "Color Color_12_1");
    link(dm, t);
    t._name = "Renamed";
    ASSERT_TRUE(t.save().ok());
    auto st = findByID<M_EntityTableDAO>(t._ID);
    ASSERT_TRUE(st);
    EXPECT_EQ(t._name + " " + st->_name, "Color Color");
    EXPECT_TRUE(st->isBelongToDictionaryModel());
}

TEST_F(EntityTable, MaxVersionOwnerIsTheFirstOfTheHighest) {
    M_EntityModelDAO v2 = model("A", 0, 2), v5 = model("B", 0, 5), w5 = model("C", 0, 5);
    M_EntityTableDAO t = linked(v2, "T"), lonely;
    lonely._name = "L";
    ASSERT_TRUE(lonely.save().ok());
    link(v5, t);
    link(w5, t);
    M_EntityModelDAO* best = nullptr;
    ASSERT_TRUE(t.getMaxVersionEntityModelOwner(best).ok());
    std::unique_ptr<M_EntityModelDAO> own(best);
    ASSERT_TRUE(best);
    EXPECT_EQ(best->_ID, v5._ID);
    M_EntityModelDAO* none = &v2;
    ResultMsg rm = lonely.getMaxVersionEntityModelOwner(none);
    EXPECT_TRUE(rm.ok() && rm.rMsg.empty() && none == nullptr);
}

TEST_F(EntityTable, RelationInfoMatchesTablesAndKeyColumnsByName) {
    for (int type : {0, 2}) {
        M_EntityModelDAO m = model(type == 2 ? "Dict" : "Plain", type);
        const std::string id = StringHelper::int2String(m._ID);
        M_EntityTableDAO a = linked(m, "A"), tr = linked(m, "TR_A_B"), y = linked(m, "Y");
        linked(m, "X_A");
        linked(m, "X_A_" + id);
        linked(m, "AX_");
        if (type == 0) {
            rawColumn(y, "CRAID");
            rawColumn(tr, "CRAID");  // its table is related already
            rawColumn(y, "CRAIDX");
        }
        std::list<M_NormalColumnDAO*> columns;
        std::list<M_EntityTableDAO*> tables;
        ResultMsg rm = a.getRelationInfo(&m, columns, tables);
        EXPECT_TRUE(rm.ok() && rm.rMsg.empty());
        std::vector<int> owners;
        for (M_NormalColumnDAO* c : columns)
            owners.push_back(c->_t_M_EntityTableID);
        EXPECT_EQ(namesOf(tables),
                  type == 2 ? Names({"TR_A_B", "X_A_" + id}) : Names({"TR_A_B", "X_A"}));
        T_deletePtrList(columns);
        EXPECT_EQ(owners, type == 2 ? std::vector<int>() : std::vector<int>({y._ID}));
    }
}

TEST_F(EntityTable, DelFromEntityModelRemovesDependantsAndTheRowWithTheLastLink) {
    for (bool shared : {false, true}) {
        SCOPED_TRACE(shared);
        M_EntityModelDAO m = model(shared ? "S" : "F"), other = model(shared ? "O2" : "O1");
        M_FolderDAO f = folder(m, "F");
        // Y_X_A is tied to A and to X_A: it goes once, with X_A.
        M_EntityTableDAO a = table(f, "A"), xa = table(f, "X_A"), yxa = table(f, "Y_X_A"),
                         b = table(f, "B");
        M_NormalColumnDAO own = column(m, a, "Name"), key = column(m, b, "CRAID");
        M_SceneInfoDAO scene;
        ASSERT_TRUE(a.addSceneInfo(&m, &scene).ok());
        M_FindByInterfaceDAO find;
        find._paraList = StringHelper::int2String(own._ID) + ",x";
        ASSERT_TRUE(a.addFindByInterfaceDAO(&find).ok());
        // B.Ref refers to A: cleared unless a version still holds both.
        M_NormalColumnDAO ref;
        ref._name = "Ref";
        ref._fkTableID = a._ID;
        ASSERT_TRUE(b.addNormalColumnDAO(&m, &ref).ok());
        if (shared) link(other, a), link(other, b);
        std::string report = "R:";
        ResultMsg rm = a.delFromEntityModel(&m, report);
        ASSERT_TRUE(rm.ok()) << utf8(rm.rMsg);
        EXPECT_EQ(report, "R:2," + StringHelper::int2String(yxa._ID) + "#3," +
                              StringHelper::int2String(key._ID) + "#2," +
                              StringHelper::int2String(xa._ID) + "#6," +
                              StringHelper::int2String(scene._ID) + "#" +
                              (shared ? "" : "7," + StringHelper::int2String(ref._ID) + "#"));
        EXPECT_EQ(findByID<M_NormalColumnDAO>(ref._ID)->_fkTableID, shared ? a._ID : -1);
        EXPECT_EQ(stored<M_EntityTableDAO>(a._ID), shared);
        EXPECT_EQ(stored<M_NormalColumnDAO>(own._ID), shared);
        EXPECT_FALSE(stored<M_NormalColumnDAO>(key._ID) || stored<M_EntityTableDAO>(xa._ID) ||
                     stored<M_EntityTableDAO>(yxa._ID) || stored<M_SceneInfoDAO>(scene._ID) ||
                     stored<M_FindByInterfaceDAO>(find._ID));
        M_R_ModelTableDAO* ml = nullptr;
        M_R_FolderTableDAO* fl = nullptr;
        (void)M_R_ModelTableDAO::FindByModelIDAndTableID(m._ID, a._ID, ml);
        (void)M_R_FolderTableDAO::FindByFolderIDAndTableID(f._ID, a._ID, fl);
        EXPECT_TRUE(ml == nullptr && fl == nullptr);
        EXPECT_EQ(stored<M_EntityTableDAO>(b._ID), true);
        // The identifier of the last table, deleted, is not handed out again.
        M_EntityTableDAO last = table(f, "Last");
        ASSERT_TRUE(last.delFromEntityModel(&m, report).ok());
        EXPECT_GT(table(f, "Next")._ID, last._ID);
    }
    EXPECT_NE(logText().find("END:M_EntityTableDAO::delFromEntityModel()"), std::string::npos);
}

TEST_F(EntityTable, ColumnsAreRefusedWithoutAnOwningStoredTable) {
    M_EntityModelDAO m = model("M"), stranger = model("S");
    M_FolderDAO f = folder(m, "F");
    M_EntityTableDAO t = table(f, "T");
    M_NormalColumnDAO c, bad, missing;
    bad._t_M_EntityTableID = -1;
    missing._t_M_EntityTableID = 9999;
    const struct {
        ResultMsg rm;
        std::string msg;
    } cases[] = {
        {t.addNormalColumnDAO(&stranger, &c),
         "此数据类不属于输入的数据模型指针，请更改输入的数据模型。"},
        {t.addNormalColumnDAO(nullptr, &c), "所属数据模型指针，不能为NULL。"},
        {t.addNormalColumnDAO(&m, nullptr), "待添加属性的指针，不能为NULL。"},
        {bad.save(), "数据属性所属数据类的_ID必须大于0。_t_M_EntityTableID = -1"},
        {missing.save(), "数据属性所属数据类在库中未找到。_t_M_EntityTableID = 9999"},
    };
    for (const auto& k : cases) {
        EXPECT_EQ(k.rm.rCode, RUN_FAIL);
        EXPECT_EQ(k.rm.rMsg, k.msg) << utf8(k.rm.rMsg);
    }
    std::list<M_NormalColumnDAO*> all;
    ASSERT_TRUE(M_NormalColumnDAO::FindAll(all).ok());
    EXPECT_EQ(namesOf(all), Names());

    // Without a current configuration database: an answer, not a crash.
    ASSERT_TRUE(MeridianNew::shutdown().ok());
    std::string report;
    EXPECT_EQ(t.delFromEntityModel(&m, report).rCode, COM_ERR_NOT_STARTED);
    EXPECT_EQ(c.delFromEntityModel(&m).rCode, COM_ERR_NOT_STARTED);
    ASSERT_TRUE(MeridianNew::startup(config, work, 1).ok());
}

TEST_F(EntityTable, NamesNoInstanceFileCouldHoldAreRefusedWhenAdded) {
    M_EntityModelDAO m = model("M");
    M_FolderDAO f = folder(m, "F");
    M_EntityTableDAO t = table(f, "T");
    column(m, t, "id");
    column(m, t, std::string(253, 'c'));  // its inner name, "c..._1", is 255 bytes long
    const std::string longName(254, 'n');
    const struct {
        std::string table, column, refusal;
    } cases[] = {
        {"T", longName, "列名称过长：" + longName + "_1"},
        {"T", "ID", "同一列出现两次：ID_1"},
        {"T", "a\"b", "列名称含有不允许的字符：a\"b_1"},
        {"Q\"uote", "", "表名称含有不允许的字符：Q\"uote_1"},
        {longName, "", "表名称过长：" + longName + "_1"},
    };
    const std::string counts =
        "SELECT (SELECT count(*) FROM T_M_EntityTable) || ',' || (SELECT "
        "count(*) FROM T_M_NormalColumn) || ',' || (SELECT count(*) FROM "
        "T_M_R_ModelTable) || ',' || (SELECT count(*) FROM T_M_R_FolderTable)";
    const std::string before = rawScalar(config, counts);
    for (const auto& c : cases) {
        M_EntityTableDAO newTable;
        M_NormalColumnDAO newColumn;
        newTable._name = c.table;
        newColumn._name = c.column;
        ResultMsg rm = c.column.empty() ? f.addM_EntityTableDAO(&newTable)
                                        : t.addNormalColumnDAO(&m, &newColumn);
        EXPECT_EQ(rm.rCode, RUN_FAIL);
        EXPECT_TRUE(StringHelper::stringEndWith(rm.rMsg, c.refusal)) << utf8(rm.rMsg);
    }
    EXPECT_EQ(rawScalar(config, counts), before);
    // What passed the rule, the instance builder takes.
    EXPECT_TRUE(m.createInstance(dir.path(), "m.db").ok());
}

TEST_F(EntityTable, DictionaryColumnsBuildThePhysicalTable) {
    M_EntityModelDAO dm = model("D", 2), plain = model("P");
    M_FolderDAO df = folder(dm, "F"), pf = folder(plain, "F");
    M_EntityTableDAO t = table(df, "Color"), p = table(pf, "Plain");
    // A table added to a dictionary model's folder takes the model's id into its inner name.
    EXPECT_EQ(t._name + " " + t._innerName, "Color Color_" + std::to_string(dm._ID) + "_1");
    M_NormalColumnDAO pic = column(dm, t, "Pic", 4);
    EXPECT_EQ(physicalColumns(t._innerName), Names({"id", "Pic_1"}));
    column(dm, t, "Code", 2);
    column(plain, p, "Code", 2);
    pic._name = "Picture";
    ASSERT_TRUE(pic.save().ok());  // a stored column never reaches the service
    EXPECT_EQ(physicalColumns(t._innerName), Names({"id", "Pic_1", "Code_1"}));
    EXPECT_EQ(physicalColumns(p._innerName), Names());
}

TEST_F(EntityTable, ColumnsAndDefinitionsAreListedForTheModelVersion) {
    M_FindByInterfaceDAO f;
    M_DelByInterfaceDAO d;
    f._paraList = "12,x#15,y";
    f._sortAttributeList = d._paraList = "15,3";
    std::vector<int> ids = f.getParaColumnIDs(), sorted = f.getSortColumnIDs();
    ids.insert(ids.end(), sorted.begin(), sorted.end());
    EXPECT_EQ(ids, std::vector<int>({12, 15, 15, 3}));
    EXPECT_EQ(d.getParaColumnIDs(), std::vector<int>({15}));

    M_EntityModelDAO m = model("M", 0, 4);
    M_EntityTableDAO t = linked(m, "T");
    const std::string ok = StringHelper::int2String(rawColumn(t, "Ok", 4)._ID);
    const std::string old = StringHelper::int2String(rawColumn(t, "Old", 1, 4)._ID);
    std::list<M_NormalColumnDAO*> columns;
    ASSERT_TRUE(t.getNormalColumnDAOList(&m, columns).ok());
    EXPECT_EQ(namesOf(columns), Names({"Ok"}));
    EXPECT_EQ(t.getNormalColumnDAOList(nullptr, columns).rMsg, "所属数据模型指针，不能为NULL。");
    for (const std::string& para :
         {ok + ",a#" + ok, ok + ",a#" + old, std::string(), std::string("999")}) {
        M_FindByInterfaceDAO fd;
        M_DelByInterfaceDAO dd;
        fd._name = dd._name = para;
        fd._paraList = dd._paraList = para;
        ASSERT_TRUE(t.addFindByInterfaceDAO(&fd).ok() && t.addDelByInterfaceDAO(&dd).ok());
    }
    M_FindByInterfaceDAO detached;
    ASSERT_TRUE(t.addFindByInterfaceDAO(&detached).ok() &&
                t.removeFindByInterfaceDAO(&detached).ok());
    EXPECT_EQ(detached._t_M_EntityTableID, -1);
    std::list<M_FindByInterfaceDAO*> finds;
    std::list<M_DelByInterfaceDAO*> dels;
    ASSERT_TRUE(t.getFindByInterfaceDAOList(&m, finds).ok() &&
                t.getDelByInterfaceDAOList(&m, dels).ok());
    EXPECT_EQ(namesOf(finds), Names({ok + ",a#" + ok}));
    EXPECT_EQ(namesOf(dels), Names({ok + ",a#" + ok}));
}

// A change in a later version stores the earlier versions' state as a newer
// record; every version still lists each column where it entered the table.
TEST_F(EntityTable, ColumnsKeepThePlaceTheyEnteredTheTableInWhateverLaterVersionsDo) {
    M_EntityModelDAO v1 = model("M");
    M_FolderDAO f = folder(v1, "F");
    M_EntityTableDAO t = table(f, "T");
    M_NormalColumnDAO a = column(v1, t, "A"), b = column(v1, t, "B");
    column(v1, t, "C");
    M_EntityModelDAO* next = nullptr;
    ASSERT_TRUE(v1.upgradeNewVersion(next).ok());
    const std::unique_ptr<M_EntityModelDAO> v2(next);
    column(*v2, t, "D");
    for (M_NormalColumnDAO* changed : {&b, &a}) {
        changed->_dataType = 1;
        ResultMsg rm = changed->reviseInModel(v2.get());
        ASSERT_TRUE(rm.ok()) << utf8(rm.rMsg);
    }
    std::list<M_NormalColumnDAO*> listed;
    for (const auto& [version, names] :
         {std::pair{&v1, Names({"A", "B", "C"})}, {v2.get(), Names({"A", "B", "C", "D"})}}) {
        ASSERT_TRUE(t.getNormalColumnDAOList(version, listed).ok());
        EXPECT_EQ(namesOf(listed), names) << "version " << version->_version;
        ASSERT_TRUE(version->getNormalColumnList(listed).ok());
        EXPECT_EQ(namesOf(listed), names) << "version " << version->_version;
    }
}

// A default that is no value of the column's type is refused by the column
// save, new or stored, and so by a change in a version; nothing is written.
TEST_F(EntityTable, DefaultsThatAreNoValueOfTheColumnsTypeAreRefusedAndWriteNothing) {
    M_EntityModelDAO m = model("M");
    M_FolderDAO f = folder(m, "F");
    M_EntityTableDAO t = table(f, "T");
    const struct {
        int type;
        int digits;  // _numLength
        const char* defaultValue;
        const char* refusedAs;  // null: taken
    } cases[] = {
        {1, 10, "abc", "32位整数"},      {1, 10, "1.5", "32位整数"},
        {1, 10, "+-1", "32位整数"},      {1, 10, "99999999999", "32位整数"},
        {1, 19, "99999999999", nullptr}, {1, 19, "9223372036854775808", "64位整数"},
        {1, 10, " +007 ", nullptr},      {1, 10, "-2147483648", nullptr},
        {3, 10, "1,5", "实数"},          {3, 10, "inf", "实数"},
        {3, 10, "1e999", "实数"},        {3, 10, "-.5e3", nullptr},
        {2, 10, "abc", nullptr},         {1, 10, "", nullptr},
    };
    const std::string count = "SELECT count(*) FROM \"T_M_NormalColumn\"";
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.type) + " [" + c.defaultValue + "]");
        M_NormalColumnDAO added;
        added._name = "Q" + std::to_string(++n);
        added._dataType = c.type;
        added._numLength = c.digits;
        added._defaultValue = c.defaultValue;
        const std::string before = rawScalar(config, count);
        ResultMsg rm = t.addNormalColumnDAO(&m, &added);
        if (c.refusedAs == nullptr) {
            EXPECT_TRUE(rm.ok()) << utf8(rm.rMsg);
            continue;
        }
        std::string value = c.defaultValue;
        StringHelper::TrimSpace(value);
        const std::string refusal =
            "数据属性\"" + added._name + "\"的默认值\"" + value + "\"不是" + c.refusedAs + "。";
        EXPECT_EQ(rm.rMsg, "rdt.add1N 失败。" + refusal) << utf8(rm.rMsg);
        EXPECT_EQ(rawScalar(config, count), before);
        EXPECT_LT(added._ID, 1);
    }
    // A stored column given such a default, directly or for a version.
    M_NormalColumnDAO qty = column(m, t, "Qty", 1);
    const std::string before = rawScalar(config, count);
    qty._defaultValue = "abc";
    EXPECT_EQ(qty.save().rMsg, "数据属性\"Qty\"的默认值\"abc\"不是32位整数。");
    M_EntityModelDAO* next = nullptr;
    ASSERT_TRUE(m.upgradeNewVersion(next).ok());
    const std::unique_ptr<M_EntityModelDAO> v2(next);
    EXPECT_EQ(qty.reviseInModel(v2.get()).rCode, RUN_FAIL);
    EXPECT_EQ(rawScalar(config, count), before);
    EXPECT_EQ(findByID<M_NormalColumnDAO>(qty._ID)->_defaultValue, "");
}

}  // namespace arxtest
