// The instance files of InstanceDataManager: an empty data store of one model
// version built in a new file (or an empty server database), and the
// statements that build it.
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "detail/InstanceFiles.h"

#include "InstanceDataManager.h"
#include "MRDService.h"
#include "ServiceErrorCode.h"
#include "StringHelper.h"
#include "backend/BackendRegistry.h"
#include "backend/Connection.h"
#include "backend/InstanceInfo.h"
#include "backend/RowValues.h"
#include "backend/SqlText.h"
#include "detail/ModelVersionTables.h"

namespace MeridianSpace {

using detail::Connection;
using detail::kInstanceInfoColumns;
using detail::kInstanceInfoTable;
using detail::readModelLayout;
using detail::TableLayout;

namespace {

ResultMsg existsAlready(const std::string& path) {
    return ResultMsg(SRV_ERR_EXISTS, "实例文件已存在，不会覆盖：" + path);
}

ResultMsg fileSystemError(const std::string& what, const std::string& path, int error) {
    return ResultMsg(SRV_ERR_NO_FILE, what + path + "：" + std::strerror(error));
}

ResultMsg existsOr(const std::string& target, int error) {
    if (error == EEXIST) return existsAlready(target);
    return fileSystemError("无法建立实例文件：", target, error);
}

// A new empty file beside `target` under a name that is ours alone. It is
// made like any new database file (its mode follows the umask), since it
// becomes the instance file itself.
ResultMsg makeTemporaryFile(const std::string& target, std::string& out) {
    static std::atomic<unsigned> lastNumber{0};
    const std::size_t slash = target.rfind('/');
    const std::string prefix =
        (slash == std::string::npos ? std::string() : target.substr(0, slash + 1)) +
        ".arx-instance-" + std::to_string(::getpid()) + "-";
    int error = EEXIST;
    for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
        const std::string name = prefix + std::to_string(++lastNumber);
        const int fd = ::open(name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            out = name;
            return ResultMsg();
        }
        error = errno;
    }
    return fileSystemError("无法在实例文件的目录中建立临时文件：", target, error);
}

// Removes a database file and the files SQLite keeps beside it.
void removeDatabaseFiles(const std::string& path) {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        ::unlink((path + suffix).c_str());
}

// Removes the temporary file on every way out: after a failure it is the
// half-built file, after publishing only a second name of the instance file.
class TemporaryFile {
public:
    explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
    ~TemporaryFile() { removeDatabaseFiles(path_); }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

int infoColumnType(const std::string& column) {
    return column == "Version" ? COL_TYPE_INT : COL_TYPE_STRING;
}

ITableData infoRow(const IEntityModel& model) {
    ITableData row;
    row._tableInnerName = kInstanceInfoTable;
    const std::string values[] = {model._name,       StringHelper::int2String(model._version),
                                  model._type,       model._description,
                                  model._projectUID, model._instanceKind};
    for (std::size_t i = 0; i < kInstanceInfoColumns.size(); ++i) {
        row._cloInnerName[i] = kInstanceInfoColumns[i];
        row._colType[i] = infoColumnType(kInstanceInfoColumns[i]);
        row._colValue[i] = values[i];
    }
    row._colNum = static_cast<int>(kInstanceInfoColumns.size());
    return row;
}

// The description of the file, then the model's tables, through the
// manager of the new file (one transaction is open around it).
ResultMsg fillInstanceFile(InstanceDataManager& builder, const IEntityModel& model,
                           const std::vector<TableLayout>& layouts) {
    MTable info;
    info._innerName = kInstanceInfoTable;
    std::list<MNormalColumn> infoColumns;
    for (const std::string& name : kInstanceInfoColumns) {
        infoColumns.emplace_back();
        infoColumns.back()._name = infoColumns.back()._innerName = name;
        infoColumns.back()._dataType = infoColumnType(name);
    }
    ResultMsg rm = builder.addMTableInstance(info, infoColumns);
    if (rm.ok()) rm = builder.addITableData(infoRow(model), COMMIT_T_DEFERRED);
    for (auto it = layouts.begin(); rm.ok() && it != layouts.end(); ++it)
        rm = builder.addMTableInstance(it->table, it->columns);
    return rm;
}

// The names of the instance's tables and columns, checked against what the
// database keeps (see BackendCapabilities::nameLimit) before anything is made.
ResultMsg checkNamesFit(const std::vector<TableLayout>& layouts, std::size_t limit) {
    ResultMsg rm;
    for (auto t = layouts.begin(); rm.ok() && t != layouts.end(); ++t) {
        rm = detail::checkNameFits(t->table._innerName, "表", limit);
        const std::string columnOf = "表" + t->table._innerName + "的列";
        for (auto c = t->columns.begin(); rm.ok() && c != t->columns.end(); ++c)
            rm = detail::checkNameFits(c->_innerName, columnOf.c_str(), limit);
    }
    return rm;
}

// Fills a server database that must hold no table yet, inside the open
// transaction; looked at under the lock that other builders of tables take.
ResultMsg fillServerInstance(Connection& conn, InstanceDataManager& builder,
                             const IEntityModel& model, const std::vector<TableLayout>& layouts) {
    ResultMsg rm = conn.catalogue().lockSchemaChanges();
    std::vector<std::string> tables;
    if (rm.ok()) rm = conn.tableNames(tables);
    if (rm.ok() && !tables.empty()) {
        return ResultMsg(SRV_ERR_EXISTS,
                         "数据库中已有表，不能在其中建立实例：" + conn.displayName());
    }
    return rm.ok() ? fillInstanceFile(builder, model, layouts) : rm;
}

// Where instanceStatements builds: a private schema on a server, so that the
// database's own tables neither stop the build nor see it (the transaction
// around it is rolled back, the schema with it).
ResultMsg enterScratchSchema(Connection& conn) {
    static std::atomic<unsigned> lastNumber{0};
    const std::string schema = detail::quoteIdentifier(
        "arx_statements_" + std::to_string(::getpid()) + "_" + std::to_string(++lastNumber));
    ResultMsg rm = conn.execute("CREATE SCHEMA " + schema);
    if (rm.ok()) rm = conn.execute("SET LOCAL search_path TO " + schema);
    conn.schemaChanged();
    return rm;
}

}  // namespace

ResultMsg detail::InstanceFiles::instanceStatements(const IEntityModel& model,
                                                    std::vector<std::string>& statements) {
    Connection& conn = conn_;
    std::vector<TableLayout> layouts;
    ResultMsg rm = conn.checkOpen();
    if (rm.ok()) rm = readModelLayout(conn, model, layouts);
    const detail::Backend& backend = detail::backendFor(model._filePath);
    std::shared_ptr<Connection> scratch;
    if (rm.ok() && !backend.capabilities().localFile) {
        rm = checkNamesFit(layouts, backend.capabilities().nameLimit);
        if (rm.ok()) rm = backend.open(model._filePath, false, scratch);
    } else if (rm.ok()) {
        rm = backend.openMemory(scratch);
    }
    if (!rm.ok()) return rm;
    int savepoint = 0;
    rm = scratch->beginSavepoint(savepoint);
    if (rm.ok() && !backend.capabilities().localFile) rm = enterScratchSchema(*scratch);
    std::vector<std::string> log;
    if (rm.ok()) {
        InstanceDataManager builder(scratch);
        scratch->setStatementLog(&log);
        rm = !backend.capabilities().localFile
                 ? fillServerInstance(*scratch, builder, model, layouts)
                 : fillInstanceFile(builder, model, layouts);
        scratch->setStatementLog(nullptr);
    }
    if (savepoint != 0) {
        const ResultMsg undone = scratch->rollbackSavepoint(savepoint);
        if (rm.ok()) rm = undone;
    }
    const ResultMsg closed = scratch->close();
    if (rm.ok()) rm = closed;
    if (rm.ok()) statements.insert(statements.end(), log.begin(), log.end());
    return rm;
}

namespace {

// Makes what was written to `path` (a file or a folder) durable.
int syncPath(const std::string& path, int flags) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0) return errno;
    const int error = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return error;
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

// The file's name, once the file is durable, then the name itself durable:
// a file built without syncs is synced once here, before anyone sees it.
ResultMsg MRDService::publishFile(const std::string& temporary, const std::string& target) {
    int error = syncPath(temporary, O_RDONLY);
    if (error != 0) return fileSystemError("无法将实例文件写入磁盘：", temporary, error);
    if (::link(temporary.c_str(), target.c_str()) != 0) {
        error = errno;
        if (error != EPERM && error != EOPNOTSUPP && error != ENOSYS)
            return existsOr(target, error);
        // A file system without hard links: a rename that never replaces.
        if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) !=
            0)
            return existsOr(target, errno);
    }
    error = syncPath(folderOf(target), O_RDONLY | O_DIRECTORY);
    if (error == 0) return ResultMsg();
    ::unlink(target.c_str());  // not known to stay: not published
    return fileSystemError("无法将实例文件写入磁盘：", target, error);
}

