// The editing routes of qms serve: projects' models, model versions,
// folders, tables and columns, each through the edits qms makes (Edits.h)
// in one transaction that also checks the model's tag (If-Match). A
// refusal names the field it concerns, the message and what to do.
#include <charconv>
#include <functional>
#include <initializer_list>
#include <limits>
#include <list>
#include <optional>

#include "Api.h"
#include "Edits.h"
#include "Lookup.h"
#include "PtrListHelper.h"
#include "RecordJson.h"

namespace qms::serve {

namespace {

// Longest name and longest other text a request may give, in bytes.
constexpr std::size_t kMaxName = 128;
constexpr std::size_t kMaxText = 1024;
constexpr int kMaxId = std::numeric_limits<int>::max();

[[noreturn]] void refuse(int status, const std::string& field, const std::string& message,
                         const std::string& hint) {
    throw HttpError(status, message,
                    {{"field", field.empty() ? Json(nullptr) : Json(field)}, {"hint", hint}});
}

// The identifier in group `index` of the route's pattern; `field` names it.
int idAt(const Request& request, std::size_t index, const std::string& field) {
    const std::string& text = request.matches.at(index);
    int id = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), id);
    if (error != std::errc() || end != text.data() + text.size() || id < 1)
        refuse(404, field, "no record with id " + text, "use an identifier the API answered");
    return id;
}

// The JSON body of a write, its fields checked as they are taken: an
// unknown field, a field of the wrong JSON type, a name that could not be
// stored or is too long are refused (400) before anything is read or written.
class Body {
public:
    Body(const std::string& text, std::initializer_list<const char*> allowed) {
        json_ = text.empty() ? Json::object() : Json::parse(text, nullptr, false);
        if (!json_.is_object())
            refuse(400, "", "the body is no JSON object", "send a JSON object such as {}");
        std::string names;
        for (const char* name : allowed)
            names += std::string(names.empty() ? "" : ", ") + name;
        for (const auto& [name, value] : json_.items()) {
            bool known = false;
            for (const char* a : allowed)
                known = known || name == a;
            if (!known)
                refuse(400, name, "unknown field \"" + name + "\"",
                       names.empty() ? "send {}" : "send only " + names);
        }
    }
    bool has(const char* name) const { return json_.contains(name); }
    /// A text; `isName`: the name of something new.
    std::optional<std::string> text(const char* name, bool isName) const {
        if (!has(name)) return std::nullopt;
        const Json& value = json_.at(name);
        if (!value.is_string())
            refuse(400, name, std::string("\"") + name + "\" takes a text",
                   std::string("send a JSON string, e.g. \"") + name + "\": \"Orders\"");
        const std::string text = value.get<std::string>();
        const std::size_t limit = isName ? kMaxName : kMaxText;
        if (text.size() > limit)
            refuse(
                400, name,
                std::string("\"") + name + "\" is longer than " + std::to_string(limit) + " bytes",
                "shorten it");
        std::string problem = isName ? newNameProblem(text) : notStorable(text);
        for (unsigned char c : text)
            if (problem.empty() && (c < 0x20 || c == 0x7F))
                problem = "a control character (a line break, a tab) is no part of a name";
        if (!problem.empty()) refuse(400, name, problem, "use printable characters GBK can store");
        return text;
    }
    std::string name() const {
        std::optional<std::string> value = text("name", true);
        if (!value) refuse(400, "name", "\"name\" is missing", "give the new record's name");
        return *value;
    }
    /// A whole number within [low, high]; null for 0 with `nullable`.
    std::optional<int> number(const char* name, int low, int high, bool nullable = false) const {
        if (!has(name)) return std::nullopt;
        const Json& value = json_.at(name);
        if (nullable && value.is_null()) return 0;
        if (!value.is_number_integer() || value.get<long long>() < low ||
            value.get<long long>() > high)
            refuse(400, name,
                   std::string("\"") + name + "\" takes a whole number from " +
                       std::to_string(low) + (high < kMaxId ? " to " + std::to_string(high) : "") +
                       (nullable ? " or null" : ""),
                   std::string("send a JSON number without quotes") +
                       (nullable ? " (or null for none)" : "") + ", e.g. \"" + name +
                       "\": " + std::to_string(low == 1 ? 12 : low));
        return static_cast<int>(value.get<long long>());
    }
    std::optional<int> flag(const char* name) const {
        if (!has(name)) return std::nullopt;
        if (!json_.at(name).is_boolean())
            refuse(400, name, std::string("\"") + name + "\" takes true or false",
                   std::string("send a JSON boolean without quotes, e.g. \"") + name + "\": true");
        return json_.at(name).get<bool>() ? 1 : 0;
    }

private:
    Json json_;
};

