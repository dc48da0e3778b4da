// The mapper class of a generated DAO class: header and source. Only the
// plain columns (integer, text, real) are mapped; blobs travel through the
// DAO class's own blob methods.
#include "DAOCodeGenerator.h"
#include "M_EntityTableDAO.h"
#include "M_NormalColumnDAO.h"
#include "StringHelper.h"

namespace MeridianSpace {

ResultMsg DAOCodeGenerator::Code_Mapper_h(const std::string& folder,
                                          std::list<std::string>& fileNames) {
    const std::string mapper = mapperClassName(table()->_name);
    std::string text = "// Create Time:  " + StringHelper::currTimeStr(0) + "\n\n";
    text += "#pragma once\n#include \"DAO.h\"\n#include \"Mapper.h\"\n";
    text +=
        "namespace MeridianSpace\n{\n\t//////////////////////////////////////////////////////"
        "////////////////////\n\tclass " +
        mapper + " :\tpublic " + mapperBaseClass() + "\n\t{\n\tpublic:\n\t\t" + mapper +
        "();\n\t\t~" + mapper +
        "();\n\n\t\tvirtual int doSave(ITableData& tableData, DAO* pdao);\n\n\t\tvirtual DAO* "
        "doLoad(ITableData& qd);\n\t};\n}\n";
    return writeFile(folder, mapper + ".h", text, "ERROR:建立Mapper_h文件失败。", fileNames);
}

ResultMsg DAOCodeGenerator::Code_Mapper_cpp(const std::string& folder,
                                            std::list<std::string>& fileNames) {
    const std::string dao = daoClassName(table()->_name);
    const std::string mapper = mapperClassName(table()->_name);
    std::vector<const M_NormalColumnDAO*> plain;
    for (const M_NormalColumnDAO* column : ownColumns()) {
        if (isPlain(column->_dataType)) plain.push_back(column);
    }

    std::string text = "// Create Time:  " + StringHelper::currTimeStr(0) + "\n\n";
    text += "#include \"MeridianNew.h\"\n#include \"DAO.h\"\n#include \"" + dao +
            ".h\"\n#include \"" + mapper +
            ".h\"\n#include \"ResultReturnCode.h\"\n\nusing namespace std;\nusing namespace "
            "MeridianSpace;\n";
    // The header declares a destructor, so the source defines it (right after
    // the constructor); otherwise the class would not link.
    text += "MeridianSpace::" + mapper + "::" + mapper + "()\n{\n\t_entityInnerName = \"" +
            escaped(table()->_innerName) + "\";\n}\n\nMeridianSpace::" + mapper + "::~" + mapper +
            "()\n{\n}\n\nint MeridianSpace::" + mapper +
            "::doSave(ITableData & tableData, DAO * pdao)\n{\n\tif (pdao == NULL)\n\t\treturn "
            "RUN_FAIL;\n\n\t" +
            dao + "* p = dynamic_cast<" + dao +
            "*> (pdao);\n\ttableData._tableInnerName = _entityInnerName;\n\n\ttableData._colNum "
            "= " +
            StringHelper::int2String(static_cast<int>(plain.size())) + ";\n\n";
    for (std::size_t index = 0; index < plain.size(); ++index) {
        const M_NormalColumnDAO& column = *plain[index];
        const std::string i = StringHelper::int2String(static_cast<int>(index));
        const std::string member = memberName(column);
        text += "\ttableData._cloInnerName[" + i + "] = \"" + escaped(column._innerName) +
                "\";\n\ttableData._colType[" + i + "] = " + typeConstant(column._dataType) + ";\n";
        if (column._dataType == 1) {
            text += "\ttableData._colValue[" + i + "] = StringHelper::int2String(p->" + member +
                    ");\n\n";
        } else if (column._dataType == 2) {
            text += "\ttableData._colValue[" + i + "] = p->" + member + ";\n\n";
        } else {
            text += "\ttableData._colValue[" + i + "] = StringHelper::doubleTostring(p->" + member +
                    ");\n\n";
        }
    }
    text += "\treturn RUN_SUCCESS;\n}\n\nMeridianSpace::DAO* MeridianSpace::" + mapper +
            "::doLoad(ITableData & qd)\n{\n\t" + dao + "* pnewdao = new " + dao + "();\n\n";
    text += "\tpnewdao->_ID = StringHelper::string2int(qd.getColValue(\"id\"));\n";
    for (const M_NormalColumnDAO* column : plain) {
        const std::string member = memberName(*column);
        if (column->_dataType == 1) {
            text += "\tpnewdao->" + member + " = StringHelper::string2int(qd.getColValue(\"" +
                    escaped(column->_innerName) + "\"));\n";
        } else if (column->_dataType == 2) {
            text += "\tpnewdao->" + member + " = qd.getColValue(\"" + escaped(column->_innerName) +
                    "\");\n";
        } else {
            text += "\tpnewdao->" + member + " = StringHelper::stringTodouble(qd.getColValue(\"" +
                    escaped(column->_innerName) + "\"));\n";
        }
    }
    text += "\n\treturn pnewdao;\n}\n";
    return writeFile(folder, mapper + ".cpp", text, "ERROR:建立Mapper_cpp文件失败。", fileNames);
}

}  // namespace MeridianSpace
