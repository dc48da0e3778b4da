#include <gtest/gtest.h>

#include "CommonErrorCode.h"
#include "DAOFactoryRegistry.h"
#include "DAOFinder.h"
#include "ServiceErrorCode.h"
#include "support/PlatformFixture.h"

namespace arxtest {

namespace {

// Pairs of columns that both answer to one member, the better match last:
// "Code" wins over "MCode_2", "MNote" over "Note_3", "Ref_2" over "MRef_1".
class TwinDAO : public M_ObjectDAO {
public:
    std::string _code, _oldCode, _note, _oldNote, _ref, _oldRef;
    static DAO* createObject() { return new TwinDAO; }
    Mapper* createMapper() override {
        static const RecordColumns<TwinDAO> columns("T_M_Twin", {{"Name", &TwinDAO::_name},
                                                                 {"MCode_2", &TwinDAO::_oldCode},
                                                                 {"Code", &TwinDAO::_code},
                                                                 {"Note_3", &TwinDAO::_oldNote},
                                                                 {"MNote", &TwinDAO::_note},
                                                                 {"MRef_1", &TwinDAO::_oldRef},
                                                                 {"Ref_2", &TwinDAO::_ref}});
        return new ColumnMapper<TwinDAO>(columns);
    }
};

// A chain of more classes than a thread ever kept apart before: loading a
// link finds the next link's class from inside the visitor of its own find,
// so that every class's find is open at once. Even links are read as text
// rows, odd ones in place. The last class links to itself once (a find
// nested in a find of the same class). Saving a link also saves a note from
// inside its mapper, while the link's own row is filled.
constexpr int kLinks = 20;

template <int N>
class LinkDAO : public M_ObjectDAO {
public:
    int _next = 0;
    std::string _path;  // this link's name and those below it, not a column

    static std::string className() { return "Link" + std::to_string(N) + "DAO"; }
    static DAO* createObject() { return new LinkDAO; }
    static const RecordColumns<LinkDAO>& columns() {
        static const RecordColumns<LinkDAO> declared(
            "T_M_Link" + std::to_string(N), {{"Name", &LinkDAO::_name}, {"Next", &LinkDAO::_next}});
        return declared;
    }
    static void registerAll() {
        DAOFactoryRegistry::registerClass(className(), &createObject);
        if constexpr (N + 1 < kLinks) LinkDAO<N + 1>::registerAll();
    }

    static DAO* follow(DAO* loaded) {
        auto* link = static_cast<LinkDAO*>(loaded);
        link->_path = link->_name;
        if (link->_next < 1) return link;
        DAO* next = nullptr;
        DAOFinder finder;
        constexpr int nextClass = N + 1 < kLinks ? N + 1 : N;
        if (!finder.findByID(LinkDAO<nextClass>::className(), link->_next, next).ok() ||
            next == nullptr) {
            link->_path += ">?";
            return link;
        }
        link->_path += ">" + static_cast<LinkDAO<nextClass>*>(next)->_path;
        delete next;
        return link;
    }

    template <class Base>
    struct Loader : Base {
        Loader() : Base(columns()) {}
        // The frame maps a nameless object to learn the columns: no note then.
        int doSave(ITableData& row, DAO* object) override {
            const int filled = Base::doSave(row, object);
            if (filled != RUN_SUCCESS || object->_name.empty()) return filled;
            NoteDAO note;
            note._name = "saved " + object->_name;
            return note.save().ok() ? RUN_SUCCESS : RUN_FAIL;
        }
    };
    struct TextLoader : Loader<ColumnMapper<LinkDAO>> {
        DAO* doLoad(ITableData& row) override { return follow(ColumnMapper<LinkDAO>::doLoad(row)); }
    };
    struct RowLoader : Loader<ColumnMapper<LinkDAO>> {
        DAO* loadResultRow(const ResultRow& row) override {
            return follow(ColumnMapper<LinkDAO>::loadResultRow(row));
        }
    };
    Mapper* createMapper() override {
        if constexpr (N % 2 == 0) return new TextLoader;
        return new RowLoader;
    }

