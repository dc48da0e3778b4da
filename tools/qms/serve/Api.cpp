// The JSON API of qms serve. Paths name records by identifier; answers have
// the shapes of `qms ... --json` (RecordJson.h) where both exist.
#include "Api.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <limits>
#include <list>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "BoxBody.h"
#include "Lookup.h"
#include "ModelCache.h"
#include "PtrListHelper.h"
#include "RecordJson.h"
#include "diagram/Diagram.h"

namespace qms::serve {

namespace {

using View = ModelCache::View;
constexpr const char* kJson = "application/json; charset=utf-8";
constexpr const char* kSvg = "image/svg+xml";

// The identifier in group `index` of the route's pattern.
int idAt(const Request& request, std::size_t index) {
    const std::string& text = request.matches.at(index);
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

// A version number from 1 in `text`.
bool versionNumber(const std::string& text, int& version) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), version);
    return error == std::errc() && end == text.data() + text.size() && version >= 1;
}

// The version that the query parameter `name` names for a comparison with
// `model` (0 when absent): a stored version of the same model.
int otherVersion(const Request& request, const M_EntityModelDAO& model, const char* name) {
    if (!request.hasParam(name)) return 0;
    const std::string text = request.param(name);
    int version = 0;
    if (!versionNumber(text, version))
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

// The records of a model version: those kept while nothing changed, else
// those kept read again where the model changed since (only the tables
// that changed), else all read anew; kept for the next change. When read
// again, the records they were read from and the tables changed go to
// `before` and `changed`.
std::shared_ptr<const ModelVersionRecords> currentRecords(
    ModelCache& cache, const M_EntityModelDAO& model,
    std::shared_ptr<const ModelVersionRecords>* before = nullptr,
    std::set<int>* changed = nullptr) {
    std::set<int> tables;
    bool stale = false;
    const std::shared_ptr<const ModelVersionRecords> kept =
        cache.takeRecords(model._ID, tables, stale);
    if (kept && !stale) return kept;
    auto records = std::make_shared<ModelVersionRecords>();
    try {
        // The picture and the folder tree use only the drawn members.
        check(kept ? ModelVersionRecords::readAgain(model._ID, *kept, tables, *records,
                                                    ColumnMembers::Drawn)
                   : ModelVersionRecords::read(model._ID, *records, ColumnMembers::Drawn),
              "cannot read model '" + utf8(model._name) + "'");
    } catch (...) {
        cache.dropRecords(model._ID);  // what changed since is not known any more
        throw;
    }
    cache.keepRecords(model._ID, records);
    if (before != nullptr && changed != nullptr) {
        *before = kept;
        changed->swap(tables);
    }
    return records;
}

// The picture of a model version and, compared with version `compared`
// (0: none), what differs in it from that version (the ended tables and
// columns drawn too). The version's records when they had to be read.
struct Picture {
    std::shared_ptr<const diagram::Diagram> diagram;
    std::uint64_t serial = 0;  // of the model's own picture kept (ModelCache), else 0
    diagram::Changes changes;
    ModelCache* cache = nullptr;
    mutable std::shared_ptr<const ModelVersionRecords> records;

    const ModelVersionRecords& recordsOf(const M_EntityModelDAO& model) const {
        if (!records) records = currentRecords(*cache, model);
        return *records;
    }
};

Picture pictureOf(ModelCache& cache, M_EntityModelDAO& model, int compared) {
    Picture out;
    out.cache = &cache;
    out.diagram = cache.diagram(model._ID, &out.serial);
    if (!out.diagram) {
        // The tables that did not change since the last picture come from
        // it when the records were read again from those it was made of.
        std::shared_ptr<const ModelVersionRecords> before, madeOf;
        std::set<int> changed;
        out.records = currentRecords(cache, model, &before, &changed);
        const auto last = cache.lastDiagram(model._ID, &madeOf);
        const bool keeps = last && before && before == madeOf &&
                           out.records->model._type != ENTITY_MODEL_TYPE_DICTIONARY;
        out.diagram = std::make_shared<const diagram::Diagram>(
            diagram::readDiagram(*out.records, keeps ? last.get() : nullptr, changed));
        out.serial = cache.keepDiagram(model._ID, out.diagram, out.records);
    }
    if (compared == 0) return out;
    auto withOther = std::make_shared<diagram::Diagram>(*out.diagram);
    out.changes = diagram::compareWith(model, compared, *withOther);
    out.diagram = std::move(withOther);
    out.serial = 0;
    return out;
}

// Where the picture's boxes stand and its arrows run: the model's layout
// while nothing changed since it was made, else laid out again where only
// the arrows a change touched are routed anew (diagram::routeLayout), from
// the last layout of the model's own version, which is kept for the next.
// Its serial in `serial` (0 when not kept).
std::shared_ptr<const diagram::Layout> layoutOf(ModelCache& cache, M_EntityModelDAO& model,
                                                const Picture& picture, int compared,
                                                std::uint64_t& serial) {
    serial = 0;
    const std::shared_ptr<const diagram::Layout> before = cache.layout(model._ID, &serial);
    if (compared == 0 && before && serial != 0) return before;
    serial = 0;
    auto layout = std::make_shared<const diagram::Layout>(
        diagram::layOut(*picture.diagram, model, before.get()));
    if (compared == 0) serial = cache.keepLayout(model._ID, layout);
    return layout;
}

// The model version with its folder tree (as qms model show --json), its
// project's identifier and its versions: the text of a JSON object
// without its closing brace, where the answers of GET /api/models/ID add
// the picture. Kept while the model's structure stays.
std::shared_ptr<const std::string> headOf(ModelCache& cache, M_EntityModelDAO& model,
                                          const Picture& picture) {
    const ModelCache::Key key{model._ID, View::Head, 0};
    if (auto kept = cache.answer(key)) return kept;
    Json out = modelDetailJson(picture.recordsOf(model), true);
    out["projectId"] = model._rProjectID;
    out["versions"] = versionsOf(model);
    std::string text = jsonText(out);
    text.erase(text.size() - 2);  // "}\n"
    auto head = std::make_shared<const std::string>(std::move(text));
    cache.keepAnswer(key, head);
    return head;
}

// One answer about a model version: its text and the serial of the
// snapshot it shows (0: none). With `since` (0: none), a snapshot of the
// model the cache still holds, only what differs from it; nullopt when
// it holds no more.
struct Made {
    std::string text;
    std::uint64_t serial = 0;
};
using Make = std::function<std::optional<Made>(ModelCache&, M_EntityModelDAO&, const Picture&,
                                               int compared, std::uint64_t since)>;

// The model version, its picture ("diagram": diagram::appendDiagramJson)
// and, compared with another version, that version ("compare") and what
// differs ("changes"). ?since=: the picture's tables that differ, and the
// ids of those removed ("removed").
std::optional<Made> modelAnswer(ModelCache& cache, M_EntityModelDAO& model, const Picture& picture,
                                int compared, std::uint64_t since) {
    std::shared_ptr<const diagram::Diagram> before;
    if (since != 0) {
        before = cache.diagramAt(model._ID, since);
        if (!before || picture.serial == 0) return std::nullopt;
    }
    Made out{*headOf(cache, model, picture), picture.serial};
    if (before) {
        out.text += ",\"since\":" + std::to_string(since) + ",\"diagram\":";
        diagram::appendDiagramDeltaJson(*before, *picture.diagram, out.text);
    } else {
        out.text += ",\"diagram\":";
        diagram::appendDiagramJson(*picture.diagram, out.text);
    }
    if (compared != 0) {
        const std::string changed = jsonText(diagram::changesJson(picture.changes));
        out.text += ",\"compare\":" + std::to_string(compared) + ",\"changes\":";
        out.text.append(changed, 0, changed.size() - 1);
    }
    out.text += "}\n";
    return out;
}

std::optional<Made> layoutAnswer(ModelCache& cache, M_EntityModelDAO& model, const Picture& picture,
                                 int compared, std::uint64_t since) {
    Made out;
    const auto layout = layoutOf(cache, model, picture, compared, out.serial);
    if (since == 0) {
        diagram::appendLayoutJson(*layout, out.text);
        out.text += "\n";
        return out;
    }
    const auto before = cache.layoutAt(model._ID, since);
    if (!before || out.serial == 0) return std::nullopt;
    out.text = "{\"since\":" + std::to_string(since) + ",";
    diagram::appendLayoutDeltaFields(*before, *layout, out.text);
    out.text += "}\n";
    return out;
}

// The snapshot that ?since= names (0: none).
std::uint64_t sinceOf(const Request& request) {
    if (!request.hasParam("since")) return 0;
    const std::string text = request.param("since");
    std::uint64_t serial = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), serial);
    if (error != std::errc() || end != text.data() + text.size() || serial == 0)
        throw HttpError(
            400, std::string("?since= takes the number of an ") + kSnapshotHeader + " header");
    return serial;
}

