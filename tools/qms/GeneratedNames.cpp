#include "GeneratedNames.h"

#include <iostream>

#include "Cli.h"
#include "M_EntityTableDAO.h"
#include "M_NormalColumnDAO.h"
#include "Output.h"

namespace qms {

namespace {

bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

}  // namespace

std::string renamedTable(const std::string& table) {
    if (table.size() > 2 && table.compare(0, 2, "T_") == 0) return "";
    return "table '" + utf8(table) + "' does not begin with T_: code generation names its class " +
           utf8(M_EntityTableDAO::tableNameToDAOName(table)) + " (T_" + utf8(table) +
           " would give " + utf8(M_EntityTableDAO::tableNameToDAOName("T_" + table)) + ")";
}

std::string renamedColumn(const std::string& table, const std::string& column) {
    if (column.size() > 1 && isLetter(column[0]) && column[1] >= 'A' && column[1] <= 'Z') return "";
    return "column '" + utf8(column) + "' of table '" + utf8(table) +
           "' does not begin with a prefix letter: code generation names its member " +
           utf8(M_NormalColumnDAO::NameToDAOAttriName(column)) + " (M" + utf8(column) +
           " would give " + utf8(M_NormalColumnDAO::NameToDAOAttriName("M" + column)) + ")";
}

void warn(const std::string& text) {
    std::cerr << "qms: warning: " << printable(text) << "\n";
}

}  // namespace qms
