#pragma once

// Rewriting the identifiers that records use to point at each other through
// old-to-new maps, for everything that copies records under new identifiers
// (model copy and upgrade, project transfer). Internal to arx_qms.
//
// Each identifier is looked up once, in the text as it was before any
// replacement, so that a new identifier that equals another old one is
// never replaced again, and 12 is never touched inside 112.
#include <map>
#include <string>

namespace MeridianSpace {

class M_SceneInfoDAO;

/// Old identifier to new identifier.
using IdentifierMap = std::map<int, int>;

/// What an identifier that the map does not hold becomes.
enum class Unmapped {
    Keep,      ///< stays as it is
    MinusOne,  ///< becomes -1
};

int mapIdentifier(const IdentifierMap& map, int id, Unmapped unmapped);

/// A parameter list of a query or delete definition: entries separated by
/// "#", fields by ","; the first non-empty field of each entry is a column
/// identifier and goes through `columns`. Every other byte stays as it is.
std::string rewriteParameterList(const std::string& paraList, const IdentifierMap& columns,
                                 Unmapped unmapped = Unmapped::Keep);

/// A sort list: every non-empty ","-separated field is a column identifier.
std::string rewriteSortList(const std::string& sortList, const IdentifierMap& columns,
                            Unmapped unmapped = Unmapped::Keep);

/// The shown object (_dataObjectId by _sceneType) and the container
/// (_parentID by _parentType) of a scene record: a folder through `folders`,
/// a table through `tables`. A null map leaves references of its kind as
/// they are (an upgrade shares its tables with the old version).
void rewriteSceneReferences(M_SceneInfoDAO& scene, const IdentifierMap* folders,
                            const IdentifierMap* tables, Unmapped unmapped);

}  // namespace MeridianSpace
