#include "Cli.h"

#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <limits>
#include <list>
#include <memory>
#include <sstream>
#include <utility>

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
    std::string converted;
    if (StringHelper::UTF8ToGBKExact(utf8, converted) != std::string::npos)
        throw Failure(notStorable(utf8));
    return converted;
}

namespace {

// The code point of the UTF-8 character at `at` and its length in bytes;
// length 0 for a byte that starts no well-formed character.
std::pair<unsigned, std::size_t> codePointAt(const std::string& text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned lead = byte(at);
    if (lead < 0x80) return {lead, 1};
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || at + length > text.size()) return {0, 0};
    unsigned code = lead & (0x7F >> length);
    for (std::size_t i = at + 1; i < at + length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return {0, 0};
        code = (code << 6) | (byte(i) & 0x3F);
    }
    static const unsigned smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return {0, 0};
    return {code, length};
}

}  // namespace

std::string notStorable(const std::string& utf8) {
    std::string converted;
    const std::size_t bad = StringHelper::UTF8ToGBKExact(utf8, converted);
    if (bad == std::string::npos) return "";
    const auto [code, length] = codePointAt(utf8, bad);
    char number[32];
    if (length == 0) {
        std::snprintf(number, sizeof(number), "0x%02X",
                      static_cast<unsigned>(static_cast<unsigned char>(utf8[bad])));
        return "'" + utf8 + "' holds the byte " + number + ", which is no UTF-8";
    }
    std::snprintf(number, sizeof(number), "U+%04X", code);
    return "'" + utf8 + "' holds " + utf8.substr(bad, length) + " (" + number +
           "), which GBK cannot store";
}

std::string printable(const std::string& utf8) {
    std::string out;
    out.reserve(utf8.size());
    char escape[8];
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const auto next = i + 1 < utf8.size() ? static_cast<unsigned char>(utf8[i + 1]) : 0u;
        if (c == 0xC2 && next >= 0x80 && next <= 0x9F) {  // C1 controls, U+0080 to U+009F
            std::snprintf(escape, sizeof(escape), "\\u%04x", next);
            out += escape;
            ++i;
        } else if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c < 0x20 || c == 0x7F) {
            std::snprintf(escape, sizeof(escape), "\\x%02x", c);
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string shown(const std::string& gbk) {
    return printable(utf8(gbk));
}

std::string location(const std::string& path) {
    return MRDService::displayLocation(path);
}

namespace {

// Blanks: the ASCII white space and the ideographic space U+3000.
const std::string kIdeographicSpace = "\xE3\x80\x80";

bool blankAt(const std::string& text, std::size_t at) {
    return std::isspace(static_cast<unsigned char>(text[at])) != 0 ||
           text.compare(at, kIdeographicSpace.size(), kIdeographicSpace) == 0;
}

bool endsWithBlank(const std::string& text) {
    const std::size_t size = text.size(), wide = kIdeographicSpace.size();
    return std::isspace(static_cast<unsigned char>(text.back())) != 0 ||
           (size >= wide && text.compare(size - wide, wide, kIdeographicSpace) == 0);
}

}  // namespace

std::string newNameProblem(const std::string& name) {
    const std::string stored = notStorable(name);
    if (!stored.empty()) return stored;
    bool blankOnly = true;
    for (std::size_t i = 0; i < name.size() && blankOnly; ++i)
        blankOnly = blankAt(name, i);
    if (blankOnly) return "a name must not be empty or only blanks";
    if (blankAt(name, 0) || endsWithBlank(name))
        return "'" + name + "' begins or ends with a blank";
    return "";
}

CLI::Validator storable() {
    return CLI::Validator([](std::string& text) { return notStorable(text); }, "");
}

CLI::Validator newName() {
    return CLI::Validator([](std::string& text) { return newNameProblem(text); }, "");
}

CLI::Validator fromOne() {
    return CLI::Validator(
        [](std::string& text) {
            char* end = nullptr;
            errno = 0;
            const long long number = std::strtoll(text.c_str(), &end, 10);
            const bool whole = !text.empty() && *end == '\0' && errno == 0;
            if (whole && number >= 1 && number <= std::numeric_limits<int>::max())
                return std::string();
            return "must be a number from 1, not '" + text + "'";
        },
        "");
}

void check(const ResultMsg& rm, const std::string& what) {
    if (!rm.ok()) throw Failure(what + ": " + utf8(rm.rMsg));
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
    if (!rm.ok()) throw Failure(location(path) + " is not a database: " + utf8(rm.rMsg));
    bool project = false, model = false;
    for (const std::string& table : tables) {
        project = project || table == "T_M_Project";
        model = model || table == "T_M_EntityModel";
    }
    if (!project || !model)
        throw Failure(location(path) +
                      " is not a qms configuration database (run 'qms init' for a new one)");
}

Session::Session(const Options& options, bool create) {
    ConsoleSink::setTarget(options.verbose ? ConsoleSink::Stderr : ConsoleSink::Off);
    if (!create) {
        for (const std::string& path : {options.config, options.work}) {
            if (!locationExists(path))
                throw Failure(location(path) + " does not exist (run 'qms init' first)");
        }
        requireOurDatabase(options.config);
    } else if (locationExists(options.config)) {
        std::vector<std::string> tables;
        ResultMsg rm = MRDService().readTableNames(options.config, tables);
        // A server database that is not there yet is made by the start-up.
        refuseBusy(rm);
        const bool missingServerDatabase = !rm.ok() && MRDService::isServerLocation(options.config);
        if (!rm.ok() && !missingServerDatabase) {
            throw Failure(location(options.config) + " is not a database: " + utf8(rm.rMsg));
        }
        if (!tables.empty()) requireOurDatabase(options.config);
    }
    QmsRecordClasses::registerAll();
    check(MeridianNew::startup(options.config, options.work, 1), "cannot open the databases");
    open_ = true;
    M_ProjectDAO::setCurrProjectID(-1);
}

Session::~Session() {
    if (open_) (void)MeridianNew::shutdown();  // leaving on a failure; close() reports
}

void Session::close() {
    if (!open_) return;
    open_ = false;
    check(MeridianNew::shutdown(), "cannot commit");
}

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
    std::cerr << "\r[" << index << "/" << count << "] " << printable(text) << "\033[K";
    if (index == count) std::cerr << "\n";
    std::cerr.flush();
}

