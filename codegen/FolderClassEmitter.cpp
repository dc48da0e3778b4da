// The intermediate class of a folder that generates one: the DAO classes of
// the tables in the folder (and in its subfolders) derive from it.
#include <memory>

#include "DAOCodeGenerator.h"
#include "M_EntityModelDAO.h"
#include "M_FolderDAO.h"
#include "StringHelper.h"

namespace MeridianSpace {

namespace {

/// The platform class of the model, or the class of the parent folder when
/// that folder generates one; `fromParent` tells which.
std::string folderBaseClass(const M_EntityModelDAO* model, const M_FolderDAO& folder,
                            bool& fromParent) {
    std::string base = "DAO";
    const std::string modelName = model != nullptr ? model->_name : std::string();
    if (modelName == "M_ProjectManage") base = "totalDAO";
    if (modelName == "M_ProjectData") base = "subDBDAO";
    if (modelName == "M_DataDictionary") base = "dataDictionaryDAO";
    if (modelName == "M_QMS") base = "M_ObjectDAO";
    fromParent = false;
    M_FolderDAO* found = nullptr;
    (void)M_FolderDAO::FindByID(folder._t_M_FolderID, found);
    const std::unique_ptr<M_FolderDAO> parent(found);
    if (parent && parent->_isGenerateDAO == 1) {
        base = DAOCodeGenerator::daoClassName(parent->_name);
        fromParent = true;
    }
    return base;
}

}  // namespace

ResultMsg DAOCodeGenerator::Folder_Code_DAO_h(const std::string& folderPath,
                                              std::list<std::string>& fileNames) {
    M_FolderDAO& generated = *folder();
    const std::string fdao = daoClassName(generated._name);
    bool fromParent = false;
    const std::string fbase = folderBaseClass(model(), generated, fromParent);

    std::string text = "// Create Time:  " + StringHelper::currTimeStr(0) + "\n\n";
    text += "#pragma once\n#include \"" + baseHeader() + "\"\n";
    // A parent folder's class is declared in its own header.
    if (fromParent) text += "#include \"" + fbase + ".h\"\n";
    text += "\n";
    text += "namespace MeridianSpace\n{\n\t/// " + displayText(generated) + "\n\tclass " + fdao +
            " :\tpublic " + fbase + "\n\t{\n\tpublic:\n";
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