// What is kept is answered only once `changes` has read every commit made
// before the request (ChangeFeed::sync). With `tagged`, the answer carries
// the model's tag (ETag). A read ?since= a snapshot still held is answered
// anew, with only what differs; otherwise, and with ?compare=, in full.
WebServer::Handler viewOf(ModelCache& cache, ChangeFeed& changes, View view, const char* type,
                          Make make, bool tagged = false) {
    const ChangeFeed* feed = tagged ? &changes : nullptr;
    return [&cache, &changes, view, type, make, feed](const Request& request) {
        changes.sync();
        M_EntityModelDAO model = modelAt(request);
        const int compared = otherVersion(request, model, "compare");
        const std::uint64_t since = compared == 0 && view != View::Svg ? sinceOf(request) : 0;
        const ModelCache::Key key{model._ID, view, compared};
        Reply reply;
        reply.contentType = type;
        if (since != 0) {
            // The tag first: what is read after it is as new or newer.
            if (feed != nullptr) reply.etag = feed->tag(model._ID);
            if (auto made = make(cache, model, pictureOf(cache, model, 0), 0, since)) {
                reply.body = std::make_shared<const std::string>(std::move(made->text));
                reply.snapshot = made->serial;
                return reply;
            }
        }
        if (auto kept = cache.answer(key, &reply.etag, &reply.snapshot)) {
            reply.body = kept;
        } else {
            if (feed != nullptr) reply.etag = feed->tag(model._ID);
            Made made = *make(cache, model, pictureOf(cache, model, compared), compared, 0);
            reply.body = std::make_shared<const std::string>(std::move(made.text));
            reply.snapshot = made.serial;
            cache.keepAnswer(key, reply.body, reply.etag, made.serial);
        }
        if (feed == nullptr) reply.etag.clear();
        return reply;
    };
}

