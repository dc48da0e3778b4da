#include "ModelChanges.h"

#include <algorithm>
#include <list>

#include "Cli.h"
#include "IOrderClause.h"
#include "InstanceDataManager.h"
#include "MeridianNew.h"
#include "QmsRecordClasses.h"
#include "ServiceErrorCode.h"

namespace qms::serve {

namespace {

using MeridianSpace::ModelTie;
using MeridianSpace::QmsRecordClasses;
using MeridianSpace::RecordClass;
using Tie = ModelTie;

// The record classes whose rows make up a model's structure and layout.
struct Watched {
    std::string table;
    Tie tie;
    const char* keys[2];
};

const std::vector<Watched>& watched() {
    static const std::vector<Watched> list = [] {
        std::vector<Watched> out;
        for (const RecordClass& record : QmsRecordClasses::all()) {
            if (!record.has(MeridianSpace::RECORD_MODEL_STRUCTURE)) continue;
            const auto key = [&](int k) {
                return record.keys[k].empty() ? nullptr : record.keys[k].c_str();
            };
            out.push_back({record.table, record.tie, {key(0), key(1)}});
        }
        return out;
    }();
    return list;
}

constexpr std::uint64_t kFnvBasis = 1469598103934665603ull;

std::uint64_t mix(std::uint64_t hash, const std::string& bytes) {
    for (unsigned char c : bytes)
        hash = (hash ^ c) * 1099511628211ull;
    return (hash ^ 0x1f) * 1099511628211ull;  // a separator between values
}

bool sameName(const std::string& a, const char* b) {
    return a.size() == std::char_traits<char>::length(b) &&
           std::equal(a.begin(), a.end(), b, [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// The versions of one model share its project and name.
long long nameKey(const ModelChanges::Row& row) {
    return static_cast<long long>(static_cast<unsigned long long>(row.key[0]) * 1000003u +
                                  static_cast<unsigned long long>(row.key[1]));
}

// Every row of `table`, by identifier; none when the table does not exist.
std::vector<ModelChanges::Row> readRows(InstanceDataManager& config, const Watched& watch) {
    std::vector<std::string> names;
    ResultMsg rm = config.getTableColumnNames(watch.table, names);
    if (rm.rCode == SRV_ERR_NO_TABLE) return {};
    check(rm, std::string("cannot read the columns of ") + watch.table);
    std::vector<MNormalColumn> columns(names.size());
    int id = -1, keys[2] = {-1, -1};
    for (std::size_t i = 0; i < names.size(); ++i) {
        columns[i]._name = columns[i]._innerName = names[i];
        if (sameName(names[i], "id")) id = static_cast<int>(i);
        for (int k = 0; k < 2; ++k)
            if (watch.keys[k] != nullptr && sameName(names[i], watch.keys[k]))
                keys[k] = static_cast<int>(i);
    }
    std::vector<ModelChanges::Row> rows;
    IOrderClause byId;
    byId.orderAttribute = "id";
    std::string text;
    check(config.forEachResultRow(watch.table, columns, {}, &byId,
                                  [&](const ResultRow& found) {
                                      ModelChanges::Row& row = rows.emplace_back();
                                      row.hash = kFnvBasis;
                                      for (int c = 0; c < found.count(); ++c) {
                                          found.text(c, text);
                                          row.hash = mix(row.hash, text);
                                          if (c == id) found.integer(c, row.id);
                                          for (int k = 0; k < 2; ++k) {
                                              if (c != keys[k]) continue;
                                              // A name is kept by its hash.
                                              if (!found.integer(c, row.key[k]))
                                                  row.key[k] =
                                                      static_cast<long long>(mix(kFnvBasis, text));
                                          }
                                      }
                                      return true;
                                  }),
          std::string("cannot read ") + watch.table);
    return rows;
}

// The rows that differ between two readings of a table (both versions of a
// changed row).
void differences(const std::vector<ModelChanges::Row>& before,
                 const std::vector<ModelChanges::Row>& after, std::vector<ModelChanges::Row>& out) {
    std::size_t i = 0, j = 0;
    while (i < before.size() || j < after.size()) {
        if (j == after.size() || (i < before.size() && before[i].id < after[j].id)) {
            out.push_back(before[i++]);
        } else if (i == before.size() || after[j].id < before[i].id) {
            out.push_back(after[j++]);
        } else {
            if (before[i].hash != after[j].hash || before[i].key[0] != after[j].key[0] ||
                before[i].key[1] != after[j].key[1]) {
                out.push_back(before[i]);
                out.push_back(after[j]);
            }
            ++i;
            ++j;
        }
    }
}

// Which models a row belongs to, from the rows of every table.
struct Ties {
    std::multimap<long long, int> modelsOfTable, modelsOfName;
    std::map<long long, int> modelOfFolder;

    /// The rows of every table as `kept` holds them, and as `before` held them.
    template <class Kept>
    void addAll(const std::map<std::string, Kept>& kept,
                const std::map<std::size_t, std::vector<ModelChanges::Row>>& before) {
        for (std::size_t w = 0; w < watched().size(); ++w) {
            const auto now = kept.find(watched()[w].table);
            if (now != kept.end())
                for (const ModelChanges::Row& row : now->second.rows)
                    add(watched()[w].tie, row);
            const auto old = before.find(w);
            if (old != before.end())
                for (const ModelChanges::Row& row : old->second)
                    add(watched()[w].tie, row);
        }
    }
    void add(Tie tie, const ModelChanges::Row& r) {
        if (tie == Tie::ModelLink) modelsOfTable.emplace(r.key[1], static_cast<int>(r.key[0]));
        if (tie == Tie::Model) modelsOfName.emplace(nameKey(r), static_cast<int>(r.id));
        if (tie == Tie::OfModel) modelOfFolder[r.id] = static_cast<int>(r.key[0]);
    }
    /// Calls visit(model) for each model the row of that tie belongs to (a
    /// model record: every version of its name).
    template <class Visit>
    void eachModel(Tie tie, const ModelChanges::Row& r, Visit visit) const {
        const auto range = [&](const std::multimap<long long, int>& index, long long key) {
            const auto [first, last] = index.equal_range(key);
            for (auto it = first; it != last; ++it)
                visit(it->second);
        };
        switch (tie) {
            case Tie::Model:
                range(modelsOfName, nameKey(r));
                break;
            case Tie::ModelLink:
            case Tie::OfModel:
            case Tie::SceneOfModel:
                visit(static_cast<int>(r.key[0]));
                break;
            case Tie::Table:
                range(modelsOfTable, r.id);
                break;
            case Tie::OfTable:
                range(modelsOfTable, r.key[0]);
                break;
            case Tie::OfFolder: {
                const auto folder = modelOfFolder.find(r.key[0]);
                if (folder != modelOfFolder.end()) visit(folder->second);
                break;
            }
            case Tie::None:
                break;
        }
    }
};

// A row's share of a digest: digests add them up, so the order of rows
// does not count (splitmix64's finaliser spreads the bits).
std::uint64_t rowShare(std::size_t table, const ModelChanges::Row& r) {
    std::uint64_t x = r.hash ^ (static_cast<std::uint64_t>(table) << 56) ^
                      static_cast<std::uint64_t>(r.id) * 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

}  // namespace

const std::vector<std::string>& ModelChanges::tables() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> out;
        for (const Watched& watch : watched())
            out.emplace_back(watch.table);
        return out;
    }();
    return names;
}

void ModelChanges::start() {
    (void)read(tables());
    digestAll();
}

std::vector<ChangedModel> ModelChanges::read(const std::vector<std::string>& changedTables) {
    InstanceDataManager* config = MeridianNew::getCurrMRDConfigIDM();
    if (config == nullptr) throw Failure("no configuration database is open");
    // The rows that changed, by the table's place in watched(), and what
    // each table held before (the ties of a removed row are in it).
    std::map<std::size_t, std::vector<Row>> changed;
    std::map<std::size_t, std::vector<Row>> before;
    for (std::size_t w = 0; w < watched().size(); ++w) {
        const std::string table = watched()[w].table;
        if (std::find(changedTables.begin(), changedTables.end(), table) == changedTables.end())
            continue;
        const std::uint64_t number = config->changeCount(table);
        const auto kept = kept_.find(table);
        if (kept != kept_.end() && number != 0 && kept->second.changeNumber == number) continue;
        std::vector<Row> rows = readRows(*config, watched()[w]);
        if (kept != kept_.end()) {
            differences(kept->second.rows, rows, changed[w]);
            before[w] = std::move(kept->second.rows);
        }
        kept_[table] = {std::move(rows), number};
    }
    if (changed.empty()) return {};

    // The ties, from what the tables hold now and held before.
    Ties ties;
    ties.addAll(kept_, before);
    std::map<int, ChangedModel> models;
    for (const auto& [w, rows] : changed) {
        const Tie tie = watched()[w].tie;
        for (const Row& r : rows) {
            ties.eachModel(tie, r, [&](int model) {
                ChangedModel& change = models[model];
                change.model = model;
                (tie == Tie::SceneOfModel ? change.layout : change.structure) = true;
                change.record = change.record || tie == Tie::Model;
                if (tie == Tie::Table) change.tables.insert(static_cast<int>(r.id));
                if (tie == Tie::OfTable) change.tables.insert(static_cast<int>(r.key[0]));
                if (tie == Tie::ModelLink) change.tables.insert(static_cast<int>(r.key[1]));
                if (tie == Tie::OfModel) change.folders.insert(static_cast<int>(r.id));
                if (tie == Tie::OfFolder) change.folders.insert(static_cast<int>(r.key[0]));
            });
        }
    }
    std::map<int, std::uint64_t> digestsBefore;
    digestsBefore.swap(digests_);
    digestAll();
    std::vector<ChangedModel> out;
    for (auto& [id, change] : models) {
        if (id <= 0) continue;
        change.before = digestsBefore.count(id) != 0 ? digestsBefore[id] : 0;
        change.after = digest(id);
        out.push_back(std::move(change));
    }
    return out;
}

std::uint64_t ModelChanges::digest(int model) const {
    const auto found = digests_.find(model);
    return found == digests_.end() ? 0 : found->second;
}

void ModelChanges::digestAll() {
    Ties ties;
    ties.addAll(kept_, {});
    // A stored model has its own record's share at least.
    digests_.clear();
    for (std::size_t w = 0; w < watched().size(); ++w) {
        const Tie tie = watched()[w].tie;
        const auto now = kept_.find(watched()[w].table);
        if (tie == Tie::SceneOfModel || now == kept_.end()) continue;
        for (const Row& row : now->second.rows) {
            const std::uint64_t share = rowShare(w, row);
            ties.eachModel(tie, row, [&](int model) { digests_[model] += share; });
        }
    }
}

}  // namespace qms::serve
