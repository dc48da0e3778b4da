#pragma once

// What costs most to read about a model version and the answers built
// from it: its picture (tables with all their columns, folders) and the
// answers of GET /api/models/ID, .../layout and .../diagram.svg (also
// compared with another version), kept while the change feed (ChangeFeed.h)
// says nothing of the model changed, so that reads of them are answered
// on an I/O thread without waiting for the library. Nothing is kept while
// the cache is off (no change feed: a change by another process would go
// unseen). At most kModelsKept models, the least recently used go first.
// Each picture and layout kept gets a serial number (the X-QMS-Snapshot
// header of the answers made from it), and the last few of them stay after
// a change, so that a read ?since= a serial answers only what differs.
// Every member may be called from any thread.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <tuple>

#include "ModelVersionRecords.h"
#include "diagram/Diagram.h"

namespace qms::serve {

class ModelCache {
public:
    enum class View { Model, Layout, Svg, Head };
    struct Key {
        int model = 0;
        View view = View::Model;
        int compare = 0;  // the version compared with, 0 for none
        bool operator<(const Key& o) const {
            return std::tie(model, view, compare) < std::tie(o.model, o.view, o.compare);
        }
    };

    /// Keeping on or off (off forgets everything).
    void setEnabled(bool enabled);
    bool enabled() const;

    /// The answer kept for `key`, or null; with the model's tag (ETag) kept
    /// with it in `tag` and the serial of the snapshot it was made from
    /// (0: none) in `serial`.
    std::shared_ptr<const std::string> answer(const Key& key, std::string* tag = nullptr,
                                              std::uint64_t* serial = nullptr);
    /// Keeps the answer and, when not empty, the tag of the model it shows.
    void keepAnswer(const Key& key, std::shared_ptr<const std::string> answer,
                    const std::string& tag = "", std::uint64_t serial = 0);
    /// The picture kept for the model, or null; its serial in `serial`.
    std::shared_ptr<const diagram::Diagram> diagram(int model, std::uint64_t* serial = nullptr);
    /// Keeps it as the model's picture, made of `records`; its serial (0
    /// while nothing is kept).
    std::uint64_t keepDiagram(int model, std::shared_ptr<const diagram::Diagram> diagram,
                              std::shared_ptr<const ModelVersionRecords> records);
    /// The model's last picture kept, current or not, or null; the records
    /// it was made of in `records`.
    std::shared_ptr<const diagram::Diagram> lastDiagram(
        int model, std::shared_ptr<const ModelVersionRecords>* records);

    /// The model's last layout (of its own version, no comparison), or
    /// null: what the next one may keep of its routes (diagram::layOut).
    /// It stays through changes of the model, since a layout keeps only
    /// what the change did not touch.
    /// With `serial`: its serial while it is still where the model's boxes
    /// stand (no change since), else 0.
    std::shared_ptr<const diagram::Layout> layout(int model, std::uint64_t* serial = nullptr);
    /// Keeps it as the model's last layout; its serial (0 while nothing is kept).
    std::uint64_t keepLayout(int model, std::shared_ptr<const diagram::Layout> layout);

    /// The model's picture or layout of serial `serial` while it is among
    /// the last kSnapshotsKept kept, or null.
    std::shared_ptr<const diagram::Diagram> diagramAt(int model, std::uint64_t serial);
    std::shared_ptr<const diagram::Layout> layoutAt(int model, std::uint64_t serial);

    /// The model's records as last read, or null; with `changed` the
    /// tables changed since and `stale` whether anything did
    /// (ModelVersionRecords::readAgain reads those anew). What changed is
    /// taken: the caller keeps the records read anew or drops them.
    std::shared_ptr<const ModelVersionRecords> takeRecords(int model, std::set<int>& changed,
                                                           bool& stale);
    void keepRecords(int model, std::shared_ptr<const ModelVersionRecords> records);
    void dropRecords(int model);

    /// The model's tables, columns or folders changed (`tables` names the
    /// tables; `whole`: the model record itself, or not known): everything
    /// of it but its last layout and its records (stale from now; dropped
    /// when `whole`), and every comparison (which may involve it) goes.
    void structureChanged(int model, const std::set<int>& tables, bool whole);
    /// The model's boxes moved: its layouts and pictures go (the last
    /// layout stays, as above).
    void layoutChanged(int model);

private:
    template <typename T>
    struct Snapshot {
        std::uint64_t serial = 0;
        std::shared_ptr<const T> value;
    };
    struct Answer {
        std::shared_ptr<const std::string> body;
        std::uint64_t serial = 0;
    };
    struct Kept {
        std::shared_ptr<const diagram::Diagram> diagram;
        std::uint64_t diagramSerial = 0;
        std::shared_ptr<const ModelVersionRecords> diagramRecords;  // of the last picture
        std::shared_ptr<const diagram::Layout> layout;
        std::uint64_t layoutSerial = 0;  // 0 once the layout is not current
        // The last pictures and layouts kept, the newest last.
        std::deque<Snapshot<diagram::Diagram>> diagrams;
        std::deque<Snapshot<diagram::Layout>> layouts;
        std::shared_ptr<const ModelVersionRecords> records;
        std::set<int> changedTables;  // since the records were read
        bool stale = false;
        std::map<Key, Answer> answers;
        std::string tag;
    };
    /// The model's entry, made the most recently used (made when missing).
    Kept& touch(int model);

    mutable std::mutex mutex_;
    bool enabled_ = false;
    std::map<int, Kept> kept_;
    std::list<int> order_;  // the least recently used first
    /// The last serial given: from a random start, so that a serial of an
    /// earlier run of the server is not one of this run's (within the
    /// integers a page's JavaScript holds exactly).
    std::uint64_t serial_ = (std::uint64_t{std::random_device{}()} & 0xFFFFFFF) << 24;
};

}  // namespace qms::serve
