// A database's catalogue read into a model description, with the list of
// what the model holds otherwise or not at all.
#include "ModelInspect.h"

#include <algorithm>
#include <map>
#include <set>

#include "DatabaseSchema.h"
#include "InspectTypes.h"
#include "InstanceDataManager.h"
#include "MRDService.h"
#include "ModelExport.h"
#include "StringHelper.h"
#include "TextForms.h"

namespace MeridianSpace {

namespace {

using Kind = InspectNote::Kind;

// A column of the database and the description it becomes.
struct HeldColumn {
    const SchemaColumn* schema = nullptr;
    ColumnDescription column;
};

class Inspector {
public:
    Inspector(const DatabaseSchema& schema, const InspectOptions& options, ModelDescription& out,
              std::vector<InspectNote>& notes)
        : schema_(schema), options_(options), out_(out), notes_(notes) {}

    void run() {
        prepareFolder();
        for (const std::string& view : schema_.views)
            note(Kind::NotHeld, nameText(view), "视图不能保存在数据模型中");
        for (const SchemaTrigger& trigger : schema_.triggers)
            note(Kind::NotHeld, nameText(trigger.name),
                 "数据类" + nameText(trigger.table) + "的触发器不能保存在数据模型中");
        for (const SchemaTable& table : schema_.tables) {
            std::string name;
            if (!holdable(table.name, name, "数据类")) continue;
            heldNames_[table.name] = name;
        }
        for (const SchemaTable& table : schema_.tables) {
            if (heldNames_.count(table.name) != 0) readTable(table);
        }
        // References name tables by the names the model gives them.
        for (const SchemaTable& table : schema_.tables) {
            if (heldNames_.count(table.name) != 0) readForeignKeys(table, *tables_[table.name]);
        }
        dropUnmatched();
        if (made_ && folder().tables.empty()) out_.folders.erase(out_.folders.begin() + folder_);
    }

private:
    void note(Kind kind, const std::string& subject, const std::string& what) {
        notes_.push_back(InspectNote{kind, subject, what});
    }

    // A name as the model keeps it (GBK); the database's bytes as they are
    // when they are no UTF-8 (a file of this platform holds GBK names).
    static std::string nameText(const std::string& bytes) {
        std::string gbk;
        if (StringHelper::UTF8ToGBKExact(bytes, gbk) == std::string::npos) return gbk;
        return isUtf8(bytes) ? StringHelper::UTF8ToGBK(bytes) : bytes;
    }

    bool holdable(const std::string& bytes, std::string& name, const char* kind) {
        std::string gbk;
        if (StringHelper::UTF8ToGBKExact(bytes, gbk) == std::string::npos) {
            name = gbk;
        } else if (!isUtf8(bytes)) {
            name = bytes;
        } else {
            note(Kind::NotHeld, nameText(bytes), std::string(kind) + "名称中有GBK不能保存的字符");
            return false;
        }
        const ResultMsg checked = InstanceDataManager::checkTableName(name + "_1");
        if (!checked.ok()) {
            note(Kind::NotHeld, name, std::string(kind) + "名称不能用作物理名：" + checked.rMsg);
            return false;
        }
        return true;
    }

    // The description the table becomes: a table of the existing version of
    // that inner name or name, or a new one in the options' folder.
    TableDescription& tableFor(const std::string& name) {
        for (int byName = 0; byName < 2; ++byName) {
            for (TableDescription* t : existingTables()) {
                const std::string& known = byName ? t->record._name : t->record._innerName;
                if (StringHelper::equalsIgnoreCase(known, name) && matched_.insert(t).second)
                    return *t;
            }
        }
        std::vector<TableDescription>& tables = folder().tables;
        tables.emplace_back();
        tables.back().record._name = name;
        tables.back().record._displayName = name;
        matched_.insert(&tables.back());
        return tables.back();
    }

    std::vector<TableDescription*> existingTables() {
        std::vector<TableDescription*> all;
        collect(out_.folders, all);
        return all;
    }
    static void collect(std::vector<FolderDescription>& folders,
                        std::vector<TableDescription*>& all) {
        for (FolderDescription& f : folders) {
            for (TableDescription& t : f.tables)
                all.push_back(&t);
            collect(f.folders, all);
        }
    }

    // The folder new tables go to, with room for all of them: tables in it
    // are known by where they are.
    void prepareFolder() {
        folder_ = out_.folders.size();
        for (std::size_t i = 0; i < out_.folders.size(); ++i) {
            const FolderDescription& f = out_.folders[i];
            if (f.record._name == options_.folder && f.record._folderType != FOLDER_TYPE_TEMPORARY)
                folder_ = i;
        }
        if (folder_ == out_.folders.size()) {
            out_.folders.emplace_back();
            out_.folders.back().record._name = options_.folder;
            out_.folders.back().record._displayName = options_.folder;
            made_ = true;
        }
        folder().tables.reserve(folder().tables.size() + schema_.tables.size());
    }
    FolderDescription& folder() { return out_.folders[folder_]; }

