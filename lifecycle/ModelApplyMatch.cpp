// A model file matched against the stored version it is applied to: each
// keyed item to its stored record, everything checked that can be told
// without writing, refusals naming the place in the file.
#include <cctype>
#include <map>

#include "M_R_ModelTableDAO.h"
#include "ModelApplyState.h"
#include "ModelFileTree.h"
#include "PtrListHelper.h"
#include "RecordFinder.h"
#include "StringHelper.h"

namespace MeridianSpace {

namespace {

[[noreturn]] void refuse(const FilePlace& place, const std::string& what) {
    throw ModelFileRefusal(place, what);
}

std::string lineOf(const FilePlace& place) {
    return "第" + StringHelper::int2String(place.line) + "行";
}

// Why `name` cannot name something new: empty, or a blank at either end
// (ASCII white space or the ideographic space, GBK A1 A1).
std::string nameProblem(const std::string& name) {
    if (name.empty()) return "名称不能为空";
    const auto blank = [&](std::size_t at) {
        return std::isspace(static_cast<unsigned char>(name[at])) != 0 ||
               name.compare(at, 2, "\xA1\xA1") == 0;
    };
    if (blank(0) || blank(name.size() - 1) ||
        (name.size() >= 2 && name.compare(name.size() - 2, 2, "\xA1\xA1") == 0))
        return "名称'" + name + "'的开头或结尾有空白";
    return "";
}

// An item without a key would get the inner name of a stored item: new,
// it would take the place of that one, which is no new item.
std::string sameInnerName(const char* kind, const std::string& name, const std::string& stored,
                          const std::string& inner) {
    return std::string("新") + kind + name + "没有键，而版本中的" + kind + stored +
           "已有它将得到的内部名" + inner + "：要保留那一个，写上key: " + inner +
           "；要新建，换一个名称";
}

void checkNewName(const std::string& name, const FilePlace& place) {
    const std::string problem = nameProblem(name);
    if (!problem.empty()) refuse(place, problem);
}

// Names that must be unique among their kind: the first place of each.
class UniqueNames {
public:
    UniqueNames(const char* kind, bool ignoreCase) : kind_(kind), ignoreCase_(ignoreCase) {}
    void add(const std::string& name, const FilePlace& place) {
        const std::string key = ignoreCase_ ? StringHelper::strToLower(name) : name;
        const auto [it, added] = seen_.emplace(key, place);
        if (!added) refuse(place, kind_ + name + "重复，" + lineOf(it->second) + "已有");
    }

private:
    std::string kind_;
    bool ignoreCase_;
    std::map<std::string, FilePlace> seen_;
};

bool existsIn(int addVersion, int delVersion, int version) {
    return addVersion <= version && version < delVersion;
}

class Matcher {
public:
    Matcher(const ModelDescription& file, const VersionState& state) : file_(file), state_(state) {}

    FileTargets run() {
        checkHeader();
        for (const FolderDescription& folder : file_.folders)
            addFolder(folder, -1);
        UniqueNames names("数据类名称", true), keys("数据类的键", true);
        for (TableTarget& table : targets_.tables) {
            names.add(table.file->record._name, table.file->place);
            if (!table.file->record._innerName.empty())
                keys.add(table.file->record._innerName, table.file->place);
            matchTable(table);
        }
        for (TableTarget& table : targets_.tables)
            matchColumns(table);
        return std::move(targets_);
    }

private:
    // A file that gives keys must be of this model: the keys of another
    // model's file would name other tables.
    void checkHeader() {
        bool keyed = false;
        forEachTable(file_.folders, [&](const TableDescription& t) {
            keyed = keyed || !t.record._innerName.empty();
            for (const ColumnDescription& c : t.columns)
                keyed = keyed || !c.record._innerName.empty();
        });
        const M_EntityModelDAO& model = state_.model;
        if (keyed && !file_.record._name.empty() && file_.record._name != model._name)
            refuse(file_.namePlace, "文件的键属于数据模型" + file_.record._name + "，不是" +
                                        model._name + "：去掉键（key）即可作为新项应用");
        if (keyed && !file_.project.empty() && file_.project != state_.projectName)
            refuse(file_.projectPlace, "文件的键属于项目" + file_.project + "，不是" +
                                           state_.projectName + "：去掉键（key）即可作为新项应用");
        if (file_.typePlace.line > 0 && file_.record._type != model._type)
            refuse(file_.typePlace,
                   "数据模型类型是" + StringHelper::int2String(model._type) + "，文件不能改变它");
    }

