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
    Mapper* createMapper() override {
        static const RecordColumns<TwinDAO> columns("T_M_Twin", {{"Name", &TwinDAO::_name},
                                                                 {"MCode_2", &TwinDAO::_oldCode},
                                                                 {"Code", &TwinDAO::_code}});
        return new ColumnMapper<TwinDAO>(columns);
    }
};

}  // namespace

using V = std::vector<std::string>;

class Finder : public PlatformFixture {
protected:
    void SetUp() override {
        DAOFactoryRegistry::registerClass("TwinDAO", &TwinDAO::createObject);
        PlatformFixture::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        for (auto [name, project, folder, priority] :
             {std::tuple{"alpha", 1, 10, 3}, {"beta", 1, 20, 1}, {"gamma", 2, 10, 2}}) {
            NoteDAO note;
            note._name = name;
            note._rProjectID = project;
            note._t_M_FolderID = folder;
            note._priority = priority;
            ASSERT_TRUE(note.save().ok());
        }
    }
    ~Finder() override { T_deletePtrList(found); }

    V names() const {
        V out;
        for (DAO* object : found)
            out.push_back(object->_name);
        return out;
    }

    DAOFinder finder;
    std::list<DAO*> found;
};

TEST_F(Finder, MembersResolveToTheColumnsTheMapperWrites) {
    TagDAO tag;
    tag._name = "red";
    tag._rNoteID = 3;
    tag._isPk = 1;
    ASSERT_TRUE(tag.save().ok());
    TwinDAO twin;
    twin._name = "twin";
    twin._code = "new";
    twin._oldCode = "old";
    ASSERT_TRUE(twin.save().ok());
    struct Case {
        const char *className, *member, *op, *value;
        V expected;
    } cases[] = {
        {"NoteDAO", "_t_M_FolderID", "  =  ", "10", {"alpha", "gamma"}},
        {"NoteDAO", "_rProjectID", "  =  ", "2", {"gamma"}},
        {"NoteDAO", " _ID ", "=", "2", {"beta"}},
        {"TagDAO", "_name", " = ", "'red'", {"red"}},  // MName_2
        {"TagDAO", "_rNoteID", " = ", "3", {"red"}},   // MRNoteID_2
        {"TagDAO", "_isPk", " = ", "1", {"red"}},      // MIsPk_2
        {"TwinDAO", "_code", "=", "'new'", {"twin"}},  // the exact name first
        {"TwinDAO", "_code", "=", "'old'", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.member);
        ASSERT_TRUE(finder.findByOneAttr(c.className, c.member, c.op, c.value, found).ok());
        EXPECT_EQ(names(), c.expected);
        T_deletePtrList(found);
    }
}

TEST_F(Finder, UnknownNamesOperationsAndAMissingPlatformAreRefused) {
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

    ASSERT_TRUE(MeridianNew::shutdown().ok());
    EXPECT_EQ(finder.findAll("NoteDAO", found).rCode, COM_ERR_NOT_STARTED);
    NoteDAO note;
    EXPECT_EQ(note.save().rCode, COM_ERR_NOT_STARTED);
    EXPECT_EQ(note._ID, 0);
}

TEST_F(Finder, ListsAreAppendedToAndOrderedOnRequest) {
    found.push_back(new NoteDAO);
    found.back()->_name = "already here";
    IOrderClause order;
    order.orderDirection = " DESC ";
    order.orderAttribute = " priority ";
    ASSERT_TRUE(finder.findAll("NoteDAO", found, &order).ok());
    order.orderDirection = " ASC ";
    ASSERT_TRUE(finder
                    .findByManyAndAttr("NoteDAO", {"_rProjectID", "_t_M_FolderID"}, {" = ", " = "},
                                       {"1", "10"}, found, &order)
                    .ok());
    ASSERT_TRUE(finder
                    .findByManyOrAttr("NoteDAO", {"_name", "_name"}, {" = ", " = "},
                                      {"'beta'", "'gamma'"}, found, &order)
                    .ok());
    EXPECT_EQ(names(), (V{"already here", "alpha", "gamma", "beta", "alpha", "beta", "gamma"}));

    // findByID leaves the pointer alone when nothing matches.
    NoteDAO sentinel;
    DAO* pointer = &sentinel;
    EXPECT_EQ(finder.findByID("NoteDAO", 99, pointer).rCode, RUN_SUCCESS);
    EXPECT_EQ(pointer, &sentinel);
    DAO* hit = nullptr;
    ASSERT_TRUE(finder.findByID("NoteDAO", 3, hit).ok());
    std::unique_ptr<DAO> owned(hit);
    auto* note = dynamic_cast<NoteDAO*>(hit);
    ASSERT_NE(note, nullptr);
    EXPECT_EQ(note->_t_M_FolderID, 10);
}

}  // namespace arxtest
