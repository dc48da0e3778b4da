#include "postgres/PgCatalogue.h"

#include "backend/Connection.h"
#include "backend/RowValues.h"
#include "backend/SqlText.h"

namespace MeridianSpace::detail {

ResultMsg PgCatalogue::queryPlan(const std::string& sql,
                                 const std::function<void(Statement&)>& bind, std::string& plan) {
    return forEachResultRow(
        connection(), "EXPLAIN " + sql, bind,
        [&](const Statement& row) { plan += (plan.empty() ? "" : "; ") + row.columnBytes(0); },
        "读取查询计划失败");
}

ResultMsg PgCatalogue::explicitIdStored(const std::string& table, long long id) {
    return forEachResultRow(
        connection(),
        "SELECT setval(s::regclass, GREATEST(?2::bigint, "
        "COALESCE(pg_sequence_last_value(s::regclass), 0))) "
        "FROM pg_get_serial_sequence(?1, 'id') AS s WHERE s IS NOT NULL",
        [&](Statement& s) {
            s.bindText(1, quoteIdentifier(table));
            s.bindInt64(2, id);
        },
        [](const Statement&) {}, "调整表的行标识序列失败：" + table);
}

ResultMsg PgCatalogue::carryIdentity(const std::string& from, const std::string& to) {
    return forEachResultRow(
        connection(),
        "SELECT setval(pg_get_serial_sequence(?2, 'id'), v) FROM (SELECT "
        "pg_sequence_last_value(CAST(pg_get_serial_sequence(?1, 'id') AS regclass)) AS v) AS s "
        "WHERE v IS NOT NULL",
        [&](Statement& s) {
            s.bindText(1, quoteIdentifier(from));
            s.bindText(2, quoteIdentifier(to));
        },
        [](const Statement&) {}, "调整表的行标识序列失败：" + to);
}

ResultMsg PgCatalogue::releaseDerivedNames(const std::string& table) {
    std::string key, sequence;
    ResultMsg rm = forEachResultRow(
        connection(),
        "SELECT (SELECT conname FROM pg_constraint WHERE conrelid = to_regclass(?1) AND contype "
        "= 'p'), pg_get_serial_sequence(?1, 'id')",
        [&](Statement& s) { s.bindText(1, quoteIdentifier(table)); },
        [&](const Statement& row) {
            key = row.columnBytes(0);
            sequence = row.columnBytes(1);
        },
        "读取表的主键失败：" + table);
    if (rm.ok() && !key.empty()) {
        rm = connection().execute("ALTER TABLE " + quoteIdentifier(table) + " RENAME CONSTRAINT " +
                                  quoteIdentifier(key) + " TO " + quoteIdentifier(table + "_pkey"));
    }
    // The server's own text of the sequence's name, quoted as it needs.
    if (rm.ok() && !sequence.empty())
        rm = connection().execute("ALTER SEQUENCE " + sequence + " RENAME TO " +
                                  quoteIdentifier(table + "_id_seq"));
    return rm;
}

ResultMsg PgCatalogue::lockSchemaChanges() {
    // One lock per schema: databases in other schemas go on undisturbed.
    return forEachResultRow(
        connection(), "SELECT pg_advisory_xact_lock(hashtext('arx_qms:' || current_schema()))",
        [](Statement&) {}, [](const Statement&) {}, "锁定数据库的表结构失败");
}

ResultMsg PgCatalogue::holdOffWriters(const std::vector<std::string>& tables) {
    // LOCK takes no snapshot: a REPEATABLE READ transaction whose first
    // statement it is reads what the writers it waited for committed. The
    // mode conflicts with itself and with row writes, not with reads.
    std::string names;
    for (const std::string& table : tables) {
        ResultMsg rm = checkIdentifier(table, "表");
        if (!rm.ok()) return rm;
        names += (names.empty() ? "" : ", ") + quoteIdentifier(table);
    }
    if (names.empty()) return ResultMsg();
    ResultMsg rm = connection().execute("LOCK TABLE " + names + " IN SHARE ROW EXCLUSIVE MODE");
    return rm.ok() ? rm : ResultMsg(rm.rCode, "锁定表失败：" + names + "：" + rm.rMsg);
}

}  // namespace MeridianSpace::detail