    template <class Visit>
    static void forEachTable(const std::vector<FolderDescription>& folders, Visit visit) {
        for (const FolderDescription& f : folders) {
            for (const TableDescription& t : f.tables)
                visit(t);
            forEachTable(f.folders, visit);
        }
    }

    int storedFolder(const std::string& path, bool temporary) const {
        if (temporary) return state_.temporary;
        for (std::size_t i = 0; i < state_.folders.size(); ++i) {
            if (static_cast<int>(i) != state_.temporary && state_.folders[i].path == path)
                return static_cast<int>(i);
        }
        return -1;
    }

    void addFolder(const FolderDescription& folder, int parent) {
        const bool temporary = folder.record._folderType == FOLDER_TYPE_TEMPORARY;
        const std::string path =
            childPath(parent < 0 ? "" : targets_.folders[parent].path, folder.record._name);
        for (const FolderTarget& other : targets_.folders) {
            if (other.parent == parent && other.file->record._name == folder.record._name)
                refuse(folder.place,
                       "数据模块" + path + "重复，" + lineOf(other.file->place) + "已有");
            if (temporary && other.file->record._folderType == FOLDER_TYPE_TEMPORARY)
                refuse(folder.place, "数据模型只有一个临时数据模块（type: 2），" +
                                         lineOf(other.file->place) + "已有");
        }
        if (temporary && parent >= 0) refuse(folder.place, "临时数据模块（type: 2）只能在最上层");
        FolderTarget target;
        target.file = &folder;
        target.path = path;
        target.parent = parent;
        target.stored = storedFolder(path, temporary);
        if (!temporary && parent < 0 && state_.temporary >= 0 &&
            state_.folders[state_.temporary].folder->_name == folder.record._name)
            refuse(folder.place, folder.record._name + "是数据模型的临时数据模块，应写type: 2");
        if (target.stored < 0 || temporary) checkNewName(folder.record._name, folder.place);
        const int index = static_cast<int>(targets_.folders.size());
        targets_.folders.push_back(target);
        for (const TableDescription& table : folder.tables) {
            TableTarget t;
            t.file = &table;
            t.folders.push_back(index);
            targets_.tables.push_back(std::move(t));
        }
        for (const FolderDescription& sub : folder.folders)
            addFolder(sub, index);
    }

    int folderTarget(const std::string& path) const {
        for (std::size_t i = 0; i < targets_.folders.size(); ++i) {
            if (targets_.folders[i].path == path) return static_cast<int>(i);
        }
        return -1;
    }

    void matchTable(TableTarget& table) {
        const TableDescription& file = *table.file;
        for (const std::string& path : file.alsoIn) {
            const int folder = folderTarget(path);
            if (folder < 0) refuse(file.alsoInPlace, "文件中没有数据模块" + path);
            for (int held : table.folders) {
                if (held == folder) refuse(file.alsoInPlace, "数据模块" + path + "重复");
            }
            table.folders.push_back(folder);
        }
        const std::string& key = file.record._innerName;
        if (key.empty()) {
            checkNewName(file.record._name, file.place);
            const std::string inner = newTableKey(state_.model, file.record._name);
            for (const StoredTable& stored : state_.tables) {
                if (StringHelper::equalsIgnoreCase(stored.record._innerName, inner))
                    refuse(file.place,
                           sameInnerName("数据类", file.record._name, stored.record._name,
                                         stored.record._innerName));
            }
            return;
        }
        for (std::size_t i = 0; i < state_.tables.size(); ++i) {
            if (StringHelper::equalsIgnoreCase(state_.tables[i].record._innerName, key)) {
                table.inVersion = static_cast<int>(i);
                table.stored = true;
                table.record = state_.tables[i].record;
                table.storedColumns = state_.tables[i].columns;
                if (file.record._name != table.record._name)
                    checkNewName(file.record._name, file.place);
                return;
            }
        }
        if (takeFromOtherVersion(table)) return;
        if (StringHelper::equalsIgnoreCase(newTableKey(state_.model, file.record._name), key)) {
            checkNewName(file.record._name, file.place);
            return;
        }
        refuseForeignKey(key, file.place);
    }

