#include "postgres/PgConnection.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <utility>

#include "ServiceErrorCode.h"
#include "backend/RowValues.h"
#include "backend/SqlText.h"

namespace MeridianSpace::detail {

namespace {

// How long a connection attempt may take before the server counts as unreachable.
const char* const kConnectTimeoutSeconds = "10";
// Server-side prepared statements kept per connection; beyond this all are dropped.
constexpr std::size_t kMaxPrepared = 1024;
// The savepoint each statement inside a transaction runs under.
const char* const kStatementSavepoint = "SAVEPOINT arx_stmt";
const char* const kStatementRelease = "RELEASE SAVEPOINT arx_stmt";
const char* const kStatementUndo = "ROLLBACK TO SAVEPOINT arx_stmt";
// Their names as prepared statements.
const char* const kSavepointName = "arx_stmt_savepoint";
const char* const kReleaseName = "arx_stmt_release";
const char* const kUndoName = "arx_stmt_undo";
// The savepoint a run of inserts shares, and how long a run may grow: on a
// failure the run's earlier inserts are sent again.
const char* const kBatchSavepoint = "SAVEPOINT arx_batch";
const char* const kBatchRelease = "RELEASE SAVEPOINT arx_batch";
const char* const kBatchUndo = "ROLLBACK TO SAVEPOINT arx_batch";
constexpr std::size_t kMaxBatch = 1000;
constexpr std::size_t kReplayPerTrip = 100;
constexpr int kInlineParams = 16;
// The most parameters the server's protocol carries in one statement.
constexpr int kMaxParams = 65535;

constexpr Oid kByteaOid = 17;

// The same INSERT with "id" as one more column, its value the last parameter.
std::string withExplicitId(const std::string& sql) {
    std::string out = sql;
    const std::size_t close = out.rfind(") RETURNING");
    out.insert(close, ",?");
    out.insert(out.find(") VALUES ("), ",\"id\"");
    return out;
}

// "?" and "?N" parameters as PostgreSQL's "$N"; quoted texts and names stay.
std::string numberedParameters(const std::string& sql) {
    std::string out;
    out.reserve(sql.size() + 8);
    int next = 0;
    char quote = 0;
    for (std::size_t i = 0; i < sql.size(); ++i) {
        const char c = sql[i];
        if (quote != 0) {
            out.push_back(c);
            if (c == quote) quote = 0;
            continue;
        }
        if (c == '\'' || c == '"') {
            quote = c;
            out.push_back(c);
            continue;
        }
        if (c != '?') {
            out.push_back(c);
            continue;
        }
        std::size_t end = i + 1;
        while (end < sql.size() && sql[end] >= '0' && sql[end] <= '9')
            ++end;
        out.push_back('$');
        if (end > i + 1) {
            out.append(sql, i + 1, end - i - 1);
            i = end - 1;
        } else {
            out += std::to_string(++next);
        }
    }
    return out;
}

}  // namespace

std::string PgConnection::withoutPassword(const std::string& uri) {
    std::string out = uri;
    const std::size_t scheme = out.find("://");
    if (scheme != std::string::npos) {
        const std::size_t start = scheme + 3;
        const std::size_t at = out.find('@', start);
        const std::size_t slash = out.find('/', start);
        if (at != std::string::npos && (slash == std::string::npos || at < slash)) {
            const std::size_t colon = out.find(':', start);
            if (colon != std::string::npos && colon < at) out.erase(colon, at - colon);
        }
    }
    const std::size_t password = out.find("password=");
    if (password != std::string::npos) {
        const std::size_t end = out.find('&', password);
        out.erase(password, end == std::string::npos ? std::string::npos : end - password + 1);
        if (!out.empty() && (out.back() == '&' || out.back() == '?')) out.pop_back();
    }
    return out;
}

namespace {

std::string trimmedMessage(const char* text) {
    std::string message = text ? text : "";
    while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
        message.pop_back();
    return message;
}

void ignoreNotice(void*, const char*) {}

// One server connection made from the URI, with `database` in place of the
// URI's database when given.
PGconn* connectTo(const std::string& uri, const char* database) {
    const char* keywords[] = {"connect_timeout", "fallback_application_name", "dbname",
                              database ? "dbname" : nullptr, nullptr};
    const char* values[] = {kConnectTimeoutSeconds, "arx_qms", uri.c_str(), database, nullptr};
    return PQconnectdbParams(keywords, values, 1);
}

// The database name the URI gives, or empty.
std::string databaseOf(const std::string& uri) {
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(uri.c_str(), &error);
    PQfreemem(error);
    std::string name;
    for (PQconninfoOption* o = options; o != nullptr && o->keyword != nullptr; ++o) {
        if (std::strcmp(o->keyword, "dbname") == 0 && o->val != nullptr) name = o->val;
    }
    PQconninfoFree(options);
    return name;
}

// A bytea value as the server sends it: hex ("\\x0a1b..."), which every
// session asks for; the escape form only if some setting overrode that.
std::string decodeBytea(const char* text, int length) {
    if (length < 2 || text[0] != '\\' || text[1] != 'x') {
        std::size_t size = 0;
        unsigned char* bytes = PQunescapeBytea(reinterpret_cast<const unsigned char*>(text), &size);
        std::string out = bytes ? std::string(reinterpret_cast<const char*>(bytes), size) : "";
        PQfreemem(bytes);
        return out;
    }
    std::string out;
    out.reserve((length - 2) / 2);
    auto nibble = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
    for (int i = 2; i + 1 < length; i += 2) {
        out.push_back(static_cast<char>((nibble(text[i]) << 4) | nibble(text[i + 1])));
    }
    return out;
}

class PgStatement : public Statement {
public:
    PgStatement(PgConnection& conn, std::string sql, StatementKind kind)
        : Statement(conn), conn_(conn), sql_(std::move(sql)), kind_(kind) {}
    ~PgStatement() override { PQclear(result_); }

