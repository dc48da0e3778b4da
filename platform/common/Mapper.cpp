#include "Mapper.h"

namespace MeridianSpace {

Mapper::Mapper() = default;
Mapper::~Mapper() = default;

DAO* Mapper::loadResultRow(const ResultRow& /*row*/) {
    return nullptr;
}

bool Mapper::bindRow(const DAO& /*pdao*/, RowInserter& /*row*/) {
    return false;
}

subDBMapper::subDBMapper() = default;
subDBMapper::~subDBMapper() = default;
totalMapper::totalMapper() = default;
totalMapper::~totalMapper() = default;

}  // namespace MeridianSpace
