// The registration list: two lines per generated table, appended run after
// run, and a regrouped copy with every include line ahead of the map lines,
// so the copy can be pasted as a whole into an application's factory table.
#include <sstream>

#include "ConsoleSink.h"
#include "DAOCodeGenerator.h"
#include "M_EntityTableDAO.h"
#include "StringHelper.h"

namespace MeridianSpace {

namespace {

const char* const kListFailure = "ERROR:建立/打开RegisterDAO_Code.txt文件失败。";

/// Writes the lines of the list `text` into its "_cleaned.txt" copy beside
/// `listPath`, lines that begin with "#" first. A copy that cannot be
/// written is reported on the standard output only: the list itself is
/// complete.
void writeRegroupedCopy(const std::string& listPath, const std::string& text) {
    std::string cleanedPath = listPath;
    StringHelper::string_replace(cleanedPath, ".txt", "_cleaned.txt");
    std::string includes, others;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        (line.compare(0, 1, "#") == 0 ? includes : others) += line + "\n";
    }
    if (!DAOCodeGenerator::replaceFile(cleanedPath, includes + others))
        ConsoleSink::stream() << kListFailure;
}

}  // namespace

ResultMsg DAOCodeGenerator::Code_RegisterDAO(const std::string& folder,
                                             std::list<std::string>& fileNames) {
    const std::string dao = daoClassName(table()->_name);
    const std::string fileName = "RegisterDAO_Code.txt";
    // The list grows run after run: its earlier lines are written again
    // ahead of the new ones.
    std::string text;
    if (!readOwnFile(folder + fileName, text)) return ResultMsg(RUN_FAIL, kListFailure);
    text += "#include \"" + dao + ".h\"\n" + "_DAOTypeObjectMap[\"" + dao + "\"] = " + dao +
            "::createObject;\n";
    ResultMsg rm = writeFile(folder, fileName, text, kListFailure, fileNames);
    if (rm.rCode != RUN_SUCCESS) return rm;
    writeRegroupedCopy(folder + fileName, text);
    return rm;
}

}  // namespace MeridianSpace
