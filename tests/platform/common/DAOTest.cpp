#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

#include "CommonErrorCode.h"
#include "DAO.h"
#include "DAOFactoryRegistry.h"
#include "ITableData.h"
#include "InstanceDataManager.h"
#include "MRDSession.h"
#include "Mapper.h"
#include "RecordFinder.h"
#include "RecordInserter.h"
#include "RelationDataTool.h"
#include "ServiceErrorCode.h"
#include "StringHelper.h"
#include "support/PlatformFixture.h"
#include "support/RawDb.h"

namespace arxtest {

namespace {

// A mapper that claims more (or fewer) columns than a row can hold and
// fills none of them.
int claimedColumns = 0;

class LiarMapper : public subDBMapper {
public:
    int doSave(ITableData& row, DAO*) override {
        row._tableInnerName = "T_M_Liar";
        row._colNum = claimedColumns;
        return RUN_SUCCESS;
    }
    DAO* doLoad(ITableData&) override;
};

class LiarDAO : public M_ObjectDAO {
public:
    static DAO* createObject() { return new LiarDAO; }
    Mapper* createMapper() override { return new LiarMapper; }
};

DAO* LiarMapper::doLoad(ITableData&) {
    return new LiarDAO;
}

}  // namespace

using PersistentObject = PlatformFixture;

TEST_F(PersistentObject, SaveInsertsThenUpdatesAndDeleteRemoves) {
    NoteDAO note;
    note._name = "first";
    note._weight = 0.25;
    ASSERT_TRUE(note.save().ok());
    EXPECT_EQ(note._ID, 1);
    note._name = "renamed";
    ASSERT_TRUE(note.save().ok());
    EXPECT_EQ(note._ID, 1);
    EXPECT_EQ(rawScalar(configPath,
                        "SELECT \"Name\" || '/' || \"Weight\" FROM \"T_M_Note\" WHERE \"id\" = 1"),
              "renamed/0.25");

    NoteDAO second;
    ASSERT_TRUE(second.save().ok());
    ASSERT_TRUE(second.delself().ok());
    EXPECT_EQ(rawScalar(configPath, "SELECT count(*) FROM \"T_M_Note\""), "1");
    // Updating a row that has gone is an error, not a silent insert.
    EXPECT_EQ(second.save().rCode, SRV_ERR_NO_ROW);

    NoteDAO unsaved;
    EXPECT_EQ(unsaved.delself().rCode, COM_ERR_ARGUMENT);
    ASSERT_TRUE(unsaved.delAll().ok());
    EXPECT_EQ(rawScalar(configPath, "SELECT count(*) FROM \"T_M_Note\""), "0");
}

TEST_F(PersistentObject, ExplicitDatabasesLetOneObjectMoveBetweenTwoFiles) {
    // The work database stands for any other file the caller has a manager of.
    const std::string id = underTest().idColumn();
    ASSERT_TRUE(rawExecute(workPath, "CREATE TABLE \"T_M_Note\" (\"id\" " + id +
                                         ", \"Name\" TEXT, \"Title\" TEXT, \"RProjectID\" INTEGER, "
                                         "\"T_M_FolderID\" INTEGER, \"Priority\" INTEGER, "
                                         "\"Weight\" DOUBLE PRECISION, \"InnerName\" TEXT)"));
    InstanceDataManager& copy = *MeridianNew::getCurrentWorkDBIDM();
    ASSERT_TRUE(copy.initialMetaDataCache().ok());
    NoteDAO note;
    note._name = "travels";
    ASSERT_TRUE(note.save().ok());  // id 1 in the current configuration database
    note._ID = -1;
    ASSERT_TRUE(note.save(copy, COMMIT_T_IMMEDIATELY).ok());
    EXPECT_EQ(rawScalar(workPath, "SELECT \"id\" || \"Name\" FROM \"T_M_Note\""), "1travels");

    std::list<NoteDAO*> found;
    ASSERT_TRUE(RecordFinder<NoteDAO>(copy).byText("NoteDAO", "_name", "trav%", found).ok());
    ASSERT_EQ(found.size(), 1u);
    ASSERT_TRUE(found.front()->delself(copy, COMMIT_T_IMMEDIATELY).ok());
    T_deletePtrList(found);
    EXPECT_EQ(rawScalar(workPath, "SELECT count(*) FROM \"T_M_Note\""), "0");
    EXPECT_EQ(rawScalar(configPath, "SELECT count(*) FROM \"T_M_Note\""), "1");
}

// A note whose mapper names a table no statement can be made of.
class BadTableNoteDAO : public NoteDAO {
public:
    Mapper* createMapper() override {
        static const RecordColumns<NoteDAO> columns("T_M_\"Bad", {{"Name", &NoteDAO::_name}});
        return new ColumnMapper<NoteDAO>(columns);
    }
};

// A note whose mapper saves its own way: it stamps the title.
class StampedNoteDAO : public NoteDAO {
public:
    Mapper* createMapper() override {
        struct Stamping : ColumnMapper<NoteDAO> {
            Stamping() : ColumnMapper(columnsOf()) {}
            static const RecordColumns<NoteDAO>& columnsOf() {
                static const RecordColumns<NoteDAO> columns(
                    "T_M_Note", {{"Name", &NoteDAO::_name}, {"Title", &NoteDAO::_title}});
                return columns;
            }
            int doSave(ITableData& row, DAO* object) override {
                const int filled = ColumnMapper::doSave(row, object);
                row._colValue[1] += " (stamped)";
                return filled;
            }
        };
        return new Stamping;
    }
};

// A new record's save and the record inserter bind members as numbers and
// texts; each stores what the mapper's text row stores.
TEST_F(PersistentObject, TypedInsertsStoreTheRowsTheTextRowStores) {
    InstanceDataManager& config = *MeridianNew::getCurrMRDConfigIDM();
    const std::string row =
        "SELECT \"Name\" || '/' || \"Title\" || '/' || \"RProjectID\" || '/' || "
        "\"T_M_FolderID\" || '/' || \"Priority\" || '/' || \"Weight\" || '/' || "
        "COALESCE(\"InnerName\", 'null') FROM \"T_M_Note\" WHERE \"id\" = ";
    struct Case {
        const char* name;
        const char* title;
        int priority;
        double weight;
    };
    const Case cases[] = {{"plain", "t", 3, 0.25},
                          {"it's", "", -2147483647 - 1, 0.1},
                          {"", "  spaced ", 2147483647, -1e300},
                          {"1e3", "007", 0, 1.0 / 3.0},
                          {"x", "y", 1, 1e-310},
                          // Not finite: no number to bind, so the text row stores it.
                          {"inf", "i", 5, std::numeric_limits<double>::infinity()}};
    RecordInserter inserter(config);
    for (const Case& c : cases) {
        NoteDAO note;
        note._name = c.name;
        note._title = c.title;
        note._priority = c.priority;
        note._weight = c.weight;
        // The text row, stored as it is.
        std::unique_ptr<Mapper> mapper(note.createMapper());
        ITableData text;
        ASSERT_EQ(mapper->doSave(text, &note), RUN_SUCCESS);
        int fromText = 0;
        ASSERT_TRUE(config.addITableData(text, 0, fromText).ok());
        note._ID = -1;
        ASSERT_TRUE(note.save(config, 0).ok());
        const int saved = note._ID;
        note._ID = 77;
        int inserted = 0;
        ASSERT_TRUE(inserter.insert(note, 0, inserted).ok()) << c.name;
        EXPECT_EQ(note._ID, 77);
        EXPECT_GT(inserted, saved);
        EXPECT_GT(saved, fromText);
        ASSERT_TRUE(config.getPSession()->commit().ok());
        const std::string expected = rawScalar(configPath, row + std::to_string(fromText));
        for (const int id : {saved, inserted}) {
            EXPECT_EQ(rawScalar(configPath, row + std::to_string(id)), expected) << c.name;
            // Numbers exactly, not only as their texts show them.
            EXPECT_EQ(
                rawScalar(configPath,
                          "SELECT count(*) FROM \"T_M_Note\" a, \"T_M_Note\" b WHERE a.\"id\" = " +
                              std::to_string(fromText) + " AND b.\"id\" = " + std::to_string(id) +
                              " AND a.\"Weight\" = b.\"Weight\" AND a.\"Priority\" = "
                              "b.\"Priority\""),
                "1")
                << c.name;
        }
        // And the finder reads back what the text row carries.
        NoteDAO* back = nullptr;
        ASSERT_TRUE(RecordFinder<NoteDAO>(config).byID("NoteDAO", inserted, back).ok());
        const std::unique_ptr<NoteDAO> owned(back);
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(back->_priority, c.priority) << c.name;
        if (std::isfinite(c.weight)) {
            EXPECT_EQ(back->_weight,
                      StringHelper::stringTodouble(StringHelper::doubleTostring(c.weight)))
                << c.name;
        }
    }
    // Several at once, several to an insert where the store allows it: each
    // is told its own new identifier; one the database refuses, in the
    // middle of a run, is told so and the others are stored.
    ASSERT_TRUE(
        injectFault(configPath, "fault", "BEFORE INSERT", "T_M_Note", "NEW.\"Name\" = 'no'"));
    for (const auto& names :
         {std::vector<std::string>{"a", "b", "c", "d"}, std::vector<std::string>{"e", "no", "f"}}) {
        std::vector<NoteDAO> notes(names.size());
        std::vector<DAO*> records;
        for (std::size_t i = 0; i < names.size(); ++i) {
            notes[i]._name = names[i];
            records.push_back(&notes[i]);
        }
        std::vector<std::pair<std::size_t, int>> told;
        inserter.insertAll(records, 0, [&](std::size_t i, const ResultMsg& rm, int newID) {
            told.emplace_back(i, rm.ok() ? newID : -1);
        });
        ASSERT_TRUE(config.getPSession()->commit().ok());
        ASSERT_EQ(told.size(), names.size());
        for (std::size_t i = 0; i < names.size(); ++i) {
            EXPECT_EQ(told[i].first, i);
            EXPECT_EQ(
                told[i].second < 0
                    ? "refused"
                    : rawScalar(configPath, "SELECT \"Name\" FROM \"T_M_Note\" WHERE \"id\" = " +
                                                std::to_string(told[i].second)),
                names[i] == "no" ? "refused" : names[i]);
        }
    }
    ASSERT_TRUE(removeFault(configPath, "fault", "T_M_Note"));
    // A mapper that saves its own way is not bypassed.
    StampedNoteDAO stamped;
    stamped._title = "mine";
    int id = 0;
    ASSERT_TRUE(inserter.insert(stamped, COMMIT_T_IMMEDIATELY, id).ok());
    EXPECT_EQ(rawScalar(configPath,
                        "SELECT \"Title\" FROM \"T_M_Note\" WHERE \"id\" = " + std::to_string(id)),
              "mine (stamped)");
    // A layout the typed insert refuses goes through the text row, which
    // says why.
    BadTableNoteDAO bad;
    const ResultMsg refused = bad.save(config, COMMIT_T_IMMEDIATELY);
    EXPECT_EQ(refused.rCode, SRV_ERR_ARGUMENT);
    EXPECT_NE(refused.rMsg.find("T_M_\"Bad"), std::string::npos) << refused.rMsg;
    EXPECT_EQ(bad._ID, 0);
    // An insert the database refuses (no such table there) is a failure,
    // not a new identifier.
    NoteDAO elsewhere;
    const ResultMsg missing = elsewhere.save(*MeridianNew::getCurrentWorkDBIDM(), 0);
    EXPECT_EQ(missing.rCode, SRV_ERR_NO_TABLE) << missing.rMsg;
    EXPECT_EQ(elsewhere._ID, 0);
}

TEST_F(PersistentObject, EachKindOfObjectLivesInItsDatabase) {
    InstanceDataManager* config = MeridianNew::getCurrMRDConfigIDM();
    InstanceDataManager* work = MeridianNew::getCurrentWorkDBIDM();
    ASSERT_NE(config, work);
    DAO plain;
    totalDAO total;
    subDBDAO sub;
    dataDictionaryDAO dictionary;
    NoteDAO note;
    const std::pair<DAO*, InstanceDataManager*> homes[] = {
        {&plain, work}, {&sub, work}, {&total, config}, {&dictionary, config}, {&note, config}};
    for (const auto& [object, home] : homes)
        EXPECT_EQ(object->getIDM(), home);
    EXPECT_EQ(plain._DAOType, DAO_TYPE_PLAIN);
    EXPECT_EQ(note._DAOType, 3);
    EXPECT_EQ(TagDAO()._DAOType, 4);
    EXPECT_EQ(plain.save().rCode, COM_ERR_MAPPER);  // a plain DAO has no mapper
}

TEST_F(PersistentObject, MapDataAndClassNameComeFromTheMapperAndRegistry) {
    NoteDAO note;
    note._name = "n";
    note._priority = 4;
    ASSERT_TRUE(note.save().ok());
    std::map<std::string, std::string> data;
    ASSERT_TRUE(note.toMapData(data).ok());
    EXPECT_EQ(data["id"], "1");
    EXPECT_EQ(data["Priority"], "4");
    EXPECT_EQ(data.size(), 8u);

    data["Name"] = "copy";
    DAO* made = nullptr;
    ASSERT_TRUE(note.transfromMapData(data, made).ok());
    std::unique_ptr<DAO> owned(made);
    auto* copy = dynamic_cast<NoteDAO*>(made);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->_name, "copy");
    EXPECT_EQ(copy->_priority, 4);
    EXPECT_EQ(copy->_ID, 1);

