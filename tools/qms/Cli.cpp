#include "Cli.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <list>
#include <memory>
#include <sstream>

#include "ConsoleSink.h"
#include "FileHelper.h"
#include "MRDService.h"
#include "MeridianNew.h"
#include "PtrListHelper.h"
#include "QmsRecordClasses.h"
#include "ServiceErrorCode.h"
#include "StringHelper.h"

namespace qms {

std::string utf8(const std::string& gbk) {
    return StringHelper::GBKToUTF8(gbk);
}

std::string gbk(const std::string& utf8) {
    return StringHelper::UTF8ToGBK(utf8);
}

void check(const ResultMsg& rm, const std::string& what) {
    if (!rm.ok()) throw Failure(what + ": " + utf8(rm.rMsg));
}

// A file path, or a server URI without its password.
std::string shown(const std::string& location) {
    return MRDService::displayLocation(location);
}

// A server database always counts as there: the server says whether it is.
bool locationExists(const std::string& location) {
    return MRDService::isServerLocation(location) || FileHelper::isFileExists(location);
}

// A database another process keeps busy past the busy timeout is busy, not foreign.
void refuseBusy(const ResultMsg& rm) {
    if (rm.rCode == SRV_ERR_BUSY) throw Failure(utf8(rm.rMsg));
}

void requireOurDatabase(const std::string& path) {
    std::vector<std::string> tables;
    ResultMsg rm = MRDService().readTableNames(path, tables);
    refuseBusy(rm);
    if (!rm.ok()) throw Failure(shown(path) + " is not a database: " + utf8(rm.rMsg));
    bool project = false, model = false;
    for (const std::string& table : tables) {
        project = project || table == "T_M_Project";
        model = model || table == "T_M_EntityModel";
    }
    if (!project || !model)
        throw Failure(shown(path) +
                      " is not a qms configuration database (run 'qms init' for a new one)");
}

Session::Session(const Options& options, bool create) {
    ConsoleSink::setTarget(options.verbose ? ConsoleSink::Stderr : ConsoleSink::Off);
    if (!create) {
        for (const std::string& path : {options.config, options.work}) {
            if (!locationExists(path))
                throw Failure(shown(path) + " does not exist (run 'qms init' first)");
        }
        requireOurDatabase(options.config);
    } else if (locationExists(options.config)) {
        std::vector<std::string> tables;
        ResultMsg rm = MRDService().readTableNames(options.config, tables);
        // A server database that is not there yet is made by the start-up.
        refuseBusy(rm);
        const bool missingServerDatabase = !rm.ok() && MRDService::isServerLocation(options.config);
        if (!rm.ok() && !missingServerDatabase) {
            throw Failure(shown(options.config) + " is not a database: " + utf8(rm.rMsg));
        }
        if (!tables.empty()) requireOurDatabase(options.config);
    }
    QmsRecordClasses::registerAll();
    check(MeridianNew::startup(options.config, options.work, 1), "cannot open the databases");
    open_ = true;
    M_ProjectDAO::setCurrProjectID(-1);
}

Session::~Session() {
    if (open_) (void)MeridianNew::shutdown();
}

void Session::close() {
    if (!open_) return;
    open_ = false;
    check(MeridianNew::shutdown(), "cannot commit");
}

namespace {

// Takes the one object of `found` that `matches`; throws when there is
// none or more than one.
template <class T, class Match>
T takeOne(std::list<T*>& found, Match matches, const std::string& what, const std::string& name,
          const std::string& hint) {
    PtrListGuard<T> guard(found);
    T* chosen = nullptr;
    for (T* candidate : found) {
        if (!matches(*candidate)) continue;
        if (chosen != nullptr) throw Failure(what + " '" + name + "' exists twice" + hint);
        chosen = candidate;
    }
    if (chosen == nullptr) throw Failure("no " + what + " '" + name + "'");
    return *chosen;
}

}  // namespace

M_ProjectDAO findProject(const std::string& name) {
    const std::string wanted = gbk(name);
    std::list<M_ProjectDAO*> found;
    (void)M_ProjectDAO::FindAll(found);
    return takeOne(
        found, [&](const M_ProjectDAO& p) { return p._name == wanted; }, "project", name, "");
}

M_EntityModelDAO findModel(const std::string& name, const std::string& project, int version) {
    const std::string wanted = gbk(name);
    int projectID = 0;
    if (!project.empty()) projectID = findProject(project)._ID;
    std::list<M_EntityModelDAO*> found;
    (void)M_EntityModelDAO::FindAll(found);
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
        " in several projects (give --project)");
}

M_EntityTableDAO findTable(M_EntityModelDAO& model, const std::string& name) {
    const std::string wanted = gbk(name);
    std::list<M_EntityTableDAO*> found;
    (void)model.getEntityTableList(found);
    return takeOne(
        found, [&](const M_EntityTableDAO& t) { return t._name == wanted; }, "table", name, "");
}

