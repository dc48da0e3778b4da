#include "Lookup.h"

#include <algorithm>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <type_traits>
#include <vector>

#include "M_R_ModelTableDAO.h"
#include "PtrListHelper.h"
#include "QmsSelfDescription.h"
#include "StringHelper.h"
#include "Suggest.h"

namespace qms {

namespace {

// What a lookup by name looks for, as its messages name it.
struct Wanted {
    std::string what;    // "project"
    std::string name;    // as typed (UTF-8)
    std::string detail;  // after the name in messages: " version 2"
    std::string choose;  // the hint when several match: "give --id"
    // The names to suggest from when nothing matches; unset: the names of
    // what the finder answered.
    std::function<std::vector<std::string>()> known;
};

// Takes the one object of `found` that `matches`; throws when the finder's
// answer `read` is a failure (a failed read finds nothing: it says so), and
// when no object or more than one matches. With a `choose` hint the error
// names the identifiers of the matches (for --id).
template <class T, class Match>
T takeOne(const ResultMsg& read, std::list<T*>& found, Match matches, const Wanted& wanted) {
    PtrListGuard<T> guard(found);
    const std::string named = wanted.what + " '" + wanted.name + wanted.detail + "'";
    check(read, "cannot look up " + named);
    std::vector<T*> chosen;
    for (T* candidate : found) {
        if (matches(*candidate)) chosen.push_back(candidate);
    }
    if (chosen.empty()) {
        std::vector<std::string> names;
        if (wanted.known) {
            names = wanted.known();
        } else {
            for (const T* candidate : found)
                names.push_back(utf8(candidate->_name));
        }
        throw NotFound("no " + named + didYouMean(wanted.name, names));
    }
    if (chosen.size() > 1) {
        std::string ids;
        for (const T* candidate : chosen)
            ids += (ids.empty() ? "" : ", ") + std::to_string(candidate->_ID);
        throw Failure(named + " exists " +
                      (chosen.size() == 2 ? "twice" : std::to_string(chosen.size()) + " times") +
                      (wanted.choose.empty() ? "" : " (ids " + ids + "; " + wanted.choose + ")"));
    }
    return *chosen.front();
}

// The names of all records of a kind, each once, for suggestions; none
// when they cannot be read (the lookup has failed already).
template <class T>
std::vector<std::string> allNames(int projectID = 0) {
    std::list<T*> all;
    PtrListGuard<T> guard(all);
    std::vector<std::string> names;
    if (!T::FindAll(all).ok()) return names;
    for (const T* record : all) {
        if constexpr (std::is_same_v<T, M_EntityModelDAO>) {
            if (projectID > 0 && record->_rProjectID != projectID) continue;
        }
        const std::string name = utf8(record->_name);
        if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    }
    return names;
}

// The record with identifier `id`.
template <class T>
T takeByID(int id, const std::string& what) {
    T* raw = nullptr;
    const ResultMsg rm = T::FindByID(id, raw);
    std::unique_ptr<T> found(raw);
    const std::string named = what + " with id " + std::to_string(id);
    check(rm, "cannot look up " + named);
    if (!found) throw NotFound("no " + named);
    return *found;
}

// The finders by name match by `like`, which also takes other names ('_'
// and '%' stand for any text, ASCII case is ignored): a record is named
// `wanted` (GBK) only when its name is exactly that.
template <class T>
auto namedExactly(const std::string& wanted) {
    return [&wanted](const T& record) { return record._name == wanted; };
}

}  // namespace

M_ProjectDAO findProject(const std::string& name, int id) {
    if (id > 0) return takeByID<M_ProjectDAO>(id, "project");
    const std::string wanted = gbk(name);
    std::list<M_ProjectDAO*> found;
    const ResultMsg read = M_ProjectDAO::FindByName(wanted, found);
    return takeOne(
        read, found, namedExactly<M_ProjectDAO>(wanted),
        Wanted{"project", name, "", "give --id", [] { return allNames<M_ProjectDAO>(); }});
}

bool projectExists(const std::string& name) {
    const std::string wanted = gbk(name);
    std::list<M_ProjectDAO*> found;
    PtrListGuard<M_ProjectDAO> guard(found);
    check(M_ProjectDAO::FindByName(wanted, found), "cannot look up project '" + name + "'");
    const auto named = namedExactly<M_ProjectDAO>(wanted);
    return std::any_of(found.begin(), found.end(),
                       [&](const M_ProjectDAO* p) { return named(*p); });
}

M_EntityModelDAO findModel(const std::string& name, const std::string& project, int version,
                           int id) {
    if (id > 0) return takeByID<M_EntityModelDAO>(id, "model");
    const std::string wanted = gbk(name);
    const int projectID = project.empty() ? 0 : findProject(project)._ID;
    std::list<M_EntityModelDAO*> found;
    const ResultMsg read = projectID > 0
                               ? M_EntityModelDAO::FindByRProjectIDAndName(projectID, wanted, found)
                               : M_EntityModelDAO::FindByName(wanted, found);
    // The highest version of each project's model of that name, or the
    // version asked for (takeOne reports a failed read).
    const auto named = namedExactly<M_EntityModelDAO>(wanted);
    std::map<int, int> chosenVersion;
    for (const M_EntityModelDAO* m : found) {
        if (!named(*m)) continue;
        int& v = chosenVersion[m->_rProjectID];
        if (version > 0 ? m->_version == version : m->_version > v) v = m->_version;
    }
    return takeOne(
        read, found,
        [&](const M_EntityModelDAO& m) {
            const auto v = chosenVersion.find(m._rProjectID);
            return named(m) && v != chosenVersion.end() && v->second == m._version;
        },
        Wanted{"model", name, version > 0 ? " version " + std::to_string(version) : "",
               "give --project or --id", [&] {
                   // A model of that name without the version asked for
                   // is no typing error.
                   return chosenVersion.empty() ? allNames<M_EntityModelDAO>(projectID)
                                                : std::vector<std::string>();
               }});
}

M_EntityTableDAO findTable(M_EntityModelDAO& model, const std::string& name) {
    const std::string wanted = gbk(name);
    std::list<M_EntityTableDAO*> found;
    const ResultMsg read = model.getEntityTableList(found);
    return takeOne(read, found, namedExactly<M_EntityTableDAO>(wanted),
                   Wanted{"table", name, "", "", nullptr});
}

M_EntityTableDAO findTableByID(M_EntityModelDAO& model, int id) {
    const std::string named = "table with id " + std::to_string(id) + " in model '" +
                              utf8(model._name) + "' version " + std::to_string(model._version);
    M_R_ModelTableDAO* raw = nullptr;
    const ResultMsg read = M_R_ModelTableDAO::FindByModelIDAndTableID(model._ID, id, raw);
    const std::unique_ptr<M_R_ModelTableDAO> link(raw);
    check(read, "cannot look up " + named);
    // A link may outlive its table, or name one outside the version.
    const M_EntityTableDAO table =
        link ? takeByID<M_EntityTableDAO>(id, "table") : M_EntityTableDAO();
    if (!link || table._addVersion > model._version || table._delVersion <= model._version)
        throw NotFound("no " + named);
    return table;
}

M_FolderDAO findFolder(M_EntityModelDAO& model, const std::string& path) {
    int parent = 0;
    M_FolderDAO folder;
    std::string walked;
    for (const std::string& piece : StringHelper::splitString(gbk(path), "/")) {
        const std::string parentPath = walked.empty() ? "" : walked + "/";
        walked = parentPath + utf8(piece);
        std::list<M_FolderDAO*> found;
        const ResultMsg read = parent == 0
                                   ? M_FolderDAO::FindRootFolderByEntityModelID(model._ID, found)
                                   : M_FolderDAO::FindByParentFolderID(parent, found);
        const auto siblings = [&] {
            std::vector<std::string> paths;
            for (const M_FolderDAO* sibling : found)
                paths.push_back(parentPath + utf8(sibling->_name));
            return paths;
        };
        folder = takeOne(read, found, namedExactly<M_FolderDAO>(piece),
                         Wanted{"folder", walked, "", "", siblings});
        parent = folder._ID;
    }
    if (parent == 0) throw UsageError("empty folder path");
    return folder;
}

M_NormalColumnDAO findColumn(M_EntityModelDAO& model, M_EntityTableDAO& table,
                             const std::string& name) {
    const std::string wanted = gbk(name);
    std::list<M_NormalColumnDAO*> found;
    const ResultMsg read = table.getNormalColumnDAOList(&model, found);
    return takeOne(read, found, namedExactly<M_NormalColumnDAO>(wanted),
                   Wanted{"column", name, "", "", nullptr});
}

M_FolderDAO findFolderByID(const M_EntityModelDAO& model, int id) {
    const std::string named = "folder with id " + std::to_string(id) + " in model '" +
                              utf8(model._name) + "' version " + std::to_string(model._version);
    M_FolderDAO* raw = nullptr;
    const ResultMsg read = M_FolderDAO::FindByID(id, raw);
    const std::unique_ptr<M_FolderDAO> folder(raw);
    check(read, "cannot look up " + named);
    if (!folder || folder->_t_M_EntityModelID != model._ID) throw NotFound("no " + named);
    return *folder;
}

M_NormalColumnDAO findColumnByID(M_EntityModelDAO& model, M_EntityTableDAO& table, int id) {
    const std::string named =
        "column with id " + std::to_string(id) + " in table '" + utf8(table._name) + "'";
    std::list<M_NormalColumnDAO*> found;
    PtrListGuard<M_NormalColumnDAO> guard(found);
    check(table.getNormalColumnDAOList(&model, found), "cannot look up " + named);
    for (const M_NormalColumnDAO* column : found)
        if (column->_ID == id) return *column;
    throw NotFound("no " + named);
}

bool isPlatformProject(const std::string& name) {
    return name == QmsSelfDescription::platformProjectName();
}

int dataTypeOf(const std::string& name) {
    static const std::map<std::string, int> types = {
        {"int", 1}, {"text", 2}, {"real", 3}, {"bytes", 4}, {"blob", 5}};
    const auto found = types.find(name);
    if (found == types.end())
        throw UsageError("unknown column type '" + name + "' (int, text, real, bytes, blob)");
    return found->second;
}

std::string dataTypeName(int dataType) {
    switch (dataType) {
        case 1:
            return "int";
        case 2:
            return "text";
        case 3:
            return "real";
        case 4:
            return "bytes";
        case 5:
            return "blob";
        default:
            return std::to_string(dataType);
    }
}

}  // namespace qms
