#pragma once

// A stored model version described as a model file holds it (see
// ModelDescription.h), for writing it out or for the apply to compare with.
#include "ArxExport.h"
#include "ModelDescription.h"
#include "ResultReturnCode.h"

namespace MeridianSpace {

/// Stateless; may be used from any thread that may use the current databases.
class ARX ModelExport {
public:
    /// Describes version `version` (the newest when 0) of the model that
    /// `model` names (its project and name): its folders in the order they
    /// were made, each with the tables it holds in the order they were
    /// added (a table that several folders hold is described in the first
    /// and named by the others' paths in alsoIn; one that no folder holds
    /// goes to the temporary folder), their columns of that version in the
    /// order of the version, and the query and delete definitions whose
    /// columns all are in the version. A version without a record is refused.
    static ResultMsg describe(const M_EntityModelDAO& model, int version, ModelDescription& out);
};

}  // namespace MeridianSpace
