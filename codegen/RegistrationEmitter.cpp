// The registration list: two lines per generated table, appended run after
// run, and a regrouped copy with every include line ahead of the map lines,
// so the copy can be pasted as a whole into an application's factory table.
#include <fstream>
#include <iostream>

#include "ConsoleSink.h"
#include "DAOCodeGenerator.h"
#include "M_EntityTableDAO.h"
#include "StringHelper.h"

namespace MeridianSpace {

namespace {

const char* const kListFailure = "ERROR:建立/打开RegisterDAO_Code.txt文件失败。";

/// Writes the lines of `listPath` into its "_cleaned.txt" copy, lines that
/// begin with "#" first. A copy that cannot be written is reported on the
/// standard output only: the list itself is complete.
void writeRegroupedCopy(const std::string& listPath) {
    std::string cleanedPath = listPath;
    StringHelper::string_replace(cleanedPath, ".txt", "_cleaned.txt");
    std::vector<std::string> includes, others;
    std::ifstream in(listPath, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        (line.compare(0, 1, "#") == 0 ? includes : others).push_back(line);
    }
    std::ofstream out(cleanedPath, std::ios::binary | std::ios::trunc);
    if (!out) {
        ConsoleSink::stream() << kListFailure;
        return;
    }
    for (const std::string& line : includes)
        out << line << "\n";
    for (const std::string& line : others)
        out << line << "\n";
}

}  // namespace

ResultMsg DAOCodeGenerator::Code_RegisterDAO(const std::string& folder,
                                             std::list<std::string>& fileNames) {
    const std::string dao = daoClassName(table()->_name);
    const std::string fileName = "RegisterDAO_Code.txt";
    const std::string text = "#include \"" + dao + ".h\"\n" + "_DAOTypeObjectMap[\"" + dao +
                             "\"] = " + dao + "::createObject;\n";
    ResultMsg rm = writeFile(folder, fileName, text, kListFailure, fileNames, true);
    if (rm.rCode != RUN_SUCCESS) return rm;
    writeRegroupedCopy(folder + fileName);
    return rm;
}

}  // namespace MeridianSpace
