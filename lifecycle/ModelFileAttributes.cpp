#include "ModelFileAttributes.h"

#include "StringHelper.h"

namespace MeridianSpace {

const std::vector<FileAttribute<M_EntityModelDAO>>& modelAttributes() {
    using M = M_EntityModelDAO;
    static const std::vector<FileAttribute<M>> list = {
        {"display", &M::_displayName},
        {"description", &M::_description},
        {"released", &M::_isReleased},
        {"deleted", &M::_isDeleted},
    };
    return list;
}

const std::vector<FileAttribute<M_FolderDAO>>& folderAttributes() {
    using F = M_FolderDAO;
    static const std::vector<FileAttribute<F>> list = {
        {"display", &F::_displayName},
        {"description", &F::_description},
        {"type", &F::_folderType},
        {"generateDao", &F::_isGenerateDAO},
    };
    return list;
}

const std::vector<FileAttribute<M_EntityTableDAO>>& tableAttributes() {
    using T = M_EntityTableDAO;
    static const std::vector<FileAttribute<T>> list = {
        {"display", &T::_displayName}, {"description", &T::_description},
        {"type", &T::_type},           {"countType", &T::_countType},
        {"deleted", &T::_isDeleted},   {"whiteBox", &T::_whiteBoxType},
    };
    return list;
}

const std::vector<FileAttribute<M_NormalColumnDAO>>& columnAttributes() {
    using C = M_NormalColumnDAO;
    static const std::vector<FileAttribute<C>> list = {
        {"display", &C::_displayName},
        {"description", &C::_description},
        {"default", &C::_defaultValue},
        {"referenceType", &C::_fkType},
        {"interfaceType", &C::_interfaceAttrType},
        {"autoIncrement", &C::_isAutoIncrement},
        {"deleted", &C::_isDeleted},
        {"findKey", &C::_isFindKey},
        {"index", &C::_isIndex},
        {"unique", &C::_isOnly},
        {"primaryKey", &C::_isPk},
        {"maxLength", &C::_maxLength},
        {"minLength", &C::_minLength},
        {"digits", &C::_numLength},
        {"decimals", &C::_numPresision},
        {"view", &C::_t_M_EntityViewID},
    };
    return list;
}

const std::vector<FileAttribute<M_FindByInterfaceDAO>>& definitionAttributes() {
    using D = M_FindByInterfaceDAO;
    static const std::vector<FileAttribute<D>> list = {
        {"description", &D::_description},
        {"type", &D::_type},
        {"export", &D::_bExport},
        {"sortType", &D::_sortType},
    };
    return list;
}

namespace {

const char* const kTypeWords[] = {"int", "text", "real", "bytes", "blob"};

}  // namespace

std::string dataTypeWord(int dataType) {
    if (dataType >= 1 && dataType <= 5) return kTypeWords[dataType - 1];
    return StringHelper::int2String(dataType);
}

bool dataTypeOfWord(const std::string& word, int& dataType) {
    for (int code = 1; code <= 5; ++code) {
        if (word == kTypeWords[code - 1]) {
            dataType = code;
            return true;
        }
    }
    long long code = 0;
    if (!StringHelper::parseCanonicalInteger(word, code) || code < 0 || code > 1000) return false;
    dataType = static_cast<int>(code);
    return true;
}

}  // namespace MeridianSpace
