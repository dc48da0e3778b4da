// The writes of an apply, in an order that lets each step rely on the ones
// before: tables the file ends go first (so that what the cascade of a
// deleted table takes along can be told apart from what the file adds),
// then folders, tables, columns and definitions, and ended folders last,
// once the tables that stay have left them.
#include <algorithm>
#include <map>
#include <set>

#include "InstanceDataManager.h"
#include "M_DelByInterfaceDAO.h"
#include "MeridianNew.h"
#include "MetaDataManager.h"
#include "ModelApplyWriter.h"
#include "ModelFileAttributes.h"
#include "ModelFileTree.h"
#include "PtrListHelper.h"
#include "StringHelper.h"

namespace MeridianSpace {

namespace {

using Change = StructureChange::Kind;

std::string joined(const std::vector<std::string>& items, const char* separator) {
    std::string out;
    for (const std::string& item : items)
        out += (out.empty() ? "" : separator) + item;
    return out;
}

// The text of an attribute of a record, as the plan shows it.
template <class T>
std::string valueText(const FileAttribute<T>& attribute, const T& record) {
    return attribute.text != nullptr ? record.*attribute.text
                                     : StringHelper::int2String(record.*attribute.integer);
}

class Writer {
public:
    Writer(const ModelDescription& file, VersionState& state, FileTargets& targets, ApplyPlan& plan)
        : file_(file), state_(state), model_(state.model), targets_(targets), plan_(plan) {}

    void run() {
        applyModel();
        endTables();
        placeFolders();
        placeTables();
        for (TableTarget& table : targets_.tables)
            applyColumns(table);
        for (TableTarget& table : targets_.tables)
            applyDefinitions(table);
        endFolders();
    }

private:
    [[noreturn]] static void refuse(const FilePlace& place, const std::string& what) {
        throw ModelFileRefusal(place, what);
    }
    static void write(const ResultMsg& rm, const FilePlace& place, const std::string& what) {
        if (!rm.ok()) refuse(place, what + "失败：" + rm.rMsg);
    }
    void note(Change kind, const std::string& subject, const std::string& attribute = "",
              const std::string& before = "", const std::string& after = "") {
        plan_.structure.push_back(StructureChange{kind, subject, attribute, before, after});
    }

    // Copies each attribute of the list that differs, noting it unless
    // the record is new (`kind` null).
    template <class T>
    bool copyChanged(const std::vector<FileAttribute<T>>& attributes, const T& from, T& to,
                     const Change* kind, const std::string& subject,
                     const char* skipped = nullptr) {
        bool changed = false;
        for (const FileAttribute<T>& attribute : attributes) {
            if (attribute.same(from, to) || (skipped && std::string(skipped) == attribute.name))
                continue;
            if (kind != nullptr)
                note(*kind, subject, attribute.name, valueText(attribute, to),
                     valueText(attribute, from));
            attribute.copy(from, to);
            changed = true;
        }
        return changed;
    }

    void applyModel() {
        const Change kind = Change::ModelChanged;
        if (copyChanged(modelAttributes(), file_.record, model_, &kind, model_._name))
            write(model_.save(0), FilePlace{}, "保存数据模型" + model_._name);
    }

    // What a deletion took along that the file keeps ("kind,identifier#"
    // records: 2 a table, 3 a column) refuses the apply.
    void checkTakenAlong(const std::string& report, const std::string& ended) {
        for (const std::string& record : StringHelper::splitString(report, "#")) {
            const std::vector<std::string> parts = StringHelper::splitString(record, ",");
            if (parts.size() != 2) continue;
            const int id = StringHelper::string2int(parts[1]);
            for (const TableTarget& table : targets_.tables) {
                if (parts[0] == "2" && table.stored && table.record._ID == id)
                    refuse(table.file->place, "删除" + ended + "时，数据类" + table.record._name +
                                                  "也随之删除（按名称相关），文件却保留它");
                for (const ColumnTarget& column : table.columns) {
                    if (parts[0] == "3" && column.stored >= 0 &&
                        table.storedColumns[column.stored]._ID == id)
                        refuse(column.file->place, "删除" + ended + "时，属性" +
                                                       column.file->record._name +
                                                       "也随之删除（按名称相关），文件却保留它");
                }
            }
        }
    }

    void endTables() {
        for (std::size_t i = 0; i < state_.tables.size(); ++i) {
            const bool kept = std::any_of(
                targets_.tables.begin(), targets_.tables.end(),
                [&](const TableTarget& t) { return t.inVersion == static_cast<int>(i); });
            if (kept) continue;
            M_EntityTableDAO& table = state_.tables[i].record;
            std::string report;
            write(table.delFromEntityModel(&model_, report), FilePlace{},
                  "删除数据类" + table._name);
            checkTakenAlong(report, "数据类" + table._name);
        }
    }