    void clearBindings() override { params_ = PgParams(); }
    ValueType columnType(int column) const override {
        if (PQgetisnull(result_, row_, column)) return ValueType::Null;
        switch (PQftype(result_, column)) {
            case 20:  // int8
            case 21:  // int2
            case 23:  // int4
            case 26:  // oid
                return ValueType::Integer;
            case 700:   // float4
            case 701:   // float8
            case 1700:  // numeric
                return ValueType::Real;
            case kByteaOid:
                return ValueType::Blob;
            default:
                return ValueType::Text;
        }
    }
    long long columnInt64(int column) const override {
        const char* text = PQgetvalue(result_, row_, column);
        if (text[0] == 't' || text[0] == 'f') return text[0] == 't' ? 1 : 0;
        return std::strtoll(text, nullptr, 10);
    }
    double columnDouble(int column) const override {
        return std::strtod(PQgetvalue(result_, row_, column), nullptr);
    }
    std::string columnBytes(int column) const override {
        if (PQgetisnull(result_, row_, column)) return std::string();
        const char* text = PQgetvalue(result_, row_, column);
        const int length = PQgetlength(result_, row_, column);
        if (PQftype(result_, column) == kByteaOid) return decodeBytea(text, length);
        return std::string(text, length);
    }

protected:
    StepResult runStep() override {
        if (result_ == nullptr) {
            if (!conn_.run(sql_, params_, true, kind_, result_).ok()) return StepResult::Error;
            row_ = -1;
        }
        if (PQresultStatus(result_) != PGRES_TUPLES_OK) return StepResult::Done;
        return ++row_ < PQntuples(result_) ? StepResult::Row : StepResult::Done;
    }
    void resetRun() override {
        PQclear(result_);
        result_ = nullptr;
        row_ = -1;
    }
    const char* refuseNull(int index) override {
        const char* refused = setText(index, std::string());
        if (refused == nullptr) params_.isNull[index - 1] = 1;
        return refused;
    }
    const char* refuseInt64(int index, long long value) override {
        return setText(index, std::to_string(value));
    }
    const char* refuseDouble(int index, double value) override {
        char text[32];
        std::snprintf(text, sizeof text, "%.17g", value);
        return setText(index, text);
    }
    const char* refuseText(int index, const char* data, std::size_t size) override {
        // Text values travel as C strings: a zero byte would cut the value short.
        if (size > 0 && std::memchr(data, 0, size) != nullptr) {
            return "文本中含有零字节，服务器上的文本不能含有零字节";
        }
        return setText(index, std::string(data, size));
    }
    const char* refuseBlob(int index, const void* data, std::size_t size) override {
        const char* refused = setText(index, std::string(static_cast<const char*>(data), size));
        if (refused == nullptr) params_.binary[index - 1] = 1;
        return refused;
    }

private:
    const char* setText(int index, std::string text) {
        if (index < 1 || index > kMaxParams) return "参数序号超出范围";
        if (static_cast<std::size_t>(index) > params_.values.size()) params_.resize(index);
        params_.isNull[index - 1] = 0;
        params_.binary[index - 1] = 0;
        params_.values[index - 1] = std::move(text);
        return nullptr;
    }

