#include <gtest/gtest.h>

#include "CommonErrorCode.h"
#include "DAOFactoryRegistry.h"
#include "DAOFinder.h"
#include "ServiceErrorCode.h"
#include "support/PlatformFixture.h"

namespace arxtest {

namespace {

// Two columns that both answer to the member _code: "Code" must win.
class TwinDAO : public M_ObjectDAO {
public:
    std::string _code, _oldCode;
    static DAO* createObject() { return new TwinDAO; }
    Mapper* createMapper() override;
};

class TwinMapper : public subDBMapper {
public:
    TwinMapper() { _entityInnerName = "T_M_Twin"; }
    int doSave(ITableData& row, DAO* pdao) override {
        auto* p = dynamic_cast<TwinDAO*>(pdao);
        if (p == nullptr) return RUN_FAIL;
        row._tableInnerName = _entityInnerName;
        row._cloInnerName[0] = "MCode_2";
        row._colType[0] = COL_TYPE_STRING;
        row._colValue[0] = p->_oldCode;
        row._cloInnerName[1] = "Code";
        row._colType[1] = COL_TYPE_STRING;
        row._colValue[1] = p->_code;
        row._colNum = 2;
        return RUN_SUCCESS;
    }
    DAO* doLoad(ITableData& qd) override {
        auto* p = new TwinDAO;
        p->_ID = StringHelper::string2int(qd.getColValue("id"));
        p->_oldCode = qd.getColValue("MCode_2");
        p->_code = qd.getColValue("Code");
        return p;
    }
};

Mapper* TwinDAO::createMapper() {
    return new TwinMapper;
}

NoteDAO* saveNote(const std::string& name, int project, int folder, int priority) {
    auto* note = new NoteDAO;
    note->_name = name;
    note->_rProjectID = project;
    note->_t_M_FolderID = folder;
    note->_priority = priority;
    EXPECT_TRUE(note->save().ok());
    return note;
}

std::vector<std::string> namesOf(const std::list<DAO*>& objects) {
    std::vector<std::string> out;
    for (DAO* object : objects)
        out.push_back(object->_name);
    return out;
}

}  // namespace

class Finder : public PlatformFixture {
protected:
    void SetUp() override {
        DAOFactoryRegistry::registerClass("TwinDAO", &TwinDAO::createObject);
        PlatformFixture::SetUp();
        for (auto* note : {saveNote("alpha", 1, 10, 3), saveNote("beta", 1, 20, 1),
                           saveNote("gamma", 2, 10, 2)}) {
            delete note;
        }
    }
    ~Finder() override { T_deletePtrList(found); }

