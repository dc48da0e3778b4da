#include "backend/TableDefinition.h"

#include <cstdint>
#include <cstdio>

#include "backend/Connection.h"
#include "backend/SqlText.h"

namespace MeridianSpace::detail {

ResultMsg columnDefinition(const Connection& conn, const MNormalColumn& column, std::string& out) {
    ResultMsg rm;
    out = quoteIdentifier(column._innerName) + " " + conn.dialect().declaredType(column._dataType);
    if (!column._defaultValue.empty()) {
        std::string literal;
        rm = defaultLiteral(column._defaultValue, column._dataType, literal);
        if (!rm.ok()) return rm;
        out += " DEFAULT " + literal;
    }
    return rm;
}

std::string indexName(const std::string& kind, const std::string& table, const std::string& column,
                      std::size_t limit) {
    const std::string name = kind + "_" + table + "_" + column;
    if (checkIdentifier(name, "索引").ok() && checkNameFits(name, "索引", limit).ok()) return name;
    std::uint64_t hash = 14695981039346656037ULL;  // FNV-1a over table, a zero byte, column
    for (char c : table + std::string(1, '\0') + column) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    }
    char hex[17];
    std::snprintf(hex, sizeof(hex), "%016llx", static_cast<unsigned long long>(hash));
    return kind + "_" + hex;
}

ResultMsg createColumnIndex(Connection& conn, const std::string& table,
                            const MNormalColumn& column) {
    if (column._isIndex == 0 && column._isOnly == 0) return ResultMsg();
    const std::string kind = column._isOnly != 0 ? "uq" : "ix";
    const std::string name =
        indexName(kind, table, column._innerName, conn.capabilities().nameLimit);
    return conn.execute(std::string("CREATE ") + (column._isOnly != 0 ? "UNIQUE " : "") +
                        "INDEX IF NOT EXISTS " + quoteIdentifier(name) + " ON " +
                        quoteIdentifier(table) + " (" + quoteIdentifier(column._innerName) + ")");
}

}  // namespace MeridianSpace::detail
