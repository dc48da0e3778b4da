#include "DAOCodeGenerator.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <exception>
#include <random>
#include <set>
#include <string>
#include <utility>

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

// A class of the folder `folder` that a table's or folder's class `what`
// `name` would derive from, under the same name.
ResultMsg derivesFromItself(const std::string& what, const std::string& name,
                            const std::string& folder) {
    return ResultMsg(RUN_FAIL, "ERROR：" + what + "\"" + name + "\"与数据模块\"" + folder +
                                   "\"生成同一个类\"" + DAOCodeGenerator::daoClassName(name) +
                                   "\"，类不能派生自身，不能生成代码。");
}

// Leading zeros would make "010" an octal literal (8): they are dropped.
std::string withoutLeadingZeros(const std::string& number) {
    std::size_t from = !number.empty() && (number[0] == '+' || number[0] == '-') ? 1 : 0;
    const std::size_t sign = from;
    while (from + 1 < number.size() && number[from] == '0' &&
           std::isdigit(static_cast<unsigned char>(number[from + 1])))
        ++from;
    return number.substr(0, sign) + number.substr(from);
}

// True when every character of the GBK text converts, as a compiler that
// reads the generated file as GBK converts it.
bool convertsWhole(const std::string& text) {
    for (unsigned char c : text) {
        if (c >= 0x80 || c == 0)
            return StringHelper::UTF8ToGBK(StringHelper::GBKToUTF8(text)) == text;
    }
    return true;
}

// The byte length of the non-ASCII GBK character at `i` that converts (1 or
// 2), or 0 for an ASCII byte or a byte that starts no such character.
std::size_t gbkCharacterAt(const std::string& text, std::size_t i, bool whole) {
    const auto byte = [&text](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    if (byte(i) < 0x80) return 0;
    const std::size_t length = byte(i) >= 0x81 && byte(i) <= 0xFE && i + 1 < text.size() &&
                                       byte(i + 1) >= 0x40 && byte(i + 1) <= 0xFE &&
                                       byte(i + 1) != 0x7F
                                   ? 2
                                   : 1;
    if (whole) return length;
    return StringHelper::GBKToUTF8(text.substr(i, length)) != "?" ? length : 0;
}

// Closes a file descriptor on every way out.
struct FileDescriptor {
    int fd;
    ~FileDescriptor() {
        if (fd >= 0) ::close(fd);
    }
};

}  // namespace

DAOCodeGenerator::DAOCodeGenerator(M_EntityModelDAO* model, M_EntityTableDAO* table)
    : model_(model), table_(table) {
    if (model_ == nullptr || table_ == nullptr) return;
    // Not examined: an empty list simply produces no code.
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
    if (column._dataType == 2) return "\"" + escaped(value) + "\"";
    return isPlain(column._dataType) ? withoutLeadingZeros(value) : value;
}

std::string DAOCodeGenerator::escaped(const std::string& text) {
    const bool whole = convertsWhole(text);
    std::string out;
    bool afterHex = false;  // a \x escape goes on over every hex digit after it
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t gbk = gbkCharacterAt(text, i, whole);
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (gbk > 0) {
            out.append(text, i, gbk);
        } else if (c == '"' || c == '\\') {
            out += {'\\', static_cast<char>(c)};
        } else if (c == '\n') {
            out += "\\n";
        } else if (c < 0x20 || c >= 0x7F) {
            const char* const digits = "0123456789ABCDEF";
            out += {'\\', 'x', digits[c >> 4], digits[c & 0xF]};
        } else {
            if (afterHex && std::isxdigit(c)) out += "\"\"";
            out += static_cast<char>(c);
        }
        afterHex = gbk == 0 && (c < 0x20 || c >= 0x7F) && c != '\n';
        i += gbk > 0 ? gbk : 1;
    }
    return out;
}

std::string DAOCodeGenerator::commentText(const std::string& text) {
    const bool whole = convertsWhole(text);
    std::string out;
    std::size_t kept = 0;  // the length up to the last byte that is no blank or backslash
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t gbk = gbkCharacterAt(text, i, whole);
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (gbk > 0) {
            out.append(text, i, gbk);
            kept = out.size();  // a trail byte 0x5C is no backslash
            i += gbk;
            continue;
        }
        out += c < 0x20 || c == 0x7F ? ' ' : c >= 0x80 ? '?' : static_cast<char>(c);
        ++i;
        if (out.back() != ' ' && out.back() != '\\') kept = out.size();
    }
    out.resize(kept);
    return out;
}

std::string DAOCodeGenerator::platformBaseClass(const M_EntityModelDAO* model) {
    const std::string modelName = model != nullptr ? model->_name : std::string();
    if (modelName == "M_ProjectManage") return "totalDAO";
    if (modelName == "M_ProjectData") return "subDBDAO";
    if (modelName == "M_DataDictionary") return "dataDictionaryDAO";
    if (modelName == "M_QMS") return "M_ObjectDAO";
    return "DAO";
}

std::string DAOCodeGenerator::baseFolderName() {
    if (table_ == nullptr) return "";
    std::list<M_FolderDAO*> owners;
    PtrListGuard<M_FolderDAO> ownOwners(owners);
    (void)table_->getFolderOwner(model_, owners);  // no owner read: the default base
    for (const M_FolderDAO* owner : owners) {
        if (owner->_isGenerateDAO == 1) return owner->_name;
    }
    if (platformBaseClass(model_) != "DAO") return "";
    for (const M_FolderDAO* owner : owners) {
        M_FolderDAO* found = nullptr;
        (void)M_FolderDAO::FindByID(owner->_t_M_FolderID, found);  // none: not a base
        const std::unique_ptr<M_FolderDAO> parent(found);
        if (parent && parent->_isGenerateDAO == 1) return parent->_name;
    }
    return "";
}

