#include "ModelFileTree.h"

#include <yaml-cpp/eventhandler.h>
#include <yaml-cpp/exceptions.h>
#include <yaml-cpp/mark.h>
#include <yaml-cpp/parser.h>

#include <sstream>

#include "ModelFile.h"
#include "StringHelper.h"
#include "TextForms.h"

namespace MeridianSpace {

namespace {

FilePlace placeOf(const YAML::Mark& mark) {
    if (mark.is_null()) return FilePlace{};
    return FilePlace{mark.line + 1, mark.column + 1};
}

// Refuses a text that is no UTF-8, holds a zero byte or too many of the
// bytes that separate the values of one-line lists and maps, naming where.
void checkText(const std::string& text) {
    FilePlace place{1, 1};
    std::size_t marks = 0;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = utf8Length(text, at);
        if (length == 0) throw ModelFileRefusal(place, "不是UTF-8文本");
        if (text[at] == '\0') throw ModelFileRefusal(place, "含有零字节");
        if ((text[at] == ',' || text[at] == '[' || text[at] == '{') &&
            ++marks > ModelFile::kMaxFlowMarks)
            throw ModelFileRefusal(
                place, "逗号和括号（, [ {）超过" + std::to_string(ModelFile::kMaxFlowMarks) + "个");
        if (text[at] == '\n') {
            ++place.line;
            place.column = 1;
        } else {
            ++place.column;
        }
        at += length;
    }
}

// Builds the tree from the parser's events, refusing what a model file
// never holds before it can grow.
class TreeBuilder : public YAML::EventHandler {
public:
    FileNode root;
    bool documentSeen = false;

    void OnDocumentStart(const YAML::Mark&) override {}
    void OnDocumentEnd() override {}
    void OnNull(const YAML::Mark& mark, YAML::anchor_t anchor) override {
        FileNode node;
        node.place = placeOf(mark);
        add(std::move(node), anchor);
    }
    void OnAlias(const YAML::Mark& mark, YAML::anchor_t) override {
        throw ModelFileRefusal(placeOf(mark), "不能使用锚点和别名（&、*）");
    }
    void OnScalar(const YAML::Mark& mark, const std::string& tag, YAML::anchor_t anchor,
                  const std::string& value) override {
        checkTag(mark, tag);
        FileNode node;
        node.kind = FileNode::Kind::Text;
        node.text = value;
        node.place = placeOf(mark);
        add(std::move(node), anchor);
    }
    void OnSequenceStart(const YAML::Mark& mark, const std::string& tag, YAML::anchor_t anchor,
                         YAML::EmitterStyle::value) override {
        open(FileNode::Kind::List, mark, tag, anchor);
    }
    void OnSequenceEnd() override { close(); }
    void OnMapStart(const YAML::Mark& mark, const std::string& tag, YAML::anchor_t anchor,
                    YAML::EmitterStyle::value) override {
        open(FileNode::Kind::Map, mark, tag, anchor);
    }
    void OnMapEnd() override { close(); }

private:
    static void checkTag(const YAML::Mark& mark, const std::string& tag) {
        if (!tag.empty() && tag != "?" && tag != "!")
            throw ModelFileRefusal(placeOf(mark), "不能使用标签：" + StringHelper::UTF8ToGBK(tag));
    }
    static void checkAnchor(const FilePlace& place, YAML::anchor_t anchor) {
        if (anchor != 0) throw ModelFileRefusal(place, "不能使用锚点和别名（&、*）");
    }
    void count(const FilePlace& place) {
        if (++nodes_ > ModelFile::kMaxNodes)
            throw ModelFileRefusal(
                place, "值、映射和列表超过" + std::to_string(ModelFile::kMaxNodes) + "个");
    }
    void open(FileNode::Kind kind, const YAML::Mark& mark, const std::string& tag,
              YAML::anchor_t anchor) {
        FileNode node;
        node.kind = kind;
        node.place = placeOf(mark);
        checkTag(mark, tag);
        checkAnchor(node.place, anchor);
        count(node.place);
        if (expectsKey()) throw ModelFileRefusal(node.place, "映射的键必须是文本");
        if (open_.size() >= static_cast<std::size_t>(ModelFile::kMaxDepth))
            throw ModelFileRefusal(node.place,
                                   "嵌套超过" + std::to_string(ModelFile::kMaxDepth) + "层");
        open_.push_back(std::move(node));
    }
    void close() {
        FileNode node = std::move(open_.back());
        open_.pop_back();
        if (node.kind == FileNode::Kind::Map && node.keys.size() > node.items.size())
            throw ModelFileRefusal(node.place, "映射的键缺少值");
        place(std::move(node));
    }
    bool expectsKey() const {
        return !open_.empty() && open_.back().kind == FileNode::Kind::Map &&
               open_.back().keys.size() == open_.back().items.size();
    }
    void add(FileNode node, YAML::anchor_t anchor) {
        checkAnchor(node.place, anchor);
        count(node.place);
        if (expectsKey()) {
            FileNode& map = open_.back();
            if (node.kind != FileNode::Kind::Text)
                throw ModelFileRefusal(node.place, "映射的键必须是文本");
            for (const std::string& key : map.keys) {
                if (key == node.text)
                    throw ModelFileRefusal(node.place,
                                           "属性重复：" + StringHelper::UTF8ToGBK(node.text));
            }
            map.keys.push_back(std::move(node.text));
            map.keyPlaces.push_back(node.place);
            return;
        }
        place(std::move(node));
    }
    void place(FileNode node) {
        if (open_.empty()) {
            if (documentSeen) throw ModelFileRefusal(node.place, "模型文件只能有一个文档");
            root = std::move(node);
            documentSeen = true;
            return;
        }
        open_.back().items.push_back(std::move(node));
    }

    std::vector<FileNode> open_;
    std::size_t nodes_ = 0;
};

}  // namespace

std::string refusalText(FilePlace place, const std::string& what) {
    if (place.line <= 0) return "模型文件：" + what;
    return "模型文件第" + std::to_string(place.line) + "行第" + std::to_string(place.column) +
           "列：" + what;
}

FileNode parseModelFileTree(const std::string& text) {
    checkText(text);
    std::istringstream in(text);
    TreeBuilder builder;
    try {
        YAML::Parser parser(in);
        while (parser.HandleNextDocument(builder)) {
        }
    } catch (const YAML::Exception& e) {
        throw ModelFileRefusal(placeOf(e.mark), "YAML格式错误：" + e.msg);
    }
    if (!builder.documentSeen || builder.root.kind == FileNode::Kind::Empty)
        throw ModelFileRefusal(FilePlace{1, 1}, "没有模型内容");
    return std::move(builder.root);
}

}  // namespace MeridianSpace