M_FolderDAO findFolder(M_EntityModelDAO& model, const std::string& path) {
    int parent = 0;
    M_FolderDAO folder;
    std::string walked;
    for (const std::string& piece : StringHelper::splitString(gbk(path), "/")) {
        std::list<M_FolderDAO*> found;
        (void)(parent == 0 ? M_FolderDAO::FindRootFolderByEntityModelID(model._ID, found)
                           : M_FolderDAO::FindByParentFolderID(parent, found));
        walked += (walked.empty() ? "" : "/") + utf8(piece);
        folder = takeOne(
            found, [&](const M_FolderDAO& f) { return f._name == piece; }, "folder", walked, "");
        parent = folder._ID;
    }
    if (parent == 0) throw UsageError("empty folder path");
    return folder;
}

M_NormalColumnDAO findColumn(M_EntityModelDAO& model, M_EntityTableDAO& table,
                             const std::string& name) {
    const std::string wanted = gbk(name);
    std::list<M_NormalColumnDAO*> found;
    (void)table.getNormalColumnDAOList(&model, found);
    return takeOne(
        found, [&](const M_NormalColumnDAO& c) { return c._name == wanted; }, "column", name, "");
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

void Json::separate() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (!first_.empty()) {
        if (!first_.back()) out_ += ",";
        first_.back() = false;
    }
}

Json& Json::beginObject() {
    separate();
    out_ += "{";
    first_.push_back(true);
    return *this;
}

Json& Json::endObject() {
    first_.pop_back();
    out_ += "}";
    return *this;
}

Json& Json::beginArray() {
    separate();
    out_ += "[";
    first_.push_back(true);
    return *this;
}

Json& Json::endArray() {
    first_.pop_back();
    out_ += "]";
    return *this;
}

Json& Json::key(const std::string& name) {
    value(name);
    out_ += ":";
    afterKey_ = true;
    return *this;
}

Json& Json::value(const std::string& text) {
    separate();
    out_ += "\"";
    for (unsigned char c : text) {
        switch (c) {
            case '"':
                out_ += "\\\"";
                break;
            case '\\':
                out_ += "\\\\";
                break;
            case '\n':
                out_ += "\\n";
                break;
            case '\r':
                out_ += "\\r";
                break;
            case '\t':
                out_ += "\\t";
                break;
            default:
                if (c < 0x20) {
                    char buffer[8];
                    std::snprintf(buffer, sizeof(buffer), "\\u%04x", c);
                    out_ += buffer;
                } else {
                    out_ += static_cast<char>(c);
                }
        }
    }
    out_ += "\"";
    return *this;
}

Json& Json::value(int number) {
    separate();
    out_ += std::to_string(number);
    return *this;
}

Json& Json::value(bool flag) {
    separate();
    out_ += flag ? "true" : "false";
    return *this;
}

void progress(std::size_t index, std::size_t count, const std::string& text) {
    if (count <= 5 || !isatty(STDERR_FILENO)) return;
    std::cerr << "\r[" << index << "/" << count << "] " << text << "\033[K";
    if (index == count) std::cerr << "\n";
    std::cerr.flush();
}

void writeOutput(const std::string& path, const std::string& text) {
    if (path.empty() || path == "-") {
        std::cout << text;
        return;
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) throw Failure("cannot write " + path);
}

std::string readFile(const std::string& path) {
    // A directory opens and reads as no text at all, which an import would
    // take for an empty file and replace the rows with nothing.
    std::error_code error;
    const std::filesystem::file_type type = std::filesystem::status(path, error).type();
    if (type == std::filesystem::file_type::not_found) throw Failure("no such file: " + path);
    if (type != std::filesystem::file_type::regular)
        throw Failure("cannot read " + path + ": not a regular file");
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                               &std::fclose);
    if (!file) throw Failure("cannot read " + path + ": " + std::strerror(errno));
    std::string text;
    char buffer[65536];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0;)
        text.append(buffer, n);
    if (std::ferror(file.get())) throw Failure("cannot read " + path + ": " + std::strerror(errno));
    return text;
}

std::vector<std::string> readLines(const std::string& path) {
    std::istringstream in(readFile(path));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

CLI::App* modelSubcommand(CLI::App* parent, const char* name, const char* help, std::string& model,
                          std::string& project) {
    CLI::App* command = parent->add_subcommand(name, help);
    command->add_option("MODEL", model, "model name")->required();
    command->add_option("--project", project, "the model's project");
    return command;
}

void action(CLI::App* command, std::function<void()> body) {
    command->callback(std::move(body));
}

}  // namespace qms
