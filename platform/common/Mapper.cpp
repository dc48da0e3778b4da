#include "Mapper.h"

namespace MeridianSpace {

Mapper::Mapper() = default;
Mapper::~Mapper() = default;
subDBMapper::subDBMapper() = default;
subDBMapper::~subDBMapper() = default;
totalMapper::totalMapper() = default;
totalMapper::~totalMapper() = default;

}  // namespace MeridianSpace
