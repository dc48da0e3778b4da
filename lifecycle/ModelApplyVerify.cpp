// After the writes of an apply, the version described again must be what
// the file says: a record operation that adjusted something on its own (a
// dictionary table keeps its name, a deletion cleared a reference) refuses
// the apply instead of leaving a version that differs from its file.
#include <map>
#include <set>

#include "ModelApplyWriter.h"
#include "ModelFileAttributes.h"
#include "ModelFileTree.h"
#include "StringHelper.h"

namespace MeridianSpace {

namespace {

[[noreturn]] void differs(const FilePlace& place, const std::string& what) {
    throw ModelFileRefusal(place, "应用后与文件不符：" + what);
}

struct AfterTable {
    const TableDescription* table = nullptr;
    std::set<std::string> folders;
};

class Verifier {
public:
    Verifier(const ModelDescription& file, const FileTargets& targets,
             const ModelDescription& after)
        : file_(file), targets_(targets), after_(after) {}

    void run() {
        for (const FolderDescription& f : after_.folders)
            index(f, "");
        if (!sameAttributes(modelAttributes(), file_.record, after_.record))
            differs(FilePlace{}, "数据模型" + after_.record._name + "的属性");
        for (const FolderTarget& target : targets_.folders)
            checkFolder(target);
        // A file without the temporary folder leaves it where it is, empty.
        bool temporaryInFile = false;
        for (const FolderTarget& target : targets_.folders)
            temporaryInFile =
                temporaryInFile || target.file->record._folderType == FOLDER_TYPE_TEMPORARY;
        std::size_t expected = targets_.folders.size();
        for (const auto& [path, folder] : folders_) {
            if (!temporaryInFile && folder->record._folderType == FOLDER_TYPE_TEMPORARY) {
                if (!folder->tables.empty())
                    differs(FilePlace{}, "临时数据模块" + path + "中还有数据类");
                ++expected;
            }
        }
        if (folders_.size() != expected)
            differs(FilePlace{}, "数据模型有" + std::to_string(folders_.size()) + "个数据模块");
        for (const TableTarget& target : targets_.tables)
            checkTable(target);
        if (tables_.size() != targets_.tables.size())
            differs(FilePlace{}, "数据模型有" + std::to_string(tables_.size()) + "个数据类");
    }

private:
    void index(const FolderDescription& folder, const std::string& parent) {
        const std::string path = childPath(parent, folder.record._name);
        folders_[path] = &folder;
        for (const TableDescription& t : folder.tables) {
            AfterTable& entry = tables_[StringHelper::strToLower(t.record._innerName)];
            entry.table = &t;
            entry.folders.insert(path);
            entry.folders.insert(t.alsoIn.begin(), t.alsoIn.end());
        }
        for (const FolderDescription& sub : folder.folders)
            index(sub, path);
    }

    void checkFolder(const FolderTarget& target) {
        const auto found = folders_.find(target.path);
        if (found == folders_.end()) differs(target.file->place, "没有数据模块" + target.path);
        if (!sameAttributes(folderAttributes(), target.file->record, found->second->record))
            differs(target.file->place, "数据模块" + target.path + "的属性");
    }

    void checkTable(const TableTarget& target) {
        const TableDescription& file = *target.file;
        const auto found = tables_.find(StringHelper::strToLower(target.record._innerName));
        if (found == tables_.end())
            differs(file.place,
                    "没有数据类" + file.record._name + "（" + target.record._innerName + "）");
        const TableDescription& after = *found->second.table;
        if (after.record._name != file.record._name ||
            after.record._displayName != file.record._displayName ||
            !sameAttributes(tableAttributes(), file.record, after.record))
            differs(file.place,
                    "数据类" + file.record._name + "的名称或属性是" + after.record._name);
        std::set<std::string> folders;
        for (int f : target.folders)
            folders.insert(targets_.folders[f].path);
        if (folders != found->second.folders)
            differs(file.place, "数据类" + file.record._name + "所在的数据模块");
        for (const ColumnTarget& column : target.columns)
            checkColumn(file, column, after);
        if (after.columns.size() != target.columns.size())
            differs(file.place, "数据类" + file.record._name + "有" +
                                    std::to_string(after.columns.size()) + "个属性");
        checkDefinitions(file.finders, after.finders, file);
        checkDefinitions(file.deleters, after.deleters, file);
    }

    static void checkColumn(const TableDescription& table, const ColumnTarget& column,
                            const TableDescription& after) {
        const ColumnDescription& file = *column.file;
        for (const ColumnDescription& c : after.columns) {
            if (!StringHelper::equalsIgnoreCase(c.record._innerName, column.innerName)) continue;
            if (c.record._name != file.record._name ||
                c.record._dataType != file.record._dataType || c.references != file.references ||
                !sameAttributes(columnAttributes(), file.record, c.record))
                differs(file.place, "数据类" + table.record._name + "的属性" + file.record._name);
            return;
        }
        differs(file.place, "数据类" + table.record._name + "没有属性" + file.record._name);
    }

    static void checkDefinitions(const std::vector<DefinitionDescription>& file,
                                 const std::vector<DefinitionDescription>& after,
                                 const TableDescription& table) {
        for (const DefinitionDescription& d : file) {
            bool same = false;
            for (const DefinitionDescription& a : after)
                same = same || (a.record._name == d.record._name && sameDefinition(a, d));
            if (!same) differs(d.place, "数据类" + table.record._name + "的接口" + d.record._name);
        }
        if (after.size() != file.size())
            differs(table.place, "数据类" + table.record._name + "的接口个数");
    }

    const ModelDescription& file_;
    const FileTargets& targets_;
    const ModelDescription& after_;
    std::map<std::string, const FolderDescription*> folders_;
    std::map<std::string, AfterTable> tables_;
};

}  // namespace

void verifyTargets(const ModelDescription& file, const FileTargets& targets,
                   const ModelDescription& after) {
    Verifier(file, targets, after).run();
}

}  // namespace MeridianSpace
