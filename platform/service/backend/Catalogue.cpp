#include "backend/Catalogue.h"

#include "backend/Connection.h"
#include "backend/RowValues.h"
#include "backend/SqlText.h"

namespace MeridianSpace::detail {

ResultMsg Catalogue::renameTable(const std::string& from, const std::string& to) {
    return connection_.execute("ALTER TABLE " + quoteIdentifier(from) + " RENAME TO " +
                               quoteIdentifier(to));
}

ResultMsg Catalogue::holdOffWriters(const std::vector<std::string>& /*tables*/) {
    return ResultMsg();
}

ResultMsg Catalogue::explicitIdStored(const std::string& /*table*/, long long /*id*/) {
    return ResultMsg();
}

ResultMsg Catalogue::carryIdentity(const std::string& /*from*/, const std::string& /*to*/) {
    return ResultMsg();
}

ResultMsg Catalogue::releaseDerivedNames(const std::string& /*table*/) {
    return ResultMsg();
}

ResultMsg Catalogue::readUserObjects(const std::string& sql, std::vector<SchemaObject>& out) {
    return forEachResultRow(
        connection_, sql, [](Statement&) {},
        [&](const Statement& row) {
            SchemaObject object;
            object.kind = row.columnBytes(0);
            object.name = row.columnBytes(1);
            object.table = row.columnBytes(2);
            object.definition = row.columnBytes(3);
            object.names = identifiersIn(object.definition + "\n" + row.columnBytes(4));
            out.push_back(std::move(object));
        },
        "读取数据库中的索引、触发器和视图失败");
}

}  // namespace MeridianSpace::detail