    // A table of another version of this model, by its key.
    bool takeFromOtherVersion(TableTarget& table) {
        loadOtherVersions();
        for (const M_EntityTableDAO& other : otherVersions_) {
            if (!StringHelper::equalsIgnoreCase(other._innerName, table.file->record._innerName))
                continue;
            table.stored = true;
            table.record = other;
            std::list<M_NormalColumnDAO*> records;
            PtrListGuard<M_NormalColumnDAO> own(records);
            read(M_NormalColumnDAO::FindByT_M_EntityTableID(other._ID, records), table.file->place);
            for (const M_NormalColumnDAO* c : records) {
                if (existsIn(c->_addVersion, c->_delVersion, state_.model._version))
                    table.storedColumns.push_back(*c);
            }
            return true;
        }
        return false;
    }

    void loadOtherVersions() {
        if (otherVersionsRead_) return;
        otherVersionsRead_ = true;
        std::list<M_EntityModelDAO*> versions;
        PtrListGuard<M_EntityModelDAO> own(versions);
        const M_EntityModelDAO& model = state_.model;
        read(M_EntityModelDAO::FindByRProjectIDAndName(model._rProjectID, model._name, versions),
             FilePlace{});
        std::map<int, bool> seen;
        for (const StoredTable& t : state_.tables)
            seen[t.record._ID] = true;
        for (const M_EntityModelDAO* version : versions) {
            if (version->_ID == model._ID) continue;
            std::list<M_R_ModelTableDAO*> links;
            PtrListGuard<M_R_ModelTableDAO> ownLinks(links);
            read(M_R_ModelTableDAO::FindByT_M_EntityModelID(version->_ID, links), FilePlace{});
            for (const M_R_ModelTableDAO* link : links) {
                if (seen[link->_t_M_EntityTableID]) continue;
                seen[link->_t_M_EntityTableID] = true;
                M_EntityTableDAO* found = nullptr;
                read(M_EntityTableDAO::FindByID(link->_t_M_EntityTableID, found), FilePlace{});
                if (found != nullptr) otherVersions_.push_back(*found);
                delete found;
            }
        }
    }

    // A key that no table of the model has: another model's, or none at all.
    void refuseForeignKey(const std::string& key, const FilePlace& place) {
        std::list<M_EntityTableDAO*> found;
        PtrListGuard<M_EntityTableDAO> own(found);
        read(RecordFinder<M_EntityTableDAO>().byAll(
                 "M_EntityTableDAO", FinderConditions().text("_innerName", key), found),
             place);
        for (M_EntityTableDAO* table : found) {
            std::list<M_EntityModelDAO*> owners;
            PtrListGuard<M_EntityModelDAO> ownOwners(owners);
            read(table->getEntityModelOwners(owners), place);
            if (!owners.empty())
                refuse(place, "键" + key + "是数据模型" + owners.front()->_name +
                                  "的数据类的键，不属于数据模型" + state_.model._name);
        }
        refuse(place, "数据模型" + state_.model._name + "没有键为" + key + "的数据类");
    }

