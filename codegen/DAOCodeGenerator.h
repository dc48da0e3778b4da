#pragma once

// Writes the C++ source of a data-access class and its mapper for one entity
// table (table mode), or the intermediate class of a folder (folder mode).
// One object per CreateCode call; the emitters live in one source per
// family (DAO class, mapper class, registration list, white-box test,
// folder class). Internal to arx_qms.
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "ResultReturnCode.h"

namespace MeridianSpace {

class M_DelByInterfaceDAO;
class M_EntityModelDAO;
class M_EntityTableDAO;
class M_FindByInterfaceDAO;
class M_FolderDAO;
class M_NormalColumnDAO;

class DAOCodeGenerator {
public:
    /// Table mode: the table's columns, query and delete definitions in the
    /// model are read at once.
    DAOCodeGenerator(M_EntityModelDAO* model, M_EntityTableDAO* table);
    /// Folder mode.
    DAOCodeGenerator(M_EntityModelDAO* model, M_FolderDAO* folder);
    ~DAOCodeGenerator();
    DAOCodeGenerator(const DAOCodeGenerator&) = delete;
    DAOCodeGenerator& operator=(const DAOCodeGenerator&) = delete;

    /// The driver: refuses an empty folder path, runs check(), creates the
    /// folder and runs the emitters of the mode; the codes of failed
    /// emitters are summed, the message names the last failure.
    ResultMsg run(std::string folderPath, std::list<std::string>& fileNames);
    /// What is refused before anything is written: names that would not
    /// compile or would lead a file out of its folder, an unknown data type,
    /// a default that is no value of its column's type (stored before the
    /// column save refused one), and a class that would derive from itself.
    ResultMsg check();

    // The emitters. `folder` is the normalised output folder (ending in a
    // separator); each appends the path of the file it wrote.
    ResultMsg Code_DAO_h(const std::string& folder, std::list<std::string>& fileNames);
    ResultMsg Code_DAO_cpp(const std::string& folder, std::list<std::string>& fileNames);
    ResultMsg Code_Mapper_h(const std::string& folder, std::list<std::string>& fileNames);
    ResultMsg Code_Mapper_cpp(const std::string& folder, std::list<std::string>& fileNames);
    ResultMsg Code_RegisterDAO(const std::string& folder, std::list<std::string>& fileNames);
    ResultMsg Code_WhiteBoxTest_h(const std::string& folder, std::list<std::string>& fileNames);
    ResultMsg Folder_Code_DAO_h(const std::string& folder, std::list<std::string>& fileNames);
    ResultMsg Folder_Code_DAO_cpp(const std::string& folder, std::list<std::string>& fileNames);

    // Naming.
    /// Drops the first two bytes, upper-cases the next one, appends "DAO"
    /// (T_order gives OrderDAO).
    static std::string daoClassName(const std::string& name);
    static std::string mapperClassName(const std::string& name);
    /// The column's _name without its first byte (MUserName gives UserName).
    static std::string attributeName(const M_NormalColumnDAO& column);
    /// "_" and the attribute name with its first byte in lower case.
    static std::string memberName(const M_NormalColumnDAO& column);
    /// The column's whole _name in lower case.
    static std::string parameterName(const M_NormalColumnDAO& column);
    /// The trimmed _defaultValue (a string literal for text, leading zeros
    /// dropped for numbers), or the type's empty value.
    static std::string defaultValueText(const M_NormalColumnDAO& column);
    /// The text as the inside of a C++ string literal: quote, backslash,
    /// newline and every byte that is no GBK character escaped, GBK
    /// characters as they are.
    static std::string escaped(const std::string& text);
    /// The text as the rest of a // comment line: control bytes become
    /// blanks, bytes that are no GBK character "?", and trailing blanks and
    /// backslashes (which would continue the comment) are dropped.
    static std::string commentText(const std::string& text);
    /// " int ", " string ", " double ", " char * ", " double * ", or "".
    static std::string typeText(int dataType);
    /// "COL_TYPE_INT", "COL_TYPE_STRING", "COL_TYPE_DOUBLE", or "".
    static std::string typeConstant(int dataType);
    static std::string emptyDefaultText(int dataType);
    static bool isBlob(int dataType) { return dataType == 4 || dataType == 5; }
    static bool isPlain(int dataType) { return dataType >= 1 && dataType <= 3; }