    void readTable(const SchemaTable& schemaTable) {
        const std::string name = heldNames_[schemaTable.name];
        TableDescription& table = tableFor(name);
        tables_[schemaTable.name] = &table;
        std::vector<ColumnDescription> before = std::move(table.columns);
        table.columns.clear();
        std::vector<std::string> notNull;
        int keyColumns = 0;
        for (const SchemaColumn& c : schemaTable.columns)
            keyColumns += c.primaryKeyPosition > 0 ? 1 : 0;
        for (const SchemaColumn& c : schemaTable.columns) {
            std::string columnName;
            const std::string subject = name + "." + nameText(c.name);
            if (StringHelper::equalsIgnoreCase(c.name, "id")) {
                note(Kind::NotHeld, subject,
                     keyColumns == 1 && c.primaryKeyPosition == 1
                         ? "每个物理表都有自己的标识列id，此主键由它承担"
                         : "列名id为每个物理表自己的标识列所用，此列不能保存");
                continue;
            }
            if (!holdable(c.name, columnName, "属性")) continue;
            ColumnDescription column = columnFor(before, columnName);
            readColumn(c, keyColumns == 1, subject, column);
            if (c.notNull && !(keyColumns == 1 && c.primaryKeyPosition == 1))
                notNull.push_back(column.record._name);
            table.columns.push_back(std::move(column));
        }
        if (!notNull.empty()) {
            std::string list;
            for (const std::string& n : notNull)
                list += (list.empty() ? "" : "、") + n;
            note(Kind::NotHeld, name, "非空约束（NOT NULL）不能保存：" + list);
        }
        if (keyColumns > 1) {
            note(Kind::NotHeld, name, "组合主键不能保存：" + keyColumnsText(schemaTable));
        }
        readIndexes(schemaTable, table);
        for (const std::string& check : schemaTable.checks)
            note(Kind::NotHeld, name, "检查约束不能保存：" + nameText(check));
        dropBrokenDefinitions(table);
    }

    static std::string keyColumnsText(const SchemaTable& table) {
        std::vector<const SchemaColumn*> key;
        for (const SchemaColumn& c : table.columns) {
            if (c.primaryKeyPosition > 0) key.push_back(&c);
        }
        std::sort(key.begin(), key.end(), [](const SchemaColumn* a, const SchemaColumn* b) {
            return a->primaryKeyPosition < b->primaryKeyPosition;
        });
        std::string text;
        for (const SchemaColumn* c : key)
            text += (text.empty() ? "" : ", ") + nameText(c->name);
        return "(" + text + ")";
    }

    static ColumnDescription columnFor(const std::vector<ColumnDescription>& before,
                                       const std::string& name) {
        for (int byName = 0; byName < 2; ++byName) {
            for (const ColumnDescription& c : before) {
                const std::string& known = byName ? c.record._name : c.record._innerName;
                if (StringHelper::equalsIgnoreCase(known, name)) return c;
            }
        }
        ColumnDescription column;
        column.record._name = name;
        column.record._displayName = name;
        return column;
    }

    void readColumn(const SchemaColumn& c, bool singleKey, const std::string& subject,
                    ColumnDescription& column) {
        M_NormalColumnDAO& record = column.record;
        static const M_NormalColumnDAO fresh;
        const HeldType held = heldType(c.declaredType);
        if (!held.note.empty()) note(Kind::Mapped, subject, nameText(held.note));
        record._dataType = held.dataType;
        if (held.maxLength > 0 || record._innerName.empty())
            record._maxLength = held.maxLength > 0 ? held.maxLength : fresh._maxLength;
        record._numLength = held.digits > 0 ? held.digits : fresh._numLength;
        record._numPresision = held.decimals >= 0 ? held.decimals : fresh._numPresision;
        record._isPk = singleKey && c.primaryKeyPosition == 1 ? 1 : 0;
        record._isAutoIncrement = c.autoIncrement ? 1 : 0;
        record._isIndex = record._isOnly = 0;
        column.references.clear();
        std::string value;
        if (heldDefault(c.defaultSql, value)) {
            record._defaultValue = nameText(value);
        } else {
            record._defaultValue.clear();
            if (!c.autoIncrement)
                note(Kind::NotHeld, subject,
                     "默认值" + nameText(c.defaultSql) + "是表达式，不能保存");
        }
        if (c.generated) note(Kind::Mapped, subject, "计算列按普通列保存");
    }

    static ColumnDescription* columnNamed(TableDescription& table, const std::string& name) {
        for (ColumnDescription& c : table.columns) {
            if (StringHelper::equalsIgnoreCase(c.record._name, name) ||
                StringHelper::equalsIgnoreCase(c.record._innerName, name))
                return &c;
        }
        return nullptr;
    }

