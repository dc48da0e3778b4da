#include "ModelCache.h"

#include <algorithm>

namespace qms::serve {

namespace {

// Enough for the models a team has open at once; the memory stays bounded.
constexpr std::size_t kModelsKept = 8;
// Pictures and layouts kept per model for reads ?since=: the page that is
// one or two changes behind (the usual case) reads only what differs.
constexpr std::size_t kSnapshotsKept = 3;

template <typename Value, typename Snapshots>
std::shared_ptr<const Value> kept(const Snapshots& snapshots, std::uint64_t serial) {
    for (const auto& snapshot : snapshots)
        if (snapshot.serial == serial) return snapshot.value;
    return nullptr;
}

}  // namespace

void ModelCache::setEnabled(bool enabled) {
    const std::lock_guard<std::mutex> lock(mutex_);
    enabled_ = enabled;
    if (!enabled) {
        kept_.clear();
        order_.clear();
    }
}

bool ModelCache::enabled() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return enabled_;
}

ModelCache::Kept& ModelCache::touch(int model) {
    order_.remove(model);
    order_.push_back(model);
    if (order_.size() > kModelsKept) {
        kept_.erase(order_.front());
        order_.pop_front();
    }
    return kept_[model];
}

std::shared_ptr<const std::string> ModelCache::answer(const Key& key, std::string* tag,
                                                      std::uint64_t* serial) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto model = kept_.find(key.model);
    if (model == kept_.end()) return nullptr;
    const auto found = model->second.answers.find(key);
    if (found == model->second.answers.end()) return nullptr;
    if (tag != nullptr) *tag = model->second.tag;
    if (serial != nullptr) *serial = found->second.serial;
    return found->second.body;
}

void ModelCache::keepAnswer(const Key& key, std::shared_ptr<const std::string> answer,
                            const std::string& tag, std::uint64_t serial) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!enabled_) return;
    Kept& kept = touch(key.model);
    kept.answers[key] = {std::move(answer), serial};
    if (!tag.empty()) kept.tag = tag;
}

std::shared_ptr<const diagram::Diagram> ModelCache::diagram(int model, std::uint64_t* serial) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto found = kept_.find(model);
    if (found == kept_.end()) return nullptr;
    if (serial != nullptr) *serial = found->second.diagramSerial;
    return found->second.diagram;
}

std::uint64_t ModelCache::keepDiagram(int model, std::shared_ptr<const diagram::Diagram> diagram,
                                      std::shared_ptr<const ModelVersionRecords> records) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!enabled_) return 0;
    Kept& kept = touch(model);
    kept.diagram = diagram;
    kept.diagramRecords = std::move(records);
    kept.diagramSerial = ++serial_;
    kept.diagrams.push_back({serial_, std::move(diagram)});
    if (kept.diagrams.size() > kSnapshotsKept) kept.diagrams.pop_front();
    return serial_;
}

std::shared_ptr<const diagram::Diagram> ModelCache::lastDiagram(
    int model, std::shared_ptr<const ModelVersionRecords>* records) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto found = kept_.find(model);
    if (found == kept_.end() || found->second.diagrams.empty()) return nullptr;
    *records = found->second.diagramRecords;
    return found->second.diagrams.back().value;
}

std::shared_ptr<const diagram::Diagram> ModelCache::diagramAt(int model, std::uint64_t serial) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto found = kept_.find(model);
    return found == kept_.end() ? nullptr : kept<diagram::Diagram>(found->second.diagrams, serial);
}

std::shared_ptr<const diagram::Layout> ModelCache::layoutAt(int model, std::uint64_t serial) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto found = kept_.find(model);
    return found == kept_.end() ? nullptr : kept<diagram::Layout>(found->second.layouts, serial);
}

std::shared_ptr<const diagram::Layout> ModelCache::layout(int model, std::uint64_t* serial) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto found = kept_.find(model);
    if (found == kept_.end()) return nullptr;
    if (serial != nullptr) *serial = found->second.layoutSerial;
    return found->second.layout;
}

std::uint64_t ModelCache::keepLayout(int model, std::shared_ptr<const diagram::Layout> layout) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!enabled_) return 0;
    Kept& kept = touch(model);
    kept.layout = layout;
    kept.layoutSerial = ++serial_;
    kept.layouts.push_back({serial_, std::move(layout)});
    if (kept.layouts.size() > kSnapshotsKept) kept.layouts.pop_front();
    return serial_;
}

std::shared_ptr<const ModelVersionRecords> ModelCache::takeRecords(int model,
                                                                   std::set<int>& changed,
                                                                   bool& stale) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto found = kept_.find(model);
    if (found == kept_.end() || !found->second.records) return nullptr;
    Kept& kept = found->second;
    changed.swap(kept.changedTables);
    kept.changedTables.clear();
    stale = kept.stale;
    kept.stale = false;
    return kept.records;
}

void ModelCache::keepRecords(int model, std::shared_ptr<const ModelVersionRecords> records) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (enabled_) touch(model).records = std::move(records);
}

void ModelCache::dropRecords(int model) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto found = kept_.find(model);
    if (found != kept_.end()) found->second.records.reset();
}

void ModelCache::structureChanged(int model, const std::set<int>& tables, bool whole) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto found = kept_.find(model);
    if (found != kept_.end()) {
        Kept& kept = found->second;
        kept.diagram.reset();
        kept.diagramSerial = 0;
        kept.layoutSerial = 0;
        kept.answers.clear();
        kept.tag.clear();
        if (whole) kept.records.reset();
        kept.changedTables.insert(tables.begin(), tables.end());
        kept.stale = true;
    }
    for (auto& [id, kept] : kept_) {
        for (auto it = kept.answers.begin(); it != kept.answers.end();)
            it = it->first.compare != 0 ? kept.answers.erase(it) : std::next(it);
    }
}

void ModelCache::layoutChanged(int model) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto found = kept_.find(model);
    if (found == kept_.end()) return;
    found->second.layoutSerial = 0;
    auto& answers = found->second.answers;
    for (auto it = answers.begin(); it != answers.end();)
        it = it->first.view == View::Layout || it->first.view == View::Svg ? answers.erase(it)
                                                                           : std::next(it);
}

}  // namespace qms::serve
