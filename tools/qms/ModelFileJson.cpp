#include "ModelFileJson.h"

#include <vector>

#include "Cli.h"
#include "ModelFile.h"
#include "RecordJson.h"

namespace qms {

namespace {

// Builds the JSON document from the content of a model file, in its order.
class JsonSink : public ModelFileSink {
public:
    Json root;

    void beginMap() override { open(Json::object()); }
    void endMap() override { close(); }
    void beginList(bool) override { open(Json::array()); }
    void endList() override { close(); }
    void key(const char* name) override { key_ = name; }
    void text(const std::string& utf8) override { put(utf8); }
    void number(int value) override { put(value); }

private:
    void put(Json value) {
        if (open_.empty()) {
            root = std::move(value);
        } else if (open_.back()->is_array()) {
            open_.back()->push_back(std::move(value));
        } else {
            (*open_.back())[key_] = std::move(value);
        }
    }
    void open(Json empty) {
        put(std::move(empty));
        Json* made = open_.empty()              ? &root
                     : open_.back()->is_array() ? &open_.back()->back()
                                                : &(*open_.back())[key_];
        open_.push_back(made);
    }
    void close() { open_.pop_back(); }

    std::vector<Json*> open_;
    std::string key_;
};

}  // namespace

Json modelFileJson(const ModelDescription& model) {
    JsonSink sink;
    ModelFile::write(model, sink);
    return sink.root;
}

Json applyPlanJson(const ApplyPlan& plan) {
    Json structure = Json::array();
    for (const StructureChange& s : plan.structure) {
        structure.push_back({{"kind", structureChangeName(s.kind)},
                             {"subject", utf8(s.subject)},
                             {"attribute", s.attribute},
                             {"before", utf8(s.before)},
                             {"after", utf8(s.after)}});
    }
    return {{"model", utf8(plan.modelName)},
            {"version", plan.version},
            {"changes", changeListJson(plan.changes)},
            {"structure", structure},
            {"applied", plan.applied}};
}

Json inspectNotesJson(const std::vector<InspectNote>& notes) {
    Json out = Json::array();
    for (const InspectNote& n : notes) {
        out.push_back({{"kind", n.kind == InspectNote::Kind::Mapped ? "mapped" : "not-held"},
                       {"subject", utf8(n.subject)},
                       {"what", utf8(n.what)}});
    }
    return out;
}

}  // namespace qms