    EXPECT_EQ(note.GetDAOClassName(), "NoteDAO");
    TagDAO tag;
    EXPECT_EQ(tag.GetDAOClassName(), "TagDAO");
    DAO plain;
    EXPECT_EQ(plain.GetDAOClassName(), "");
    // The registry is a plain map that generated code writes directly.
    DAOFactoryRegistry::factories().erase("TagDAO");
    EXPECT_EQ(tag.GetDAOClassName(), "");
    DAOFactoryRegistry::factories()["TagDAO"] = &TagDAO::createObject;
    EXPECT_EQ(tag.GetDAOClassName(), "TagDAO");
}

TEST_F(PersistentObject, AMapperThatLiesAboutItsColumnCountIsRefusedEverywhere) {
    DAOFactoryRegistry::registerClass("LiarDAO", &LiarDAO::createObject);
    for (int claimed : {ITABLEDATA_MAX_COLUMNS + 1, 1000, -1}) {
        SCOPED_TRACE(claimed);
        claimedColumns = claimed;
        LiarDAO liar;
        EXPECT_EQ(liar.save().rCode, COM_ERR_MAPPER);
        std::map<std::string, std::string> data;
        EXPECT_EQ(liar.toMapData(data).rCode, COM_ERR_MAPPER);
        std::list<DAO*> found;
        EXPECT_EQ(DAOFinder().findAll("LiarDAO", found).rCode, COM_ERR_MAPPER);
        EXPECT_TRUE(found.empty());
        EXPECT_EQ(MeridianNew::ensureRegisteredTables().rCode, COM_ERR_MAPPER);
    }
    DAOFactoryRegistry::factories().erase("LiarDAO");
}

