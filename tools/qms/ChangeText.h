#pragma once

// The changes of a model diff as the lines qms prints them (model diff,
// data check and migrate, model apply and inspect). Defined in
// MigrationCommands.cpp.
#include <string>
#include <vector>

#include "ModelDiff.h"

namespace qms {

using MeridianSpace::ModelChange;

/// "  column-added    safe           Customer.Phone (Customer_1.Phone_2)",
/// with `note` at the end.
std::string changeLine(const ModelChange& c, const std::string& note = "");
/// The lines of `changes`, those also in `marked` noted as no migration
/// reconciles them.
std::string changesText(const std::vector<ModelChange>& changes,
                        const std::vector<ModelChange>& marked = {});

}  // namespace qms