    PgConnection& conn_;
    std::string sql_;
    StatementKind kind_;
    PgParams params_;
    PGresult* result_ = nullptr;
    int row_ = -1;
};

}  // namespace

void PgParams::resize(std::size_t n) {
    values.resize(n);
    isNull.resize(n, 1);
    binary.resize(n, 0);
}

struct PgConnection::Sent {
    enum Kind { Control, Prepare, ControlPrepare, Main } kind = Control;
    /// For Prepare: the statement's text and server-side name.
    const std::string* sql = nullptr;
    std::string name;
};

PgConnection::PgConnection(const std::string& uri) : Connection(uri, withoutPassword(uri)) {}

PgConnection::~PgConnection() {
    ResultMsg rm = close();
    if (!rm.ok()) std::cerr << rm.rMsg << std::endl;
}

ResultMsg PgConnection::open(const std::string& uri, bool create,
                             std::shared_ptr<PgConnection>& out) {
    std::shared_ptr<PgConnection> conn(new PgConnection(uri));
    ResultMsg rm = conn->connect(create);
    if (rm.ok()) out = std::move(conn);
    return rm;
}

ResultMsg PgConnection::reopen(bool create) {
    if (isOpen()) return ResultMsg();
    return connect(create);
}

ResultMsg PgConnection::connect(bool create) {
    PQfinish(conn_);
    conn_ = connectTo(path(), nullptr);
    if (PQstatus(conn_) != CONNECTION_OK && create) {
        // The server may answer while the database is missing: make it, then
        // connect again. Any other failure is told as the first attempt's.
        const std::string first = trimmedMessage(PQerrorMessage(conn_));
        ResultMsg made = createDatabase();
        if (!made.ok()) {
            PQfinish(conn_);
            conn_ = nullptr;
            return made.rCode == SRV_ERR_NO_ROW
                       ? ResultMsg(SRV_ERR_SERVER,
                                   "无法连接数据库服务器：" + displayName() + "：" + first)
                       : made;
        }
        PQfinish(conn_);
        conn_ = connectTo(path(), nullptr);
    }
    if (PQstatus(conn_) != CONNECTION_OK) {
        ResultMsg rm(SRV_ERR_SERVER, "无法连接数据库服务器：" + displayName() + "：" +
                                         trimmedMessage(PQerrorMessage(conn_)));
        PQfinish(conn_);
        conn_ = nullptr;
        return rm;
    }
    prepared_.clear();
    controlsPrepared_ = false;
    endBatch();
    const bool wasOpen = isOpen();
    setOpen(true);
    ResultMsg rm = configureSession();
    if (!rm.ok()) {
        PQfinish(conn_);
        conn_ = nullptr;
        // A session that lost its server stays open to connect again later.
        if (!wasOpen) setOpen(false);
    }
    return rm;
}

ResultMsg PgConnection::createDatabase() {
    const std::string name = databaseOf(path());
    // Without a name of its own the URI names no database to make.
    if (name.empty() || !checkIdentifier(name, "数据库").ok()) return ResultMsg(SRV_ERR_NO_ROW, "");
    PGconn* admin = connectTo(path(), "postgres");
    ResultMsg rm;
    if (PQstatus(admin) != CONNECTION_OK) {
        rm = ResultMsg(SRV_ERR_NO_ROW, "");
    } else {
        const char* values[] = {name.c_str()};
        PGresult* found = PQexecParams(admin, "SELECT 1 FROM pg_database WHERE datname = $1", 1,
                                       nullptr, values, nullptr, nullptr, 0);
        const bool exists = PQresultStatus(found) == PGRES_TUPLES_OK && PQntuples(found) > 0;
        PQclear(found);
        if (exists) {
            rm = ResultMsg(SRV_ERR_NO_ROW, "");
        } else {
            // SQL_ASCII keeps every byte as it is; C ordering compares bytes,
            // as a SQLite file does.
            PGresult* made = PQexec(admin, ("CREATE DATABASE " + quoteIdentifier(name) +
                                            " ENCODING 'SQL_ASCII' LC_COLLATE 'C' LC_CTYPE 'C' "
                                            "TEMPLATE template0")
                                               .c_str());
            // Another process making the same database at once is no failure.
            const char* state = PQresultErrorField(made, PG_DIAG_SQLSTATE);
            if (PQresultStatus(made) != PGRES_COMMAND_OK &&
                !(state != nullptr && std::strcmp(state, "42P04") == 0)) {
                rm = ResultMsg(SRV_ERR_SERVER, "无法在数据库服务器上建立数据库：" + displayName() +
                                                   "：" + trimmedMessage(PQerrorMessage(admin)));
            }
            PQclear(made);
        }
    }
    PQfinish(admin);
    return rm;
}

ResultMsg PgConnection::configureSession() {
    PQsetNoticeProcessor(conn_, &ignoreNotice, nullptr);
    const char* encoding = PQparameterStatus(conn_, "server_encoding");
    if (encoding == nullptr || std::strcmp(encoding, "SQL_ASCII") != 0) {
        return ResultMsg(SRV_ERR_NO_FILE,
                         "服务器上的数据库编码是" + std::string(encoding ? encoding : "?") +
                             "，不是SQL_ASCII，平台的GBK文本无法原样保存：" + displayName() +
                             "。请用 CREATE DATABASE ... ENCODING 'SQL_ASCII' LC_COLLATE 'C' "
                             "LC_CTYPE 'C' TEMPLATE template0 建立数据库。");
    }
    if (PQsetClientEncoding(conn_, "SQL_ASCII") != 0 || PQenterPipelineMode(conn_) != 1) {
        return ResultMsg(SRV_ERR_SERVER, "无法设置数据库连接：" + displayName() + "：" +
                                             trimmedMessage(PQerrorMessage(conn_)));
    }
    ResultMsg rm = execute("SET client_min_messages = warning");
    // Blobs are read in the hex form, whatever the role or database says.
    if (rm.ok()) rm = execute("SET bytea_output = 'hex'");
    if (rm.ok()) rm = execute("SET lock_timeout = " + std::to_string(busyTimeoutMs_));
    return rm;
}

void PgConnection::applyBusyTimeout() {
    ResultMsg rm = execute("SET lock_timeout = " + std::to_string(busyTimeoutMs_));
    (void)rm;  // a lost server applies it again when it connects anew
}

void PgConnection::closeHandle() {
    PQfinish(conn_);
    conn_ = nullptr;
    prepared_.clear();
    controlsPrepared_ = false;
}

void PgConnection::abandonTransaction() {
    endBatch();
    if (conn_ == nullptr || PQstatus(conn_) != CONNECTION_OK) return;
    PgParams none;
    PGresult* result = nullptr;
    ResultMsg rm = run("ROLLBACK", none, false, StatementKind::Control, result);
    (void)rm;  // the last resort: a server that refuses even this has ended the session
    PQclear(result);
}

bool PgConnection::inTransaction() const {
    if (conn_ == nullptr || PQstatus(conn_) != CONNECTION_OK) return false;
    const PGTransactionStatusType status = PQtransactionStatus(conn_);
    return status == PQTRANS_INTRANS || status == PQTRANS_INERROR;
}

ResultMsg PgConnection::ensureConnected() {
    if (conn_ != nullptr && PQstatus(conn_) == CONNECTION_OK) {
        // A server that shut down or restarted while the connection was idle
        // has said so already; reading it now avoids sending into a dead socket.
        if (PQtransactionStatus(conn_) != PQTRANS_IDLE || PQconsumeInput(conn_) == 1) {
            if (PQstatus(conn_) == CONNECTION_OK) return ResultMsg();
        }
    }
    // Outside a transaction nothing is lost by connecting anew.
    PQfinish(conn_);
    conn_ = nullptr;
    // When the server is still away the session stays open and the next
    // call tries again.
    return connect(false);
}

ResultMsg PgConnection::serverLost(const std::string& what) {
    const ResultMsg lost(
        SRV_ERR_SERVER, "数据库服务器连接中断，未提交的修改已回滚：" + displayName() + "：" + what);
    lastLost_ = true;
    lastState_.clear();
    lastMessage_ = lost.rMsg;
    transactionLost(lost);
    prepared_.clear();
    controlsPrepared_ = false;
    endBatch();
    return lost;
}

void PgConnection::noteFailure(const PGresult* failed) {
    if (!lastMessage_.empty()) return;
    const char* state = PQresultErrorField(failed, PG_DIAG_SQLSTATE);
    lastState_ = state ? state : "";
    lastMessage_ = trimmedMessage(PQresultErrorMessage(failed));
    if (lastMessage_.empty()) lastMessage_ = trimmedMessage(PQerrorMessage(conn_));
}

ResultMsg PgConnection::collect(const Sent* sent, int count, PGresult** mainResult) {
    bool failed = false;
    bool controlsPrepared = true;
    for (int k = 0; k < count; ++k) {
        const Sent& s = sent[k];
        PGresult* result = PQgetResult(conn_);
        if (result == nullptr) return serverLost(trimmedMessage(PQerrorMessage(conn_)));
        const ExecStatusType status = PQresultStatus(result);
        const bool ok = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
        if (status == PGRES_FATAL_ERROR) {
            noteFailure(result);
            failed = true;
        } else if (!ok) {
            failed = true;  // skipped after an earlier failure
        }
        if (ok && s.kind == Sent::Prepare) prepared_[*s.sql] = s.name;
        if (s.kind == Sent::ControlPrepare) controlsPrepared = controlsPrepared && ok;
        if (ok && s.kind == Sent::Main && mainResult != nullptr) {
            changes_ = std::atoi(PQcmdTuples(result));
            *mainResult = result;
        } else {
            PQclear(result);
        }
        // Each statement's answers end with a null result.
        while ((result = PQgetResult(conn_)) != nullptr)
            PQclear(result);
        if (PQstatus(conn_) != CONNECTION_OK) {
            if (mainResult != nullptr && *mainResult != nullptr) {
                PQclear(*mainResult);
                *mainResult = nullptr;
            }
            return serverLost(trimmedMessage(PQerrorMessage(conn_)));
        }
    }
    PGresult* sync = PQgetResult(conn_);
    const bool synced = sync != nullptr && PQresultStatus(sync) == PGRES_PIPELINE_SYNC;
    PQclear(sync);
    if (!synced || PQstatus(conn_) != CONNECTION_OK) {
        if (mainResult != nullptr && *mainResult != nullptr) {
            PQclear(*mainResult);
            *mainResult = nullptr;
        }
        return serverLost(trimmedMessage(PQerrorMessage(conn_)));
    }
    if (failed && mainResult != nullptr && *mainResult != nullptr) {
        PQclear(*mainResult);
        *mainResult = nullptr;
    }
    for (int k = 0; k < count; ++k) {
        if (sent[k].kind == Sent::ControlPrepare) controlsPrepared_ = controlsPrepared;
    }
    return failed ? ResultMsg(SRV_ERR_ENGINE, lastMessage_) : ResultMsg();
}

bool PgConnection::sendStatement(const std::string& sql, const PgParams& params, bool prepare,
                                 const std::string* extra, Sent* sent, int& count) {
    const int given = static_cast<int>(params.values.size());
    const int n = given + (extra != nullptr ? 1 : 0);
    const char* valueArray[kInlineParams];
    int lengthArray[kInlineParams];
    int formatArray[kInlineParams];
    std::vector<const char*> valueVector;
    std::vector<int> lengthVector, formatVector;
    const char** values = valueArray;
    int* lengths = lengthArray;
    int* formats = formatArray;
    if (n > kInlineParams) {
        valueVector.resize(n);
        lengthVector.resize(n);
        formatVector.resize(n);
        values = valueVector.data();
        lengths = lengthVector.data();
        formats = formatVector.data();
    }
    for (int i = 0; i < given; ++i) {
        values[i] = params.isNull[i] ? nullptr : params.values[i].c_str();
        lengths[i] = static_cast<int>(params.values[i].size());
        formats[i] = params.binary[i];
    }
    if (extra != nullptr) {
        values[given] = extra->c_str();
        lengths[given] = static_cast<int>(extra->size());
        formats[given] = 0;
    }
    if (!prepare) {
        sent[count++].kind = Sent::Control;
        return PQsendQueryParams(conn_, numberedParameters(sql).c_str(), n, nullptr, values,
                                 lengths, formats, 0) == 1;
    }
    auto known = prepared_.find(sql);
    const char* name;
    bool queued = true;
    if (known == prepared_.end()) {
        Sent& made = sent[count++];
        made.kind = Sent::Prepare;
        made.sql = &sql;
        made.name = "arx_" + std::to_string(++lastPrepared_);
        queued = PQsendPrepare(conn_, made.name.c_str(), numberedParameters(sql).c_str(), 0,
                               nullptr) == 1;
        name = made.name.c_str();
    } else {
        name = known->second.c_str();
    }
    sent[count++].kind = Sent::Control;
    return queued && PQsendQueryPrepared(conn_, name, n, values, lengths, formats, 0) == 1;
}

void PgConnection::endBatch() {
    batchOpen_ = false;
    batch_.clear();
}

ResultMsg PgConnection::undoBatchedInsert(const ResultMsg& failure) {
    // Back to the run's savepoint, then the run's earlier inserts once more,
    // each under the identifier it was given: the transaction is as it was
    // before the failed insert, as a savepoint of its own would leave it.
    const std::string message = lastMessage_, state = lastState_;
    std::vector<std::string> replaySql;
    replaySql.reserve(batch_.size());
    for (const BatchedInsert& insert : batch_)
        replaySql.push_back(withExplicitId(insert.sql));
    std::vector<std::string> ids;
    ids.reserve(batch_.size());
    for (const BatchedInsert& insert : batch_)
        ids.push_back(std::to_string(insert.id));
    ResultMsg rm;
    for (std::size_t first = 0; rm.ok() && (first == 0 || first < batch_.size());
         first += kReplayPerTrip) {
        Sent sent[1 + 2 * kReplayPerTrip];
        int count = 0;
        bool queued = true;
        if (first == 0) {
            queued =
                PQsendQueryParams(conn_, kBatchUndo, 0, nullptr, nullptr, nullptr, nullptr, 0) == 1;
            sent[count++].kind = Sent::Control;
        }
        const std::size_t end = std::min(batch_.size(), first + kReplayPerTrip);
        for (std::size_t i = first; queued && i < end; ++i) {
            queued = sendStatement(replaySql[i], batch_[i].params, true, &ids[i], sent, count);
        }
        queued = queued && PQpipelineSync(conn_) == 1;
        if (!queued) return serverLost(trimmedMessage(PQerrorMessage(conn_)));
        lastMessage_.clear();
        rm = collect(sent, count, nullptr);
        if (batch_.empty()) break;
    }
    if (rm.rCode == SRV_ERR_SERVER) return rm;
    if (!rm.ok()) {
        // The run could not be restored: nothing uncommitted can be kept.
        abandonTransaction();
        transactionLost(ResultMsg(
            SRV_ERR_COMMIT, "回滚失败的语句时出错，会话中所有未提交的修改都已回滚：" + rm.rMsg));
        endBatch();
    }
    lastMessage_ = message;
    lastState_ = state;
    return failure;
}

ResultMsg PgConnection::run(const std::string& sql, const PgParams& params, bool prepare,
                            StatementKind kind, PGresult*& result) {
    lastMessage_.clear();
    lastState_.clear();
    lastLost_ = false;
    result = nullptr;
    ResultMsg rm = checkOpen();
    if (rm.ok()) rm = ensureConnected();
    if (!rm.ok()) {
        lastLost_ = rm.rCode == SRV_ERR_SERVER;
        lastMessage_ = rm.rMsg;
        return rm;
    }
    const bool inTransactionNow = inTransaction();
    if (!inTransactionNow) endBatch();
    const bool protect = inTransactionNow && kind != StatementKind::Control;
    const bool batched = protect && prepare && kind == StatementKind::PlainInsert;
    // At most: DEALLOCATE, batch RELEASE and SAVEPOINT, three control
    // prepares, SAVEPOINT, prepare, the statement, RELEASE.
    Sent sent[10];
    int count = 0;
    bool queued = true;
    const auto control = [&](const char* text) {
        queued =
            queued && PQsendQueryParams(conn_, text, 0, nullptr, nullptr, nullptr, nullptr, 0) == 1;
        sent[count++].kind = Sent::Control;
    };
    // The statement savepoint's own commands are prepared once per
    // connection: the server then neither parses nor plans them per statement.
    const auto preparedControl = [&](const char* name) {
        queued = queued && PQsendQueryPrepared(conn_, name, 0, nullptr, nullptr, nullptr, 0) == 1;
        sent[count++].kind = Sent::Control;
    };
    if (prepare && prepared_.size() >= kMaxPrepared) {
        control("DEALLOCATE ALL");
        prepared_.clear();
        controlsPrepared_ = false;
    }
    // A run of inserts shares one savepoint; anything else ends the run.
    if (batchOpen_ && (!batched || batch_.size() >= kMaxBatch)) {
        control(kBatchRelease);
        endBatch();
    }
    const bool opensBatch = batched && !batchOpen_;
    if (opensBatch) control(kBatchSavepoint);
    if (protect && !batched && !controlsPrepared_) {
        for (const auto& [name, text] :
             {std::pair<const char*, const char*>{kSavepointName, kStatementSavepoint},
              {kReleaseName, kStatementRelease},
              {kUndoName, kStatementUndo}}) {
            queued = queued && PQsendPrepare(conn_, name, text, 0, nullptr) == 1;
            sent[count++].kind = Sent::ControlPrepare;
        }
    }
    if (protect && !batched) preparedControl(kSavepointName);
    queued = queued && sendStatement(sql, params, prepare, nullptr, sent, count);
    sent[count - 1].kind = Sent::Main;
    if (protect && !batched) preparedControl(kReleaseName);
    queued = queued && PQpipelineSync(conn_) == 1;
    countStatement();
    if (!queued) return serverLost(trimmedMessage(PQerrorMessage(conn_)));

    rm = collect(sent, count, &result);
    if (batched && (rm.ok() || opensBatch)) batchOpen_ = batchOpen_ || opensBatch;
    if (batched && rm.ok()) {
        batch_.push_back(
            BatchedInsert{sql, params, std::strtoll(PQgetvalue(result, 0, 0), nullptr, 10)});
        return rm;
    }
    if (batched && rm.rCode != SRV_ERR_SERVER) return undoBatchedInsert(rm);
    if (rm.ok() || rm.rCode == SRV_ERR_SERVER || !protect) return rm;
    // Only the failed statement is undone; the transaction goes on.
    const std::string message = lastMessage_, state = lastState_;
    Sent undo[2];
    bool sentUndo =
        controlsPrepared_ &&
        PQsendQueryPrepared(conn_, kUndoName, 0, nullptr, nullptr, nullptr, 0) == 1 &&
        PQsendQueryPrepared(conn_, kReleaseName, 0, nullptr, nullptr, nullptr, 0) == 1 &&
        PQpipelineSync(conn_) == 1;
    if (!controlsPrepared_) {
        // The control statements' own preparation failed with the statement.
        sentUndo = PQsendQueryParams(conn_, kStatementUndo, 0, nullptr, nullptr, nullptr, nullptr,
                                     0) == 1 &&
                   PQsendQueryParams(conn_, kStatementRelease, 0, nullptr, nullptr, nullptr,
                                     nullptr, 0) == 1 &&
                   PQpipelineSync(conn_) == 1;
    }
    if (!sentUndo) return serverLost(trimmedMessage(PQerrorMessage(conn_)));
    lastMessage_.clear();
    ResultMsg undone = collect(undo, 2, nullptr);
    if (undone.rCode == SRV_ERR_SERVER) return undone;
    lastMessage_ = message;
    lastState_ = state;
    if (!undone.ok()) {
        // The savepoint could not be undone: nothing uncommitted can be kept.
        abandonTransaction();
        transactionLost(
            ResultMsg(SRV_ERR_COMMIT,
                      "回滚失败的语句时出错，会话中所有未提交的修改都已回滚：" + undone.rMsg));
    }
    return rm;
}

ResultMsg PgConnection::runText(const std::string& sql, StatementKind kind) {
    PgParams none;
    PGresult* result = nullptr;
    ResultMsg rm = run(sql, none, false, kind, result);
    PQclear(result);
    return rm.ok() ? rm : backendError(SRV_ERR_ENGINE, "数据库语句执行失败");
}

ResultMsg PgConnection::newStatement(const std::string& sql, StatementKind kind,
                                     std::unique_ptr<Statement>& out) {
    // The server parses it with its first run, in the same round trip.
    out = std::make_unique<PgStatement>(*this, sql, kind);
    return ResultMsg();
}

ResultMsg PgConnection::refreshSchema() {
    ResultMsg rm = checkOpen();
    // Another connection may have changed any table; layouts are read anew.
    if (rm.ok()) schemaChanged();
    return rm;
}

std::uint64_t PgConnection::changeCount(const std::string& table) {
    (void)table;
    // Other connections' commits cannot be seen without asking the server,
    // so every look counts as a change.
    return isOpen() ? nextChangeNumber() : 0;
}

ResultMsg PgConnection::readLayout(const std::string& table, std::vector<ColumnInfo>& out) {
    return forEachResultRow(
        *this,
        "SELECT a.attname, format_type(a.atttypid, a.atttypmod) FROM pg_attribute AS a "
        "WHERE a.attrelid = to_regclass(?) AND a.attnum > 0 AND NOT a.attisdropped "
        "ORDER BY a.attnum",
        [&](Statement& s) { s.bindText(1, quoteIdentifier(table)); },
        [&](const Statement& row) {
            out.push_back({row.columnBytes(0), row.columnBytes(1)});
        },
        "读取表结构失败：" + table);
}

const char* PgConnection::tableNamesQuery() const {
    return "SELECT c.relname FROM pg_class AS c JOIN pg_namespace AS n ON n.oid = c.relnamespace "
           "WHERE n.nspname = current_schema() AND c.relkind IN ('r', 'p') "
           "ORDER BY c.relname COLLATE \"C\"";
}

ResultMsg PgConnection::backendError(int code, const std::string& what) const {
    if (!isOpen()) return checkOpen();
    if (lastLost_) return ResultMsg(SRV_ERR_SERVER, lastMessage_);
    // Lock timeouts, deadlocks and write conflicts with another transaction
    // leave nothing written: the caller may try again.
    if (lastState_ == "55P03" || lastState_ == "40001" || lastState_ == "40P01") {
        return ResultMsg(SRV_ERR_BUSY, "数据正被其他连接修改，操作未执行，请稍后重试：" +
                                           displayName() + "：" + what + "：" + lastMessage_);
    }
    // A value the column's type cannot take (text for a number column).
    if (lastState_ == "22P02" || lastState_ == "22003") {
        return ResultMsg(SRV_ERR_ARGUMENT, what + "：值与列的类型不符：" + lastMessage_);
    }
    return ResultMsg(code, what + "：" + lastMessage_);
}

const char* PgConnection::declaredType(int dataType) const {
    switch (dataType) {
        case COL_TYPE_INT:
            return "BIGINT";
        case COL_TYPE_DOUBLE:
            return "DOUBLE PRECISION";
        case COL_TYPE_BLOB_CHAR:
        case COL_TYPE_BLOB_DOUBLE:
        case COL_TYPE_BLOB:
            return "BYTEA";
        default:
            return "TEXT";
    }
}

std::string PgConnection::likeTest(const std::string& column, bool negated,
                                   const std::string& param) const {
    // As in SQLite: ASCII case ignored (the database's C ctype folds only
    // ASCII), no escape character, any column type. Folded both sides, a
    // prefix pattern can use an index on lower(column) (see caseFoldedIndex).
    return "lower(CAST(" + column + " AS TEXT))" + (negated ? " NOT LIKE " : " LIKE ") +
           "lower(CAST(" + param + " AS TEXT)) ESCAPE ''";
}

std::string PgConnection::equalsIgnoringCase(const std::string& column,
                                             const std::string& param) const {
    return "lower(" + column + ") = lower(CAST(" + param + " AS TEXT))";
}

std::string PgConnection::caseFoldedIndex(const std::string& column) const {
    return "lower(" + column + ")";
}

std::string PgConnection::tailExpression(const std::string& column, int bytes) const {
    // In a SQL_ASCII database a character is a byte.
    return "right(" + column + ", " + std::to_string(bytes) + ")";
}

ResultMsg PgConnection::queryPlan(const std::string& sql,
                                  const std::function<void(Statement&)>& bind, std::string& plan) {
    return forEachResultRow(
        *this, "EXPLAIN " + sql, bind,
        [&](const Statement& row) { plan += (plan.empty() ? "" : "; ") + row.columnBytes(0); },
        "读取查询计划失败");
}

ResultMsg PgConnection::explicitIdStored(const std::string& table, long long id) {
    return forEachResultRow(
        *this,
        "SELECT setval(s::regclass, GREATEST(?2::bigint, "
        "COALESCE(pg_sequence_last_value(s::regclass), 0))) "
        "FROM pg_get_serial_sequence(?1, 'id') AS s WHERE s IS NOT NULL",
        [&](Statement& s) {
            s.bindText(1, quoteIdentifier(table));
            s.bindInt64(2, id);
        },
        [](const Statement&) {}, "调整表的行标识序列失败：" + table);
}

const char* PgConnection::indexQuery() const {
    return "SELECT 1 FROM pg_class AS c JOIN pg_namespace AS n ON n.oid = c.relnamespace "
           "WHERE c.relkind = 'i' AND c.relname = ? AND n.nspname = current_schema()";
}

ResultMsg PgConnection::lockSchemaChanges() {
    // One lock per schema: databases in other schemas go on undisturbed.
    return forEachResultRow(
        *this, "SELECT pg_advisory_xact_lock(hashtext('arx_qms:' || current_schema()))",
        [](Statement&) {}, [](const Statement&) {}, "锁定数据库的表结构失败");
}

ResultMsg PgConnection::holdOffWriters(const std::string& table) {
    // LOCK takes no snapshot: a REPEATABLE READ transaction whose first
    // statement it is reads what the writers it waited for committed. The
    // mode conflicts with itself and with row writes, not with reads.
    ResultMsg rm = execute("LOCK TABLE " + quoteIdentifier(table) + " IN SHARE ROW EXCLUSIVE MODE");
    return rm.ok() ? rm : ResultMsg(rm.rCode, "锁定表失败：" + table + "：" + rm.rMsg);
}

}  // namespace MeridianSpace::detail