TEST_F(PersistentObject, RelationToolLinksAndUnlinksThroughTheChildKey) {
    NoteDAO owner;
    TagDAO tag;
    RelationDataTool unsavedOwner(&owner);
    EXPECT_EQ(unsavedOwner.add1N(&tag, tag._rNoteID).rCode, COM_ERR_ARGUMENT);
    EXPECT_EQ(tag._ID, 0);

    ASSERT_TRUE(owner.save().ok());
    RelationDataTool tool(&owner);
    EXPECT_EQ(tool.add1N(nullptr, tag._rNoteID).rCode, COM_ERR_ARGUMENT);
    ASSERT_TRUE(tool.add1N(&tag, tag._rNoteID).ok());
    EXPECT_EQ(tag._rNoteID, owner._ID);
    EXPECT_EQ(rawScalar(configPath, "SELECT \"MRNoteID_2\" FROM \"T_M_Tag_2\""), "1");

    NoteDAO other;
    ASSERT_TRUE(other.save().ok());
    EXPECT_EQ(RelationDataTool(&other).remove1N(&tag, tag._rNoteID).rCode, COM_ERR_ARGUMENT);
    ASSERT_TRUE(tool.remove1N(&tag, tag._rNoteID).ok());
    EXPECT_EQ(tag._rNoteID, -1);
    EXPECT_EQ(rawScalar(configPath, "SELECT \"MRNoteID_2\" FROM \"T_M_Tag_2\""), "-1");
}

}  // namespace arxtest
