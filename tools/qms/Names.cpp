#include "Names.h"

#include <algorithm>
#include <list>
#include <map>
#include <memory>
#include <vector>

#include "M_R_ModelTableDAO.h"
#include "PtrListHelper.h"
#include "StringHelper.h"

namespace qms {

namespace {

// Takes the one object of `found` that `matches`; throws when the finder's
// answer `read` is a failure (a failed read finds nothing: it says so), and
// when no object or more than one matches. With a `choose` hint the error
// names the identifiers of the matches (for --id).
template <class T, class Match>
T takeOne(const ResultMsg& read, std::list<T*>& found, Match matches, const std::string& what,
          const std::string& name, const std::string& choose = "") {
    PtrListGuard<T> guard(found);
    const std::string named = what + " '" + name + "'";
    check(read, "cannot look up " + named);
    std::vector<T*> chosen;
    for (T* candidate : found) {
        if (matches(*candidate)) chosen.push_back(candidate);
    }
    if (chosen.empty()) throw NotFound("no " + named);
    if (chosen.size() > 1) {
        std::string ids;
        for (const T* candidate : chosen)
            ids += (ids.empty() ? "" : ", ") + std::to_string(candidate->_ID);
        throw Failure(named + " exists " +
                      (chosen.size() == 2 ? "twice" : std::to_string(chosen.size()) + " times") +
                      (choose.empty() ? "" : " (ids " + ids + "; " + choose + ")"));
    }
    return *chosen.front();
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
    return takeOne(read, found, namedExactly<M_ProjectDAO>(wanted), "project", name, "give --id");
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
        "model", name + (version > 0 ? " version " + std::to_string(version) : ""),
        "give --project or --id");
}

M_EntityTableDAO findTable(M_EntityModelDAO& model, const std::string& name) {
    const std::string wanted = gbk(name);
    std::list<M_EntityTableDAO*> found;
    const ResultMsg read = model.getEntityTableList(found);
    return takeOne(read, found, namedExactly<M_EntityTableDAO>(wanted), "table", name);
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
        walked += (walked.empty() ? "" : "/") + utf8(piece);
        std::list<M_FolderDAO*> found;
        const ResultMsg read = parent == 0
                                   ? M_FolderDAO::FindRootFolderByEntityModelID(model._ID, found)
                                   : M_FolderDAO::FindByParentFolderID(parent, found);
        folder = takeOne(read, found, namedExactly<M_FolderDAO>(piece), "folder", walked);
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
    return takeOne(read, found, namedExactly<M_NormalColumnDAO>(wanted), "column", name);
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
