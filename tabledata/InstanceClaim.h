#pragma once

// The stored model version that an instance database's description (its
// IEntityModel record) names. Internal to arx_qms.
#include "IEntityModel.h"
#include "ResultReturnCode.h"

namespace MeridianSpace {

class M_EntityModelDAO;

/// What getInstanceInfo does once it has read the record: `model` (an object
/// it held is deleted) gets a new object with the record's name, type,
/// description and version, then the identifier of the project its UID
/// names and of the model version; a project or model that is not found is
/// refused and logged as getInstanceInfo refuses it, `model` keeping what
/// was filled in.
ResultMsg findInstanceModel(const IEntityModel& record, M_EntityModelDAO*& model);

}  // namespace MeridianSpace
