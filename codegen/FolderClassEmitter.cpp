// The intermediate class of a folder that generates one: the DAO classes of
// the tables in the folder (and in its subfolders) derive from it.
#include "DAOCodeGenerator.h"
#include "M_FolderDAO.h"
#include "StringHelper.h"

namespace MeridianSpace {

ResultMsg DAOCodeGenerator::Folder_Code_DAO_h(const std::string& folderPath,
                                              std::list<std::string>& fileNames) {
    M_FolderDAO& generated = *folder();
    const std::string fdao = daoClassName(generated._name);
    // The class of a parent folder that generates one, else the platform's.
    const std::string parent = parentFolderName();
    const std::string fbase = parent.empty() ? platformBaseClass(model()) : daoClassName(parent);

    std::string text = "// Create Time:  " + StringHelper::currTimeStr(0) + "\n\n";
    text += "#pragma once\n#include \"" + baseHeader() + "\"\n";
    // A parent folder's class is declared in its own header.
    if (!parent.empty()) text += "#include \"" + fbase + ".h\"\n";
    text += "\n";
    text += "namespace MeridianSpace\n{\n\t/// " + commentText(displayText(generated)) +
            "\n\tclass " + fdao + " :\tpublic " + fbase + "\n\t{\n\tpublic:\n";
    text += "\n\t\tARX " + fdao + "();\n\t\tvirtual ARX ~" + fdao + "();\n\n";
    text += "\t};\n}\n";
    return writeFile(folderPath, fdao + ".h", text, "ERROR:建立DAO_h文件失败。", fileNames);
}

ResultMsg DAOCodeGenerator::Folder_Code_DAO_cpp(const std::string& folderPath,
                                                std::list<std::string>& fileNames) {
    const std::string fdao = daoClassName(folder()->_name);
    // Folder mode writes no mapper, so the source includes none.
    std::string text =
        "#include \"" + fdao +
        ".h\"\n#include \"FolderHelper.h\"\n#include \"ResultReturnCode.h\"\n#include "
        "\"MeridianNew.h\"\n#include \"InstanceDataModel.h\"\n";
    text += "MeridianSpace::" + fdao + "::" + fdao + "()\n{\n";
    text += "}\n\nMeridianSpace::" + fdao + "::~" + fdao + "()\n{\n\n}\n\n";
    return writeFile(folderPath, fdao + ".cpp", text, "ERROR:建立DAO_cpp文件失败。", fileNames);
}

}  // namespace MeridianSpace
