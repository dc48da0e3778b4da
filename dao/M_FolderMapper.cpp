#include "M_FolderMapper.h"

namespace MeridianSpace {

namespace {

// The columns in the order the row carries them.
const RecordColumns<M_FolderDAO>& columns() {
    static const RecordColumns<M_FolderDAO> declared(
        "T_M_Folder", {{"AddVersion", &M_FolderDAO::_addVersion},
                       {"Description", &M_FolderDAO::_description},
                       {"DisplayName", &M_FolderDAO::_displayName},
                       {"FolderType", &M_FolderDAO::_folderType},
                       {"IsGenerateDAO", &M_FolderDAO::_isGenerateDAO},
                       {"Name", &M_FolderDAO::_name},
                       {"T_M_EntityModelID", &M_FolderDAO::_t_M_EntityModelID},
                       {"T_M_FolderID", &M_FolderDAO::_t_M_FolderID}});
    return declared;
}

}  // namespace

M_FolderMapper::M_FolderMapper() : ColumnMapper(columns()) {}

M_FolderMapper::~M_FolderMapper() = default;

}  // namespace MeridianSpace
