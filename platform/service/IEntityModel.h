#pragma once

// What an instance file says about itself: the model and version it was made
// for. Passed by value to createEntityModelInstance_Create and filled by
// getEntityModelInstanceInfo.
#include <string>

namespace MeridianSpace {

/// A plain value record; one object is used by one thread at a time.
struct IEntityModel {
    std::string _name = "new entity model";
    int _version = 0;
    /// The model's type code as decimal text.
    std::string _type;
    std::string _description;
    /// Kept for the platform; not written to instance files.
    int _reservedInt1 = 0;
    int _reservedInt2 = 0;
    int _reservedInt3 = 0;
    /// Full path of the instance file.
    std::string _filePath;
    /// Kept for the platform; not written to instance files.
    std::string _reservedText;
    /// _uID of the model's project.
    std::string _projectUID;
    /// Kind of the instance file ("3" for the files of createInstance).
    std::string _instanceKind;
};

}  // namespace MeridianSpace
