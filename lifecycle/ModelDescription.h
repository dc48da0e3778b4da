#pragma once

// One version of a model as plain values: its folders, tables, columns and
// query and delete definitions with the attributes their records hold. A
// model file is read into one and written from one (ModelFile.h); a model
// version is described by ModelExport and made to match one by ModelApply.
//
// Texts are GBK, as the records keep them. Each stored table and column
// carries its key, its inner name; an item without a key is a new one.
// References name tables and columns by name.
#include <string>
#include <vector>

#include "M_EntityModelDAO.h"
#include "M_EntityTableDAO.h"
#include "M_FindByInterfaceDAO.h"
#include "M_FolderDAO.h"
#include "M_NormalColumnDAO.h"

namespace MeridianSpace {

/// Where an item or a value stands in the text it was read from, from 1;
/// 0 for an item that was not read from a text.
struct FilePlace {
    int line = 0;
    int column = 0;
};

/// A column. `record` holds its attributes; its _innerName is the key
/// (empty for a new column). Identifiers and version ranges are not part
/// of a description.
struct ColumnDescription {
    M_NormalColumnDAO record;
    /// The name of the table it refers to (the record's _fkTableID); empty
    /// for none.
    std::string references;
    FilePlace place;
    FilePlace referencesPlace;
};

/// One entry of a definition's parameter list: the column it names and the
/// fields after it (the operation and the connective the generator reads).
struct ParameterDescription {
    std::string column;
    std::vector<std::string> fields;
    FilePlace place;
};

/// A query or delete definition of a table; a delete definition has no
/// ordering (`sort` empty, `record._sortType` 0).
struct DefinitionDescription {
    /// _name, _description, _type, _bExport and _sortType; the lists are
    /// below, by column name.
    M_FindByInterfaceDAO record;
    std::vector<ParameterDescription> parameters;
    std::vector<std::string> sort;
    FilePlace place;
    FilePlace sortPlace;
};

/// A table. `record._innerName` is the key (empty for a new table).
struct TableDescription {
    M_EntityTableDAO record;
    /// Paths ("A/B") of the further folders that hold the table besides
    /// the one whose description holds it.
    std::vector<std::string> alsoIn;
    std::vector<ColumnDescription> columns;
    std::vector<DefinitionDescription> finders;
    std::vector<DefinitionDescription> deleters;
    FilePlace place;
    FilePlace alsoInPlace;
};

/// A folder with its tables and sub-folders. A folder is known by its path
/// of names; `record._folderType` FOLDER_TYPE_TEMPORARY marks the model's
/// temporary folder.
struct FolderDescription {
    M_FolderDAO record;
    std::vector<TableDescription> tables;
    std::vector<FolderDescription> folders;
    FilePlace place;
};

/// A model version. `project`, `record._name` and `record._version` say
/// which model version it came from; _displayName, _description, _type,
/// _isReleased and _isDeleted are attributes of the model.
struct ModelDescription {
    std::string project;
    M_EntityModelDAO record;
    std::vector<FolderDescription> folders;
    /// Where the project, the model's name and its type were given.
    FilePlace projectPlace;
    FilePlace namePlace;
    FilePlace typePlace;
};

}  // namespace MeridianSpace
