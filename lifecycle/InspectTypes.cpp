#include "InspectTypes.h"

#include <cctype>
#include <vector>

#include "StringHelper.h"

namespace MeridianSpace {

namespace {

std::string trimmed(std::string text) {
    StringHelper::TrimSpace(text);
    return text;
}

// "NUMERIC(10, 2)" as "NUMERIC" and its numbers.
std::string baseOf(const std::string& upper, std::vector<int>& numbers) {
    const std::size_t open = upper.find('(');
    if (open == std::string::npos) return trimmed(upper);
    const std::size_t close = upper.find(')', open);
    for (const std::string& part :
         StringHelper::splitString(upper.substr(open + 1, close - open - 1), ",")) {
        long long number = 0;
        if (StringHelper::parseCanonicalInteger(trimmed(part), number) && number > 0 &&
            number < 1000000000)
            numbers.push_back(static_cast<int>(number));
    }
    return trimmed(upper.substr(0, open) +
                   (close == std::string::npos ? "" : upper.substr(close + 1)));
}

bool isOneOf(const std::string& word, std::initializer_list<const char*> words) {
    for (const char* w : words) {
        if (word == w) return true;
    }
    return false;
}

bool contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

HeldType typed(int dataType, std::string note = "") {
    HeldType held;
    held.dataType = dataType;
    held.note = std::move(note);
    return held;
}

}  // namespace

HeldType heldType(const std::string& declared) {
    std::vector<int> numbers;
    const std::string base = baseOf(StringHelper::strToUpper(trimmed(declared)), numbers);
    const std::string as = "类型" + declared + "按";
    if (isOneOf(base, {"INT", "INTEGER", "INT4", "SMALLINT", "INT2", "TINYINT", "MEDIUMINT"}))
        return typed(1);
    if (isOneOf(base, {"BIGINT", "INT8", "UNSIGNED BIG INT"})) {
        HeldType held = typed(1);
        held.digits = 19;
        return held;
    }
    if (isOneOf(base, {"TEXT", "CLOB", "VARCHAR", "NVARCHAR", "CHAR", "NCHAR", "CHARACTER",
                       "CHARACTER VARYING", "VARYING CHARACTER", "NATIVE CHARACTER",
                       "NATIONAL CHARACTER", "NATIONAL VARCHAR", "BPCHAR"})) {
        HeldType held = typed(2);
        if (!numbers.empty()) held.maxLength = numbers.front();
        return held;
    }
    if (isOneOf(base, {"REAL", "DOUBLE", "DOUBLE PRECISION", "FLOAT", "FLOAT4", "FLOAT8"}))
        return typed(3);
    if (isOneOf(base, {"BLOB", "BYTEA"})) return typed(4);
    if (isOneOf(base, {"NUMERIC", "DECIMAL"})) {
        HeldType held = typed(3, as + "real（浮点数）保存，定点小数的精确值可能丢失");
        if (!numbers.empty()) held.digits = numbers[0];
        if (numbers.size() > 1) held.decimals = numbers[1];
        return held;
    }
    if (isOneOf(base, {"BOOLEAN", "BOOL"})) return typed(1, as + "int（1和0）保存");
    if (base.empty()) return typed(2, "没有声明类型，按text保存");
    if (contains(base, "DATE") || contains(base, "TIME") || contains(base, "INTERVAL"))
        return typed(2, as + "text（日期时间的文本）保存");
    // SQLite's own rules for any other name, in its order.
    if (contains(base, "INT")) return typed(1, as + "int保存");
    if (contains(base, "CHAR") || contains(base, "CLOB") || contains(base, "TEXT"))
        return typed(2, as + "text保存");
    if (contains(base, "BLOB")) return typed(4, as + "bytes保存");
    if (contains(base, "REAL") || contains(base, "FLOA") || contains(base, "DOUB"))
        return typed(3, as + "real保存");
    return typed(2, as + "text保存");
}

bool heldDefault(const std::string& sql, std::string& value) {
    std::string text = trimmed(sql);
    // PostgreSQL writes a literal with its cast: 'abc'::character varying.
    if (!text.empty() && text.front() == '\'') {
        const std::size_t cast = text.rfind("::");
        if (cast != std::string::npos && text.find('\'', cast) == std::string::npos)
            text = trimmed(text.substr(0, cast));
    }
    while (text.size() >= 2 && text.front() == '(' && text.back() == ')')
        text = trimmed(text.substr(1, text.size() - 2));
    value.clear();
    if (text.empty() || StringHelper::strToUpper(text) == "NULL") return true;
    if (text.size() >= 2 && text.front() == '\'' && text.back() == '\'') {
        for (std::size_t i = 1; i + 1 < text.size(); ++i) {
            if (text[i] == '\'') {
                if (text[i + 1] != '\'' || i + 2 >= text.size()) return false;
                ++i;
            }
            value.push_back(text[i]);
        }
        return true;
    }
    const std::string upper = StringHelper::strToUpper(text);
    if (upper == "TRUE" || upper == "FALSE") {
        value = upper == "TRUE" ? "1" : "0";
        return true;
    }
    double number = 0;
    if (StringHelper::parseWholeDouble(text, number)) {
        value = text.front() == '+' ? text.substr(1) : text;
        return true;
    }
    return false;
}

}  // namespace MeridianSpace
