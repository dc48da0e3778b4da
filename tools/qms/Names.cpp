#include "Names.h"

#include <list>
#include <map>
#include <memory>
#include <vector>

#include "PtrListHelper.h"
#include "StringHelper.h"

namespace qms {

namespace {

// Takes the one object of `found` that `matches`; throws when there is
// none or more than one. With a `choose` hint the error names the
// identifiers of the matches (for --id).
template <class T, class Match>
T takeOne(std::list<T*>& found, Match matches, const std::string& what, const std::string& name,
          const std::string& choose = "") {
    PtrListGuard<T> guard(found);
    std::vector<T*> chosen;
    for (T* candidate : found) {
        if (matches(*candidate)) chosen.push_back(candidate);
    }
    const std::string named = what + " '" + name + "'";
    if (chosen.empty()) throw Failure("no " + named);
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
    if (!found) {
        throw Failure("no " + what + " with id " + std::to_string(id) +
                      (rm.ok() ? "" : ": " + utf8(rm.rMsg)));
    }
    return *found;
}

}  // namespace

M_ProjectDAO findProject(const std::string& name, int id) {
    if (id > 0) return takeByID<M_ProjectDAO>(id, "project");
    const std::string wanted = gbk(name);
    std::list<M_ProjectDAO*> found;
    check(M_ProjectDAO::FindAll(found), "cannot list the projects");
    return takeOne(
        found, [&](const M_ProjectDAO& p) { return p._name == wanted; }, "project", name,
        "give --id");
}

M_EntityModelDAO findModel(const std::string& name, const std::string& project, int version,
                           int id) {
    if (id > 0) return takeByID<M_EntityModelDAO>(id, "model");
    const std::string wanted = gbk(name);
    int projectID = 0;
    if (!project.empty()) projectID = findProject(project)._ID;
    std::list<M_EntityModelDAO*> found;
    check(M_EntityModelDAO::FindAll(found), "cannot list the models");
    // The highest version of each project's model of that name, or the
    // version asked for.
    std::map<int, int> chosenVersion;
    for (const M_EntityModelDAO* m : found) {
        if (m->_name != wanted || (projectID > 0 && m->_rProjectID != projectID)) continue;
        int& v = chosenVersion[m->_rProjectID];
        if (version > 0 ? m->_version == version : m->_version > v) v = m->_version;
    }
    return takeOne(
        found,
        [&](const M_EntityModelDAO& m) {
            if (m._name != wanted || (projectID > 0 && m._rProjectID != projectID)) return false;
            const auto v = chosenVersion.find(m._rProjectID);
            return v != chosenVersion.end() && v->second == m._version;
        },
        "model", name + (version > 0 ? " version " + std::to_string(version) : ""),
        "give --project or --id");
}

M_EntityTableDAO findTable(M_EntityModelDAO& model, const std::string& name) {
    const std::string wanted = gbk(name);
    std::list<M_EntityTableDAO*> found;
    check(model.getEntityTableList(found), "cannot list the tables");
    return takeOne(
        found, [&](const M_EntityTableDAO& t) { return t._name == wanted; }, "table", name);
}

M_FolderDAO findFolder(M_EntityModelDAO& model, const std::string& path) {
    int parent = 0;
    M_FolderDAO folder;
    std::string walked;
    for (const std::string& piece : StringHelper::splitString(gbk(path), "/")) {
        std::list<M_FolderDAO*> found;
        check(parent == 0 ? M_FolderDAO::FindRootFolderByEntityModelID(model._ID, found)
                          : M_FolderDAO::FindByParentFolderID(parent, found),
              "cannot list the folders");
        walked += (walked.empty() ? "" : "/") + utf8(piece);
        folder = takeOne(
            found, [&](const M_FolderDAO& f) { return f._name == piece; }, "folder", walked);
        parent = folder._ID;
    }
    if (parent == 0) throw UsageError("empty folder path");
    return folder;
}

M_NormalColumnDAO findColumn(M_EntityModelDAO& model, M_EntityTableDAO& table,
                             const std::string& name) {
    const std::string wanted = gbk(name);
    std::list<M_NormalColumnDAO*> found;
    check(table.getNormalColumnDAOList(&model, found), "cannot list the columns");
    return takeOne(
        found, [&](const M_NormalColumnDAO& c) { return c._name == wanted; }, "column", name);
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
