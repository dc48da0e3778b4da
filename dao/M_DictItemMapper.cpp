#include "M_DictItemMapper.h"

namespace MeridianSpace {

namespace {

// The columns in the order the row carries them.
const RecordColumns<M_DictItemDAO>& columns() {
    static const RecordColumns<M_DictItemDAO> declared(
        "T_M_DictItem_2",
        {{"MDictName_2", &M_DictItemDAO::_dictName}, {"MInnerName_2", &M_DictItemDAO::_innerName}});
    return declared;
}

}  // namespace

M_DictItemMapper::M_DictItemMapper() : ColumnMapper(columns()) {}

M_DictItemMapper::~M_DictItemMapper() = default;

}  // namespace MeridianSpace
