// A CSV file as `qms data import --csv` and `qms dict import --csv` read
// it: its rows (parseCsv) and each row as the library's line
// (libraryLine). The input is the file's text.
#include <cstdint>
#include <string>
#include <vector>

#include "Cli.h"
#include "FuzzCheck.h"
#include "RowFile.h"
#include "RowText.h"

using arxfuzz::expect;

namespace {

std::string shown(const std::vector<std::string>& values) {
    std::string text;
    for (const std::string& value : values)
        text += "[" + value + "]";
    return text;
}

// The rows written as CSV again read back the same, line by line.
void checkRewritten(const std::vector<qms::FileRow>& rows) {
    // After a header line, as qms writes them: a byte order mark is skipped
    // only at the start of the file.
    std::string again = "header\n";
    for (const qms::FileRow& row : rows)
        again += qms::csvLine(row.values);
    std::vector<qms::FileRow> back;
    try {
        back = qms::parseCsv(again, "again");
    } catch (const qms::Failure& failure) {
        expect(false, std::string("rows written as CSV are refused: ") + failure.what());
    }
    expect(back.size() == rows.size() + 1,
           "rows written as CSV read back as another number of rows");
    for (std::size_t i = 0; i < rows.size(); ++i)
        expect(back[i + 1].values == rows[i].values,
               "a row written as CSV reads back otherwise: " + shown(rows[i].values) + " as " +
                   shown(back[i + 1].values));
}

// A line the library takes holds exactly the row's values.
void checkLine(const qms::FileRow& row) {
    std::string line;
    try {
        line = qms::libraryLine(row.values, "");
    } catch (const qms::Failure&) {
        return;
    }
    std::vector<std::string> stored = qms::rowValues(line);
    for (std::string& value : stored)
        value = qms::utf8(value);
    expect(stored == row.values,
           "a row is stored otherwise: " + shown(row.values) + " as " + shown(stored));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<qms::FileRow> rows;
    try {
        rows = qms::parseCsv(text, "fuzz.csv");
    } catch (const qms::Failure&) {
        return 0;
    }
    std::size_t line = 0;
    for (const qms::FileRow& row : rows) {
        expect(row.line > line && !row.values.empty(), "rows out of order or without values");
        line = row.line;
    }
    checkRewritten(rows);
    for (const qms::FileRow& row : rows)
        checkLine(row);
    return 0;
}