// A record looked up for `field`: its absence is refused naming it.
template <class Find>
auto lookup(const std::string& field, Find find) {
    try {
        return find();
    } catch (const NotFound& e) {
        refuse(404, field, e.what(), "read the model again: the record may have gone");
    }
}

// The column fields of a body (a change: without "name").
ColumnFields columnFields(const Body& body, M_EntityModelDAO& model) {
    ColumnFields fields;
    if (std::optional<std::string> type = body.text("type", false)) {
        try {
            fields.dataType = dataTypeOf(*type);
        } catch (const UsageError& e) {
            refuse(400, "type", e.what(), "one of int, text, real, bytes, blob");
        }
    }
    fields.display = body.text("display", true);
    fields.defaultValue = body.text("default", false);
    fields.index = body.flag("index");
    fields.unique = body.flag("unique");
    fields.maxLength = body.number("maxLength", 1, kMaxId);
    fields.references = body.number("references", 1, kMaxId, true);
    if (fields.references && *fields.references > 0)
        lookup("references", [&] { return findTableByID(model, *fields.references); });
    return fields;
}

using Edit = std::function<Reply(const Request&)>;

// Which record the route's first identifier names, whose tag If-Match
// checks: none, a model version or a project (its models together).
enum class Tagged { None, Model, Project };

// Runs `edit` in one transaction after reading what changed meanwhile and
// checking the tag; answers with the model's new tag. `field` is the one a
// refusal of the library concerns.
WebServer::Handler guarded(ChangeFeed& feed, const std::string& field, Tagged tagged, Edit edit) {
    return [&feed, field, tagged, edit](const Request& request) {
        const int model = tagged == Tagged::Model ? idAt(request, 1, "id") : 0;
        const int project = tagged == Tagged::Project ? idAt(request, 1, "pid") : 0;
        Reply reply;
        try {
            EditTransaction transaction("cannot write");
            feed.catchUp();
            const bool checked = request.ifMatch && *request.ifMatch != "*";
            if (checked && model > 0 && *request.ifMatch != feed.tag(model)) {
                throw HttpError(412, "the model changed since it was read",
                                {{"field", "If-Match"},
                                 {"hint", "read the model again and redo the change on it"},
                                 {"etag", feed.tag(model)},
                                 {"changed", feed.changedSince(model, *request.ifMatch)}});
            }
            if (checked && project > 0 && *request.ifMatch != projectTag(feed, project)) {
                throw HttpError(412, "the project changed since it was read",
                                {{"field", "If-Match"},
                                 {"hint", "read the project again and redo the change on it"},
                                 {"etag", projectTag(feed, project)},
                                 {"changed", nullptr}});
            }
            reply = edit(request);
            transaction.commit();
        } catch (const EditRefused& e) {
            refuse(409, e.field, e.what(), e.hint);
        } catch (const NotFound& e) {
            refuse(404, field, e.what(), "read the model again: the record may have gone");
        } catch (const Unavailable&) {
            throw;
        } catch (const UsageError& e) {
            refuse(400, field, e.what(), "correct what the message names and send it again");
        } catch (const Failure& e) {
            refuse(409, field, e.what(), "nothing was written; change what the message names");
        }
        // The change is out: events go now and the new tag is known.
        feed.catchUp();
        if (model > 0) reply.etag = feed.tag(model);
        if (project > 0 && request.method != "DELETE") reply.etag = projectTag(feed, project);
        return reply;
    };
}

M_EntityModelDAO modelOf(const Request& request) {
    return lookup("id", [&] { return findModel("", "", 0, idAt(request, 1, "id")); });
}

M_EntityTableDAO tableOf(const Request& request, M_EntityModelDAO& model) {
    return lookup("tid", [&] { return findTableByID(model, idAt(request, 2, "tid")); });
}

M_NormalColumnDAO columnOf(const Request& request, M_EntityModelDAO& model,
                           M_EntityTableDAO& table) {
    return lookup("cid", [&] { return findColumnByID(model, table, idAt(request, 3, "cid")); });
}

Reply created(Json json) {
    Reply reply = jsonReply(json);
    reply.status = 201;
    return reply;
}

// A deletion that takes more than its record is confirmed by naming it.
void requireConfirm(const Request& request, const std::string& name, Json goes) {
    if (request.param("confirm") == name) return;
    throw HttpError(
        409, "deleting '" + name + "' deletes what goes with it; confirm with ?confirm=" + name,
        {{"field", "confirm"},
         {"hint", "repeat the request with ?confirm= and the name"},
         {"goes", std::move(goes)}});
}