    // Rows "aN" (next: the next class's a) and "bN" (its b); in the last
    // class "a" links to "b" and "b" ends the chain.
    static void saveRows() {
        for (const char* name : {"a", "b"}) {
            LinkDAO link;
            link._name = name + std::to_string(N);
            link._next = N + 1 < kLinks ? (name[0] == 'a' ? 1 : 2) : (name[0] == 'a' ? 2 : 0);
            ASSERT_TRUE(link.save().ok()) << link._name;
        }
        if constexpr (N + 1 < kLinks) LinkDAO<N + 1>::saveRows();
    }
};

}  // namespace

using V = std::vector<std::string>;

class Finder : public PlatformFixture {
protected:
    void SetUp() override {
        DAOFactoryRegistry::registerClass("TwinDAO", &TwinDAO::createObject);
        LinkDAO<0>::registerAll();
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
    twin._note = twin._ref = "new";
    twin._oldNote = twin._oldRef = "old";
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
        {"TwinDAO", " _NOTE", "=", "'new'", {"twin"}},  // Mx before x_N
        {"TwinDAO", "_note", "=", "'old'", {}},
        {"TwinDAO", "_Ref ", "=", "'new'", {"twin"}},  // x_N before Mx_N
        {"TwinDAO", "_ref", "=", "'old'", {}},
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

    // Only the members asked for (and the identifier) are read, the others
    // left 0 or empty; a read of all members after it reads them all.
    T_deletePtrList(found);
    for (const V& members : {V{"_priority", " _NAME"}, V{}}) {
        ASSERT_TRUE(
            finder
                .findByManyAndAttr("NoteDAO", {"_rProjectID"}, {"="}, {"1"}, found, &order, members)
                .ok());
        ASSERT_EQ(found.size(), 2u);
        const auto* beta = static_cast<const NoteDAO*>(found.front());  // priority 1
        EXPECT_EQ(std::make_tuple(beta->_ID, beta->_name, beta->_priority, beta->_rProjectID),
                  std::make_tuple(2, std::string("beta"), 1, members.empty() ? 1 : 0));
        T_deletePtrList(found);
    }
    EXPECT_EQ(finder.findByManyAndAttr("NoteDAO", {}, {}, {}, found, nullptr, {"_colour"}).rCode,
              COM_ERR_ATTRIBUTE);

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
    int lowest = 0, highest = 0;  // the identifiers' span
    ASSERT_TRUE(finder.idSpan("NoteDAO", lowest, highest).ok());
    EXPECT_EQ(std::make_pair(lowest, highest), std::make_pair(1, 3));
}

TEST_F(Finder, FindsNestOverMoreClassesThanAThreadKeepsAndSavesNestInMappers) {
    LinkDAO<0>::saveRows();
    if (HasFatalFailure()) return;
    std::string expectA, expectB;
    for (int n = 0; n < kLinks; ++n) {
        expectA += "a" + std::to_string(n) + ">";
        expectB += (n > 0 ? ">b" : "b") + std::to_string(n);
    }
    expectA += "b" + std::to_string(kLinks - 1);
    IOrderClause order;
    order.orderAttribute = "_name";
    ASSERT_TRUE(finder.findAll(LinkDAO<0>::className(), found, &order).ok());
    V paths;
    for (DAO* link : found)
        paths.push_back(static_cast<LinkDAO<0>*>(link)->_path);
    EXPECT_EQ(paths, (V{expectA, expectB}));

    // Each save's note was stored beside its link, not in its place.
    T_deletePtrList(found);
    ASSERT_TRUE(finder.findByOneAttr("NoteDAO", "_name", "like", "'saved %'", found).ok());
    EXPECT_EQ(found.size(), static_cast<std::size_t>(2 * kLinks));
    T_deletePtrList(found);
    ASSERT_TRUE(finder.findAll(LinkDAO<kLinks - 1>::className(), found, &order).ok());
    EXPECT_EQ(names(), (V{"a" + std::to_string(kLinks - 1), "b" + std::to_string(kLinks - 1)}));
}

}  // namespace arxtest
