#pragma once

// What the apply of a model file works with: the stored version as it is
// (folders, tables, columns, which folders hold which table), and the file
// matched against it (which stored record each item of the file is, or
// that it is new). Internal to arx_qms.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ModelDescription.h"
#include "ModelDiff.h"
#include "ModelVersions.h"
#include "ResultReturnCode.h"

namespace MeridianSpace {

/// A table of the version with its columns of the version, in order.
struct StoredTable {
    M_EntityTableDAO record;
    std::vector<M_NormalColumnDAO> columns;
    /// The folders that hold it (indexes into VersionState::folders).
    std::vector<int> folders;
};

struct VersionState {
    M_EntityModelDAO model;
    std::string projectName;
    std::vector<FolderAt> folders;
    /// The model's temporary folder (index into folders), -1 when none.
    int temporary = -1;
    std::vector<StoredTable> tables;
    /// The tables and columns as the model diff reads them.
    ModelLayout layout;
};

/// Reads the version `model` (a stored model record).
ResultMsg readVersionState(const M_EntityModelDAO& model, VersionState& out);

/// A folder of the file and where it stands.
struct FolderTarget {
    const FolderDescription* file = nullptr;
    std::string path;
    /// The parent's index among the targets; -1 at the root.
    int parent = -1;
    /// The stored folder of that path (index into VersionState::folders), or -1.
    int stored = -1;
};

/// A column of the file: the stored column of its key, or a new one.
struct ColumnTarget {
    const ColumnDescription* file = nullptr;
    /// Index into the table target's storedColumns, or -1 for a new column.
    int stored = -1;
    /// The table it refers to: a table of the file (index into the table
    /// targets), or -1 with `keptReference` the _ID of a stored table
    /// outside the version that the stored column refers to already (0: none).
    int referencesTarget = -1;
    int keptReference = 0;
    /// The column's _ID and inner name once it is in place (set by the apply).
    int id = 0;
    std::string innerName;
};

/// A table of the file: the stored table of its key (of this version, or
/// of another version of the model), or a new one.
struct TableTarget {
    const TableDescription* file = nullptr;
    /// The folders that are to hold it, its own first, then those of alsoIn
    /// (indexes into the folder targets).
    std::vector<int> folders;
    /// Index into VersionState::tables for a table of this version.
    int inVersion = -1;
    /// True for a stored table (of this or another version of the model).
    bool stored = false;
    /// The stored record (the new record once it is made).
    M_EntityTableDAO record;
    /// The stored table's columns that exist in the version.
    std::vector<M_NormalColumnDAO> storedColumns;
    std::vector<ColumnTarget> columns;
};

struct FileTargets {
    std::vector<FolderTarget> folders;
    std::vector<TableTarget> tables;
};

/// Matches `file` against the version: checks everything that can be told
/// without writing (keys, names, references, folders) and refuses with the
/// place in the file. Throws ModelFileRefusal; reads only.
FileTargets matchFile(const ModelDescription& file, const VersionState& state);

/// The key a new table or column named `name` gets in `model`.
std::string newTableKey(const M_EntityModelDAO& model, const std::string& name);
std::string newColumnKey(const M_EntityModelDAO& model, const std::string& name);

}  // namespace MeridianSpace