    void placeFolders() {
        for (const FolderTarget& target : targets_.folders) {
            const M_FolderDAO& wanted = target.file->record;
            if (target.stored >= 0) {
                M_FolderDAO& folder = *state_.folders[target.stored].folder;
                const Change kind = Change::FolderChanged;
                bool changed = copyChanged(folderAttributes(), wanted, folder, &kind, target.path);
                if (folder._name != wanted._name) {
                    note(Change::FolderChanged, target.path, "name", folder._name, wanted._name);
                    folder._name = wanted._name;
                    changed = true;
                }
                if (changed)
                    write(folder.save(0), target.file->place, "保存数据模块" + target.path);
                records_.push_back(&folder);
                continue;
            }
            auto made = std::make_unique<M_FolderDAO>();
            made->_name = wanted._name;
            for (const auto& attribute : folderAttributes())
                attribute.copy(wanted, *made);
            const ResultMsg rm = target.parent < 0
                                     ? model_.addM_FolderDAO(made.get(), 0)
                                     : records_[target.parent]->addM_SubFolderDAO(made.get(), 0);
            write(rm, target.file->place, "添加数据模块" + target.path);
            note(Change::FolderAdded, target.path);
            records_.push_back(made.get());
            made_.push_back(std::move(made));
        }
    }

    std::string pathsOf(const std::vector<int>& folders, bool stored) const {
        std::vector<std::string> paths;
        for (int f : folders)
            paths.push_back(stored ? state_.folders[f].path : targets_.folders[f].path);
        std::sort(paths.begin(), paths.end());
        return joined(paths, ", ");
    }

    void placeTables() {
        for (TableTarget& target : targets_.tables) {
            const TableDescription& file = *target.file;
            M_EntityTableDAO& table = target.record;
            if (!target.stored) table = M_EntityTableDAO();
            // Names are the model diff's to show; the other attributes are noted here.
            bool changed =
                table._name != file.record._name || table._displayName != file.record._displayName;
            table._name = file.record._name;
            table._displayName = file.record._displayName;
            const Change kind = Change::TableChanged;
            changed = copyChanged(tableAttributes(), file.record, table,
                                  target.inVersion >= 0 ? &kind : nullptr, file.record._name,
                                  "display") ||
                      changed;
            if (target.inVersion >= 0) {
                moveTable(target, changed);
            } else {
                for (int folder : target.folders)
                    write(records_[folder]->addM_EntityTableDAO(&table), file.place,
                          "添加数据类" + file.record._name);
            }
            if (!file.record._innerName.empty() &&
                !StringHelper::equalsIgnoreCase(table._innerName, file.record._innerName))
                refuse(file.place, "新数据类" + table._name + "的键是" + table._innerName +
                                       "，不是" + file.record._innerName);
        }
    }

    // A table of the version: its attributes, and the folders that hold it.
    void moveTable(TableTarget& target, bool changed) {
        M_EntityTableDAO& table = target.record;
        const std::vector<int>& held = state_.tables[target.inVersion].folders;
        std::set<int> wanted;
        for (int f : target.folders)
            wanted.insert(records_[f]->_ID);
        bool removed = false, added = false;
        for (int f : held) {
            M_FolderDAO& folder = *state_.folders[f].folder;
            if (wanted.count(folder._ID) != 0) continue;
            write(folder.removeM_EntityTableDAO(&table), target.file->place,
                  "从数据模块" + state_.folders[f].path + "移出数据类" + table._name);
            removed = true;
        }
        for (int f : target.folders) {
            const bool holds = std::any_of(held.begin(), held.end(), [&](int h) {
                return state_.folders[h].folder->_ID == records_[f]->_ID;
            });
            // A removal above took the model's link along: adding it again
            // to one of its folders restores it.
            if (holds && !(removed && f == target.folders.front())) continue;
            write(records_[f]->addM_EntityTableDAO(&table), target.file->place,
                  "把数据类" + table._name + "放入数据模块" + targets_.folders[f].path);
            added = added || !holds;
        }
        if (removed || added)
            note(Change::TableMoved, table._name, "folders", pathsOf(held, true),
                 pathsOf(target.folders, false));
        if (changed && !(removed || added))
            write(table.save(0), target.file->place, "保存数据类" + table._name);
    }

    int referenceOf(const ColumnTarget& column) const {
        if (column.referencesTarget >= 0)
            return targets_.tables[column.referencesTarget].record._ID;
        return column.keptReference > 0 ? column.keptReference : -1;
    }