// The same answer while it is kept and no commit made before the request
// is still to be read, on an I/O thread (not a read ?since=).
WebServer::Quick keptView(ModelCache& cache, ChangeFeed& changes, View view, const char* type,
                          bool tagged = false) {
    return [&cache, &changes, view, type, tagged](const Request& request) -> std::optional<Reply> {
        int compared = 0;
        if (request.hasParam("compare") && !versionNumber(request.param("compare"), compared))
            return std::nullopt;
        if (request.hasParam("since") && compared == 0 && view != View::Svg) return std::nullopt;
        if (!changes.current()) return std::nullopt;
        Reply reply;
        reply.body = cache.answer({idAt(request, 1), view, compared}, &reply.etag, &reply.snapshot);
        if (!reply.body) return std::nullopt;
        if (!tagged) reply.etag.clear();
        reply.contentType = type;
        return reply;
    };
}

Reply saveBox(ModelCache& cache, const Request& request) {
    diagram::Box box;
    const std::string problem = boxFromBody(request.body, box);
    if (!problem.empty()) throw HttpError(400, problem);
    M_EntityModelDAO model = modelAt(request);
    M_EntityTableDAO table = findTableByID(model, idAt(request, 2));
    // Moving boxes is no change of the model: the project keeps its time.
    diagram::saveTableBox(model, table, box);
    // The next read sees the box where it now stands, before any event.
    cache.layoutChanged(model._ID);
    return jsonReply(
        {{"table", table._ID}, {"x", box.x}, {"y", box.y}, {"width", box.w}, {"height", box.h}});
}

}  // namespace