    void readIndexes(const SchemaTable& schemaTable, TableDescription& table) {
        const std::string& name = heldNames_[schemaTable.name];
        for (const SchemaIndex& index : schemaTable.indexes) {
            ColumnDescription* column = index.columns.size() == 1 && !index.partial
                                            ? columnNamed(table, nameText(index.columns[0]))
                                            : nullptr;
            if (column != nullptr) {
                // The primary key's index is the key itself.
                if (index.primaryKey && column->record._isPk == 1) continue;
                (index.unique ? column->record._isOnly : column->record._isIndex) = 1;
                continue;
            }
            if (index.primaryKey) continue;  // a composite key, listed already
            std::string columns;
            for (const std::string& c : index.columns)
                columns += (columns.empty() ? "" : ", ") + (c.empty() ? "<表达式>" : nameText(c));
            note(Kind::NotHeld, name,
                 std::string(index.unique ? "唯一索引" : "索引") + nameText(index.name) + "(" +
                     columns + ")" + (index.partial ? "（部分或表达式索引）" : "（多列索引）") +
                     "不能保存");
        }
    }

    void readForeignKeys(const SchemaTable& schemaTable, TableDescription& table) {
        const std::string& name = heldNames_[schemaTable.name];
        for (const SchemaForeignKey& key : schemaTable.foreignKeys) {
            const auto referenced = heldNames_.find(key.table);
            ColumnDescription* column =
                key.columns.size() == 1 ? columnNamed(table, nameText(key.columns[0])) : nullptr;
            if (column == nullptr || referenced == heldNames_.end()) {
                std::string columns;
                for (const std::string& c : key.columns)
                    columns += (columns.empty() ? "" : ", ") + nameText(c);
                note(Kind::NotHeld, name,
                     "外键(" + columns + ")引用" + nameText(key.table) + "，不能保存" +
                         (key.columns.size() > 1 ? "（多列外键）" : ""));
                continue;
            }
            column->references = tables_[key.table]->record._name;
            const std::string target =
                key.referencedColumns.empty() ? std::string() : key.referencedColumns[0];
            if (!target.empty() && !isKeyOf(key.table, target))
                note(Kind::Mapped, name + "." + column->record._name,
                     "引用" + column->references + "." + nameText(target) + "，按对数据类" +
                         column->references + "的引用保存");
        }
    }

    bool isKeyOf(const std::string& table, const std::string& column) const {
        for (const SchemaTable& t : schema_.tables) {
            if (t.name != table) continue;
            int keys = 0;
            bool found = false;
            for (const SchemaColumn& c : t.columns) {
                keys += c.primaryKeyPosition > 0 ? 1 : 0;
                found = found || (c.primaryKeyPosition > 0 && c.name == column);
            }
            return keys == 1 && found;
        }
        return false;
    }

    // A definition whose columns the database no longer has goes with them.
    void dropBrokenDefinitions(TableDescription& table) {
        for (auto* list : {&table.finders, &table.deleters}) {
            for (auto d = list->begin(); d != list->end();) {
                bool broken = false;
                for (const ParameterDescription& p : d->parameters)
                    broken = broken || columnNamed(table, p.column) == nullptr;
                for (const std::string& s : d->sort)
                    broken = broken || columnNamed(table, s) == nullptr;
                if (!broken) {
                    ++d;
                    continue;
                }
                note(Kind::NotHeld, table.record._name + "." + d->record._name,
                     "接口所用的属性在数据库中已没有，接口不再保留");
                d = list->erase(d);
            }
        }
    }

    // The existing version's tables that the database does not have end.
    void dropUnmatched() { dropUnmatched(out_.folders); }
    void dropUnmatched(std::vector<FolderDescription>& folders) {
        for (FolderDescription& f : folders) {
            f.tables.erase(
                std::remove_if(f.tables.begin(), f.tables.end(),
                               [&](const TableDescription& t) { return matched_.count(&t) == 0; }),
                f.tables.end());
            dropUnmatched(f.folders);
        }
    }

    const DatabaseSchema& schema_;
    const InspectOptions& options_;
    ModelDescription& out_;
    std::vector<InspectNote>& notes_;
    /// The name each held table of the database gets in the model.
    std::map<std::string, std::string> heldNames_;
    std::set<const TableDescription*> matched_;
    /// The description each held table of the database became.
    std::map<std::string, TableDescription*> tables_;
    std::size_t folder_ = 0;
    bool made_ = false;
};

}  // namespace

ResultMsg ModelInspect::read(const std::string& location, const InspectOptions& options,
                             ModelDescription& out, std::vector<InspectNote>& notes) {
    DatabaseSchema schema;
    ResultMsg rm = MRDService().readSchema(location, schema);
    if (!rm.ok()) return rm;
    out = ModelDescription();
    if (options.existing != nullptr) {
        rm = ModelExport::describe(*options.existing, 0, out);
        if (!rm.ok()) return rm;
    } else {
        out.record._name.clear();
        out.record._type = 1;
    }
    Inspector(schema, options, out, notes).run();
    return rm;
}

}  // namespace MeridianSpace
