#pragma once

// The looks at the rows that a migration takes before it writes anything:
// for each change that can fail on some rows or lose rows or values, what
// the database holds that it would fail on or lose. Internal to arx_qms.
#include <vector>

#include "InstanceMigration.h"
#include "ModelDiff.h"

namespace MeridianSpace {

class InstanceDataManager;

/// Checks every change of `physical` (the database against the target
/// version) and every length change of `model` (the claimed version
/// against the target) that is not safe, on the database of `manager`,
/// and appends one check each to `checks`. A data-dependent change that
/// finds rows refuses; a destructive one that finds rows or values refuses
/// unless `allowDataLoss`. Reads only.
ResultMsg checkChanges(InstanceDataManager& manager, const std::vector<ModelChange>& physical,
                       const std::vector<ModelChange>& model, bool allowDataLoss,
                       std::vector<MigrationCheck>& checks);

}  // namespace MeridianSpace