    // What the emitters share.
    /// The base class of the table's DAO class: " DAO " (header form) or
    /// " DAO" (source form), the model's platform class, or the DAO class of
    /// an owning (or parent) folder that generates one.
    std::string daoBaseClass(bool headerForm);
    /// "DAO", or the platform class of the model ("totalDAO", ...).
    static std::string platformBaseClass(const M_EntityModelDAO* model);
    /// The name of the folder whose class the table's class derives from
    /// (base class steps 3 and 4), or "".
    std::string baseFolderName();
    /// Folder mode: the name of the parent folder when it generates a class
    /// (the folder's class derives from it), or "".
    std::string parentFolderName() const;
    /// "M_ObjectDAO.h" for the model "M_QMS", else "DAO.h".
    std::string baseHeader() const;
    /// "totalMapper" for the model "M_ProjectManage", else "subDBMapper".
    std::string mapperBaseClass() const;
    /// _displayName, or _description copied into it (in memory) when empty.
    static std::string displayText(M_EntityTableDAO& table);
    static std::string displayText(M_FolderDAO& folder);
    static std::string displayText(M_NormalColumnDAO& column);
    /// The table's own columns, in list order (a column of another table
    /// takes no part in any loop).
    std::vector<M_NormalColumnDAO*> ownColumns() const;

    /// One "#"-separated group of a definition's parameter list.
    struct ParameterGroup {
        std::unique_ptr<M_NormalColumnDAO> column;  ///< null when it does not load
        std::string operation;                      ///< element 2
        std::string connective;                     ///< element 3, or empty
        bool hasConnective = false;
    };
    /// The groups of `paraList`, empty groups dropped, each with its column.
    static std::vector<ParameterGroup> parameterGroups(const std::string& paraList);
    /// TYPE + name of each group whose column loads, joined by ",".
    static std::string parameterList(const std::vector<ParameterGroup>& groups);

    /// The common frame: replaces `fileName` in `folder` with `text`
    /// (replaceFile) and appends the path to `fileNames`; a failure returns
    /// rCode 1 and `openFailure`.
    static ResultMsg writeFile(const std::string& folder, const std::string& fileName,
                               const std::string& text, const char* openFailure,
                               std::list<std::string>& fileNames);
    /// Writes `text` to a new file beside `path` and renames it over `path`,
    /// so no reader sees half a file and a symbolic link at `path` is
    /// replaced, never written through. Anything else that is no regular
    /// file at `path` (a folder, a pipe, a device) is left alone: false.
    static bool replaceFile(const std::string& path, const std::string& text);
    /// The content of the regular file at `path`, or "" when there is none
    /// or a symbolic link is there (it is replaced, never read through);
    /// false when something else is there or it cannot be read.
    static bool readOwnFile(const std::string& path, std::string& text);

    M_EntityModelDAO* model() const { return model_; }
    M_EntityTableDAO* table() const { return table_; }
    M_FolderDAO* folder() const { return folder_; }
    const std::list<M_FindByInterfaceDAO*>& finders() const { return finders_; }
    const std::list<M_DelByInterfaceDAO*>& deleters() const { return deleters_; }

private:
    M_EntityModelDAO* model_;
    M_EntityTableDAO* table_ = nullptr;
    M_FolderDAO* folder_ = nullptr;
    std::list<M_NormalColumnDAO*> columns_;
    std::list<M_FindByInterfaceDAO*> finders_;
    std::list<M_DelByInterfaceDAO*> deleters_;
};

}  // namespace MeridianSpace
