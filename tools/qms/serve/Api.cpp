// The JSON API of qms serve. Paths name records by identifier; answers have
// the shapes of `qms ... --json` (RecordJson.h) where both exist.
#include "Api.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <list>
#include <memory>
#include <vector>

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

int wholeNumber(const Json& body, const char* name) {
    const auto field = body.find(name);
    if (field == body.end() || !field->is_number_integer() ||
        field->get<long long>() < std::numeric_limits<int>::min() ||
        field->get<long long>() > std::numeric_limits<int>::max())
        throw HttpError(400, std::string("the body needs a whole number \"") + name + "\"");
    return field->get<int>();
}

// {"x": .., "y": .., "width": .., "height": ..}
diagram::Box boxOf(const std::string& body) {
    const Json json = Json::parse(body, nullptr, false);
    if (json.is_discarded() || !json.is_object())
        throw HttpError(400, "the body is no JSON object");
    const diagram::Box box{wholeNumber(json, "x"), wholeNumber(json, "y"),
                           wholeNumber(json, "width"), wholeNumber(json, "height")};
    const std::string problem = diagram::boxProblem(box);
    if (!problem.empty()) throw HttpError(400, problem);
    return box;
}

// The model version with its folder tree (as qms model show --json), its
// project's identifier, its versions, and what its picture shows. (An
// answer that compares two versions adds "changes": diagram::changesJson.)
std::string modelAnswer(M_EntityModelDAO& model, const diagram::Diagram& picture) {
    Json out = modelDetailJson(model);
    out["projectId"] = model._rProjectID;
    out["versions"] = versionsOf(model);
    out["diagram"] = diagram::diagramJson(picture);
    return jsonText(out);
}

Reply saveBox(const Request& request) {
    const diagram::Box box = boxOf(request.body);
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
    server.get(R"(/api/models/(\d+))", [cache](const Request& request) {
        M_EntityModelDAO model = modelAt(request);
        return Reply{cache->get(model).answer};
    });
    server.get(R"(/api/models/(\d+)/layout)", [cache](const Request& request) {
        M_EntityModelDAO model = modelAt(request);
        return jsonReply(diagram::layoutJson(diagram::layOut(*cache->get(model).diagram, model)));
    });
    server.get(R"(/api/models/(\d+)/diagram\.svg)", [cache](const Request& request) {
        M_EntityModelDAO model = modelAt(request);
        const auto picture = cache->get(model).diagram;
        return Reply{diagram::renderSvg(*picture, diagram::layOut(*picture, model)),
                     "image/svg+xml"};
    });
    server.get(R"(/api/models/(\d+)/tables/(\d+))", [](const Request& request) {
        M_EntityModelDAO model = modelAt(request);
        M_EntityTableDAO table = findTableByID(model, idAt(request, 2));
        return jsonReply(tableJson(model, table));
    });
    server.put(R"(/api/models/(\d+)/tables/(\d+)/box)", saveBox);
}

}  // namespace qms::serve
