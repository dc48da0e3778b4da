// The JSON API of qms serve. Paths name records by identifier; answers have
// the shapes of `qms ... --json` (RecordJson.h) where both exist.
#include "Api.h"

#include <algorithm>
#include <charconv>
#include <list>
#include <memory>
#include <vector>

#include "BoxBody.h"
#include "ModelCache.h"
#include "Names.h"
#include "PtrListHelper.h"
#include "RecordJson.h"
#include "diagram/Diagram.h"

namespace qms::serve {

namespace {

using Request = httplib::Request;

// The identifier in group `index` of the route's pattern.
int idAt(const Request& request, std::size_t index) {
    const std::string text = request.matches[index];
    int id = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), id);
    if (error != std::errc() || end != text.data() + text.size() || id < 1)
        throw HttpError(404, "no record with id " + text);
    return id;
}

M_EntityModelDAO modelAt(const Request& request) {
    return findModel("", "", 0, idAt(request, 1));
}

// The versions of the model's name in its project, lowest first.
Json versionsOf(const M_EntityModelDAO& model) {
    std::list<M_EntityModelDAO*> found;
    PtrListGuard<M_EntityModelDAO> guard(found);
    check(M_EntityModelDAO::FindByRProjectIDAndName(model._rProjectID, model._name, found),
          "cannot list the versions of model '" + utf8(model._name) + "'");
    std::vector<const M_EntityModelDAO*> versions;
    for (const M_EntityModelDAO* m : found) {
        if (m->_name == model._name) versions.push_back(m);  // the finder matches by like
    }
    std::sort(versions.begin(), versions.end(),
              [](const auto* l, const auto* r) { return l->_version < r->_version; });
    Json out = Json::array();
    for (const M_EntityModelDAO* m : versions)
        out.push_back(
            {{"id", m->_ID}, {"version", m->_version}, {"locked", m->_isVersionLocked == 1}});
    return out;
}

// The model version with its folder tree (as qms model show --json), its
// project's identifier, its versions, and what its picture shows.
Json modelJson(M_EntityModelDAO& model, const diagram::Diagram& picture) {
    Json out = modelDetailJson(model);
    out["projectId"] = model._rProjectID;
    out["versions"] = versionsOf(model);
    out["diagram"] = diagram::diagramJson(picture);
    return out;
}

std::string modelAnswer(M_EntityModelDAO& model, const diagram::Diagram& picture) {
    return jsonText(modelJson(model, picture));
}

// The version that the query parameter `name` names for a comparison with
// `model` (0 when absent): a stored version of the same model.
int otherVersion(const Request& request, const M_EntityModelDAO& model, const char* name) {
    if (!request.has_param(name)) return 0;
    const std::string text = request.get_param_value(name);
    int version = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), version);
    if (error != std::errc() || end != text.data() + text.size() || version < 1)
        throw HttpError(400, std::string("?") + name + "= takes a version number from 1");
    std::list<M_EntityModelDAO*> found;
    PtrListGuard<M_EntityModelDAO> guard(found);
    check(M_EntityModelDAO::FindByRProjectIDAndNameAndVersion(model._rProjectID, model._name,
                                                              version, found),
          "cannot read the versions of model '" + utf8(model._name) + "'");
    if (found.empty())
        throw HttpError(404, "model '" + utf8(model._name) + "' has no version " + text);
    return version;
}

// The picture of a model version and, with ?compare=V, what differs in it
// from version V (the ended tables and columns drawn too).
struct Picture {
    std::shared_ptr<const diagram::Diagram> diagram;
    diagram::Changes changes;
    int compared = 0;
};

Picture pictureOf(ModelCache& cache, M_EntityModelDAO& model, const Request& request) {
    Picture out{cache.get(model).diagram, {}, otherVersion(request, model, "compare")};
    if (out.compared == 0) return out;
    auto compared = std::make_shared<diagram::Diagram>(*out.diagram);
    out.changes = diagram::compareWith(model, out.compared, *compared);
    out.diagram = std::move(compared);
    return out;
}