Json modelReply(const M_EntityModelDAO& model) {
    return modelJson(model, projectName(model._rProjectID));
}

}  // namespace

void addEditApi(WebServer& server, ChangeFeed& feed) {
    const std::string model = R"(/api/models/(\d+))";
    const std::string table = model + R"(/tables/(\d+))";
    const std::string column = table + R"(/columns/(\d+))";
    // The project types are the codes of dictionary 1: 1 the platform's, 2 an application's.
    server.write("POST", "/api/projects",
                 guarded(feed, "name", Tagged::None, [&feed](const Request& request) {
                     const Body body(request.body, {"name", "author", "type"});
                     const std::string name = body.name();
                     const std::string author = body.text("author", false).value_or("");
                     const int type = body.number("type", 1, 2).value_or(2);
                     M_ProjectDAO made = createProject(name, author, type);
                     // Its tag as an empty project: a deletion sent with it
                     // is refused once a model came.
                     Reply reply = created(projectDetailJson(made));
                     reply.etag = projectTag(feed, made._ID);
                     return reply;
                 }));
    server.write("POST", R"(/api/projects/(\d+)/models)",
                 guarded(feed, "name", Tagged::Project, [](const Request& request) {
                     const Body body(request.body, {"name", "display"});
                     const std::string name = body.name();
                     const std::string display = body.text("display", true).value_or("");
                     M_ProjectDAO project =
                         lookup("pid", [&] { return findProject("", idAt(request, 1, "pid")); });
                     return created(modelReply(createModel(project, name, 1, display)));
                 }));
    server.write("DELETE", R"(/api/projects/(\d+))",
                 guarded(feed, "", Tagged::Project, [](const Request& request) {
                     const Body body(request.body, {});
                     M_ProjectDAO project =
                         lookup("pid", [&] { return findProject("", idAt(request, 1, "pid")); });
                     Json goes = projectDetailJson(project)["models"];
                     requireConfirm(request, utf8(project._name), {{"models", goes}});
                     deleteProject(project);
                     return jsonReply({{"deleted", {{"project", project._ID}}}});
                 }));
    server.write("POST", model + "/upgrade",
                 guarded(feed, "", Tagged::Model, [](const Request& request) {
                     const Body body(request.body, {});
                     M_EntityModelDAO found = modelOf(request);
                     return created(modelReply(upgradeModel(found)));
                 }));
    server.write("DELETE", model + "/upgrade",
                 guarded(feed, "", Tagged::Model, [](const Request& request) {
                     // "locked": whether the version before was locked before the upgrade.
                     const Body body(request.body, {"locked"});
                     const bool wasLocked = body.flag("locked").value_or(0) == 1;
                     M_EntityModelDAO found = modelOf(request);
                     return jsonReply(modelReply(withdrawUpgrade(found, wasLocked)));
                 }));
    server.write("POST", model + "/lock",
                 guarded(feed, "", Tagged::Model, [](const Request& request) {
                     const Body body(request.body, {});
                     M_EntityModelDAO found = modelOf(request);
                     lockModel(found);
                     return jsonReply(modelReply(found));
                 }));
    server.write("DELETE", model, guarded(feed, "", Tagged::Model, [](const Request& request) {
                     const Body body(request.body, {});
                     M_EntityModelDAO found = modelOf(request);
                     std::list<M_EntityModelDAO*> versions;
                     PtrListGuard<M_EntityModelDAO> guard(versions);
                     check(M_EntityModelDAO::FindByRProjectIDAndName(found._rProjectID, found._name,
                                                                     versions),
                           "cannot list the versions");
                     Json goes = {{"versions", Json::array()}};
                     for (const M_EntityModelDAO* m : versions)
                         if (m->_name == found._name) goes["versions"].push_back(m->_ID);
                     requireConfirm(request, utf8(found._name), goes);
                     deleteModel(found);
                     return jsonReply({{"deleted", {{"versions", goes["versions"]}}}});
                 }));
    server.write(
        "POST", model + "/folders",
        guarded(feed, "name", Tagged::Model, [](const Request& request) {
            const Body body(request.body, {"name", "parent"});
            const std::string name = body.name();
            if (name.find('/') != std::string::npos)
                refuse(400, "name", "a folder name holds no '/'", "leave out the '/'");
            const std::optional<int> parentId = body.number("parent", 1, kMaxId, true);
            M_EntityModelDAO found = modelOf(request);
            std::optional<M_FolderDAO> parent;
            if (parentId.value_or(0) > 0)
                parent = lookup("parent", [&] { return findFolderByID(found, *parentId); });
            const M_FolderDAO folder = addFolder(found, parent ? &*parent : nullptr, name, false);
            return created({{"id", folder._ID},
                            {"name", utf8(folder._name)},
                            {"parent", parent ? Json(parent->_ID) : Json(nullptr)}});
        }));
    server.write("DELETE", model + R"(/folders/(\d+))",
                 guarded(feed, "fid", Tagged::Model, [](const Request& request) {
                     const Body body(request.body, {});
                     M_EntityModelDAO found = modelOf(request);
                     M_FolderDAO folder = lookup(
                         "fid", [&] { return findFolderByID(found, idAt(request, 2, "fid")); });
                     return jsonReply({{"deleted", {{"folder", folder._ID}}},
                                       {"report", deleteFolder(found, folder)}});
                 }));
    server.write(
        "POST", model + "/tables", guarded(feed, "name", Tagged::Model, [](const Request& request) {
            const Body body(request.body, {"folder", "name", "display"});
            const std::string name = body.name();
            const std::string display = body.text("display", true).value_or("");
            const std::optional<int> folderId = body.number("folder", 1, kMaxId);
            if (!folderId) refuse(400, "folder", "\"folder\" is missing", "name the folder");
            M_EntityModelDAO found = modelOf(request);
            M_FolderDAO folder = lookup("folder", [&] { return findFolderByID(found, *folderId); });
            M_EntityTableDAO made = addTable(found, folder, name, display);
            return created(tableJson(found, made));
        }));
    server.write("PATCH", table, guarded(feed, "tid", Tagged::Model, [](const Request& request) {
                     const Body body(request.body, {"display", "folder"});
                     const std::optional<std::string> display = body.text("display", true);
                     const std::optional<int> folderId = body.number("folder", 1, kMaxId);
                     M_EntityModelDAO found = modelOf(request);
                     M_EntityTableDAO changed = tableOf(request, found);
                     std::optional<M_FolderDAO> folder;
                     if (folderId)
                         folder =
                             lookup("folder", [&] { return findFolderByID(found, *folderId); });
                     changeTable(found, changed, display, folder ? &*folder : nullptr);
                     return jsonReply(tableJson(found, changed));
                 }));
    server.write("DELETE", table, guarded(feed, "tid", Tagged::Model, [](const Request& request) {
                     const Body body(request.body, {});
                     M_EntityModelDAO found = modelOf(request);
                     M_EntityTableDAO gone = tableOf(request, found);
                     return jsonReply({{"deleted", {{"table", gone._ID}}},
                                       {"report", deleteTable(found, gone)}});
                 }));
    server.write("POST", table + "/columns",
                 guarded(feed, "name", Tagged::Model, [](const Request& request) {
                     const Body body(request.body, {"name", "type", "display", "default", "index",
                                                    "unique", "maxLength", "references"});
                     const std::string name = body.name();
                     if (!body.has("type"))
                         refuse(400, "type", "\"type\" is missing",
                                "one of int, text, real, bytes, blob");
                     M_EntityModelDAO found = modelOf(request);
                     M_EntityTableDAO owner = tableOf(request, found);
                     const ColumnFields fields = columnFields(body, found);
                     const M_NormalColumnDAO made = addColumn(found, owner, name, fields);
                     Json out = tableJson(found, owner);
                     out["column"] = made._ID;
                     return created(out);
                 }));
    server.write("PATCH", column, guarded(feed, "cid", Tagged::Model, [](const Request& request) {
                     const Body body(request.body, {"type", "display", "default", "index", "unique",
                                                    "maxLength", "references"});
                     M_EntityModelDAO found = modelOf(request);
                     M_EntityTableDAO owner = tableOf(request, found);
                     M_NormalColumnDAO changed = columnOf(request, found, owner);
                     changeColumn(found, changed, columnFields(body, found));
                     return jsonReply(tableJson(found, owner));
                 }));
    server.write("DELETE", column, guarded(feed, "cid", Tagged::Model, [](const Request& request) {
                     const Body body(request.body, {});
                     M_EntityModelDAO found = modelOf(request);
                     M_EntityTableDAO owner = tableOf(request, found);
                     M_NormalColumnDAO gone = columnOf(request, found, owner);
                     deleteColumn(found, gone);
                     return jsonReply(tableJson(found, owner));
                 }));
}

}  // namespace qms::serve
