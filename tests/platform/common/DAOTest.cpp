#include <gtest/gtest.h>

#include "CommonErrorCode.h"
#include "DAO.h"
#include "InstanceDataManager.h"
#include "RelationDataTool.h"
#include "ServiceErrorCode.h"
#include "support/PlatformFixture.h"
#include "support/RawDb.h"

namespace arxtest {

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
    EXPECT_EQ(rawScalar(configPath, "SELECT Name || '/' || Weight FROM T_M_Note WHERE id = 1"),
              "renamed/0.25");

    NoteDAO second;
    ASSERT_TRUE(second.save().ok());
    ASSERT_TRUE(second.delself().ok());
    EXPECT_EQ(rawScalar(configPath, "SELECT count(*) FROM T_M_Note"), "1");
    // Updating a row that has gone is an error, not a silent insert.
    ResultMsg rm = second.save();
    EXPECT_EQ(rm.rCode, SRV_ERR_NO_ROW);

    NoteDAO unsaved;
    EXPECT_EQ(unsaved.delself().rCode, COM_ERR_ARGUMENT);
    ASSERT_TRUE(unsaved.delAll().ok());
    EXPECT_EQ(rawScalar(configPath, "SELECT count(*) FROM T_M_Note"), "0");
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
    TagDAO tag;
    EXPECT_EQ(plain.getIDM(), work);
    EXPECT_EQ(sub.getIDM(), work);
    EXPECT_EQ(total.getIDM(), config);
    EXPECT_EQ(dictionary.getIDM(), config);
    EXPECT_EQ(note.getIDM(), config);
    EXPECT_EQ(plain._DAOType, 0);
    EXPECT_EQ(note._DAOType, 3);
    EXPECT_EQ(tag._DAOType, 4);
    EXPECT_EQ(plain.createMapper(), nullptr);
    EXPECT_EQ(plain.save().rCode, COM_ERR_MAPPER);
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
    EXPECT_EQ(rawScalar(configPath, "SELECT MRNoteID_2 FROM T_M_Tag_2"), "1");

    NoteDAO other;
    ASSERT_TRUE(other.save().ok());
    EXPECT_EQ(RelationDataTool(&other).remove1N(&tag, tag._rNoteID).rCode, COM_ERR_ARGUMENT);
    ASSERT_TRUE(tool.remove1N(&tag, tag._rNoteID).ok());
    EXPECT_EQ(tag._rNoteID, -1);
    EXPECT_EQ(rawScalar(configPath, "SELECT MRNoteID_2 FROM T_M_Tag_2"), "-1");
}

}  // namespace arxtest