std::string DAOCodeGenerator::parentFolderName() const {
    if (folder_ == nullptr) return "";
    M_FolderDAO* found = nullptr;
    (void)M_FolderDAO::FindByID(folder_->_t_M_FolderID, found);  // none: no parent name
    const std::unique_ptr<M_FolderDAO> parent(found);
    return parent && parent->_isGenerateDAO == 1 ? parent->_name : std::string();
}

std::string DAOCodeGenerator::daoBaseClass(bool headerForm) {
    const std::string folder = baseFolderName();
    if (!folder.empty()) return daoClassName(folder);
    const std::string base = platformBaseClass(model_);
    if (base != "DAO") return base;
    return headerForm ? " DAO " : " DAO";
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
        // A column not found (or not read) is refused below.
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
                                      std::list<std::string>& fileNames) {
    const std::string path = folder + fileName;
    if (!replaceFile(path, text)) return ResultMsg(RUN_FAIL, openFailure);
    fileNames.push_back(path);
    return ResultMsg(RUN_SUCCESS, "");
}

bool DAOCodeGenerator::replaceFile(const std::string& path, const std::string& text) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode) && !S_ISLNK(status.st_mode))
        return false;
    // A hidden name of its own beside the target: made anew (O_EXCL), so
    // nothing planted under that name is written through either.
    const std::size_t slash = path.rfind('/') + 1;  // 0 when there is none
    std::random_device random;
    std::string temporary;
    FileDescriptor out{-1};
    for (int attempt = 0; attempt < 100 && out.fd < 0; ++attempt) {
        temporary =
            path.substr(0, slash) + "." + path.substr(slash) + "." + std::to_string(random());
        out.fd = ::open(temporary.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
        if (out.fd < 0 && errno != EEXIST) return false;
    }
    if (out.fd < 0) return false;
    bool written = true;
    for (std::size_t done = 0; written && done < text.size();) {
        const ssize_t n = ::write(out.fd, text.data() + done, text.size() - done);
        written = n > 0 || (n < 0 && errno == EINTR);
        done += n > 0 ? static_cast<std::size_t>(n) : 0;
    }
    written = ::close(std::exchange(out.fd, -1)) == 0 && written;
    if (written && ::rename(temporary.c_str(), path.c_str()) == 0) return true;
    ::unlink(temporary.c_str());
    return false;
}

bool DAOCodeGenerator::readOwnFile(const std::string& path, std::string& text) {
    text.clear();
    const FileDescriptor in{::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)};
    if (in.fd < 0) return errno == ENOENT || errno == ELOOP;
    struct stat status {};
    if (::fstat(in.fd, &status) != 0 || !S_ISREG(status.st_mode)) return false;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(in.fd, buffer, sizeof buffer);
        if (n == 0) return true;
        if (n < 0 && errno != EINTR) return false;
        if (n > 0) text.append(buffer, static_cast<std::size_t>(n));
    }
}

ResultMsg DAOCodeGenerator::check() {
    if (folder_ != nullptr) {
        if (model_ == nullptr)
            return ResultMsg(RUN_FAIL, "ERROR：数据模块所属数据模型未找到，不能生成代码。");
        if (!isIdentifier(daoClassName(folder_->_name)) || folder_->_name.size() < 3)
            return refuse("数据模块名称", folder_->_name);
        const std::string parent = parentFolderName();
        if (!parent.empty() && daoClassName(parent) == daoClassName(folder_->_name))
            return derivesFromItself("数据模块", folder_->_name, parent);
        return ResultMsg();
    }
    if (model_ == nullptr || table_ == nullptr)
        return ResultMsg(RUN_FAIL, "ERROR：数据模型或数据类指针为NULL，不能生成代码。");
    if (table_->_name.size() < 3 || !isIdentifier(daoClassName(table_->_name)))
        return refuse("数据类名称", table_->_name);
    const std::string owner = baseFolderName();
    if (!owner.empty() && daoClassName(owner) == daoClassName(table_->_name))
        return derivesFromItself("数据类", table_->_name, owner);
    // A number default is pasted into the code as a literal; one that is no
    // value of its column's type was stored before the column save refused it.
    const auto checkDefault = [this](const M_NormalColumnDAO& column) {
        ResultMsg rm = column.checkDefaultValue();
        if (!rm.ok())
            rm.rMsg = "ERROR：数据类\"" + table_->_name + "\"的" + rm.rMsg + "不能生成代码。";
        return rm;
    };
    std::set<std::string> members;
    for (const M_NormalColumnDAO* column : ownColumns()) {
        if (!isPlain(column->_dataType) && !isBlob(column->_dataType)) {
            return ResultMsg(RUN_FAIL, "ERROR：数据属性\"" + column->_name + "\"的数据类型" +
                                           StringHelper::int2String(column->_dataType) +
                                           "未知，不能生成代码。");
        }
        ResultMsg rm = checkDefault(*column);
        if (!rm.ok()) return rm;
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
            ResultMsg rm = checkDefault(*group.column);
            if (!rm.ok()) return rm;
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
    // An empty path would become the root folder once normalised.
    if (folderPath.empty())
        return ResultMsg(RUN_FAIL, "ERROR: 未指定源代码文件保存目录，不能生成代码。");
    ResultMsg checked = check();
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
