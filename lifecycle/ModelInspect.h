#pragma once

// An existing database (a SQLite file of any origin, or a PostgreSQL
// database) read into a model description: its tables, columns with their
// types, defaults, keys, indexes and references. What the model holds
// otherwise than the database does (a type mapped to the nearest one) and
// what it cannot hold at all (views, triggers, checks, not-null, composite
// keys and indexes, expression defaults) is listed, never left out silently.
#include <string>
#include <vector>

#include "ArxExport.h"
#include "ModelDescription.h"
#include "ResultReturnCode.h"

namespace MeridianSpace {

/// One thing the model holds otherwise than the database, or not at all.
/// A plain value record; texts GBK.
struct InspectNote {
    enum class Kind {
        /// Held, but as the nearest thing the model has.
        Mapped,
        /// Not held by the model.
        NotHeld,
    };
    Kind kind = Kind::NotHeld;
    /// "Table.Column", "Table", or the name of a view or trigger.
    std::string subject;
    std::string what;
};

struct InspectOptions {
    /// The folder that receives the tables the model does not have yet
    /// (made at the root when missing).
    std::string folder = "Tables";
    /// An existing model whose newest version the database is read into:
    /// a table is that version's table of the same inner name (the
    /// database is an instance of it) or else of the same name, a column
    /// likewise, so that they keep their keys, names and the attributes a
    /// database does not hold; that version's other tables and columns are
    /// left out. Null for a new model.
    const M_EntityModelDAO* existing = nullptr;
};

/// Stateless; may be used from any thread that may use the current databases.
class ARX ModelInspect {
public:
    /// Reads the database at `location` (read only) into `out`, appending
    /// what it holds otherwise or not at all to `notes`.
    static ResultMsg read(const std::string& location, const InspectOptions& options,
                          ModelDescription& out, std::vector<InspectNote>& notes);
};

}  // namespace MeridianSpace
