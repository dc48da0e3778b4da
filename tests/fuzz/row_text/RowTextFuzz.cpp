// Row text lines as row and dictionary data take them: cut into values
// (rowtext::split) and checked against a column list (rowtext::check).
//
// The input's first line names the columns: a mode letter (P plain, R row
// identifier first, K kept identifier first) and inner names whose last
// digit is the type (1 int, 3 real, 4 to 6 blob, 8 an int of 19 digits,
// none text), e.g. "R id I1 L8 R3 S". Every further line is a row line.
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <list>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "M_NormalColumnDAO.h"
#include "RowLines.h"
#include "StringHelper.h"

using namespace MeridianSpace;
using arxfuzz::expect;

namespace {

const std::size_t kSeparatorSize = std::strlen(rowtext::kSeparator);

// split(): the values are the pieces between separators, found from the
// left, of the line with the marker put at an edge that is a separator.
void checkSplit(const std::string& line) {
    std::vector<std::string> values;
    const std::size_t count = rowtext::split(line, values);
    expect(count >= 1 && count <= values.size(), "split gives no values: " + line);
    std::string marked = line;
    if (line.compare(0, kSeparatorSize, rowtext::kSeparator) == 0)
        marked.insert(0, rowtext::kEmptyMarker);
    if (line.size() >= kSeparatorSize &&
        line.compare(line.size() - kSeparatorSize, kSeparatorSize, rowtext::kSeparator) == 0)
        marked += rowtext::kEmptyMarker;
    std::string joined;
    rowtext::join(values.data(), count, joined);
    expect(joined == marked, "split and join change the line: " + line);
    for (std::size_t i = 0; i < count; ++i)
        expect(values[i].find(rowtext::kSeparator) == std::string::npos,
               "a value holds the separator: " + line);
}

bool emptyValue(const std::string& value) {
    return value.empty() || value == rowtext::kEmptyMarker;
}

// What strtoll reads of the whole text, or false.
bool wholeInteger(const std::string& text, long long& value) {
    if (text.empty() || text[0] == ' ') return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtoll(text.c_str(), &end, 10);
    return errno == 0 && end == text.c_str() + text.size();
}

// check() accepted the lines: every value reaches the store as it reads.
void checkAccepted(const std::list<M_NormalColumnDAO*>& columns,
                   const std::list<std::string>& lines, rowtext::FirstValue first) {
    std::vector<std::string> values;
    for (const std::string& line : lines) {
        const std::size_t count = rowtext::split(line, values);
        expect(count == columns.size(), "a line of the wrong length passed: " + line);
        std::size_t index = 0;
        for (const M_NormalColumnDAO* column : columns) {
            const std::string& value = values[index++];
            if (emptyValue(value)) continue;
            if (index == 1 && first != rowtext::FirstValue::Plain) {
                // The writer reads the identifier with string2int.
                long long id = 0;
                expect(wholeInteger(value, id) && id >= INT32_MIN && id <= INT32_MAX &&
                           StringHelper::string2int(value) == id,
                       "an identifier passed that the writer reads otherwise: " + value);
                expect(first == rowtext::FirstValue::RowID ? id >= -1 : id > 0,
                       "an identifier out of range passed: " + value);
                continue;
            }
            if (column->_dataType == COL_TYPE_INT) {
                // Integers as the store gives them back: no sign, zero or
                // blank of their own.
                long long number = 0;
                const bool wide = column->_numLength > 10;
                expect(wholeInteger(value, number) && std::to_string(number) == value &&
                           (wide || (number >= INT32_MIN && number <= INT32_MAX)),
                       "an int value passed that is stored otherwise: " + value);
            } else if (column->_dataType == COL_TYPE_DOUBLE) {
                char* end = nullptr;
                const double real = std::strtod(value.c_str(), &end);
                expect(
                    end == value.c_str() + value.size() && std::isfinite(real) && value[0] != ' ',
                    "a real value passed that is no decimal number: " + value);
            }
        }
    }
}

// The column list of the first line.
rowtext::FirstValue readColumns(const std::string& header, std::list<M_NormalColumnDAO*>& columns) {
    std::istringstream in(header);
    std::string mode;
    in >> mode;
    for (std::string name; in >> name && columns.size() <= 81;) {
        auto column = std::make_unique<M_NormalColumnDAO>();
        column->_name = column->_innerName = name;
        const char type = name.back();
        column->_dataType = type == '8'                  ? COL_TYPE_INT
                            : type >= '1' && type <= '6' ? type - '0'
                                                         : 2;
        if (type == '8') column->_numLength = 19;
        columns.push_back(column.release());
    }
    return mode == "R"   ? rowtext::FirstValue::RowID
           : mode == "K" ? rowtext::FirstValue::KeptRowID
                         : rowtext::FirstValue::Plain;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::list<std::string> lines;
    std::istringstream in(text);
    std::string header;
    std::getline(in, header);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);

    for (const std::string& line : lines)
        checkSplit(line);

    std::list<M_NormalColumnDAO*> columns;
    const rowtext::FirstValue first = readColumns(header, columns);
    if (!columns.empty() && rowtext::check(columns, lines, first).ok())
        checkAccepted(columns, lines, first);
    for (M_NormalColumnDAO* column : columns)
        delete column;
    return 0;
}
