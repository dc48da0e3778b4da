#include "ModelVersions.h"

#include <set>

#include "M_DelByInterfaceDAO.h"
#include "M_FolderDAO.h"
#include "ModelFileAttributes.h"
#include "PtrListHelper.h"
#include "StringHelper.h"

namespace MeridianSpace {

ResultMsg findVersionRecord(const M_EntityModelDAO& model, int version, M_EntityModelDAO& out) {
    std::list<M_EntityModelDAO*> records;
    PtrListGuard<M_EntityModelDAO> own(records);
    ResultMsg rm =
        M_EntityModelDAO::FindByRProjectIDAndName(model._rProjectID, model._name, records);
    if (!rm.ok()) return rm;
    const M_EntityModelDAO* found = nullptr;
    for (const M_EntityModelDAO* record : records) {
        const bool wanted = version > 0 ? record->_version == version
                                        : found == nullptr || record->_version > found->_version;
        if (wanted) found = record;
    }
    if (found == nullptr) {
        return ResultMsg(RUN_FAIL, "数据模型" + model._name + "没有版本" +
                                       StringHelper::int2String(version) + "。");
    }
    out = *found;
    return rm;
}

namespace {

// Moves `found` into `out` in the order the folders were made, each under
// `parent`; a folder met before (a damaged tree that loops) is left out.
void append(std::list<M_FolderDAO*>& found, int parent, std::set<int>& seen,
            std::vector<FolderAt>& out) {
    found.sort([](const M_FolderDAO* a, const M_FolderDAO* b) { return a->_ID < b->_ID; });
    for (M_FolderDAO*& folder : found) {
        if (!seen.insert(folder->_ID).second) continue;
        FolderAt entry;
        entry.path = childPath(parent < 0 ? "" : out[parent].path, folder->_name);
        entry.folder.reset(folder);
        folder = nullptr;
        entry.parent = parent;
        out.push_back(std::move(entry));
    }
    T_deletePtrList(found);
}

}  // namespace

ResultMsg listFolders(int modelID, std::vector<FolderAt>& out) {
    std::list<M_FolderDAO*> found;
    PtrListGuard<M_FolderDAO> own(found);
    std::set<int> seen;
    ResultMsg rm = M_FolderDAO::FindRootFolderByEntityModelID(modelID, found);
    for (std::size_t parent = 0; rm.ok(); ++parent) {
        append(found, parent == 0 ? -1 : static_cast<int>(parent) - 1, seen, out);
        if (parent >= out.size()) break;
        rm = M_FolderDAO::FindByParentFolderID(out[parent].folder->_ID, found);
    }
    return rm;
}

std::string childPath(const std::string& parent, const std::string& name) {
    return parent.empty() ? name : parent + "/" + name;
}

}  // namespace MeridianSpace

namespace MeridianSpace {

namespace {

template <class Definition>
DefinitionDescription describeCommon(const Definition& stored,
                                     const std::map<int, std::string>& columnNames) {
    DefinitionDescription definition;
    definition.record._name = stored._name;
    definition.record._description = stored._description;
    definition.record._type = stored._type;
    definition.record._bExport = stored._bExport;
    for (const std::string& entry : StringHelper::splitString(stored._paraList, "#")) {
        const std::vector<std::string> fields = StringHelper::splitString(entry, ",");
        if (fields.empty()) continue;
        const auto column = columnNames.find(StringHelper::string2int(fields.front()));
        if (column == columnNames.end()) continue;
        ParameterDescription parameter;
        parameter.column = column->second;
        parameter.fields.assign(fields.begin() + 1, fields.end());
        definition.parameters.push_back(std::move(parameter));
    }
    return definition;
}

}  // namespace

DefinitionDescription describeDefinition(const M_FindByInterfaceDAO& stored,
                                         const std::map<int, std::string>& columnNames) {
    DefinitionDescription definition = describeCommon(stored, columnNames);
    definition.record._sortType = stored._sortType;
    for (const std::string& id : StringHelper::splitString(stored._sortAttributeList, ",")) {
        const auto column = columnNames.find(StringHelper::string2int(id));
        if (column != columnNames.end()) definition.sort.push_back(column->second);
    }
    return definition;
}

bool sameDefinition(const DefinitionDescription& a, const DefinitionDescription& b) {
    if (!sameAttributes(definitionAttributes(), a.record, b.record) || a.sort != b.sort ||
        a.parameters.size() != b.parameters.size())
        return false;
    for (std::size_t i = 0; i < a.parameters.size(); ++i) {
        if (a.parameters[i].column != b.parameters[i].column ||
            a.parameters[i].fields != b.parameters[i].fields)
            return false;
    }
    return true;
}

DefinitionDescription describeDefinition(const M_DelByInterfaceDAO& stored,
                                         const std::map<int, std::string>& columnNames) {
    return describeCommon(stored, columnNames);
}

}  // namespace MeridianSpace
