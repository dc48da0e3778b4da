// A model file read into a model description: every attribute checked for
// its place and form, every text for a GBK form, nothing unknown passed by.
#include <functional>
#include <map>

#include "ModelFile.h"
#include "ModelFileAttributes.h"
#include "ModelFileTree.h"
#include "StringHelper.h"

namespace MeridianSpace {

namespace {

using Kind = FileNode::Kind;

[[noreturn]] void refuse(const FilePlace& place, const std::string& what) {
    throw ModelFileRefusal(place, what);
}

// The GBK form of a text of the file, which must have one.
std::string gbkText(const FileNode& node) {
    if (node.kind == Kind::Empty) return "";
    if (node.kind != Kind::Text) refuse(node.place, "应为文本值");
    std::string gbk;
    const std::size_t bad = StringHelper::UTF8ToGBKExact(node.text, gbk);
    if (bad == std::string::npos) return gbk;
    std::size_t end = bad + 1;
    while (end < node.text.size() && (static_cast<unsigned char>(node.text[end]) & 0xC0) == 0x80)
        ++end;
    refuse(node.place, "'" + StringHelper::UTF8ToGBK(node.text) + "'中的字符" +
                           node.text.substr(bad, end - bad) + "不能以GBK保存");
}

int integerOf(const FileNode& node) {
    if (node.kind == Kind::Text) {
        if (node.text == "true") return 1;
        if (node.text == "false") return 0;
        long long value = 0;
        if (StringHelper::parseCanonicalInteger(node.text, value) && value >= INT32_MIN &&
            value <= INT32_MAX)
            return static_cast<int>(value);
    }
    refuse(node.place, "应为整数：" + StringHelper::UTF8ToGBK(node.text));
}

const std::vector<FileNode>& listOf(const FileNode& node) {
    static const std::vector<FileNode> none;
    if (node.kind == Kind::Empty) return none;
    if (node.kind != Kind::List) refuse(node.place, "应为列表");
    return node.items;
}

std::vector<std::string> textsOf(const FileNode& node) {
    std::vector<std::string> texts;
    for (const FileNode& item : listOf(node))
        texts.push_back(gbkText(item));
    return texts;
}

// Hands each entry of a map to `read`, which answers false for a key it
// does not know.
void forEachEntry(const FileNode& node,
                  const std::function<bool(const std::string&, const FileNode&)>& read) {
    if (node.kind != Kind::Map) refuse(node.place, "应为映射（名称: 值）");
    for (std::size_t i = 0; i < node.keys.size(); ++i) {
        if (!read(node.keys[i], node.items[i]))
            refuse(node.keyPlaces[i], "未知属性：" + StringHelper::UTF8ToGBK(node.keys[i]));
    }
}

// Sets the attribute `key` of `record` from `value`, if the list has it.
template <class T>
bool readAttribute(const std::vector<FileAttribute<T>>& attributes, const std::string& key,
                   const FileNode& value, T& record) {
    for (const FileAttribute<T>& attribute : attributes) {
        if (key != attribute.name) continue;
        if (attribute.text != nullptr) {
            record.*attribute.text = gbkText(value);
        } else {
            record.*attribute.integer = integerOf(value);
        }
        return true;
    }
    return false;
}

// The name every item must have.
void requireName(const FileNode& node, const std::string& name) {
    if (name.empty()) refuse(node.place, "缺少名称（name）");
}

ColumnDescription readColumn(const FileNode& node) {
    ColumnDescription column;
    column.place = node.place;
    M_NormalColumnDAO& record = column.record;
    forEachEntry(node, [&](const std::string& key, const FileNode& value) {
        if (key == "key") {
            record._innerName = gbkText(value);
        } else if (key == "name") {
            record._name = gbkText(value);
        } else if (key == "type") {
            if (value.kind != Kind::Text || !dataTypeOfWord(value.text, record._dataType))
                refuse(value.place, "不是数据类型：" + StringHelper::UTF8ToGBK(value.text) +
                                        "（int、text、real、bytes、blob或类型代码）");
        } else if (key == "references") {
            column.references = gbkText(value);
            column.referencesPlace = value.place;
        } else {
            return readAttribute(columnAttributes(), key, value, record);
        }
        return true;
    });
    requireName(node, record._name);
    return column;
}

DefinitionDescription readDefinition(const FileNode& node, bool query) {
    DefinitionDescription definition;
    definition.place = node.place;
    forEachEntry(node, [&](const std::string& key, const FileNode& value) {
        if (key == "name") {
            definition.record._name = gbkText(value);
        } else if (key == "parameters") {
            for (const FileNode& entry : listOf(value)) {
                ParameterDescription parameter;
                parameter.place = entry.place;
                forEachEntry(entry, [&](const std::string& field, const FileNode& given) {
                    if (field == "column") {
                        parameter.column = gbkText(given);
                    } else if (field == "fields") {
                        parameter.fields = textsOf(given);
                    } else {
                        return false;
                    }
                    return true;
                });
                if (parameter.column.empty()) refuse(entry.place, "缺少列（column）");
                definition.parameters.push_back(std::move(parameter));
            }
        } else if (key == "sort" && query) {
            definition.sort = textsOf(value);
            definition.sortPlace = value.place;
        } else if (key == "sortType" && !query) {
            return false;
        } else {
            return readAttribute(definitionAttributes(), key, value, definition.record);
        }
        return true;
    });
    requireName(node, definition.record._name);
    return definition;
}

TableDescription readTable(const FileNode& node) {
    TableDescription table;
    table.place = node.place;
    M_EntityTableDAO& record = table.record;
    forEachEntry(node, [&](const std::string& key, const FileNode& value) {
        if (key == "key") {
            record._innerName = gbkText(value);
        } else if (key == "name") {
            record._name = gbkText(value);
        } else if (key == "alsoIn") {
            table.alsoIn = textsOf(value);
            table.alsoInPlace = value.place;
        } else if (key == "columns") {
            for (const FileNode& item : listOf(value))
                table.columns.push_back(readColumn(item));
        } else if (key == "finders" || key == "deleters") {
            const bool query = key == "finders";
            for (const FileNode& item : listOf(value))
                (query ? table.finders : table.deleters).push_back(readDefinition(item, query));
        } else {
            return readAttribute(tableAttributes(), key, value, record);
        }
        return true;
    });
    requireName(node, record._name);
    return table;
}

FolderDescription readFolder(const FileNode& node) {
    FolderDescription folder;
    folder.place = node.place;
    forEachEntry(node, [&](const std::string& key, const FileNode& value) {
        if (key == "name") {
            folder.record._name = gbkText(value);
        } else if (key == "tables") {
            for (const FileNode& item : listOf(value))
                folder.tables.push_back(readTable(item));
        } else if (key == "folders") {
            for (const FileNode& item : listOf(value))
                folder.folders.push_back(readFolder(item));
        } else {
            return readAttribute(folderAttributes(), key, value, folder.record);
        }
        return true;
    });
    requireName(node, folder.record._name);
    return folder;
}

void readModel(const FileNode& root, ModelDescription& model) {
    forEachEntry(root, [&](const std::string& key, const FileNode& value) {
        if (key == "project") {
            model.project = gbkText(value);
            model.projectPlace = value.place;
        } else if (key == "model") {
            model.record._name = gbkText(value);
            model.namePlace = value.place;
        } else if (key == "version") {
            model.record._version = integerOf(value);
        } else if (key == "type") {
            model.record._type = integerOf(value);
            model.typePlace = value.place;
        } else if (key == "folders") {
            for (const FileNode& item : listOf(value))
                model.folders.push_back(readFolder(item));
        } else {
            return readAttribute(modelAttributes(), key, value, model.record);
        }
        return true;
    });
}

}  // namespace

ResultMsg ModelFile::parse(const std::string& text, ModelDescription& model) {
    model = ModelDescription();
    // The model's own name stays empty unless the file gives one.
    model.record._name.clear();
    if (text.size() > kMaxBytes) {
        return ResultMsg(RUN_FAIL, "模型文件有" + std::to_string(text.size()) + "字节，超过" +
                                       std::to_string(kMaxBytes) + "字节，不能读取。");
    }
    try {
        readModel(parseModelFileTree(text), model);
    } catch (const ModelFileRefusal& refusal) {
        return ResultMsg(RUN_FAIL, refusalText(refusal.place, refusal.message));
    }
    return ResultMsg();
}

}  // namespace MeridianSpace
