
#include <cstring>

#include "platform/service/ServiceTestSupport.h"

namespace arxtest {

using Blob = ServiceTest;

TEST_F(Blob, DoublesRoundTripAndFailuresLeaveTheCallersPointerAlone) {
    int id = 0;
    ASSERT_TRUE(idm->addITableData(itemRow("a"), COMMIT_T_IMMEDIATELY, id).ok());
    const double values[] = {1.5, -2.25, 1e300};
    ASSERT_TRUE(idm->updateIBlobTableData("T_Item", "Data", values, 3, id).ok());
    double* read = nullptr;
    int count = 0;
    ASSERT_TRUE(idm->getIBlobTableData("T_Item", "Data", id, read, count).ok());
    std::unique_ptr<double[]> owned(read);  // the caller frees with delete[]
    EXPECT_EQ(std::vector<double>(read, read + count), std::vector<double>(values, values + 3));
    // A row read carries the same bytes.
    std::list<ITableData> rows;
    ASSERT_TRUE(
        idm->getITableData("T_Item", {describe("Data", COL_TYPE_BLOB_DOUBLE)}, {}, rows, nullptr)
            .ok());
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows.front()._colValue[0],
              std::string(reinterpret_cast<const char*>(values), sizeof values));
    // Read again by a login whose sessions read bytes in the other text form.
    if (const std::string other = underTest().otherBytesReader(dbPath); !other.empty()) {
        ASSERT_TRUE(session->commit().ok());
        MRDSession* escaping = nullptr;
        InstanceDataManager* reader = nullptr;
        ResultMsg rm = service.createSession(other, escaping);
        std::unique_ptr<MRDSession> ownSession(escaping);
        if (rm.ok()) rm = escaping->createInstanceDataManager(reader, 0);
        std::unique_ptr<InstanceDataManager> ownReader(reader);
        double* escaped = nullptr;
        if (rm.ok()) rm = reader->getIBlobTableData("T_Item", "Data", id, escaped, count);
        std::unique_ptr<double[]> ownEscaped(escaped);
        EXPECT_TRUE(rm.ok()) << rm.rMsg;
        EXPECT_EQ(std::vector<double>(escaped, escaped + (rm.ok() ? count : 0)),
                  std::vector<double>(values, values + 3));
        ownReader.reset();
        ownSession.reset();
        underTest().dropReader(other);
    }
    const std::tuple<std::string, std::string, int, const double*, int, int, int> cases[] = {
        {"T_Item", "Data", 999, values, 1, SRV_ERR_NO_ROW, SRV_ERR_NO_ROW},
        {"T_Item", "Nope", id, values, 1, SRV_ERR_NO_COLUMN, SRV_ERR_NO_COLUMN},
        {"T_Nowhere", "Data", id, values, 1, SRV_ERR_NO_TABLE, SRV_ERR_NO_TABLE},
        {"T_Item", "Data", id, values, -1, SRV_ERR_ARGUMENT, -1},
        {"T_Item", "Data", id, nullptr, 2, SRV_ERR_ARGUMENT, -1},
    };
    for (const auto& [table, column, row, data, size, writeCode, readCode] : cases) {
        SCOPED_TRACE(table + "." + column + " count " + std::to_string(size));
        EXPECT_EQ(idm->updateIBlobTableData(table, column, data, size, row).rCode, writeCode);
        if (readCode == -1) continue;  // reading takes no count
        EXPECT_EQ(idm->getIBlobTableData(table, column, row, read, count).rCode, readCode);
        EXPECT_EQ(std::vector<double>(read, read + count), std::vector<double>(values, values + 3));
    }
    ASSERT_TRUE(idm->updateIBlobTableData("T_Item", "Data", nullptr, 0, id).ok());
    ASSERT_TRUE(idm->getIBlobTableData("T_Item", "Data", id, read, count).ok());
    EXPECT_EQ(std::pair(read, count), (std::pair<double*, int>(nullptr, 0)));

    ASSERT_TRUE(session->commit().ok());
    // Nine bytes: one double of 1.0 (little-endian) and one stray byte.
    ASSERT_TRUE(rawExecute(dbPath, "UPDATE \"T_Item\" SET \"Data\" = " +
                                       underTest().bytesLiteral("000000000000F03F07")));
    ASSERT_TRUE(idm->getIBlobTableData("T_Item", "Data", id, read, count).ok());
    owned.reset(read);
    const unsigned char padded[16] = {0, 0, 0, 0, 0, 0, 0xF0, 0x3F, 7};  // then zeros
    ASSERT_EQ(count, 2);
    EXPECT_EQ(std::memcmp(read, padded, sizeof padded), 0);
}

}  // namespace arxtest
