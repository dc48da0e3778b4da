#pragma once

// Something a user made in a database beside the tables a model describes
// and the indexes of their single columns: an index over several columns or
// an expression, a trigger, a view.
#include <string>
#include <vector>

namespace MeridianSpace {

/// A plain value record.
struct SchemaObject {
    /// "index", "trigger" or "view".
    std::string kind;
    std::string name;
    /// The table an index or a trigger is on; empty for a view.
    std::string table;
    /// The statement that makes it, as the database gives it.
    std::string definition;
    /// The names its definition uses (tables, columns, other objects; a
    /// server trigger's function included), as written, keywords among them.
    std::vector<std::string> names;
    /// Why the database cannot use it as it stands (a view over a table or
    /// column that is gone); empty when it can, or when only running it
    /// would tell.
    std::string problem;
};

}  // namespace MeridianSpace
