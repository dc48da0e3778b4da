// The instance-file side of InstanceDataManager: an empty data store of one
// model version in a new file, and what such a file says about itself.
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

#include "IEntityModel.h"
#include "InstanceDataManager.h"
#include "MRDService.h"
#include "MRDSession.h"
#include "ServiceErrorCode.h"
#include "StringHelper.h"
#include "backend/BackendRegistry.h"
#include "backend/Connection.h"
#include "backend/InstanceInfo.h"
#include "backend/RowValues.h"
#include "backend/SqlText.h"

namespace MeridianSpace {

using detail::Connection;
using detail::kInstanceInfoColumns;
using detail::kInstanceInfoTable;
using detail::notInstanceFile;
using detail::StatementLease;

namespace {

std::string projectByUID(const Connection& conn) {
    return "SELECT \"id\" FROM \"T_M_Project\" WHERE " +
           conn.dialect().equalsIgnoringCase("\"UID\"", "?1") + " ORDER BY \"id\" LIMIT 1";
}
const char* const kModelByName =
    "SELECT \"id\" FROM \"T_M_EntityModel\" WHERE \"RProjectID\" = ?1 AND \"Name\" = ?2 "
    "AND \"Version\" = ?3 ORDER BY \"id\" LIMIT 1";
// The tables linked to model ?1 that exist in version ?2, in link order.
std::string modelTables(const Connection& conn) {
    return std::string(
               "SELECT t.\"id\", t.\"Name\", t.\"InnerName\" FROM \"T_M_R_ModelTable\" AS l ") +
           conn.dialect().orderedJoin() +
           " \"T_M_EntityTable\" AS t ON t.\"id\" = l.\"T_M_EntityTableID\" "
           "WHERE l.\"T_M_EntityModelID\" = ?1 AND t.\"AddVersion\" <= ?2 AND t.\"DelVersion\" > "
           "?2 "
           "ORDER BY l.\"id\"";
}
// The columns of table ?1 that exist in version ?2. A column keeps the place
// of its first record: one changed in a later version (a record of the same
// inner name for the versions before) stays where it was in every version.
const char* const kTableColumns =
    "SELECT c.\"InnerName\", c.\"Name\", c.\"DataType\", c.\"DefaultValue\", c.\"IsIndex\", "
    "c.\"IsOnly\", c.\"IsAutoIncrement\", c.\"MaxLength\", c.\"MinLength\", c.\"NumLength\", "
    "c.\"NumPresision\" FROM \"T_M_NormalColumn\" AS c WHERE c.\"T_M_EntityTableID\" = ?1 AND "
    "c.\"AddVersion\" <= ?2 AND c.\"DelVersion\" > ?2 ORDER BY (SELECT min(o.\"id\") FROM "
    "\"T_M_NormalColumn\" AS o WHERE o.\"T_M_EntityTableID\" = ?1 AND o.\"InnerName\" = "
    "c.\"InnerName\")";

ResultMsg readMetaData(Connection& conn, const std::string& sql,
                       const detail::StatementBinder& bind, const detail::RowReader& read) {
    return detail::forEachResultRow(conn, sql, bind, read, "读取元数据失败");
}

struct TableLayout {
    MTable table;
    std::list<MNormalColumn> columns;
};

// The identifier of the model `model` names, or SRV_ERR_NO_ROW.
ResultMsg findModel(Connection& conn, const IEntityModel& model, int& modelID) {
    int projectID = 0;
    ResultMsg rm = readMetaData(
        conn, projectByUID(conn), [&](detail::Statement& s) { s.bindText(1, model._projectUID); },
        [&](const detail::Statement& s) { projectID = s.columnInt(0); });
    if (rm.ok() && projectID == 0) {
        return ResultMsg(SRV_ERR_NO_ROW, "项目不存在：UID = " + model._projectUID);
    }
    if (rm.ok()) {
        rm = readMetaData(
            conn, kModelByName,
            [&](detail::Statement& s) {
                s.bindInt64(1, projectID);
                s.bindText(2, model._name);
                s.bindInt64(3, model._version);
            },
            [&](const detail::Statement& s) { modelID = s.columnInt(0); });
    }
    if (rm.ok() && modelID == 0) {
        rm = ResultMsg(SRV_ERR_NO_ROW, "数据模型不存在：项目UID = " + model._projectUID +
                                           "，名称 = " + model._name +
                                           "，版本 = " + StringHelper::int2String(model._version));
    }
    return rm;
}

MNormalColumn readColumn(const detail::Statement& s) {
    MNormalColumn column;
    column._innerName = s.columnBytes(0);
    column._name = s.columnBytes(1);
    column._dataType = s.columnInt(2);
    column._defaultValue = s.columnBytes(3);
    column._isIndex = s.columnInt(4);
    column._isOnly = s.columnInt(5);
    column._isAutoIncrement = s.columnInt(6);
    column._maxLength = s.columnInt(7);
    column._minLength = s.columnInt(8);
    column._numLength = s.columnInt(9);
    column._numPresision = s.columnInt(10);
    return column;
}

// The tables of the model's version, each once, with the columns of that version.
ResultMsg readModelLayout(Connection& conn, const IEntityModel& model,
                          std::vector<TableLayout>& layouts) {
    int modelID = 0;
    ResultMsg rm = findModel(conn, model, modelID);
    if (!rm.ok()) return rm;
    const auto bindVersion = [&](detail::Statement& s, int id) {
        s.bindInt64(1, id);
        s.bindInt64(2, model._version);
    };
    std::vector<int> seen;
    rm = readMetaData(
        conn, modelTables(conn), [&](detail::Statement& s) { bindVersion(s, modelID); },
        [&](const detail::Statement& s) {
            const int id = s.columnInt(0);
            for (int known : seen) {
                if (known == id) return;
            }
            seen.push_back(id);
            TableLayout layout;
            layout.table._ID = id;
            layout.table._name = s.columnBytes(1);
            layout.table._innerName = s.columnBytes(2);
            layout.table._version = model._version;
            layouts.push_back(std::move(layout));
        });
    for (auto it = layouts.begin(); rm.ok() && it != layouts.end(); ++it) {
        rm = readMetaData(
            conn, kTableColumns, [&](detail::Statement& s) { bindVersion(s, it->table._ID); },
            [&](const detail::Statement& s) { it->columns.push_back(readColumn(s)); });
    }
    return rm;
}

ResultMsg existsAlready(const std::string& path) {
    return ResultMsg(SRV_ERR_EXISTS, "实例文件已存在，不会覆盖：" + path);
}

ResultMsg fileSystemError(const std::string& what, const std::string& path, int error) {
    return ResultMsg(SRV_ERR_NO_FILE, what + path + "：" + std::strerror(error));
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
    ResultMsg rm = conn.lockSchemaChanges();
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

ResultMsg InstanceDataManager::instanceStatements(const IEntityModel& model,
                                                  std::vector<std::string>& statements) {
    Connection& conn = *connection_;
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

ResultMsg MRDService::publishFile(const std::string& temporary, const std::string& target) {
    if (::link(temporary.c_str(), target.c_str()) == 0) return ResultMsg();
    int error = errno;
    if (error == EPERM || error == EOPNOTSUPP || error == ENOSYS) {
        // A file system without hard links: a rename that never replaces.
        if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) ==
            0) {
            return ResultMsg();
        }
        error = errno;
    }
    if (error == EEXIST) return existsAlready(target);
    return fileSystemError("无法建立实例文件：", target, error);
}

ResultMsg InstanceDataManager::createEntityModelInstance_Create(IEntityModel model,
                                                                MRDSession*& session, int flag) {
    Connection& conn = *connection_;
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
        if (rm.ok()) session = new MRDSession(std::move(built));
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

    std::shared_ptr<Connection> opened;
    rm = detail::fileBackend().open(target, false, opened);
    if (rm.ok() && flag == 1) rm = opened->loadAllLayouts();
    if (!rm.ok()) {
        // Nobody has seen the file yet: a failure leaves none behind.
        opened.reset();
        removeDatabaseFiles(target);
        return rm;
    }
    session = new MRDSession(std::move(opened));
    return rm;
}

ResultMsg InstanceDataManager::getEntityModelInstanceInfo(IEntityModel& model) {
    Connection& conn = *connection_;
    ResultMsg rm = conn.checkOpen();
    if (!rm.ok()) return rm;
    StatementLease lease;
    rm = conn.prepare(detail::instanceInfoQuery(conn.dialect().storageOrder()), lease);
    if (!rm.ok()) {
        // Any other database lacks the table or some of its columns; a file
        // that cannot be read keeps the engine's answer.
        ResultMsg why = conn.explainFailure(kInstanceInfoTable, kInstanceInfoColumns, rm);
        if (why.rCode == SRV_ERR_NO_TABLE || why.rCode == SRV_ERR_NO_COLUMN) {
            return notInstanceFile(conn.displayName(), why.rMsg);
        }
        return why;
    }
    const detail::StepResult rc = lease->step();
    if (rc == detail::StepResult::Done)
        return notInstanceFile(conn.displayName(), "实例信息表中没有记录");
    if (rc != detail::StepResult::Row) {
        return conn.engineError(SRV_ERR_ENGINE, "读取实例信息失败：" + conn.displayName());
    }
    if (lease->columnType(1) != detail::ValueType::Integer) {
        return notInstanceFile(conn.displayName(), "版本号不是整数");
    }
    model._name = lease->columnBytes(0);
    model._version = lease->columnInt(1);
    model._type = lease->columnBytes(2);
    model._description = lease->columnBytes(3);
    model._projectUID = lease->columnBytes(4);
    return rm;
}

ResultMsg InstanceDataManager::setEntityModelInstanceVersion(int version) {
    Connection& conn = *connection_;
    ResultMsg rm = conn.checkOpen();
    if (!rm.ok()) return rm;
    return conn.atomic([&]() {
        StatementLease lease;
        ResultMsg r = conn.prepare(
            "UPDATE " + detail::quoteIdentifier(kInstanceInfoTable) + " SET \"Version\" = ?1",
            lease);
        if (!r.ok()) return r;
        lease->bindInt64(1, version);
        if (lease->step() != detail::StepResult::Done)
            return conn.engineError(SRV_ERR_ENGINE, "写入实例信息失败：" + conn.displayName());
        return r;
    });
}

}  // namespace MeridianSpace
