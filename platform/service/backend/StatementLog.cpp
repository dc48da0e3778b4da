#include "backend/StatementLog.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "backend/Connection.h"
#include "backend/SqlText.h"

namespace MeridianSpace::detail {

namespace {

// The first word of `sql` in capitals.
std::string firstWord(const std::string& sql) {
    std::size_t i = 0;
    while (i < sql.size() && std::isspace(static_cast<unsigned char>(sql[i])))
        ++i;
    std::string word;
    for (; i < sql.size() && std::isalpha(static_cast<unsigned char>(sql[i])); ++i)
        word.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(sql[i]))));
    return word;
}

std::string quotedText(const char* data, std::size_t size) {
    std::string out = "'";
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == '\'') out.push_back('\'');
        out.push_back(data[i]);
    }
    return out + "'";
}

}  // namespace

bool changesDatabase(const std::string& sql) {
    const std::string word = firstWord(sql);
    for (const char* writes : {"INSERT", "UPDATE", "DELETE", "CREATE", "DROP", "ALTER"}) {
        if (word == writes) return true;
    }
    if (word == "PRAGMA") return sql.find('=') != std::string::npos;
    return word == "SELECT" && sql.find("setval(") != std::string::npos;
}

std::string withLiterals(const std::string& sql, const std::vector<std::string>& literals) {
    if (literals.empty()) return sql;
    return replaceParameters(sql, [&literals](std::size_t number) {
        return number >= 1 && number <= literals.size() ? literals[number - 1]
                                                        : std::string("NULL");
    });
}

void logStatement(std::vector<std::string>& log, const std::string& sql,
                  const std::vector<std::string>& literals) {
    if (changesDatabase(sql)) log.push_back(withLiterals(sql, literals));
}

ResultMsg Connection::execute(const std::string& sql) {
    if (statementLog_ != nullptr && checkOpen().ok()) logStatement(*statementLog_, sql, {});
    return executeText(sql);
}

void Statement::keepLiteral(int index, std::string literal) {
    if (index < 1) return;
    if (literals_.size() < static_cast<std::size_t>(index)) literals_.resize(index, "NULL");
    literals_[index - 1] = std::move(literal);
}

void Statement::keepReal(int index, double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", value);
    std::string literal = text;
    // Written as a real, so that the engine stores one.
    if (literal.find_first_of(".eni") == std::string::npos) literal += ".0";
    keepLiteral(index, literal);
}

void Statement::keepText(int index, const char* data, std::size_t size) {
    keepLiteral(index, quotedText(data, size));
}

void Statement::keepBlob(int index, const void* data, std::size_t size) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(size * 2);
    for (std::size_t i = 0; i < size; ++i) {
        const auto byte = static_cast<const unsigned char*>(data)[i];
        hex.push_back(digits[byte >> 4]);
        hex.push_back(digits[byte & 15]);
    }
    keepLiteral(index, connection_.dialect().blobLiteral(hex));
}

}  // namespace MeridianSpace::detail
