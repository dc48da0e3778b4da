#pragma once

// Model files and what their apply does, as JSON: `qms model export --json`,
// `qms model apply --json` and `qms model inspect --json` print these, and
// qms serve can answer them. Texts are UTF-8.
#include <vector>

#include "ModelApply.h"
#include "ModelDescription.h"
#include "ModelInspect.h"
#include "Output.h"

namespace qms {

/// The content of the model's file (the same as its YAML form) as JSON.
Json modelFileJson(const MeridianSpace::ModelDescription& model);
/// What an apply did or would do: model, version, changes (as in `qms
/// model diff --json`), structure (kind, subject, attribute, before,
/// after), applied.
Json applyPlanJson(const MeridianSpace::ApplyPlan& plan);
/// The notes of an inspect: kind ("mapped" or "not-held"), subject, what.
Json inspectNotesJson(const std::vector<MeridianSpace::InspectNote>& notes);

}  // namespace qms
