#include "RowFile.h"

#include "Cli.h"
#include "RowText.h"

namespace qms {

std::vector<std::string> rowValues(const std::string& line) {
    std::vector<std::string> values;
    values.resize(rowtext::split(line, values));
    for (std::string& value : values) {
        if (value == rowtext::kEmptyMarker) value.clear();
    }
    return values;
}

std::string csvLine(const std::vector<std::string>& values) {
    std::string line;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0) line += ',';
        const std::string& value = values[i];
        if (value.find_first_of(",\"\r\n") == std::string::npos) {
            line += value;
            continue;
        }
        line += '"';
        for (char c : value)
            line += c == '"' ? std::string("\"\"") : std::string(1, c);
        line += '"';
    }
    return line + "\n";
}

std::vector<FileRow> parseCsv(const std::string& text, const std::string& path) {
    std::vector<FileRow> rows;
    std::size_t i = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    std::size_t line = 1;
    const auto fail = [&](std::size_t at, const std::string& what) {
        return Failure(path + " line " + std::to_string(at) + ": " + what);
    };
    const auto endsValue = [&](std::size_t at) {
        return at == text.size() || text[at] == ',' || text[at] == '\n' || text[at] == '\r';
    };
    while (i < text.size()) {
        FileRow row{line, {}};
        for (bool more = true; more;) {
            std::string value;
            if (i < text.size() && text[i] == '"') {
                const std::size_t opened = line;
                for (++i;; ++i) {
                    if (i == text.size()) throw fail(opened, "a quoted value is not closed");
                    if (text[i] == '"') {
                        if (i + 1 == text.size() || text[i + 1] != '"') break;
                        ++i;  // a doubled quote stands for one
                    }
                    if (text[i] == '\n') ++line;
                    value += text[i];
                }
                if (!endsValue(++i)) throw fail(line, "text after a closing quote");
            } else {
                for (; !endsValue(i); ++i) {
                    if (text[i] == '"') throw fail(line, "a quote inside a value without quotes");
                    value += text[i];
                }
            }
            row.values.push_back(value);
            more = i < text.size() && text[i] == ',';
            if (more) ++i;
        }
        if (i < text.size() && text[i] == '\r') ++i;
        if (i < text.size() && text[i] == '\n') ++i;
        ++line;
        rows.push_back(row);
    }
    return rows;
}

std::string libraryLine(const std::vector<std::string>& values, const std::string& where) {
    const std::string separator = rowtext::kSeparator;
    std::vector<std::string> stored;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const std::string problem = notStorable(values[i]);
        if (!problem.empty()) throw Failure(where + problem);
        // The separator is looked for in the GBK bytes the line holds: a
        // character whose second byte is '@' may begin one.
        const std::string value = gbk(values[i]);
        if (value.find(separator) != std::string::npos) {
            throw Failure(where + "a value holds \"" + separator + "\", which rows cannot");
        }
        // "x@#" and the separator read as "x", then "#@..." and the rest.
        if (i + 1 < values.size() && value.size() >= 2 &&
            value.compare(value.size() - 2, 2, separator, 0, 2) == 0) {
            throw Failure(where + "a value ends in \"" + separator.substr(0, 2) +
                          "\", which rows cannot hold before another value");
        }
        if (value == rowtext::kEmptyMarker) {
            throw Failure(where + "a value is \"" + rowtext::kEmptyMarker +
                          "\", which rows read as the empty value");
        }
        stored.push_back(value);
    }
    std::string line;
    rowtext::join(stored.data(), stored.size(), line);
    return line;
}

}  // namespace qms
