#include <gtest/gtest.h>

#include <cstring>

#include "platform/service/ServiceTestSupport.h"
#include "support/RawDb.h"

namespace arxtest {

class Blob : public ServiceTest {
protected:
    void SetUp() override {
        ServiceTest::SetUp();
        ASSERT_TRUE(idm->addNormalColumnInstance("T_Item", describe("Data", 5)).ok());
        ASSERT_TRUE(idm->addITableData(itemRow("a", "1", "1"), 1, rowId).ok());
    }
    int rowId = 0;
};

TEST_F(Blob, ValuesRoundTripAndTheCallerFreesThem) {
    const double values[] = {1.5, -2.25, 1e300};
    ASSERT_TRUE(idm->updateIBlobTableData("T_Item", "Data", values, 3, rowId).ok());
    double* read = nullptr;
    int count = 0;
    ASSERT_TRUE(idm->getIBlobTableData("T_Item", "Data", rowId, read, count).ok());
    ASSERT_EQ(count, 3);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read[0], 1.5);
    EXPECT_EQ(read[1], -2.25);
    EXPECT_EQ(read[2], 1e300);
    delete[] read;

    ASSERT_TRUE(idm->updateIBlobTableData("T_Item", "Data", nullptr, 0, rowId).ok());
    double sentinel = 9.0;
    read = &sentinel;
    ASSERT_TRUE(idm->getIBlobTableData("T_Item", "Data", rowId, read, count).ok());
    EXPECT_EQ(read, nullptr);
    EXPECT_EQ(count, 0);
}

TEST_F(Blob, FailuresLeaveTheCallersPointerAlone) {
    const double one = 1.0;
    EXPECT_EQ(idm->updateIBlobTableData("T_Item", "Data", &one, 1, 999).rCode, SRV_ERR_NO_ROW);
    EXPECT_EQ(idm->updateIBlobTableData("T_Item", "Data", &one, -1, rowId).rCode, SRV_ERR_ARGUMENT);
    EXPECT_EQ(idm->updateIBlobTableData("T_Item", "Data", nullptr, 2, rowId).rCode,
              SRV_ERR_ARGUMENT);
    EXPECT_EQ(idm->updateIBlobTableData("T_Item", "Nope", &one, 1, rowId).rCode, SRV_ERR_NO_COLUMN);

    double sentinel = 42.0;
    double* data = &sentinel;
    int count = 7;
    EXPECT_EQ(idm->getIBlobTableData("T_Item", "Data", 999, data, count).rCode, SRV_ERR_NO_ROW);
    EXPECT_EQ(idm->getIBlobTableData("T_Nowhere", "Data", rowId, data, count).rCode,
              SRV_ERR_NO_TABLE);
    EXPECT_EQ(data, &sentinel);
    EXPECT_EQ(count, 7);
}

TEST_F(Blob, ABlobOfOddLengthIsPaddedWithZeros) {
    ASSERT_TRUE(session->commit().ok());
    // Nine bytes: one double of 1.0 (little-endian) and one stray byte.
    ASSERT_TRUE(rawExecute(dbPath, "UPDATE T_Item SET Data = x'000000000000F03F07'"));
    ASSERT_TRUE(idm->initialMetaDataCache().ok());
    double* data = nullptr;
    int count = 0;
    ASSERT_TRUE(idm->getIBlobTableData("T_Item", "Data", rowId, data, count).ok());
    ASSERT_EQ(count, 2);
    EXPECT_EQ(data[0], 1.0);
    unsigned char tail[8];
    std::memcpy(tail, &data[1], 8);
    EXPECT_EQ(tail[0], 7);
    EXPECT_EQ(tail[7], 0);
    delete[] data;
}

}  // namespace arxtest