    void applyColumns(TableTarget& target) {
        innerNamesRead_ = false;
        physicalTableChanged_ = false;
        // Columns the file leaves out end in this version, as `qms column
        // delete` ends them: a column of earlier versions keeps its record.
        for (std::size_t i = 0; i < target.storedColumns.size(); ++i) {
            const bool kept =
                std::any_of(target.columns.begin(), target.columns.end(),
                            [&](const ColumnTarget& c) { return c.stored == static_cast<int>(i); });
            if (kept) continue;
            M_NormalColumnDAO column = target.storedColumns[i];
            const std::string what = "删除数据类" + target.record._name + "的属性" + column._name;
            write(column.delFromEntityModel(&model_), target.file->place, what);
            if (column._addVersion >= model_._version) {
                write(column.delself(0), target.file->place, what);
            } else {
                column._delVersion = model_._version;
                write(column.save(0), target.file->place, what);
            }
        }
        for (ColumnTarget& column : target.columns) {
            const ColumnDescription& file = *column.file;
            M_NormalColumnDAO wanted =
                column.stored >= 0 ? target.storedColumns[column.stored] : M_NormalColumnDAO();
            wanted._name = file.record._name;
            wanted._dataType = file.record._dataType;
            for (const auto& attribute : columnAttributes())
                attribute.copy(file.record, wanted);
            wanted._fkTableID = referenceOf(column);
            if (column.stored >= 0) {
                const M_NormalColumnDAO& stored = target.storedColumns[column.stored];
                if (wanted._name != stored._name || wanted._dataType != stored._dataType ||
                    wanted._fkTableID != stored._fkTableID ||
                    !sameAttributes(columnAttributes(), wanted, stored))
                    write(wanted.reviseInModel(&model_, 0), file.place,
                          "修改数据类" + target.record._name + "的属性" + stored._name);
            } else {
                addColumn(target, wanted, file.place);
                if (!file.record._innerName.empty() &&
                    !StringHelper::equalsIgnoreCase(wanted._innerName, file.record._innerName))
                    refuse(file.place, "新属性" + wanted._name + "的键是" + wanted._innerName +
                                           "，不是" + file.record._innerName);
            }
            column.id = wanted._ID;
            column.innerName = wanted._innerName;
        }
        if (physicalTableChanged_) {
            // A dictionary model's physical table changed.
            InstanceDataManager* idm = MeridianNew::getCurrMRDConfigIDM();
            write(idm == nullptr ? MeridianNew::noCurrentDatabase() : idm->initialMetaDataCache(),
                  target.file->place, "读取数据类" + target.record._name + "的物理表");
        }
    }

    // A new column of the table, stored as addNormalColumnDAO stores it,
    // without looking the table, its owners and its columns up again for
    // every column (the table is the version's by construction).
    void addColumn(TableTarget& target, M_NormalColumnDAO& column, const FilePlace& place) {
        if (!innerNamesRead_) {
            innerNames_.clear();
            MetaDataManager* mdm = MeridianNew::getCurrMRDConfigMDM();
            write(mdm == nullptr ? MeridianNew::noCurrentDatabase()
                                 : mdm->findColumnInnerNames(target.record._ID, innerNames_),
                  place, "读取数据类" + target.record._name + "的属性");
            innerNamesRead_ = true;
        }
        column._t_M_EntityTableID = target.record._ID;
        column._addVersion = column._version = model_._version;
        write(column.saveAsNewColumnOf(target.record, innerNames_, 0), place,
              "给数据类" + target.record._name + "添加属性" + column._name);
        physicalTableChanged_ = physicalTableChanged_ || target.record.isBelongToDictionaryModel();
    }