ResultMsg detail::InstanceFiles::createEntityModelInstance_Create(
    IEntityModel model, std::shared_ptr<Connection>& opened, int flag) {
    Connection& conn = conn_;
    const std::string& target = model._filePath;
    ResultMsg rm = conn.checkOpen();
    const detail::Backend& server = detail::backendFor(target);
    if (rm.ok() && !server.capabilities().localFile) {
        std::vector<TableLayout> layouts;
        std::shared_ptr<Connection> built;
        rm = readModelLayout(conn, model, layouts);
        if (rm.ok()) rm = checkNamesFit(layouts, server.capabilities().nameLimit);
        if (rm.ok()) rm = server.open(target, true, built);
        if (!rm.ok()) return rm;
        InstanceDataManager builder(built);
        rm = built->atomic([&]() { return fillServerInstance(*built, builder, model, layouts); });
        if (rm.ok() && flag == 1) rm = built->loadAllLayouts();
        if (rm.ok()) opened = std::move(built);
        return rm;
    }
    if (rm.ok()) rm = detail::fileBackend().checkLocation(target);
    if (!rm.ok()) return rm;
    struct stat st {};
    if (::lstat(target.c_str(), &st) == 0) return existsAlready(target);
    std::vector<TableLayout> layouts;
    rm = readModelLayout(conn, model, layouts);
    if (!rm.ok()) return rm;

    std::string temporaryPath;
    rm = makeTemporaryFile(target, temporaryPath);
    if (!rm.ok()) return rm;
    const TemporaryFile temporary(temporaryPath);
    {
        std::shared_ptr<Connection> file;
        rm = detail::fileBackend().open(temporary.path(), false, file);
        if (!rm.ok()) return rm;
        InstanceDataManager builder(file);
        rm = file->atomic([&]() { return fillInstanceFile(builder, model, layouts); });
        // The file must be complete on disk, its write-ahead log folded in,
        // before another name points to it.
        ResultMsg closed = file->close();
        if (rm.ok()) rm = closed;
    }
    if (rm.ok()) rm = MRDService::publishFile(temporary.path(), target);
    if (!rm.ok()) return rm;

    rm = detail::fileBackend().open(target, false, opened);
    if (rm.ok() && flag == 1) rm = opened->loadAllLayouts();
    if (!rm.ok()) {
        // Nobody has seen the file yet: a failure leaves none behind.
        opened.reset();
        removeDatabaseFiles(target);
        return rm;
    }
    return rm;
}

}  // namespace MeridianSpace
