#pragma once

// The catalogue of the library's record classes: one entry per class with
// its name, factory, table and roles. Registration, the configuration
// database's self-description, the export check, the serve cache and the
// data service's metadata lookups all read it; a new record class is added
// here once (see docs/adding-a-record.md).
#include <string>
#include <vector>

#include "ArxExport.h"
#include "DAOFactoryRegistry.h"

namespace MeridianSpace {

/// What a record class takes part in besides being stored (bits).
enum RecordRole : unsigned {
    /// Project export writes its rows and import reads them back.
    RECORD_TRANSFERRED = 1u << 0,
    /// A table of the platform's model "M_QMS" (QmsSelfDescription).
    RECORD_SELF_DESCRIBED = 1u << 1,
    /// Also a table of the model "M_ProjectManage".
    RECORD_PROJECT_MANAGED = 1u << 2,
    /// A change to its rows changes some model's structure or layout.
    RECORD_MODEL_STRUCTURE = 1u << 3,
};

/// How a row of a model's structure leads to the models it changes.
enum class ModelTie {
    None,
    Model,        // the model itself; keys: project, name (its versions)
    ModelLink,    // keys: model, table
    Table,        // the models linked to the table
    OfTable,      // key: the table
    OfModel,      // key: the model
    OfFolder,     // key: the folder (of one model)
    SceneOfModel  // key: the model; its layout
};

/// A column of a record that holds the identifier of a row of another
/// record class; the export check follows it.
struct RecordReference {
    std::string column;
    std::string target;      ///< the class referred to; empty: `kindColumn` says
    bool optional = false;   ///< 0 or below refers to nothing
    std::string kindColumn;  ///< a scene kind: 1 a folder, 2 a table, else nothing
};

/// One record class. Entries are made once and never change: several
/// threads may read them.
struct RecordClass {
    std::string name;  ///< the class-name string it is registered under
    DAOFactory factory = nullptr;
    unsigned roles = 0;
    std::string table;  ///< as its mapper's column declaration names it
    ModelTie tie = ModelTie::None;
    std::string keys[2];  ///< the tie's key columns, empty when unused
    std::vector<RecordReference> references;

    bool has(RecordRole role) const { return (roles & role) != 0; }
};

/// The catalogue is built on first use and only read afterwards; any thread
/// may read it. registerAll() is called by the thread that sets up the
/// platform, before start-up.
class ARX QmsRecordClasses {
public:
    /// Registers every record class under its class-name string, and gives
    /// the data service the metadata table and column names its lookups
    /// use. Calling it again changes nothing.
    static void registerAll();

    /// Every record class, in the order their records build on each other.
    static const std::vector<RecordClass>& all();
    /// The entry of a class-name string; null when it is not a record class.
    static const RecordClass* named(const std::string& className);
    /// The table of a record class (empty when it is not one).
    static const std::string& tableOf(const std::string& className);
};

}  // namespace MeridianSpace
