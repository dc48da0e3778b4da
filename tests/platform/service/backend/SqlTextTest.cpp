// The building blocks of the service's SQL text, read without any database:
// the checks every name and operation passes before it reaches a statement.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ResultReturnCode.h"
#include "ServiceErrorCode.h"
#include "backend/SqlText.h"

namespace {

using namespace MeridianSpace;
using namespace MeridianSpace::detail;
using V = std::vector<std::string>;

TEST(SqlText, NamesOperationsDefaultsTypesAndParameters) {
    {
        const std::pair<std::string, bool> names[] = {
            {"", false},
            {std::string(255, 'a'), true},
            {std::string(256, 'a'), false},
            {"a\"b", false},
            {"a\x1F", false},
            {std::string("a\0b", 3), false},
            {"a\x7F", false},
            {"\xD6\xD0\xCE\xC4", true},  // GBK bytes are name bytes
            {"a b'c;--", true},          // quoted, so harmless
            {"\x20", true}};
        for (const auto& [name, accepted] : names) {
            const ResultMsg rm = checkIdentifier(name, "表");
            EXPECT_EQ(rm.rCode, accepted ? RUN_SUCCESS : SRV_ERR_ARGUMENT) << name.size();
            if (!accepted) EXPECT_EQ(rm.rMsg.rfind("表", 0), 0u) << rm.rMsg;
        }
        EXPECT_EQ(quoteIdentifier("T_Item"), "\"T_Item\"");

        const std::tuple<std::size_t, std::size_t, bool> fits[] = {
            {63, 63, true}, {64, 63, false}, {1, 1, true}, {2, 1, false}, {1000, 0, true}};
        for (const auto& [size, limit, accepted] : fits) {
            const std::string name(size, 'n');
            const ResultMsg rm = checkNameFits(name, "列", limit);
            EXPECT_EQ(rm.rCode, accepted ? RUN_SUCCESS : SRV_ERR_ARGUMENT) << size << " " << limit;
            if (accepted) continue;
            EXPECT_NE(rm.rMsg.find(std::to_string(limit)), std::string::npos) << rm.rMsg;
            EXPECT_NE(rm.rMsg.find(name), std::string::npos) << rm.rMsg;
        }
    }
    {
        // Operations are read whatever their letter case and blanks, and only those
        // of the fixed set become SQL.
        const std::pair<const char*, const char*> operations[] = {{"=", "="},
                                                                  {" == ", "="},
                                                                  {"!=", "<>"},
                                                                  {"<>", "<>"},
                                                                  {"<", "<"},
                                                                  {"\t<=", "<="},
                                                                  {">", ">"},
                                                                  {">= ", ">="},
                                                                  {"LIKE", "LIKE"},
                                                                  {" like ", "LIKE"},
                                                                  {"NOT LIKE", "NOT LIKE"},
                                                                  {"  Not \t Like ", "NOT LIKE"},
                                                                  {"", nullptr},
                                                                  {"= =", nullptr},
                                                                  {"IS", nullptr},
                                                                  {"notlike", nullptr},
                                                                  {"=;", nullptr},
                                                                  {"IN", nullptr},
                                                                  {"= 1 OR 1", nullptr},
                                                                  {"\xA3\xBD", nullptr}};
        for (const auto& [given, sql] : operations) {
            std::string out = "untouched";
            const ResultMsg rm = sqlOperator(given, out);
            if (sql == nullptr) {
                EXPECT_EQ(rm.rCode, SRV_ERR_ARGUMENT) << given;
                EXPECT_NE(rm.rMsg.find(given), std::string::npos) << rm.rMsg;
            } else {
                EXPECT_TRUE(rm.ok()) << given;
                EXPECT_EQ(out, sql) << given;
            }
        }
    }
    {
        // A default is written as the number it is in a number column and as a
        // quoted text otherwise, its quotes doubled.
        const std::tuple<std::string, int, const char*> defaults[] = {
            {"5", COL_TYPE_INT, "5"},
            {" -5\t", COL_TYPE_INT, "-5"},
            {"1.5", COL_TYPE_DOUBLE, "1.5"},
            {"1e3", COL_TYPE_DOUBLE, "1e3"},
            {"5", COL_TYPE_STRING, "'5'"},
            {" 5 ", COL_TYPE_STRING, "' 5 '"},
            {"O'Brien", COL_TYPE_STRING, "'O''Brien'"},
            {"''", COL_TYPE_STRING, "''''''"},
            {"abc", COL_TYPE_INT, "'abc'"},
            {"1; DROP TABLE x", COL_TYPE_INT, "'1; DROP TABLE x'"},
            {"", COL_TYPE_STRING, "''"},
            {std::string("a\0b", 3), COL_TYPE_STRING, nullptr}};
        for (const auto& [value, type, literal] : defaults) {
            std::string out;
            const ResultMsg rm = defaultLiteral(value, type, out);
            if (literal == nullptr) {
                EXPECT_EQ(rm.rCode, SRV_ERR_ARGUMENT) << value;
            } else {
                EXPECT_TRUE(rm.ok()) << value;
                EXPECT_EQ(out, literal) << value;
            }
        }
    }
    {
        // A declared type maps by SQLite's rule of affinity: "int" anywhere makes
        // an integer, then "real", "floa", "doub" a real, then "blob" a blob.
        const std::pair<const char*, int> types[] = {{"INTEGER", COL_TYPE_INT},
                                                     {"bigint", COL_TYPE_INT},
                                                     {"  Big\tInt ", COL_TYPE_INT},
                                                     {"POINT", COL_TYPE_INT},
                                                     {"REAL", COL_TYPE_DOUBLE},
                                                     {"FLOAT", COL_TYPE_DOUBLE},
                                                     {"double precision", COL_TYPE_DOUBLE},
                                                     {"BLOB", COL_TYPE_BLOB},
                                                     {"bytea", COL_TYPE_BLOB},
                                                     {"TEXT", COL_TYPE_STRING},
                                                     {"VARCHAR(10)", COL_TYPE_STRING},
                                                     {"", COL_TYPE_STRING},
                                                     {"numeric", COL_TYPE_STRING}};
        for (const auto& [declared, type] : types)
            EXPECT_EQ(typeFromDeclared(declared), type) << declared;
    }
    {
        // The names a statement uses: bare words and the insides of every kind of
        // quoted name, never string literals, comments or numbers.
        const std::pair<std::string, V> statements[] = {
            {"SELECT \"a\"\"b\", [c d], `e` FROM t1", {"SELECT", "a\"b", "c d", "e", "FROM", "t1"}},
            {"x -- y z\n w", {"x", "w"}},
            {"x /* y\n z */ w /* open", {"x", "w"}},
            {"'it''s' = v2 AND 3 = n$ OR 4x", {"v2", "AND", "n$", "OR"}},
            {"\xD6\xD0x.\"q\"", {"\xD6\xD0x", "q"}},
            {"\"open", {"open"}},
            {"", {}}};
        for (const auto& [sql, names] : statements)
            EXPECT_EQ(identifiersIn(sql), names) << sql;
    }
    {
        // Parameters are numbered as SQLite numbers them (as PgDialect renumbers
        // them for a server); quoted ones are text.
        const std::pair<const char*, const char*> statements[] = {{"?", "$1"},
                                                                  {"? ?", "$1 $2"},
                                                                  {"?3 ?", "$3 $4"},
                                                                  {"?2 ?1 ?", "$2 $1 $3"},
                                                                  {"?1 OR ?1", "$1 OR $1"},
                                                                  {"?10,?", "$10,$11"},
                                                                  {"'?' \"?\" ?", "'?' \"?\" $1"},
                                                                  {"'it''s ?' ?", "'it''s ?' $1"},
                                                                  {"a?b", "a$1b"},
                                                                  {"none", "none"}};
        for (const auto& [sql, numbered] : statements) {
            EXPECT_EQ(replaceParameters(sql, [](std::size_t n) { return "$" + std::to_string(n); }),
                      numbered)
                << sql;
        }
    }
}

}  // namespace
