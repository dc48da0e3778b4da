#pragma once

// The records exchanged with the data service.
#include "IEntityModel.h"
#include "IOrderClause.h"
#include "IQueryCondition.h"
#include "ITableData.h"
#include "MNormalColumn.h"
#include "MTable.h"
