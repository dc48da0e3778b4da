#include "backend/SqlText.h"

#include <algorithm>
#include <cctype>

#include "ServiceErrorCode.h"
#include "StringHelper.h"
#include "backend/Connection.h"
#include "backend/RowValues.h"

namespace MeridianSpace::detail {

namespace {

constexpr std::size_t kMaxIdentifierLength = 255;

// Lower-cases ASCII letters and folds every run of blanks and tabs into one
// blank, dropping them at both ends.
std::string normalisedWord(const std::string& text) {
    std::string out;
    bool pendingBlank = false;
    for (char c : text) {
        if (c == ' ' || c == '\t') {
            pendingBlank = !out.empty();
            continue;
        }
        if (pendingBlank) out.push_back(' ');
        pendingBlank = false;
        out.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    }
    return out;
}

std::string trimmedBlanks(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return std::string();
    const std::size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

}  // namespace

ResultMsg checkIdentifier(const std::string& name, const char* what) {
    if (name.empty()) return ResultMsg(SRV_ERR_ARGUMENT, std::string(what) + "名称为空");
    if (name.size() > kMaxIdentifierLength) {
        return ResultMsg(SRV_ERR_ARGUMENT, std::string(what) + "名称过长：" + name);
    }
    for (unsigned char c : name) {
        if (c == '"' || c < 0x20 || c == 0x7F) {
            return ResultMsg(SRV_ERR_ARGUMENT, std::string(what) + "名称含有不允许的字符：" + name);
        }
    }
    return ResultMsg();
}

ResultMsg checkNameFits(const std::string& name, const char* what, std::size_t limit) {
    if (limit == 0 || name.size() <= limit) return ResultMsg();
    return ResultMsg(SRV_ERR_ARGUMENT, std::string(what) + "名称超过数据库能保存的" +
                                           std::to_string(limit) + "字节：" + name);
}

std::string quoteIdentifier(const std::string& name) {
    return "\"" + name + "\"";
}

ResultMsg sqlOperator(const std::string& operation, std::string& out) {
    const std::string op = normalisedWord(operation);
    if (op == "=" || op == "==") {
        out = "=";
    } else if (op == "!=" || op == "<>") {
        out = "<>";
    } else if (op == "<" || op == "<=" || op == ">" || op == ">=") {
        out = op;
    } else if (op == "like") {
        out = "LIKE";
    } else if (op == "not like") {
        out = "NOT LIKE";
    } else {
        return ResultMsg(SRV_ERR_ARGUMENT, "不支持的条件运算：" + operation);
    }
    return ResultMsg();
}

ResultMsg appendWhere(const Connection& conn, const std::list<IQueryCondition>& conditions,
                      std::string& sql, std::vector<std::string>& values) {
    std::string where;
    std::string previous;  // the relation that joined the last condition
    for (const IQueryCondition& condition : conditions) {
        ResultMsg rm = checkIdentifier(condition.columnInnerName, "列");
        if (!rm.ok()) return rm;
        std::string op;
        rm = sqlOperator(condition.operation, op);
        if (!rm.ok()) return rm;
        const std::string column = quoteIdentifier(condition.columnInnerName);
        std::string test = op == "LIKE" || op == "NOT LIKE"
                               ? conn.dialect().likeTest(column, op == "NOT LIKE", "?")
                               : column + " " + op + " ?";
        if (where.empty()) {
            where = test;
        } else {
            const std::string relation = normalisedWord(condition.logicRelation);
            if (relation != "" && relation != "and" && relation != "or") {
                return ResultMsg(SRV_ERR_ARGUMENT, "不支持的条件连接：" + condition.logicRelation);
            }
            const std::string joined = relation == "or" ? "or" : "and";
            // Left to right: a run of one relation needs no parentheses; a
            // change of relation closes what came before, so the nesting
            // (and the parser's stack) grows only with the changes.
            if (!previous.empty() && previous != joined) where = "(" + where + ")";
            where += (joined == "or" ? " OR " : " AND ") + test;
            previous = joined;
        }
        values.push_back(condition.columValue);
    }
    if (!where.empty()) sql += " WHERE " + where;
    return ResultMsg();
}

ResultMsg appendOrderBy(const Connection& conn, const IOrderClause* order,
                        const std::string& column, std::string& sql) {
    // Rows come in the order they were stored unless asked otherwise, and
    // rows equal in the asked column keep that order: whichever index serves
    // the conditions, a query answers the same list every time.
    if (order == nullptr || column.empty()) {
        sql += std::string(" ORDER BY ") + conn.dialect().storageOrder();
        return ResultMsg();
    }
    ResultMsg rm = checkIdentifier(column, "排序列");
    if (!rm.ok()) return rm;
    const std::string direction = normalisedWord(order->orderDirection);
    if (direction != "" && direction != "asc" && direction != "desc") {
        return ResultMsg(SRV_ERR_ARGUMENT, "不支持的排序方向：" + order->orderDirection);
    }
    sql += " ORDER BY " + quoteIdentifier(column) + (direction == "desc" ? " DESC" : " ASC") +
           ", " + conn.dialect().storageOrder();
    return rm;
}

ResultMsg defaultLiteral(const std::string& value, int dataType, std::string& out) {
    if (value.find('\0') != std::string::npos) {
        return ResultMsg(SRV_ERR_ARGUMENT, "默认值含有零字节");
    }
    long long integer = 0;
    double real = 0.0;
    const std::string trimmed = trimmedBlanks(value);
    if ((dataType == COL_TYPE_INT || dataType == COL_TYPE_DOUBLE) &&
        (StringHelper::parseCanonicalInteger(trimmed, integer) ||
         StringHelper::parseWholeDouble(trimmed, real))) {
        out = trimmed;
        return ResultMsg();
    }
    out = "'";
    for (char c : value) {
        if (c == '\'') out.push_back('\'');
        out.push_back(c);
    }
    out.push_back('\'');
    return ResultMsg();
}

int typeFromDeclared(const std::string& declared) {
    const std::string type = normalisedWord(declared);
    if (type.find("int") != std::string::npos) return COL_TYPE_INT;
    if (type.find("real") != std::string::npos || type.find("floa") != std::string::npos ||
        type.find("doub") != std::string::npos) {
        return COL_TYPE_DOUBLE;
    }
    if (type.find("blob") != std::string::npos || type == "bytea") return COL_TYPE_BLOB;
    return COL_TYPE_STRING;
}

std::vector<std::string> identifiersIn(const std::string& sql) {
    std::vector<std::string> out;
    const std::size_t n = sql.size();
    // The end of a run opened at `i` and closed by `close` (doubled inside: itself).
    const auto quoted = [&](std::size_t i, char close, std::string* text) {
        for (++i; i < n; ++i) {
            if (sql[i] != close) {
                if (text != nullptr) text->push_back(sql[i]);
            } else if (close != ']' && i + 1 < n && sql[i + 1] == close) {
                if (text != nullptr) text->push_back(close);
                ++i;
            } else {
                return i + 1;
            }
        }
        return n;
    };
    const auto wordByte = [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return std::isalnum(u) || c == '_' || c == '$' || u >= 0x80;
    };
    for (std::size_t i = 0; i < n;) {
        const char c = sql[i];
        const char next = i + 1 < n ? sql[i + 1] : '\0';
        if (c == '\'') {
            i = quoted(i, '\'', nullptr);
        } else if (c == '-' && next == '-') {
            i = std::min(sql.find('\n', i), n);
        } else if (c == '/' && next == '*') {
            const std::size_t end = sql.find("*/", i + 2);
            i = end == std::string::npos ? n : end + 2;
        } else if (c == '"' || c == '`' || c == '[') {
            std::string name;
            i = quoted(i, c == '[' ? ']' : c, &name);
            out.push_back(std::move(name));
        } else if (wordByte(c)) {
            const std::size_t start = i;
            while (i < n && wordByte(sql[i]))
                ++i;
            if (!std::isdigit(static_cast<unsigned char>(c)))
                out.push_back(sql.substr(start, i - start));
        } else {
            ++i;
        }
    }
    return out;
}

std::string replaceParameters(const std::string& sql,
                              const std::function<std::string(std::size_t)>& replacement) {
    std::string out;
    out.reserve(sql.size() + 8);
    std::size_t highest = 0;
    char quote = 0;
    for (std::size_t i = 0; i < sql.size(); ++i) {
        const char c = sql[i];
        if (quote != 0 || c == '\'' || c == '"') {
            quote = quote == 0 ? c : c == quote ? 0 : quote;
            out.push_back(c);
            continue;
        }
        if (c != '?') {
            out.push_back(c);
            continue;
        }
        std::size_t end = i + 1;
        std::size_t number = 0;
        for (; end < sql.size() && sql[end] >= '0' && sql[end] <= '9'; ++end)
            number = number * 10 + static_cast<std::size_t>(sql[end] - '0');
        if (end == i + 1) number = highest + 1;
        if (number > highest) highest = number;
        out += replacement(number);
        i = end - 1;
    }
    return out;
}

}  // namespace MeridianSpace::detail
