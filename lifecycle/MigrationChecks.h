#pragma once

// The looks at the rows that a migration takes before it writes anything:
// for each change that can fail on some rows or lose rows or values, what
// the database holds that it would fail on or lose, and what a user made in
// it that it would lose. Internal to arx_qms.
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

/// Of `objects` (what a user made in the database), those a migration that
/// makes the changes of `physical` cannot keep, appended to `lost` in their
/// order with one check each in `checks` (refusing unless `allowDataLoss`):
/// one on or naming a table the migration drops; one on or naming a table
/// and naming a column it ends in that table; one naming such an object.
/// An object's names are words of its definition, so a like-named word
/// elsewhere in it counts as well: the check errs on the side of saying so.
void checkObjects(const std::vector<SchemaObject>& objects,
                  const std::vector<ModelChange>& physical, bool allowDataLoss,
                  std::vector<MigrationCheck>& checks, std::vector<SchemaObject>& lost);

}  // namespace MeridianSpace