std::string projectTag(const ChangeFeed& feed, int project) {
    std::list<M_EntityModelDAO*> models;
    PtrListGuard<M_EntityModelDAO> guard(models);
    check(M_EntityModelDAO::FindByRProjectID(project, models), "cannot list the models");
    std::vector<int> ids;
    for (const M_EntityModelDAO* m : models)
        ids.push_back(m->_ID);
    return feed.tagOf(ids);
}

void addApi(WebServer& server, const Options& options, ModelCache& cache, ChangeFeed& feed) {
    const Json info = {{"config", location(options.config)},
                       {"work", location(options.work)},
                       {"readOnly", server.options().readOnly}};
    server.fixed("/api/info", jsonReply(info));
    server.eventStream("/api/events");
    server.get("/api/projects", [](const Request&) {
        std::list<M_ProjectDAO*> projects;
        PtrListGuard<M_ProjectDAO> guard(projects);
        check(M_ProjectDAO::FindAll(projects), "cannot list the projects");
        Json out = Json::array();
        for (const M_ProjectDAO* project : projects)
            if (!isPlatformProject(project->_name)) out.push_back(projectJson(*project));
        return jsonReply(out);
    });
    server.get(R"(/api/projects/(\d+))", [&feed](const Request& request) {
        M_ProjectDAO project = findProject("", idAt(request, 1));
        Reply reply = jsonReply(projectDetailJson(project));
        reply.etag = projectTag(feed, project._ID);
        return reply;
    });
    server.get("/api/models", [](const Request&) {
        std::list<M_EntityModelDAO*> models;
        PtrListGuard<M_EntityModelDAO> guard(models);
        check(M_EntityModelDAO::FindAll(models), "cannot list the models");
        Json out = Json::array();
        for (Json& m : modelsJson(models))
            if (!isPlatformProject(gbk(m["project"]))) out.push_back(std::move(m));
        return jsonReply(out);
    });
    // ?compare=V: the picture marks what differs from version V ("changes":
    // diagram::changesJson), as qms diagram --diff V draws it.
    server.get(R"(/api/models/(\d+))", viewOf(cache, feed, View::Model, kJson, modelAnswer, true),
               keptView(cache, feed, View::Model, kJson, true));
    server.get(R"(/api/models/(\d+)/layout)",
               viewOf(cache, feed, View::Layout, kJson, layoutAnswer),
               keptView(cache, feed, View::Layout, kJson));
    server.get(
        R"(/api/models/(\d+)/diagram\.svg)",
        viewOf(cache, feed, View::Svg, kSvg,
               [](ModelCache& cache, M_EntityModelDAO& model, const Picture& picture, int compared,
                  std::uint64_t) -> std::optional<Made> {
                   std::uint64_t serial = 0;
                   const auto layout = layoutOf(cache, model, picture, compared, serial);
                   return Made{diagram::renderSvg(*picture.diagram, *layout, picture.changes)};
               }),
        keptView(cache, feed, View::Svg, kSvg));
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
    server.get(R"(/api/models/(\d+)/tables/(\d+))", [&feed](const Request& request) {
        M_EntityModelDAO model = modelAt(request);
        Reply reply;
        reply.etag = feed.tag(model._ID);
        M_EntityTableDAO table = findTableByID(model, idAt(request, 2));
        reply.body = jsonReply(tableJson(model, table)).body;
        return reply;
    });
    server.put(R"(/api/models/(\d+)/tables/(\d+)/box)",
               [&cache](const Request& request) { return saveBox(cache, request); });
}

}  // namespace qms::serve