namespace {

std::string systemError() {
    return std::strerror(errno);
}

// Writes all of `text` to `fd`; false (with errno) when it cannot.
bool writeAll(int fd, const std::string& text) {
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        done += static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace

void flushOutput() {
    if (std::cout.flush() && std::fflush(stdout) == 0 && !std::ferror(stdout)) return;
    const std::string why = systemError();
    std::cout.clear();
    std::clearerr(stdout);
    throw Failure("cannot write to standard output: " + why);
}

void writeOutput(const std::string& path, const std::string& text) {
    if (path.empty() || path == "-") {
        std::cout << text;
        flushOutput();
        return;
    }
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string base = path.substr(slash == std::string::npos ? 0 : slash + 1);
    if (base.empty() || base == "." || base == "..") throw UsageError(path + " names no file");
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temporary = folder + "." + base + "." + std::to_string(getpid()) + "." +
                    std::to_string(attempt) + ".tmp";
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) throw Failure("cannot write " + path + ": " + systemError());
    bool written = writeAll(fd, text) && ::fsync(fd) == 0;
    std::string why = written ? "" : systemError();
    if (::close(fd) != 0 && written) {
        written = false;
        why = systemError();
    }
    if (written && std::rename(temporary.c_str(), path.c_str()) != 0) {
        written = false;
        why = systemError();
    }
    if (!written) {
        std::remove(temporary.c_str());
        throw Failure("cannot write " + path + ": " + why);
    }
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

CLI::Option* nameOrId(CLI::App* command, const Options& options, const char* label,
                      const char* help, std::string& name, int& id) {
    CLI::Option* byId =
        command
            ->add_option("--id", id,
                         std::string(label) + " by its identifier (" + label + " is then left out)")
            ->check(fromOne());
    if (!options.byId) command->add_option(label, name, help)->required()->check(storable());
    return byId;
}

CLI::App* modelSubcommand(CLI::App* parent, const Options& options, const char* name,
                          const char* help, std::string& model, std::string& project, int& id) {
    CLI::App* command = parent->add_subcommand(name, help);
    CLI::Option* byId = nameOrId(command, options, "MODEL", "model name", model, id);
    command->add_option("--project", project, "the model's project")
        ->check(storable())
        ->excludes(byId);
    return command;
}

void action(CLI::App* command, std::function<void()> body) {
    command->callback(std::move(body));
}

}  // namespace qms
