// The white-box test function of a generated DAO class: the table's step
// switches ("1:1,2:1,...") choose which blocks the function holds.
#include <map>

#include "DAOCodeGenerator.h"
#include "M_DelByInterfaceDAO.h"
#include "M_EntityTableDAO.h"
#include "M_FindByInterfaceDAO.h"
#include "M_NormalColumnDAO.h"
#include "StringHelper.h"

namespace MeridianSpace {

namespace {

/// Opens the test project the later steps work in.
const char* const kOpenProjectStep =
    "\tMeridianNew myMeridian;\n"
    "\tstring st = MeridianNew::getCurrPlatformStatus();\n"
    " \n"
    "\tResultMsg rm;\n"
    " \n"
    "\tProjectDAO projectToCreate;\n"
    "\tprojectToCreate._folderPath = \"D:\\\\TEST_Meridian\\\\项目kwt0524.11\";\n"
    "\tprojectToCreate._name = \"测试项目xxx\";\n"
    "\tprojectToCreate._projectFileName = \"项目xxx.vrzp\";\n"
    "\t\n"
    "\trm = projectToCreate.open();\n"
    "\t//rm = projectToCreate.create();\n"
    "\t\n"
    "\tif (rm.rCode != RUN_SUCCESS)\n"
    "\t{\n"
    "\t\tcout << \"error!!\" << endl;\n"
    "\t}\n"
    "\n";

/// Step number to value; pairs without ":" are ignored, a later pair of the
/// same step wins.
std::map<int, int> stepSwitches(const std::string& whiteBoxType) {
    std::map<int, int> switches;
    for (const std::string& pair : StringHelper::splitString(whiteBoxType, ",")) {
        const std::size_t colon = pair.find(':');
        if (colon == std::string::npos) continue;
        switches[StringHelper::string2int(pair.substr(0, colon))] =
            StringHelper::string2int(pair.substr(colon + 1));
    }
    return switches;
}

/// A type text without its leading blank (" int " gives "int ").
std::string withoutFirst(const std::string& text) {
    return text.empty() ? text : text.substr(1);
}

/// Local variables for the parameters of a query or delete definition,
/// named by the lower-case column name and `j`, and the argument list that
/// passes them.
void definitionArguments(const std::string& paraList, const std::string& j,
                         std::string& declarations, std::string& arguments) {
    for (const auto& group : DAOCodeGenerator::parameterGroups(paraList)) {
        if (!group.column) continue;
        const M_NormalColumnDAO& column = *group.column;
        const std::string name = DAOCodeGenerator::parameterName(column) + j;
        declarations += "\t" + withoutFirst(DAOCodeGenerator::typeText(column._dataType)) + name +
                        " = " + DAOCodeGenerator::defaultValueText(column) + ";\n";
        if (!arguments.empty()) arguments += ",";
        arguments += name;
    }
}

}  // namespace

ResultMsg DAOCodeGenerator::Code_WhiteBoxTest_h(const std::string& folder,
                                                std::list<std::string>& fileNames) {
    const std::string dao = daoClassName(table()->_name);
    const std::string date = StringHelper::currTimeStr(3);
    const std::map<int, int> switches = stepSwitches(table()->_whiteBoxType);
    const auto on = [&switches](int step) {
        const auto found = switches.find(step);
        return found != switches.end() && found->second == 1;
    };
    const int countType = table()->_countType;
    const std::vector<M_NormalColumnDAO*> columns = ownColumns();

    std::string text = "// Create Time:  " + StringHelper::currTimeStr(0) + "\n\n";
    text += "#include \"" + dao + ".h\"\n";
    text += "void Test_" + dao + "_" + date + "()\n{\n";
    if (on(1)) text += kOpenProjectStep;
    // Names a later step uses that the step declaring them did not declare:
    // the result (step 1) and the first test object (steps 2 and 3).
    bool usesResult = false;
    for (int step = 2; step <= 8; ++step)
        usesResult = usesResult || on(step);
    if (!on(1) && usesResult) text += "\tResultMsg rm;\n\n";
    if (!on(2) && !on(3) && (on(4) || on(8))) text += "\t" + dao + " p1;\n\n";

    // Blob columns have no member in the class, so the test objects leave
    // them out.
    const auto objectBlock = [&](const std::string& n) {
        std::string block = "\t" + dao + " p" + n + ";\n";
        for (const M_NormalColumnDAO* column : columns) {
            if (isBlob(column->_dataType)) continue;
            block += "\tp" + n + "._" + StringHelper::strFirstLower(attributeName(*column)) +
                     " = " + defaultValueText(*column) + ";\n";
        }
        return block + "\trm = p" + n + ".save();\n\n";
    };
    if (on(2)) text += objectBlock("1");
    if (on(3)) text += objectBlock("1") + objectBlock("2") + objectBlock("3");
    if (on(4)) {
        // The found object is the function's own: it is deleted at once.
        text += "\t" + dao + "*  pFind" + " = NULL;\n\trm = " + dao +
                "::FindByID(p1._ID,pFind);\n\tDELETE_PRT(pFind)\n\n";
    }

    // Steps 7 and 8 read all rows again in the form of FindAll that the
    // class has (none for a _countType other than 0 and 1); the variable is
    // declared once, before the first use, when step 5 did not declare it.
    bool listDeclared = false, singleDeclared = false;
    if (on(5) && countType == 0) {
        text += "\tlist<" + dao + "*>  pFindList;\n\trm = " + dao +
                "::FindAll(pFindList);\n\tT_deletePtrList<" + dao + ">(pFindList);\n\n";
        listDeclared = true;
    } else if (on(5) && countType == 1) {
        text += "\t" + dao + "*  pnewdaoAll = NULL;\n\trm = " + dao +
                "::FindAll(pnewdaoAll);\n\tDELETE_PRT(pnewdaoAll)\n\n";
        singleDeclared = true;
    }
    const auto refillList = [&]() {
        std::string block;
        if (countType == 0) {
            if (!listDeclared) block = "\tlist<" + dao + "*>  pFindList;\n";
            listDeclared = true;
            block += "\tpFindList.clear();\n\trm = " + dao +
                     "::FindAll(pFindList);\n\tT_deletePtrList<" + dao + ">(pFindList);\n\n";
        } else if (countType == 1) {
            if (!singleDeclared) block = "\t" + dao + "*  pnewdaoAll = NULL;\n";
            singleDeclared = true;
            block += "\trm = " + dao + "::FindAll(pnewdaoAll);\n\tDELETE_PRT(pnewdaoAll)\n\n";
        }
        return block;
    };

    // j numbers the find-key columns by their position, then the query
    // definitions after the columns, then the delete definitions after
    // those, so no two local names of the function meet.
    if (on(6)) {
        for (std::size_t index = 0; index < columns.size(); ++index) {
            const M_NormalColumnDAO& column = *columns[index];
            if (column._isFindKey != 1 || isBlob(column._dataType)) continue;
            const std::string j = StringHelper::int2String(static_cast<int>(index + 1));
            const std::string attribute = attributeName(column);
            const std::string attr = StringHelper::strFirstLower(attribute);
            text += "\t" + withoutFirst(typeText(column._dataType)) + " " + attr + " = " +
                    defaultValueText(column) + ";\n\tlist<" + dao + "*> newlist" + j + ";\n" +
                    "\trm = " + dao + "::FindBy" + StringHelper::strFirstUpper(attribute) + "(" +
                    " " + attr + ", newlist" + j + ");\n" + "\tT_deletePtrList<" + dao +
                    ">(newlist" + j + ");\n\n";
        }
        int number = static_cast<int>(columns.size()) + 1;
        for (const M_FindByInterfaceDAO* finder : finders()) {
            const std::string j = StringHelper::int2String(number++);
            std::string declarations, arguments;
            definitionArguments(finder->_paraList, j, declarations, arguments);
            text += declarations + "\tlist<" + dao + "*> newlist" + j + ";\n" + "\trm = " + dao +
                    "::" + finder->_name + "(" + arguments + ", newlist" + j +
                    ");\n\tT_deletePtrList<" + dao + ">(newlist" + j + ");\n\n";
        }
    }
    if (on(7)) {
        int number = static_cast<int>(columns.size() + finders().size()) + 1;
        for (const M_DelByInterfaceDAO* deleter : deleters()) {
            const std::string j = StringHelper::int2String(number++);
            std::string declarations, arguments;
            definitionArguments(deleter->_paraList, j, declarations, arguments);
            text += declarations + "\t" + dao + "  delter" + j + ";\n\trm = delter" + j + "." +
                    deleter->_name + "(" + arguments + ");\n\n";
            text += refillList();
        }
    }
    if (on(8)) {
        text += "\trm = p1.delself();\n\n";
        text += refillList();
    }
    text += "}\n";
    return writeFile(folder, "Test_" + dao + "_" + date + ".h", text,
                     "ERROR:建立DAO_Test_h文件失败。", fileNames);
}

}  // namespace MeridianSpace
