#pragma once

// Which models a change of the configuration database touched, and how:
// their structure (the model record, its versions, tables, columns,
// folders, links, query and delete definitions) or their layout (scene
// records). It keeps a fingerprint of every row of the metadata tables
// those come from (identifier, a hash of the row, the keys that tie it to
// a model; about 32 bytes a row) and, when told a table may have changed,
// reads the table anew and compares. Uses the library: one thread at a
// time, the library's.
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace qms::serve {

struct ChangedModel {
    int model = 0;
    bool structure = false;
    bool layout = false;
    /// The model's digest (ModelChanges::digest) before and after.
    std::uint64_t before = 0, after = 0;
    /// What changed of the structure: the model record (or one of its
    /// versions), and tables (their columns and definitions included) and
    /// folders by identifier.
    bool record = false;
    std::set<int> tables, folders;
};

class ModelChanges {
public:
    /// The tables whose rows are watched.
    static const std::vector<std::string>& tables();
    /// Reads every table: what later changes are told against. Throws Failure.
    void start();
    /// Reads anew those of `tables` whose change number moved since they
    /// were read (InstanceDataManager::changeCount) and answers the models
    /// whose rows differ, by identifier. Throws Failure.
    std::vector<ChangedModel> read(const std::vector<std::string>& tables);
    /// A digest of the rows of the model's structure (its record and its
    /// versions', folders, links, tables, columns, definitions; not its
    /// layout) as last read: any change of them changes it. 0 for a model
    /// that is not stored.
    std::uint64_t digest(int model) const;

    struct Row {
        long long id = 0;
        std::uint64_t hash = 0;
        long long key[2] = {0, 0};
    };

private:
    struct Kept {
        std::vector<Row> rows;  // by identifier
        std::uint64_t changeNumber = 0;
    };
    /// Every model's digest, from what kept_ holds.
    void digestAll();
    std::map<std::string, Kept> kept_;  // by table
    std::map<int, std::uint64_t> digests_;
};

}  // namespace qms::serve