    // The stored lists of a definition from the file's column names.
    static std::string parameterList(const DefinitionDescription& d,
                                     const std::map<std::string, int>& ids) {
        std::vector<std::string> entries;
        for (const ParameterDescription& p : d.parameters) {
            std::string entry = StringHelper::int2String(ids.at(p.column));
            for (const std::string& field : p.fields)
                entry += "," + field;
            entries.push_back(entry);
        }
        return joined(entries, "#");
    }
    // The ordering, keeping the columns it names outside the version.
    static std::string sortList(const DefinitionDescription& d,
                                const std::map<std::string, int>& ids, const std::string& stored,
                                const std::set<int>& inVersion) {
        std::vector<std::string> entries;
        for (const std::string& name : d.sort)
            entries.push_back(StringHelper::int2String(ids.at(name)));
        for (const std::string& id : StringHelper::splitString(stored, ",")) {
            if (inVersion.count(StringHelper::string2int(id)) == 0) entries.push_back(id);
        }
        return joined(entries, ",");
    }
    template <class Stored>
    void applyDefinitionList(TableTarget& target, const std::vector<DefinitionDescription>& file,
                             std::list<Stored*>& stored, const char* kind) {
        std::map<std::string, int> ids;
        std::map<int, std::string> names;
        std::set<int> inVersion;
        for (const ColumnTarget& c : target.columns) {
            ids[c.file->record._name] = c.id;
            names[c.id] = c.file->record._name;
            inVersion.insert(c.id);
        }
        const bool query = std::is_same<Stored, M_FindByInterfaceDAO>::value;
        const std::string table = target.record._name;
        for (const DefinitionDescription& wanted : file) {
            Stored* match = nullptr;
            for (Stored* s : stored) {
                if (s->_name == wanted.record._name) match = s;
            }
            std::unique_ptr<Stored> made;
            if (match == nullptr) {
                made = std::make_unique<Stored>();
                match = made.get();
            } else if (sameDefinition(describeDefinition(*match, names), wanted)) {
                continue;
            }
            const std::string subject = table + "." + wanted.record._name;
            match->_name = wanted.record._name;
            match->_description = wanted.record._description;
            match->_type = wanted.record._type;
            match->_bExport = wanted.record._bExport;
            match->_paraList = parameterList(wanted, ids);
            if constexpr (std::is_same<Stored, M_FindByInterfaceDAO>::value) {
                match->_sortType = wanted.record._sortType;
                match->_sortAttributeList =
                    sortList(wanted, ids, match->_sortAttributeList, inVersion);
            }
            ResultMsg rm;
            if (made) {
                if constexpr (std::is_same<Stored, M_FindByInterfaceDAO>::value) {
                    rm = target.record.addFindByInterfaceDAO(match, 0);
                } else {
                    rm = target.record.addDelByInterfaceDAO(match, 0);
                }
            } else {
                rm = match->save(0);
            }
            write(rm, wanted.place, std::string("保存") + kind + subject);
            note(made ? Change::DefinitionAdded : Change::DefinitionChanged, subject,
                 query ? "finders" : "deleters");
        }
        for (Stored* s : stored) {
            const bool kept = std::any_of(file.begin(), file.end(), [&](const auto& d) {
                return d.record._name == s->_name;
            });
            if (kept) continue;
            write(s->delself(0), target.file->place,
                  std::string("删除") + kind + table + "." + s->_name);
            note(Change::DefinitionEnded, table + "." + s->_name, query ? "finders" : "deleters");
        }
    }

    void applyDefinitions(TableTarget& target) {
        // The version's columns of the table are those of the file now.
        std::set<int> columns;
        for (const ColumnTarget& c : target.columns)
            columns.insert(c.id);
        std::list<M_FindByInterfaceDAO*> finders;
        PtrListGuard<M_FindByInterfaceDAO> ownFinders(finders);
        write(target.record.getFindByInterfaceDAOList(columns, finders), target.file->place,
              "读取数据类" + target.record._name + "的查询接口");
        applyDefinitionList(target, target.file->finders, finders, "查询接口");
        std::list<M_DelByInterfaceDAO*> deleters;
        PtrListGuard<M_DelByInterfaceDAO> ownDeleters(deleters);
        write(target.record.getDelByInterfaceDAOList(columns, deleters), target.file->place,
              "读取数据类" + target.record._name + "的删除接口");
        applyDefinitionList(target, target.file->deleters, deleters, "删除接口");
    }

    void endFolders() {
        std::set<int> kept;
        for (const FolderTarget& target : targets_.folders)
            kept.insert(target.stored);
        std::set<int> ended;
        for (std::size_t i = 0; i < state_.folders.size(); ++i) {
            const int index = static_cast<int>(i);
            if (kept.count(index) != 0 || index == state_.temporary) continue;
            ended.insert(index);
            // Deleting the top one takes the folders below it along.
            if (ended.count(state_.folders[i].parent) != 0) continue;
            std::string report;
            write(state_.folders[i].folder->delself(report, 0), FilePlace{},
                  "删除数据模块" + state_.folders[i].path);
            checkTakenAlong(report, "数据模块" + state_.folders[i].path);
            note(Change::FolderEnded, state_.folders[i].path);
        }
    }

    const ModelDescription& file_;
    VersionState& state_;
    M_EntityModelDAO& model_;
    FileTargets& targets_;
    ApplyPlan& plan_;
    /// The folder record of each folder target.
    std::vector<M_FolderDAO*> records_;
    std::vector<std::unique_ptr<M_FolderDAO>> made_;
    /// The inner names of the columns of the table whose columns are added.
    std::vector<std::string> innerNames_;
    bool innerNamesRead_ = false;
    bool physicalTableChanged_ = false;
};

}  // namespace

void writeTargets(const ModelDescription& file, VersionState& state, FileTargets& targets,
                  ApplyPlan& plan) {
    Writer(file, state, targets, plan).run();
}

}  // namespace MeridianSpace
