// The content of a model file in its fixed order, and its YAML form.
#include <yaml-cpp/yaml.h>

#include <cctype>

#include "ModelFile.h"
#include "ModelFileAttributes.h"
#include "StringHelper.h"

namespace MeridianSpace {

ModelFileSink::~ModelFileSink() = default;

namespace {

std::string utf8(const std::string& gbk) {
    return StringHelper::GBKToUTF8(gbk);
}

// The attributes of `record` that differ from a new record's.
template <class T>
void writeAttributes(const std::vector<FileAttribute<T>>& attributes, const T& record,
                     ModelFileSink& sink, const char* skipped = nullptr) {
    static const T fresh;
    for (const FileAttribute<T>& attribute : attributes) {
        if (attribute.same(record, fresh)) continue;
        if (skipped != nullptr && std::string(skipped) == attribute.name) continue;
        sink.key(attribute.name);
        if (attribute.text != nullptr) {
            sink.text(utf8(record.*attribute.text));
        } else {
            sink.number(record.*attribute.integer);
        }
    }
}

void writeTexts(const char* key, const std::vector<std::string>& texts, ModelFileSink& sink) {
    if (texts.empty()) return;
    sink.key(key);
    sink.beginList(true);
    for (const std::string& text : texts)
        sink.text(utf8(text));
    sink.endList();
}

// Each item of a non-empty list under `key`.
template <class Item, class Write>
void writeList(const char* key, const std::vector<Item>& items, ModelFileSink& sink, Write write) {
    if (items.empty()) return;
    sink.key(key);
    sink.beginList(false);
    for (const Item& item : items)
        write(item);
    sink.endList();
}

void writeColumn(const ColumnDescription& column, ModelFileSink& sink) {
    sink.beginMap();
    if (!column.record._innerName.empty()) {
        sink.key("key");
        sink.text(utf8(column.record._innerName));
    }
    sink.key("name");
    sink.text(utf8(column.record._name));
    sink.key("type");
    sink.text(dataTypeWord(column.record._dataType));
    if (!column.references.empty()) {
        sink.key("references");
        sink.text(utf8(column.references));
    }
    writeAttributes(columnAttributes(), column.record, sink);
    sink.endMap();
}

void writeDefinition(const DefinitionDescription& definition, bool query, ModelFileSink& sink) {
    sink.beginMap();
    sink.key("name");
    sink.text(utf8(definition.record._name));
    writeAttributes(definitionAttributes(), definition.record, sink, query ? nullptr : "sortType");
    writeList("parameters", definition.parameters, sink, [&](const ParameterDescription& p) {
        sink.beginMap();
        sink.key("column");
        sink.text(utf8(p.column));
        writeTexts("fields", p.fields, sink);
        sink.endMap();
    });
    if (query) writeTexts("sort", definition.sort, sink);
    sink.endMap();
}

void writeTable(const TableDescription& table, ModelFileSink& sink) {
    sink.beginMap();
    if (!table.record._innerName.empty()) {
        sink.key("key");
        sink.text(utf8(table.record._innerName));
    }
    sink.key("name");
    sink.text(utf8(table.record._name));
    writeAttributes(tableAttributes(), table.record, sink);
    writeTexts("alsoIn", table.alsoIn, sink);
    writeList("columns", table.columns, sink,
              [&](const ColumnDescription& c) { writeColumn(c, sink); });
    writeList("finders", table.finders, sink,
              [&](const DefinitionDescription& d) { writeDefinition(d, true, sink); });
    writeList("deleters", table.deleters, sink,
              [&](const DefinitionDescription& d) { writeDefinition(d, false, sink); });
    sink.endMap();
}

void writeFolder(const FolderDescription& folder, ModelFileSink& sink) {
    sink.beginMap();
    sink.key("name");
    sink.text(utf8(folder.record._name));
    writeAttributes(folderAttributes(), folder.record, sink);
    writeList("tables", folder.tables, sink,
              [&](const TableDescription& t) { writeTable(t, sink); });
    writeList("folders", folder.folders, sink,
              [&](const FolderDescription& f) { writeFolder(f, sink); });
    sink.endMap();
}

// A text that a YAML reader would take for something else (a number, a
// truth value, nothing, a line end where a carriage return ends it) unless
// it is quoted.
bool readsAsOtherThanText(const std::string& text) {
    if (text.empty() || text.find('\r') != std::string::npos) return true;
    static const char* const words[] = {"~",   "null", "true", "false", "yes",   "no",  "on",
                                        "off", "y",    "n",    ".inf",  "-.inf", ".nan"};
    const std::string lower = StringHelper::strToLower(text);
    for (const char* word : words) {
        if (lower == word) return true;
    }
    const char first = text[0];
    if (!(std::isdigit(static_cast<unsigned char>(first)) || first == '-' || first == '+' ||
          first == '.'))
        return false;
    for (char c : text) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '+' &&
            c != '_' && c != ':')
            return false;
    }
    return true;
}

class YamlSink : public ModelFileSink {
public:
    YamlSink() {
        out_.SetIndent(2);
        out_.SetOutputCharset(YAML::EmitNonAscii);
    }
    void beginMap() override { out_ << YAML::BeginMap; }
    void endMap() override { out_ << YAML::EndMap; }
    void beginList(bool shortList) override {
        if (shortList) out_ << YAML::Flow;
        out_ << YAML::BeginSeq;
    }
    void endList() override { out_ << YAML::EndSeq; }
    void key(const char* name) override { out_ << YAML::Key << name << YAML::Value; }
    void text(const std::string& utf8) override {
        if (readsAsOtherThanText(utf8)) out_ << YAML::DoubleQuoted;
        out_ << utf8;
    }
    void number(int value) override { out_ << value; }

    std::string text() const { return std::string(out_.c_str()) + "\n"; }

private:
    YAML::Emitter out_;
};

}  // namespace

void ModelFile::write(const ModelDescription& model, ModelFileSink& sink) {
    sink.beginMap();
    sink.key("project");
    sink.text(utf8(model.project));
    sink.key("model");
    sink.text(utf8(model.record._name));
    sink.key("version");
    sink.number(model.record._version);
    sink.key("type");
    sink.number(model.record._type);
    writeAttributes(modelAttributes(), model.record, sink);
    writeList("folders", model.folders, sink,
              [&](const FolderDescription& f) { writeFolder(f, sink); });
    sink.endMap();
}

std::string ModelFile::toYaml(const ModelDescription& model) {
    YamlSink sink;
    write(model, sink);
    // A name in the comment must not end it.
    const auto inComment = [](const std::string& gbk) {
        std::string text = utf8(gbk);
        for (char& c : text) {
            if (static_cast<unsigned char>(c) < 0x20) c = '?';
        }
        return text;
    };
    return "# ARX_QMS model file: model " + inComment(model.record._name) + " version " +
           StringHelper::int2String(model.record._version) + " of project " +
           inComment(model.project) +
           ".\n# 'qms model apply MODEL FILE' makes the newest version of a model match it.\n" +
           sink.text();
}

}  // namespace MeridianSpace
