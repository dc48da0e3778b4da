#include "sqlite/SqliteBackend.h"

#include "IEntityModel.h"
#include "backend/InstanceInfo.h"
#include "backend/PolledChangeWatch.h"
#include "sqlite/SqliteConnection.h"
#include "sqlite/SqliteReadOnly.h"
#include "sqlite/SqliteSchema.h"

namespace MeridianSpace::detail {

namespace {

template <class Opened>
ResultMsg handOver(ResultMsg rm, std::shared_ptr<Opened>& opened,
                   std::shared_ptr<Connection>& out) {
    if (rm.ok()) out = std::move(opened);
    return rm;
}

}  // namespace

ResultMsg SqliteBackend::open(const std::string& location, bool create,
                              std::shared_ptr<Connection>& out) const {
    std::shared_ptr<SqliteConnection> file;
    return handOver(SqliteConnection::open(location, create, file), file, out);
}

ResultMsg SqliteBackend::openReadOnly(const std::string& location,
                                      std::shared_ptr<Connection>& out) const {
    std::shared_ptr<SqliteConnection> file;
    return handOver(SqliteConnection::openReadOnly(location, file), file, out);
}

ResultMsg SqliteBackend::openMemory(std::shared_ptr<Connection>& out) const {
    std::shared_ptr<SqliteConnection> memory;
    return handOver(SqliteConnection::openMemory(memory), memory, out);
}

ResultMsg SqliteBackend::checkLocation(const std::string& location) const {
    return SqliteConnection::checkPath(location);
}

ResultMsg SqliteBackend::readTableNames(const std::string& location,
                                        std::vector<std::string>& out) const {
    SqliteReadOnlyFile file;
    ResultMsg rm = file.open(location);
    if (rm.ok()) rm = file.tableNames(out);
    return rm;
}

ResultMsg SqliteBackend::watchChanges(const std::string& location,
                                      const std::vector<std::string>& tables,
                                      std::unique_ptr<ChangeWatch>& out) const {
    std::shared_ptr<SqliteConnection> file;
    ResultMsg rm = SqliteConnection::open(location, false, file);
    if (rm.ok()) out = std::make_unique<PolledChangeWatch>(std::move(file), tables);
    return rm;
}

ResultMsg SqliteBackend::readSchema(const std::string& location, DatabaseSchema& out) const {
    SqliteReadOnlyFile file;
    ResultMsg rm = file.open(location);
    if (rm.ok()) rm = readSqliteSchema(file, out);
    return rm;
}

ResultMsg SqliteBackend::readInstanceInfo(const std::string& location, IEntityModel& model) const {
    SqliteReadOnlyFile file;
    ResultMsg rm = file.open(location);
    if (!rm.ok()) return rm;
    std::vector<SqliteReadOnlyFile::Value> row;
    std::string why;
    switch (file.firstRow(instanceInfoQuery("rowid"), row, why)) {
        case StepResult::Error:
            return notInstanceFile(location, why);
        case StepResult::Done:
            return notInstanceFile(location, "实例信息表中没有记录");
        case StepResult::Row:
            break;
    }
    if (!row[1].isInteger) return notInstanceFile(location, "版本号不是整数");
    model._name = row[0].bytes;
    model._version = static_cast<int>(row[1].integer);
    model._type = row[2].bytes;
    model._description = row[3].bytes;
    model._projectUID = row[4].bytes;
    return rm;
}

const BackendCapabilities& SqliteBackend::capabilities() const {
    return kSqliteCapabilities;
}

}  // namespace MeridianSpace::detail