Reply saveBox(const Request& request) {
    diagram::Box box;
    const std::string problem = boxFromBody(request.body, box);
    if (!problem.empty()) throw HttpError(400, problem);
    M_EntityModelDAO model = modelAt(request);
    M_EntityTableDAO table = findTableByID(model, idAt(request, 2));
    // Moving boxes is no change of the model: the project keeps its time.
    diagram::saveTableBox(model, table, box);
    return jsonReply(
        {{"table", table._ID}, {"x", box.x}, {"y", box.y}, {"width", box.w}, {"height", box.h}});
}

}  // namespace

void addApi(WebServer& server, const Options& options) {
    const Json info = {{"config", location(options.config)},
                       {"work", location(options.work)},
                       {"readOnly", server.options().readOnly}};
    server.get("/api/info", [info](const Request&) { return jsonReply(info); });
    server.get("/api/projects", [](const Request&) {
        std::list<M_ProjectDAO*> projects;
        PtrListGuard<M_ProjectDAO> guard(projects);
        check(M_ProjectDAO::FindAll(projects), "cannot list the projects");
        Json out = Json::array();
        for (const M_ProjectDAO* project : projects)
            out.push_back(projectJson(*project));
        return jsonReply(out);
    });
    server.get(R"(/api/projects/(\d+))", [](const Request& request) {
        M_ProjectDAO project = findProject("", idAt(request, 1));
        return jsonReply(projectDetailJson(project));
    });
    server.get("/api/models", [](const Request&) {
        std::list<M_EntityModelDAO*> models;
        PtrListGuard<M_EntityModelDAO> guard(models);
        check(M_EntityModelDAO::FindAll(models), "cannot list the models");
        return jsonReply(modelsJson(models));
    });
    auto cache = std::make_shared<ModelCache>(modelAnswer);
    // ?compare=V: the picture marks what differs from version V ("changes":
    // diagram::changesJson), as qms diagram --diff V draws it.
    server.get(R"(/api/models/(\d+))", [cache](const Request& request) {
        M_EntityModelDAO model = modelAt(request);
        if (!request.has_param("compare")) return Reply{cache->get(model).answer};
        const Picture picture = pictureOf(*cache, model, request);
        Json out = modelJson(model, *picture.diagram);
        out["compare"] = picture.compared;
        out["changes"] = diagram::changesJson(picture.changes);
        return jsonReply(out);
    });
    server.get(R"(/api/models/(\d+)/layout)", [cache](const Request& request) {
        M_EntityModelDAO model = modelAt(request);
        const Picture picture = pictureOf(*cache, model, request);
        return jsonReply(diagram::layoutJson(diagram::layOut(*picture.diagram, model)));
    });
    server.get(R"(/api/models/(\d+)/diagram\.svg)", [cache](const Request& request) {
        M_EntityModelDAO model = modelAt(request);
        const Picture picture = pictureOf(*cache, model, request);
        return Reply{diagram::renderSvg(*picture.diagram, diagram::layOut(*picture.diagram, model),
                                        picture.changes),
                     "image/svg+xml"};
    });
    // The changes from version ?from=V to this one, as qms model diff --json.
    server.get(R"(/api/models/(\d+)/diff)", [](const Request& request) {
        M_EntityModelDAO model = modelAt(request);
        const int from = otherVersion(request, model, "from");
        if (from == 0) throw HttpError(400, "?from= names the version to compare with");
        std::vector<ModelChange> changes;
        check(ModelDiff::between(model, from, model._version, changes),
              "cannot compare the versions of '" + utf8(model._name) + "'");
        return jsonReply(modelDiffJson(model, from, model._version, changes));
    });
    server.get(R"(/api/models/(\d+)/tables/(\d+))", [](const Request& request) {
        M_EntityModelDAO model = modelAt(request);
        M_EntityTableDAO table = findTableByID(model, idAt(request, 2));
        return jsonReply(tableJson(model, table));
    });
    server.put(R"(/api/models/(\d+)/tables/(\d+)/box)", saveBox);
}

}  // namespace qms::serve