    void matchColumns(TableTarget& table) {
        UniqueNames names("属性名称", false), keys("属性的键", true);
        for (const ColumnDescription& column : table.file->columns) {
            names.add(column.record._name, column.place);
            if (!column.record._innerName.empty()) keys.add(column.record._innerName, column.place);
            ColumnTarget target;
            target.file = &column;
            target.stored = storedColumn(table, column);
            matchReference(table, target);
            table.columns.push_back(target);
        }
        checkDefinitions(*table.file);
    }

    int storedColumn(const TableTarget& table, const ColumnDescription& column) {
        const std::string& key = column.record._innerName;
        if (key.empty()) {
            checkNewName(column.record._name, column.place);
            const std::string inner = newColumnKey(state_.model, column.record._name);
            for (const M_NormalColumnDAO& stored : table.storedColumns) {
                if (StringHelper::equalsIgnoreCase(stored._innerName, inner))
                    refuse(column.place, sameInnerName("属性", column.record._name, stored._name,
                                                       stored._innerName));
            }
            return -1;
        }
        for (std::size_t i = 0; i < table.storedColumns.size(); ++i) {
            if (StringHelper::equalsIgnoreCase(table.storedColumns[i]._innerName, key)) {
                if (table.storedColumns[i]._name != column.record._name)
                    checkNewName(column.record._name, column.place);
                return static_cast<int>(i);
            }
        }
        if (StringHelper::equalsIgnoreCase(newColumnKey(state_.model, column.record._name), key)) {
            checkNewName(column.record._name, column.place);
            return -1;
        }
        refuse(column.place, "数据类" + table.file->record._name + "在版本" +
                                 StringHelper::int2String(state_.model._version) + "中没有键为" +
                                 key + "的属性（已删除的属性不能恢复，去掉键即可作为新属性添加）");
    }

    void matchReference(const TableTarget& table, ColumnTarget& target) {
        const ColumnDescription& column = *target.file;
        if (column.references.empty()) return;
        for (std::size_t i = 0; i < targets_.tables.size(); ++i) {
            if (targets_.tables[i].file->record._name == column.references) {
                target.referencesTarget = static_cast<int>(i);
                return;
            }
        }
        // A stored column may keep referring to a table that left the version.
        if (target.stored >= 0) {
            const int referenced = table.storedColumns[target.stored]._fkTableID;
            M_EntityTableDAO* found = nullptr;
            if (referenced > 0)
                read(M_EntityTableDAO::FindByID(referenced, found), column.referencesPlace);
            const std::unique_ptr<M_EntityTableDAO> stored(found);
            if (stored && stored->_name == column.references) {
                target.keptReference = referenced;
                return;
            }
        }
        refuse(column.referencesPlace, "文件中没有数据类" + column.references);
    }

    static void checkDefinitions(const TableDescription& table) {
        std::map<std::string, bool> columns;
        for (const ColumnDescription& c : table.columns)
            columns[c.record._name] = true;
        for (const auto* list : {&table.finders, &table.deleters}) {
            UniqueNames names(list == &table.finders ? "查询接口" : "删除接口", false);
            for (const DefinitionDescription& d : *list) {
                names.add(d.record._name, d.place);
                for (const ParameterDescription& p : d.parameters) {
                    if (!columns[p.column])
                        refuse(p.place, "数据类" + table.record._name + "没有属性" + p.column);
                }
                for (const std::string& name : d.sort) {
                    if (!columns[name])
                        refuse(d.sortPlace, "数据类" + table.record._name + "没有属性" + name);
                }
            }
        }
    }

    // A failed read ends the match: nothing may be decided on half the records.
    static void read(const ResultMsg& rm, const FilePlace& place) {
        if (!rm.ok()) refuse(place, rm.rMsg);
    }

    const ModelDescription& file_;
    const VersionState& state_;
    FileTargets targets_;
    bool otherVersionsRead_ = false;
    std::vector<M_EntityTableDAO> otherVersions_;
};

}  // namespace

FileTargets matchFile(const ModelDescription& file, const VersionState& state) {
    return Matcher(file, state).run();
}

}  // namespace MeridianSpace
