#include "IdentifierMap.h"

#include <cstddef>

#include "M_SceneInfoDAO.h"
#include "StringHelper.h"

namespace MeridianSpace {

namespace {

// The identifier a field names, read the way the definitions read their
// lists (StringHelper::string2int).
std::string mapField(const std::string& field, const IdentifierMap& map, Unmapped unmapped) {
    const int id = StringHelper::string2int(field);
    const auto found = map.find(id);
    if (found != map.end()) return StringHelper::int2String(found->second);
    return unmapped == Unmapped::MinusOne ? std::string("-1") : field;
}

// Calls `onField(begin, end)` for every non-empty field of `text` between
// separators, in order; the first field of a group only when `firstOnly`.
template <class OnField>
void forEachField(const std::string& text, char separator, bool firstOnly, OnField onField) {
    std::size_t begin = 0;
    while (begin <= text.size()) {
        std::size_t end = text.find(separator, begin);
        if (end == std::string::npos) end = text.size();
        if (end > begin) {
            onField(begin, end);
            if (firstOnly) return;
        }
        begin = end + 1;
    }
}

// `text` with every field that `pick` chooses replaced through the map.
template <class Pick>
std::string rewriteFields(const std::string& text, Pick pick, const IdentifierMap& map,
                          Unmapped unmapped) {
    std::string out;
    out.reserve(text.size());
    std::size_t copied = 0;
    pick([&](std::size_t begin, std::size_t end) {
        out.append(text, copied, begin - copied);
        out += mapField(text.substr(begin, end - begin), map, unmapped);
        copied = end;
    });
    out.append(text, copied, std::string::npos);
    return out;
}

void mapReference(int kind, int& id, const IdentifierMap* folders, const IdentifierMap* tables,
                  Unmapped unmapped) {
    const IdentifierMap* map = kind == SCENE_KIND_FOLDER  ? folders
                               : kind == SCENE_KIND_TABLE ? tables
                                                          : nullptr;
    if (map != nullptr) id = mapIdentifier(*map, id, unmapped);
}

}  // namespace

int mapIdentifier(const IdentifierMap& map, int id, Unmapped unmapped) {
    const auto found = map.find(id);
    if (found != map.end()) return found->second;
    return unmapped == Unmapped::MinusOne ? -1 : id;
}

std::string rewriteParameterList(const std::string& paraList, const IdentifierMap& columns,
                                 Unmapped unmapped) {
    return rewriteFields(
        paraList,
        [&](const auto& onField) {
            forEachField(paraList, '#', false, [&](std::size_t begin, std::size_t end) {
                const std::string entry = paraList.substr(begin, end - begin);
                forEachField(entry, ',', true,
                             [&](std::size_t b, std::size_t e) { onField(begin + b, begin + e); });
            });
        },
        columns, unmapped);
}

std::string rewriteSortList(const std::string& sortList, const IdentifierMap& columns,
                            Unmapped unmapped) {
    return rewriteFields(
        sortList, [&](const auto& onField) { forEachField(sortList, ',', false, onField); },
        columns, unmapped);
}

void rewriteSceneReferences(M_SceneInfoDAO& scene, const IdentifierMap* folders,
                            const IdentifierMap* tables, Unmapped unmapped) {
    mapReference(scene._sceneType, scene._dataObjectId, folders, tables, unmapped);
    mapReference(scene._parentType, scene._parentID, folders, tables, unmapped);
}

}  // namespace MeridianSpace
