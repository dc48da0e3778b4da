// The rules of names and storage types, which need no database.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "InstanceDataManager.h"
#include "ServiceErrorCode.h"

namespace arxtest {

using namespace MeridianSpace;

TEST(NameRules, TableAndColumnNamesAreCheckedByBytesAndColumnsAgainstTheirTable) {
    const std::string han = "\xe5\x90\x8d";  // one character of three bytes
    std::string longest, tooLong;
    for (int i = 0; i < 85; ++i)
        longest += han;  // 255 bytes
    tooLong = longest + "a";
    // Name, the table's other columns, the table rule's and the column rule's answer.
    const std::tuple<std::string, std::vector<std::string>, int, int> cases[] = {
        {"T_Item", {}, 0, 0},
        {std::string(255, 'a'), {}, 0, 0},
        {std::string(256, 'a'), {}, SRV_ERR_ARGUMENT, SRV_ERR_ARGUMENT},
        {longest, {}, 0, 0},
        {tooLong, {}, SRV_ERR_ARGUMENT, SRV_ERR_ARGUMENT},
        {"", {}, SRV_ERR_ARGUMENT, SRV_ERR_ARGUMENT},
        {"a\"b", {}, SRV_ERR_ARGUMENT, SRV_ERR_ARGUMENT},
        {"a\tb", {}, SRV_ERR_ARGUMENT, SRV_ERR_ARGUMENT},
        {"a\x7f", {}, SRV_ERR_ARGUMENT, SRV_ERR_ARGUMENT},
        {"a b; c", {}, 0, 0},
        {"id", {}, 0, SRV_ERR_ARGUMENT},
        {"Id", {}, 0, SRV_ERR_ARGUMENT},
        {"ids", {}, 0, 0},
        {"qty", {"Name", "QTY"}, 0, SRV_ERR_ARGUMENT},
        {"Qty", {"Qty2", "Q"}, 0, 0},
    };
    for (const auto& [name, others, tableCode, columnCode] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(InstanceDataManager::checkTableName(name).rCode, tableCode);
        EXPECT_EQ(InstanceDataManager::checkColumnName(name, others).rCode, columnCode);
    }
}

TEST(NameRules, EachDataTypeIsStoredAsIntegerRealBlobOrText) {
    const std::pair<int, int> types[] = {
        {COL_TYPE_INT, COL_TYPE_INT},
        {COL_TYPE_DOUBLE, COL_TYPE_DOUBLE},
        {COL_TYPE_BLOB_CHAR, COL_TYPE_BLOB},
        {COL_TYPE_BLOB_DOUBLE, COL_TYPE_BLOB},
        {COL_TYPE_BLOB, COL_TYPE_BLOB},
        {COL_TYPE_STRING, COL_TYPE_STRING},
        {0, COL_TYPE_STRING},
        {99, COL_TYPE_STRING},
    };
    for (const auto& [dataType, stored] : types)
        EXPECT_EQ(InstanceDataManager::storageType(dataType), stored) << dataType;
}

}  // namespace arxtest
