#pragma once

// The writes of an apply: the matched file carried out on the stored
// version through the records' own operations, each change noted in the
// plan. Internal to arx_qms.
#include "ModelApply.h"
#include "ModelApplyState.h"

namespace MeridianSpace {

/// Carries out `targets` (the file matched against `state`) inside the open
/// transaction; fills `plan.structure`. Throws ModelFileRefusal naming the
/// item whose write the records refused, or the item that an ended table
/// or folder would take along.
void writeTargets(const ModelDescription& file, VersionState& state, FileTargets& targets,
                  ApplyPlan& plan);

/// Throws ModelFileRefusal at the first item of `file` that the stored
/// version, described again as `after`, does not match.
void verifyTargets(const ModelDescription& file, const FileTargets& targets,
                   const ModelDescription& after);

}  // namespace MeridianSpace
