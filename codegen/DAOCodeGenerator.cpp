#include "DAOCodeGenerator.h"

#include <unistd.h>

#include <exception>
#include <fstream>
#include <set>
#include <string>

#include "FolderHelper.h"
#include "LogManager.h"
#include "M_DelByInterfaceDAO.h"
#include "M_EntityModelDAO.h"
#include "M_EntityTableDAO.h"
#include "M_FindByInterfaceDAO.h"
#include "M_FolderDAO.h"
#include "M_NormalColumnDAO.h"
#include "MeridianNew.h"
#include "PtrListHelper.h"
#include "StringHelper.h"

namespace MeridianSpace {

namespace {

// Words that cannot name a class, member, parameter or method.
const std::set<std::string>& reservedWords() {
    static const std::set<std::string> words = {
        "alignas", "alignof", "and", "and_eq", "asm", "auto", "bitand", "bitor", "bool", "break",
        "case", "catch", "char", "char16_t", "char32_t", "class", "compl", "const", "constexpr",
        "const_cast", "continue", "decltype", "default", "delete", "do", "double", "dynamic_cast",
        "else", "enum", "explicit", "export", "extern", "false", "float", "for", "friend", "goto",
        "if", "inline", "int", "long", "mutable", "namespace", "new", "noexcept", "not", "not_eq",
        "nullptr", "operator", "or", "or_eq", "private", "protected", "public", "register",
        "reinterpret_cast", "return", "short", "signed", "sizeof", "static", "static_assert",
        "static_cast", "struct", "switch", "template", "this", "thread_local", "throw", "true",
        "try", "typedef", "typeid", "typename", "union", "unsigned", "using", "virtual", "void",
        "volatile", "wchar_t", "while", "xor", "xor_eq",
        // Names the generated code itself uses next to the columns.
        "NULL", "ARX", "list", "vector", "string", "cout", "endl", "rm", "dfinder", "daolist",
        "pdao", "pnewdao", "newlist", "pmapper", "conList", "commitType", "dataSize", "id",
        "v_attrName", "v_operation", "v_attrValue", "ptemp", "p", "qd", "tableData", "st",
        "myMeridian", "projectToCreate", "pFind", "pFindList", "pnewdaoAll", "p1", "p2", "p3",
        // Classes of the platform a generated class must not take the name of.
        "DAO", "Mapper", "ResultMsg", "DAOFinder", "MeridianNew", "StringHelper", "M_ObjectDAO",
        "totalDAO", "subDBDAO", "dataDictionaryDAO", "subDBMapper", "totalMapper", "ITableData",
        "IQueryCondition"};
    return words;
}

// Names the generated code numbers itself: cond1, newlist7, delter8.
bool isNumberedLocal(const std::string& name) {
    for (const char* prefix : {"cond", "newlist", "delter"}) {
        const std::size_t n = std::char_traits<char>::length(prefix);
        if (name.size() > n && name.compare(0, n, prefix) == 0 &&
            name.find_first_not_of("0123456789", n) == std::string::npos)
            return true;
    }
    return false;
}

bool isIdentifier(const std::string& name) {
    if (name.empty() || isNumberedLocal(name)) return false;
    const auto letter = [](unsigned char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
    };
    if (!letter(static_cast<unsigned char>(name[0]))) return false;
    for (unsigned char c : name) {
        if (!letter(c) && !(c >= '0' && c <= '9')) return false;
    }
    return reservedWords().count(name) == 0;
}

ResultMsg refuse(const std::string& what, const std::string& name) {
    return ResultMsg(RUN_FAIL,
                     "ERROR：" + what + "不能用作C++标识符，不能生成代码：\"" + name + "\"");
}

}  // namespace

DAOCodeGenerator::DAOCodeGenerator(M_EntityModelDAO* model, M_EntityTableDAO* table)
    : model_(model), table_(table) {
    if (model_ == nullptr || table_ == nullptr) return;
    (void)table_->getNormalColumnDAOList(model_, columns_);
    (void)table_->getFindByInterfaceDAOList(model_, finders_);
    (void)table_->getDelByInterfaceDAOList(model_, deleters_);
}

DAOCodeGenerator::DAOCodeGenerator(M_EntityModelDAO* model, M_FolderDAO* folder)
    : model_(model), folder_(folder) {}

DAOCodeGenerator::~DAOCodeGenerator() {
    T_deletePtrList(columns_);
    T_deletePtrList(finders_);
    T_deletePtrList(deleters_);
}

std::string DAOCodeGenerator::daoClassName(const std::string& name) {
    std::string rest = name.size() > 2 ? name.substr(2) : std::string();
    return StringHelper::strFirstUpper(rest) + "DAO";
}

std::string DAOCodeGenerator::mapperClassName(const std::string& name) {
    std::string rest = name.size() > 2 ? name.substr(2) : std::string();
    return StringHelper::strFirstUpper(rest) + "Mapper";
}

std::string DAOCodeGenerator::attributeName(const M_NormalColumnDAO& column) {
    return column._name.empty() ? std::string() : column._name.substr(1);
}

std::string DAOCodeGenerator::memberName(const M_NormalColumnDAO& column) {
    return "_" + StringHelper::strFirstLower(attributeName(column));
}

std::string DAOCodeGenerator::parameterName(const M_NormalColumnDAO& column) {
    return StringHelper::strToLower(column._name);
}

std::string DAOCodeGenerator::typeText(int dataType) {
    switch (dataType) {
        case 1:
            return " int ";
        case 2:
            return " string ";
        case 3:
            return " double ";
        case 4:
            return " char * ";
        case 5:
            return " double * ";
        default:
            return "";
    }
}

std::string DAOCodeGenerator::typeConstant(int dataType) {
    switch (dataType) {
        case 1:
            return "COL_TYPE_INT";
        case 2:
            return "COL_TYPE_STRING";
        case 3:
            return "COL_TYPE_DOUBLE";
        default:
            return "";
    }
}

std::string DAOCodeGenerator::emptyDefaultText(int dataType) {
    switch (dataType) {
        case 1:
            return "0";
        case 2:
            return "\"\"";
        case 3:
            return "0.0";
        case 4:
        case 5:
            return " NULL ";
        default:
            return "";
    }
}

std::string DAOCodeGenerator::defaultValueText(const M_NormalColumnDAO& column) {
    std::string value = column._defaultValue;
    StringHelper::TrimSpace(value);
    if (value.empty()) return emptyDefaultText(column._dataType);
    return column._dataType == 2 ? "\"" + value + "\"" : value;
}

std::string DAOCodeGenerator::daoBaseClass(bool headerForm) {
    std::string base = headerForm ? " DAO " : " DAO";
    const std::string& modelName = model_ != nullptr ? model_->_name : std::string();
    if (modelName == "M_ProjectManage") base = "totalDAO";
    if (modelName == "M_ProjectData") base = "subDBDAO";
    if (modelName == "M_DataDictionary") base = "dataDictionaryDAO";
    if (modelName == "M_QMS") base = "M_ObjectDAO";
    if (table_ == nullptr) return base;

    std::list<M_FolderDAO*> owners;
    PtrListGuard<M_FolderDAO> ownOwners(owners);
    (void)table_->getFolderOwner(model_, owners);
    for (const M_FolderDAO* owner : owners) {
        if (owner->_isGenerateDAO == 1) return daoClassName(owner->_name);
    }
    if (base != (headerForm ? " DAO " : " DAO")) return base;
    for (const M_FolderDAO* owner : owners) {
        M_FolderDAO* found = nullptr;
        (void)M_FolderDAO::FindByID(owner->_t_M_FolderID, found);
        const std::unique_ptr<M_FolderDAO> parent(found);
        if (parent && parent->_isGenerateDAO == 1) return daoClassName(parent->_name);
    }
    return base;
}

std::string DAOCodeGenerator::baseHeader() const {
    return model_ != nullptr && model_->_name == "M_QMS" ? "M_ObjectDAO.h" : "DAO.h";
}

std::string DAOCodeGenerator::mapperBaseClass() const {
    return model_ != nullptr && model_->_name == "M_ProjectManage" ? "totalMapper" : "subDBMapper";
}

std::string DAOCodeGenerator::displayText(M_EntityTableDAO& table) {
    if (table._displayName.empty()) table._displayName = table._description;
    return table._displayName;
}

std::string DAOCodeGenerator::displayText(M_FolderDAO& folder) {
    if (folder._displayName.empty()) folder._displayName = folder._description;
    return folder._displayName;
}

std::string DAOCodeGenerator::displayText(M_NormalColumnDAO& column) {
    if (column._displayName.empty()) column._displayName = column._description;
    return column._displayName;
}

std::vector<M_NormalColumnDAO*> DAOCodeGenerator::ownColumns() const {
    std::vector<M_NormalColumnDAO*> own;
    for (M_NormalColumnDAO* column : columns_) {
        if (table_ != nullptr && column->_t_M_EntityTableID == table_->_ID) own.push_back(column);
    }
    return own;
}

std::vector<DAOCodeGenerator::ParameterGroup> DAOCodeGenerator::parameterGroups(
    const std::string& paraList) {
    std::vector<ParameterGroup> groups;
    for (const std::string& text : StringHelper::splitString(paraList, "#")) {
        const std::vector<std::string> elements = StringHelper::splitString(text, ",");
        if (elements.empty()) continue;
        ParameterGroup group;
        M_NormalColumnDAO* found = nullptr;
        (void)M_NormalColumnDAO::FindByID(StringHelper::string2int(elements[0]), found);
        group.column.reset(found);
        if (elements.size() > 1) group.operation = elements[1];
        if (elements.size() > 2) {
            group.connective = elements[2];
            group.hasConnective = true;
        }
        groups.push_back(std::move(group));
    }
    return groups;
}

std::string DAOCodeGenerator::parameterList(const std::vector<ParameterGroup>& groups) {
    std::string params;
    for (const ParameterGroup& group : groups) {
        if (!group.column) continue;
        if (!params.empty()) params += ",";
        params += typeText(group.column->_dataType) + parameterName(*group.column);
    }
    return params;
}

ResultMsg DAOCodeGenerator::writeFile(const std::string& folder, const std::string& fileName,
                                      const std::string& text, const char* openFailure,
                                      std::list<std::string>& fileNames, bool append) {
    const std::string path = folder + fileName;
    std::ofstream out(path, std::ios::binary | (append ? std::ios::app : std::ios::trunc));
    if (!out) return ResultMsg(RUN_FAIL, openFailure);
    fileNames.push_back(path);
    out << text;
    out.close();
    if (!out) return ResultMsg(RUN_FAIL, std::string(openFailure) + "写入失败：" + path);
    return ResultMsg(RUN_SUCCESS, "");
}

ResultMsg DAOCodeGenerator::checkNames() const {
    if (folder_ != nullptr) {
        if (model_ == nullptr)
            return ResultMsg(RUN_FAIL, "ERROR：数据模块所属数据模型未找到，不能生成代码。");
        if (!isIdentifier(daoClassName(folder_->_name)) || folder_->_name.size() < 3)
            return refuse("数据模块名称", folder_->_name);
        return ResultMsg();
    }
    if (model_ == nullptr || table_ == nullptr)
        return ResultMsg(RUN_FAIL, "ERROR：数据模型或数据类指针为NULL，不能生成代码。");
    if (table_->_name.size() < 3 || !isIdentifier(daoClassName(table_->_name)))
        return refuse("数据类名称", table_->_name);
    std::set<std::string> members;
    for (const M_NormalColumnDAO* column : ownColumns()) {
        if (!isPlain(column->_dataType) && !isBlob(column->_dataType)) {
            return ResultMsg(RUN_FAIL, "ERROR：数据属性\"" + column->_name + "\"的数据类型" +
                                           StringHelper::int2String(column->_dataType) +
                                           "未知，不能生成代码。");
        }
        const std::string attribute = attributeName(*column);
        if (!isIdentifier(attribute) || !isIdentifier(memberName(*column)) ||
            !isIdentifier(parameterName(*column)))
            return refuse("数据属性名称", column->_name);
        if (!members.insert(memberName(*column)).second)
            return refuse("重复的数据属性名称", column->_name);
        // A finder's value is text or a number; a blob is neither.
        if (column->_isFindKey == 1 && isBlob(column->_dataType))
            return refuse("二进制数据属性作为查询条件", column->_name);
    }
    std::set<std::string> methods;
    const auto checkDefinition = [&](const std::string& name,
                                     const std::string& paraList) -> ResultMsg {
        if (!isIdentifier(name) || !methods.insert(name).second) return refuse("接口名称", name);
        std::set<std::string> parameters;
        for (const ParameterGroup& group : parameterGroups(paraList)) {
            if (!group.column) continue;
            const std::string& column = group.column->_name;
            if (group.operation.empty()) {
                return ResultMsg(RUN_FAIL, "ERROR：接口\"" + name + "\"的参数\"" + column +
                                               "\"缺少操作符，不能生成代码。");
            }
            if (isBlob(group.column->_dataType))
                return refuse("二进制数据属性作为接口参数", name + "(" + column + ")");
            if (!isIdentifier(parameterName(*group.column)) ||
                !parameters.insert(parameterName(*group.column)).second)
                return refuse("接口参数名称", name + "(" + column + ")");
        }
        return ResultMsg();
    };
    for (const M_FindByInterfaceDAO* finder : finders_) {
        ResultMsg rm = checkDefinition(finder->_name, finder->_paraList);
        if (!rm.ok()) return rm;
    }
    for (const M_DelByInterfaceDAO* deleter : deleters_) {
        ResultMsg rm = checkDefinition(deleter->_name, deleter->_paraList);
        if (!rm.ok()) return rm;
    }
    return ResultMsg();
}

ResultMsg DAOCodeGenerator::run(std::string folderPath, std::list<std::string>& fileNames) {
    // Names are checked before anything is written: a name that is no
    // identifier could not compile, and could lead a file name out of the
    // folder.
    ResultMsg checked = checkNames();
    if (!checked.ok()) return checked;
    FolderHelper::folderPathStrNormalize(folderPath);
    // A level the file system refuses to create (a file in the way, no
    // permission) is reported like a folder that could not be made.
    bool created = false;
    try {
        created = FolderHelper::createDirs(folderPath);
    } catch (const std::exception& e) {
        MeridianNew::LOGGER()->appendError("DAOCodeGenerator::run():FolderHelper::createDirs() ",
                                           e.what());
    }
    if (!created) return ResultMsg(RUN_FAIL, "ERROR: 建立源代码文件保存目录失败.");
    if (access(folderPath.c_str(), W_OK) != 0) {
        return ResultMsg(RUN_FAIL, "ERROR: 源代码文件保存目录不可写：" + folderPath);
    }

    using Emitter = ResultMsg (DAOCodeGenerator::*)(const std::string&, std::list<std::string>&);
    struct Step {
        Emitter emit;
        const char* failure;
    };
    static const Step folderSteps[] = {
        {&DAOCodeGenerator::Folder_Code_DAO_h, "ERROR:Folder_Code_DAO_h()出错。"},
        {&DAOCodeGenerator::Folder_Code_DAO_cpp, " ERROR:Folder_Code_DAO_cpp()出错。"},
    };
    static const Step tableSteps[] = {
        {&DAOCodeGenerator::Code_DAO_h, "ERROR:Code_DAO_h()出错。"},
        {&DAOCodeGenerator::Code_DAO_cpp, " ERROR:Code_DAO_cpp()出错。"},
        {&DAOCodeGenerator::Code_Mapper_h, " ERROR:Code_Mapper_h()出错。"},
        {&DAOCodeGenerator::Code_Mapper_cpp, " ERROR:Code_Mapper_cpp()出错。"},
        {&DAOCodeGenerator::Code_RegisterDAO, " ERROR:Code_RegisterDAO()出错。"},
        {&DAOCodeGenerator::Code_WhiteBoxTest_h, " ERROR:Code_WhiteBoxTest_h()出错。"},
    };
    const Step* begin = folder_ != nullptr ? std::begin(folderSteps) : std::begin(tableSteps);
    const Step* end = folder_ != nullptr ? std::end(folderSteps) : std::end(tableSteps);
    int codeSum = 0;
    std::string message;
    for (const Step* step = begin; step != end; ++step) {
        ResultMsg rm = (this->*step->emit)(folderPath, fileNames);
        codeSum += rm.rCode;
        if (rm.rCode != RUN_SUCCESS) message = step->failure + rm.rMsg;
    }
    return ResultMsg(codeSum, message);
}

}  // namespace MeridianSpace
