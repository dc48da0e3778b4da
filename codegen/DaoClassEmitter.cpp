// The DAO class of a table: header and source text.
#include <string>
#include <vector>

#include "DAOCodeGenerator.h"
#include "M_DelByInterfaceDAO.h"
#include "M_EntityTableDAO.h"
#include "M_FindByInterfaceDAO.h"
#include "M_NormalColumnDAO.h"
#include "StringHelper.h"

namespace MeridianSpace {

namespace {

std::string upperAttr(const M_NormalColumnDAO& column) {
    return StringHelper::strFirstUpper(DAOCodeGenerator::attributeName(column));
}

std::string lowerAttr(const M_NormalColumnDAO& column) {
    return StringHelper::strFirstLower(DAOCodeGenerator::attributeName(column));
}

std::string exportWord(int bExport) {
    return bExport != 0 ? " ARX " : " ";
}

ResultMsg noTable() {
    return ResultMsg(RUN_FAIL, "ERROR：数据类指针为NULL，不能生成代码。");
}

}  // namespace

ResultMsg DAOCodeGenerator::Code_DAO_h(const std::string& folder,
                                       std::list<std::string>& fileNames) {
    if (table_ == nullptr) return noTable();
    const std::string dao = daoClassName(table_->_name);
    const std::string base = daoBaseClass(true);
    const std::vector<M_NormalColumnDAO*> columns = ownColumns();

    std::string text = "// Create Time:  " + StringHelper::currTimeStr(0) + "\n\n";
    text += "#pragma once\n#include \"" + baseHeader() + "\"\n";
    // The class of a generating folder lives in its own header; the
    // platform's classes come with the base header.
    if (!baseFolderName().empty()) text += "#include \"" + base + ".h\"\n";
    text += "\n";
    text += "namespace MeridianSpace\n{\n\t/// " + commentText(displayText(*table_)) +
            "\n\tclass " + dao + " :\tpublic " + base + "\n\t{\n\tpublic:\n";
    for (M_NormalColumnDAO* column : columns) {
        // CName is the platform's own _name member.
        if (isBlob(column->_dataType) || StringHelper::strToUpper(column->_name) == "CNAME")
            continue;
        text += "\t\t" + typeText(column->_dataType) + "\t\t" + memberName(*column) + ";\t\t///<" +
                commentText(displayText(*column)) + "\n";
    }
    text += "\n\t\tARX " + dao + "();\n\t\tvirtual ARX ~" + dao +
            "();\n\n\n\t\tARX virtual Mapper* createMapper();\n\t\tARX static DAO* "
            "createObject();\n\n";
    for (const M_NormalColumnDAO* column : columns) {
        if (!isBlob(column->_dataType)) continue;
        const std::string pointer = column->_dataType == 5 ? "double" : "char";
        text += "\n\t\tARX ResultMsg save" + upperAttr(*column) + "( " + pointer + " * p" +
                lowerAttr(*column) + ",  int dataSize);\n\t\tARX ResultMsg get" +
                upperAttr(*column) + "( " + pointer + " *& p" + lowerAttr(*column) +
                ",  int& dataSize);\n\n";
    }
    if (table_->_countType == 0) {
        text += "\n\t\tstatic ARX ResultMsg FindAll(list<" + dao + "*> & pnewlist);\n";
    } else if (table_->_countType == 1) {
        text +=
            "\n\t\tvirtual ARX ResultMsg  save(int commitType = COMMIT_T_IMMEDIATELY);\n\t\tstatic "
            "ARX ResultMsg FindAll(" +
            dao + "* & pnewdao);\n";
    }
    text += "\n\t\tstatic ARX ResultMsg FindByID(int id, " + dao + " * &pnewdao);\n";
    for (const M_NormalColumnDAO* column : columns) {
        if (column->_isFindKey != 1) continue;
        text += "\n\t\tstatic ResultMsg ARX FindBy" + upperAttr(*column) + "(" +
                typeText(column->_dataType) + " " + lowerAttr(*column) + ", list<" + dao +
                "*>&newlist);\n";
    }
    for (const M_FindByInterfaceDAO* finder : finders_) {
        const std::string params = parameterList(parameterGroups(finder->_paraList));
        text += "\n\t\tstatic ResultMsg " + exportWord(finder->_bExport) + finder->_name + "(" +
                params + ", list<" + dao + "*>&newlist);\n";
    }
    for (const M_DelByInterfaceDAO* deleter : deleters_) {
        const std::string params = parameterList(parameterGroups(deleter->_paraList));
        text += "\n\t\tResultMsg " + exportWord(deleter->_bExport) + deleter->_name + "(" + params +
                ", int commitType = COMMIT_T_IMMEDIATELY);\n";
    }
    text += "\t};\n}\n";
    return writeFile(folder, dao + ".h", text, "ERROR:建立DAO_h文件失败。", fileNames);
}

namespace {

// The methods that read and write one blob column through the work
// database's manager.
std::string blobMethods(const std::string& dao, const std::string& tableInner,
                        const M_NormalColumnDAO& column) {
    const std::string Attr = upperAttr(column), attr = lowerAttr(column);
    const std::string where = "\"" + DAOCodeGenerator::escaped(tableInner) + "\", \"" +
                              DAOCodeGenerator::escaped(column._innerName) + "\"";
    if (column._dataType == 5) {
        return "\nResultMsg MeridianSpace::" + dao + "::save" + Attr + "( double * p" + attr +
               ", int dataSize)\n{\n\tMeridianNew::LOGGER()->appendMsg(\"开始执行：" + dao +
               "::save" + Attr +
               "()\" );\n\tResultMsg rm;\n\trm = "
               "MeridianNew::getCurrentWorkDBIDM()->updateIBlobTableData(" +
               where + ",p" + attr +
               ", dataSize, _ID);\n\tMeridianNew::LOGGER()->appendMsg(\"执行结束：" + dao +
               "::save" + Attr + "()\" );\n\treturn rm;\n}\n\nResultMsg MeridianSpace::" + dao +
               "::get" + Attr + "(double*& p" + attr +
               ", int& dataSize)\n{\n\tMeridianNew::LOGGER()->appendMsg(\"开始执行：" + dao +
               "::get" + Attr +
               "() \");\n\tResultMsg rm;\n\trm = "
               "MeridianNew::getCurrentWorkDBIDM()->getIBlobTableData(" +
               where + ", _ID, p" + attr +
               ", dataSize);\n\tMeridianNew::LOGGER()->appendMsg(\"执行结束：" + dao + "::get" +
               Attr + "() \");\n\treturn rm;\n}\n\n";
    }
    return "\nResultMsg MeridianSpace::" + dao + "::save" + Attr + "( char * p" + attr +
           ", int dataSize)\n{\n\tMeridianNew::LOGGER()->appendMsg(\"开始执行：" + dao + "::save" +
           Attr +
           "()\" );\n\tResultMsg rm;\n\trm = "
           "MeridianNew::getCurrentWorkDBIDM()->updateIBlobTableData(" +
           where + ",(double *)p" + attr +
           ", dataSize, _ID);\n\tMeridianNew::LOGGER()->appendMsg(\"执行结束：" + dao + "::save" +
           Attr + "()\" );\n\treturn rm;\n}\n\nResultMsg MeridianSpace::" + dao + "::get" + Attr +
           "(char*& p" + attr +
           ", int& dataSize)\n{\n\tMeridianNew::LOGGER()->appendMsg(\"开始执行：" + dao + "::get" +
           Attr +
           "() \");\n\tResultMsg rm;\n   double * ptemp = NULL;\trm = "
           "MeridianNew::getCurrentWorkDBIDM()->getIBlobTableData(" +
           where + ", _ID,  ptemp, dataSize);\n   if(ptemp!=NULL)\n    p" + attr +
           " = (char*) ptemp;\n\tMeridianNew::LOGGER()->appendMsg(\"执行结束：" + dao + "::get" +
           Attr + "() \");\n\treturn rm;\n}\n\n\n";
}

// The list of objects a finder found, cast to the generated class.
std::string castList(const std::string& dao) {
    return "\tfor (auto pod : daolist)\n\t{\n\t\tnewlist.push_back(dynamic_cast<" + dao +
           "*>(pod));\n\t}\n\n\treturn rm;\n}\n";
}

}  // namespace

ResultMsg DAOCodeGenerator::Code_DAO_cpp(const std::string& folder,
                                         std::list<std::string>& fileNames) {
    if (table_ == nullptr) return noTable();
    const std::string dao = daoClassName(table_->_name);
    const std::string mapper = mapperClassName(table_->_name);
    const std::vector<M_NormalColumnDAO*> columns = ownColumns();

    std::string text = "// Create Time:  " + StringHelper::currTimeStr(0) + "\n\n";
    text += "#include \"" + dao +
            ".h\"\n#include \"FolderHelper.h\"\n#include \"ResultReturnCode.h\"\n#include "
            "\"MeridianNew.h\"\n#include \"" +
            mapper + ".h\"\n#include \"InstanceDataModel.h\"\n";
    bool hasBlob = false;
    for (const M_NormalColumnDAO* column : columns)
        hasBlob = hasBlob || isBlob(column->_dataType);
    if (hasBlob) text += "#include \"DataManager.h\"\n#include \"MRDSession.h\"\n";
    if (!deleters_.empty()) {
        text +=
            "\n#include \"DataManager.h\"\n#include \"MRDSession.h\"\n#include "
            "\"LogManager.h\"\n\n";
    }

    text += "MeridianSpace::" + dao + "::" + dao + "()\n{\n";
    for (const M_NormalColumnDAO* column : columns) {
        if (isBlob(column->_dataType)) continue;
        text += "\t" + memberName(*column) + " = " + defaultValueText(*column) + ";\n";
    }
    text += "}\n\nMeridianSpace::" + dao + "::~" + dao +
            "()\n{\n\n}\n\nMapper* MeridianSpace::" + dao + "::createMapper()\n{\n\treturn new " +
            mapper + ";\n}\n\nDAO* MeridianSpace::" + dao + "::createObject()\n{\n\treturn new " +
            dao + ";\n}\n";

    for (const M_NormalColumnDAO* column : columns) {
        if (isBlob(column->_dataType)) text += blobMethods(dao, table_->_innerName, *column);
    }

    text += "ResultMsg MeridianSpace::" + dao + "::FindByID(int id, " + dao +
            " * &pnewdao)\n{\n\tResultMsg rm;\n\tDAOFinder dfinder;\n\tDAO* pdao = NULL;\n\n\trm = "
            "dfinder.findByID(\"" +
            dao + "\", id, pdao);\n\tif (pdao != NULL)\n\t{\n\t\tpnewdao = dynamic_cast<" + dao +
            "*>(pdao);\n\t}\n\n\treturn rm;\n}\n";

    if (table_->_countType == 0) {
        text += "ResultMsg MeridianSpace::" + dao + "::FindAll(list<" + dao +
                "*>&newlist)\n{\n\tResultMsg rm;\n\tDAOFinder dfinder;\n\tlist<DAO*> "
                "daolist;\n\n\trm = dfinder.findAll(\"" +
                dao + "\", daolist);\n\n" + castList(dao);
    } else if (table_->_countType == 1) {
        text +=
            "ResultMsg MeridianSpace::" + dao + "::FindAll(" + dao +
            "* & pnewdao)\n{\n\tResultMsg rm;\n\tDAOFinder dfinder;\n\tlist<DAO*> "
            "daolist;\n\n\trm = dfinder.findAll(\"" +
            dao + "\", daolist);\n\n\tif (daolist.size()>0)\n\t{\n\t\tpnewdao = dynamic_cast<" +
            // The rows after the first are the method's own: freed.
            dao +
            "*>(*daolist.begin());\n\t\tdaolist.pop_front();\n\t\tT_deletePtrList(daolist);\n\t}"
            "\n\treturn "
            "rm;\n}\n\nResultMsg MeridianSpace::" +
            dao + "::save(int commitType /*= COMMIT_T_IMMEDIATELY*/)\n{\n\t" + dao +
            "* pnewdao = NULL;\n\tFindAll(pnewdao);\n\tif (pnewdao != NULL)\n\t{\n\t\tthis->_ID "
            "= pnewdao->_ID;\n\t\n\t\tdelete pnewdao;\n\t\tpnewdao = NULL;\n\t}\n\n\treturn " +
            daoBaseClass(false) + "::save();\n}\n";
    }

    for (const M_NormalColumnDAO* column : columns) {
        if (column->_isFindKey != 1) continue;
        const std::string attr = lowerAttr(*column);
        std::string op = " = ", value = attr;
        if (column->_dataType == 2) {
            op = " like ";
            value = "\"'\" + " + attr + " + \"'\"";
        } else if (column->_dataType == 1) {
            value = "StringHelper::int2String(" + attr + ")";
        } else if (column->_dataType == 3) {
            value = "StringHelper::doubleTostring(" + attr + ")";
        }
        text += "ResultMsg MeridianSpace::" + dao + "::FindBy" + upperAttr(*column) + "(" +
                typeText(column->_dataType) + " " + attr + ", list<" + dao +
                "*>&newlist)\n{\n\tResultMsg rm;\n\tDAOFinder dfinder;\n\n\tlist<DAO*> "
                "daolist;\n\n\trm = dfinder.findByOneAttr(\"" +
                dao + "\", \"" + memberName(*column) + "\", \" " + op + " \", " + value +
                ", daolist);\n\n" + castList(dao);
    }

    for (const M_FindByInterfaceDAO* finder : finders_) {
        const std::vector<ParameterGroup> groups = parameterGroups(finder->_paraList);
        text += "ResultMsg MeridianSpace::" + dao + "::" + finder->_name + "(" +
                parameterList(groups) + ", list<" + dao +
                "*>& newlist)\n{\n\tResultMsg rm;\n\tDAOFinder dfinder;\n\n\tlist<DAO*> "
                "daolist;\n\n\tvector<string> v_attrName, v_operation, v_attrValue;\n";
        std::string finderCall = "findByManyAndAttr";
        for (const ParameterGroup& group : groups) {
            // The last group that names a connective decides.
            if (group.hasConnective && group.connective == "and") finderCall = "findByManyAndAttr";
            if (group.hasConnective && group.connective == "or") finderCall = "findByManyOrAttr";
            if (!group.column) continue;
            std::string value = parameterName(*group.column);
            if (group.column->_dataType == 1) value = "StringHelper::int2String(" + value + ")";
            if (group.column->_dataType == 3) value = "StringHelper::doubleTostring(" + value + ")";
            text += "\tv_attrName.push_back(\"" + memberName(*group.column) +
                    "\");\n\tv_operation.push_back(\"" + escaped(group.operation) +
                    " \");\n\tv_attrValue.push_back(" + value + ");\n\n";
        }
        text += "\trm = dfinder." + finderCall + "(\"" + dao +
                "\", v_attrName, v_operation, v_attrValue, daolist);\n\n" + castList(dao);
    }

    for (const M_DelByInterfaceDAO* deleter : deleters_) {
        const std::vector<ParameterGroup> groups = parameterGroups(deleter->_paraList);
        text += "ResultMsg MeridianSpace::" + dao + "::" + deleter->_name + "(" +
                parameterList(groups) +
                " , int commitType /*= COMMIT_T_IMMEDIATELY*/)\n{\n\tResultMsg rm;\n\tMapper* "
                "pmapper = NULL;\n\tpmapper = "
                "createMapper();\n\tif (pmapper == NULL)\n\t{\n\t\trm.rMsg = "
                "\"createMapper失败\";\n\t\trm.rCode = RUN_FAIL;\n\t\treturn rm;\n\t}\n";
        text += "\n\tlist< IQueryCondition> conList;\n";
        int k = 0;
        for (const ParameterGroup& group : groups) {
            ++k;  // a group that does not load keeps its number
            if (!group.column) continue;
            const std::string cond = "cond" + StringHelper::int2String(k);
            const std::string name = parameterName(*group.column);
            // A text value goes in quotes, as the finders pass it.
            const std::string value = group.column->_dataType == 2
                                          ? "\"'\" + " + name + " + \"'\""
                                          : "StringHelper::int2String(" + name + ")";
            text += "\tIQueryCondition " + cond + ";\n\t" + cond + ".columnInnerName = \"" +
                    escaped(group.column->_innerName) + "\";\n\t" + cond + ".operation = \"" +
                    escaped(group.operation) + " \";\n\t" + cond + ".columValue = " + value +
                    ";\n\tconList.push_back(" + cond + ");\n\n";
        }
        text +=
            "\trm = getIDM()->deleteITableDataByCondition(pmapper->_entityInnerName, "
            "conList);\n\n\tif (commitType == COMMIT_T_IMMEDIATELY)\n\t{\n\t\trm = "
            "getIDM()->getPSession()->commit();\n\t}\n\n\tif (rm.rCode != RUN_SUCCESS)\n\t{\n\t\t"
            "MeridianNew::LOGGER()->appendError(pmapper->_entityInnerName + \"" +
            dao + "::" + deleter->_name + "()\", rm.rMsg);\n\t}\n\n";
        text += "\tdelete pmapper;\n";  // the mapper belongs to this call
        text += "\treturn rm;\n}\n";
    }
    return writeFile(folder, dao + ".cpp", text, "ERROR:建立DAO_cpp文件失败。", fileNames);
}

}  // namespace MeridianSpace