    DAOFinder finder;
    std::list<DAO*> found;
};

using V = std::vector<std::string>;

TEST_F(Finder, MembersResolveToTheColumnsTheMapperWrites) {
    ASSERT_TRUE(finder.findByOneAttr("NoteDAO", "_t_M_FolderID", "  =  ", "10", found).ok());
    EXPECT_EQ(namesOf(found), (V{"alpha", "gamma"}));
    T_deletePtrList(found);
    ASSERT_TRUE(finder.findByOneAttr("NoteDAO", "_rProjectID", "  =  ", "2", found).ok());
    EXPECT_EQ(namesOf(found), V{"gamma"});
    T_deletePtrList(found);
    ASSERT_TRUE(finder.findByOneAttr("NoteDAO", " _ID ", "=", "2", found).ok());
    EXPECT_EQ(namesOf(found), V{"beta"});
    T_deletePtrList(found);

    TagDAO tag;
    tag._name = "red";
    tag._rNoteID = 3;
    tag._isPk = 1;
    ASSERT_TRUE(tag.save().ok());
    for (auto [member, value] : {std::pair{"_name", "'red'"}, {"_rNoteID", "3"}, {"_isPk", "1"}}) {
        ASSERT_TRUE(finder.findByOneAttr("TagDAO", member, " = ", value, found).ok()) << member;
        EXPECT_EQ(namesOf(found), V{"red"}) << member;
        T_deletePtrList(found);
    }

    TwinDAO twin;
    twin._code = "new";
    twin._oldCode = "old";
    ASSERT_TRUE(twin.save().ok());
    ASSERT_TRUE(finder.findByOneAttr("TwinDAO", "_code", "=", "'new'", found).ok());
    EXPECT_EQ(found.size(), 1u);
    T_deletePtrList(found);
    ASSERT_TRUE(finder.findByOneAttr("TwinDAO", "_code", "=", "'old'", found).ok());
    EXPECT_TRUE(found.empty());
}

TEST_F(Finder, UnknownNamesAndOperationsAreRefused) {
    ResultMsg rm = finder.findByOneAttr("NoteDAO", "_colour", "=", "1", found);
    EXPECT_EQ(rm.rCode, COM_ERR_ATTRIBUTE);
    EXPECT_NE(rm.rMsg.find("_colour"), std::string::npos);
    EXPECT_EQ(finder.findAll("NoSuchDAO", found).rCode, COM_ERR_UNKNOWN_CLASS);
    EXPECT_EQ(finder.findByOneAttr("NoteDAO", "_name", "= 'x' OR 1=1 --", "1", found).rCode,
              SRV_ERR_ARGUMENT);
    EXPECT_EQ(
        finder.findByManyAndAttr("NoteDAO", {"_name", "_priority"}, {"="}, {"1", "2"}, found).rCode,
        COM_ERR_ARGUMENT);
    IOrderClause order;
    order.orderAttribute = "_colour";
    EXPECT_EQ(finder.findAll("NoteDAO", found, &order).rCode, COM_ERR_ATTRIBUTE);
    EXPECT_TRUE(found.empty());
}

TEST_F(Finder, ListsAreAppendedToAndOrderedOnRequest) {
    found.push_back(new NoteDAO);
    found.back()->_name = "already here";
    IOrderClause order;
    order.orderDirection = " DESC ";
    order.orderAttribute = " priority ";
    ASSERT_TRUE(finder.findAll("NoteDAO", found, &order).ok());
    EXPECT_EQ(namesOf(found), (V{"already here", "alpha", "gamma", "beta"}));

    order.orderDirection = " ASC ";
    ASSERT_TRUE(finder
                    .findByManyAndAttr("NoteDAO", {"_rProjectID", "_t_M_FolderID"}, {" = ", " = "},
                                       {"1", "10"}, found, &order)
                    .ok());
    ASSERT_TRUE(finder
                    .findByManyOrAttr("NoteDAO", {"_name", "_name"}, {" = ", " = "},
                                      {"'beta'", "'gamma'"}, found, &order)
                    .ok());
    EXPECT_EQ(namesOf(found),
              (V{"already here", "alpha", "gamma", "beta", "alpha", "beta", "gamma"}));
}

TEST_F(Finder, FindByIdLeavesThePointerWhenNothingMatches) {
    NoteDAO sentinel;
    DAO* pointer = &sentinel;
    ResultMsg rm = finder.findByID("NoteDAO", 99, pointer);
    EXPECT_EQ(rm.rCode, RUN_SUCCESS);
    EXPECT_EQ(pointer, &sentinel);

    DAO* hit = nullptr;
    ASSERT_TRUE(finder.findByID("NoteDAO", 3, hit).ok());
    ASSERT_NE(hit, nullptr);
    auto* note = dynamic_cast<NoteDAO*>(hit);
    ASSERT_NE(note, nullptr);
    EXPECT_EQ(note->_name, "gamma");
    EXPECT_EQ(note->_t_M_FolderID, 10);
    delete hit;
}

TEST_F(Finder, WithoutAStartedPlatformFindersAnswerWithACode) {
    MeridianNew::shutdown();
    EXPECT_EQ(finder.findAll("NoteDAO", found).rCode, COM_ERR_NOT_STARTED);
    NoteDAO note;
    EXPECT_EQ(note.save().rCode, COM_ERR_NOT_STARTED);
    EXPECT_EQ(note._ID, 0);
}

}  // namespace arxtest
