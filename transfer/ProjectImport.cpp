// Project import: lists the projects of an export file and copies chosen
// ones into the current databases, merging the file's dictionaries.
#include <algorithm>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <set>

#include "ConfigTransaction.h"
#include "ExportFileCheck.h"
#include "FileHelper.h"
#include "LogManager.h"
#include "MRDService.h"
#include "M_DictDataDAO.h"
#include "M_DictItemDAO.h"
#include "M_EntityModelDAO.h"
#include "M_ProjectDAO.h"
#include "MeridianNew.h"
#include "ProjectTransfer.h"
#include "PtrListHelper.h"
#include "QmsSelfDescription.h"
#include "StringHelper.h"

namespace MeridianSpace {

namespace {

// Dictionary codes changed by the merge: "<dictionary>,<old code>" to the new code.
using CodeMap = std::map<std::string, int>;

std::string codeKey(int dictionary, int code) {
    return StringHelper::int2String(dictionary) + "," + StringHelper::int2String(code);
}

// What `code` of `dictionary` became in the merge.
int mappedCode(const CodeMap& codes, int dictionary, int code) {
    const auto found = codes.find(codeKey(dictionary, code));
    return found == codes.end() ? code : found->second;
}

// What an operation that reads an export file says when it cannot use it:
// the error locations and messages of a failed connection (step 1 the work
// database, 2 the configuration database), and its own name for a file
// that is not sound. The import names the export in the first two.
struct FileTexts {
    const char* operation;
    const char* location[2];
    const char* message[2];
};

const FileTexts kListing = {
    "M_ProjectDAO::getImportProjectList()",
    {"M_ProjectDAO::getImportProjectList():MeridianNew::setCurrentWorkDB() ",
     "M_ProjectDAO::getImportProjectList():MeridianNew::setCurrMRDConfigDB() "},
    {"ERROR:M_ProjectDAO::getImportProjectList():导入文件连接失败1！",
     "ERROR:M_ProjectDAO::getImportProjectList():导入文件连接失败2！"}};

const FileTexts kImport = {"M_ProjectDAO::importProject()",
                           {"M_ProjectDAO::exportProject():MeridianNew::setCurrentWorkDB() ",
                            "M_ProjectDAO::exportProject():MeridianNew::setCurrMRDConfigDB() "},
                           {"ERROR:M_ProjectDAO::exportProject():导入文件连接失败1！",
                            "ERROR:M_ProjectDAO::exportProject():导入文件连接失败2！"}};

// The failed connection to the file: the error line with its location, and
// the step's message.
ResultMsg notConnected(const FileTexts& texts, int step, const std::string& why) {
    const int i = step == 1 ? 0 : 1;
    MeridianNew::LOGGER()->appendError(texts.location[i], why);
    return ResultMsg(RUN_FAIL, texts.message[i]);
}

// Opens the file read-only as the current databases, and reads it with
// `read` while another thread checks it: a file that is no export file, or
// not a sound and complete one, is refused with what is wrong, whatever the
// read found; only then does the open's or the read's failure count.
// Nothing is written anywhere before the answer.
ResultMsg openExportFile(const FileTexts& texts, const std::string& path,
                         const std::function<ResultMsg(int*)>& open,
                         const std::function<ResultMsg()>& read) {
    MRDService* service = MeridianNew::getCurrService();
    if (service == nullptr) return notConnected(texts, 1, MeridianNew::noCurrentDatabase().rMsg);
    // Without a thread to spare the check runs when it is asked for, after
    // the read.
    std::future<ExportFileVerdict> checked =
        std::async(std::launch::async | std::launch::deferred,
                   [service, path] { return checkExportFile(*service, path); });
    int step = 0;
    const ResultMsg opened = open(&step);
    const ResultMsg readResult = opened.ok() ? read() : opened;
    const ExportFileVerdict verdict = checked.get();
    if (!verdict.notExportFile.empty()) return notConnected(texts, 1, verdict.notExportFile);
    if (!opened.ok()) return notConnected(texts, step, opened.rMsg);
    if (verdict.problem.empty()) return readResult;
    const std::string message = std::string("ERROR:") + texts.operation + ":不是完整的导出文件：" +
                                path + "：" + verdict.problem;
    MeridianNew::LOGGER()->appendError(std::string(texts.operation) + " ", message);
    return ResultMsg(RUN_FAIL, message);
}

// Whether a target project has exactly this name; a failed read is noted in
// `reads` (and answers no).
bool projectNamed(const std::string& name, FirstFailure& reads) {
    std::list<M_ProjectDAO*> named;
    PtrListGuard<M_ProjectDAO> guard(named);
    if (!reads.read("M_ProjectDAO", M_ProjectDAO::FindByName(name, named))) return false;
    return std::any_of(named.begin(), named.end(),
                       [&](const M_ProjectDAO* other) { return other->_name == name; });
}

// The name of an imported project: its own when no target project has it,
// else with "_imp" and the time, and a counter when that is taken too (two
// imports within one second), so that every project keeps a name of its own.
std::string importName(const std::string& name, FirstFailure& reads) {
    if (!projectNamed(name, reads)) return name;
    const std::string stamped = name + "_imp" + StringHelper::currTimeStr(4);
    std::string candidate = stamped;
    for (int counter = 2; projectNamed(candidate, reads); ++counter)
        candidate = stamped + "_" + std::to_string(counter);
    return candidate;
}

template <class T>
std::vector<std::unique_ptr<T>> take(std::list<T*>& found) {
    std::vector<std::unique_ptr<T>> out;
    for (T* object : found)
        out.emplace_back(object);
    found.clear();
    return out;
}

// The target dictionary of that inner name, compared exactly, or null.
std::unique_ptr<M_DictItemDAO> dictionaryNamed(const std::string& innerName, FirstFailure& reads) {
    std::list<M_DictItemDAO*> found;
    PtrListGuard<M_DictItemDAO> guard(found);
    reads.read("M_DictItemDAO", M_DictItemDAO::FindByInnerName(innerName, found));
    for (auto it = found.begin(); it != found.end(); ++it) {
        if ((*it)->_innerName != innerName) continue;
        std::unique_ptr<M_DictItemDAO> item(*it);
        found.erase(it);
        return item;
    }
    return nullptr;
}

int highestCode(FirstFailure& reads) {
    std::list<M_DictDataDAO*> all;
    PtrListGuard<M_DictDataDAO> guard(all);
    reads.read("M_DictDataDAO", M_DictDataDAO::FindAll(all));
    int highest = 0;
    for (const M_DictDataDAO* entry : all)
        highest = std::max(highest, entry->_code);
    return highest;
}

// Merges the file's dictionaries into the target's: new dictionaries are
// stored, entries whose code is taken get the next free code (recorded in
// `codes`), names that are taken get "_new". An entry equal to a target
// entry in code and both names is that entry: it is not imported, and
// records of its code keep it. A failed read ends the merge with its failure
// (noted in the transfer's reads).
ResultMsg mergeDictionaries(ProjectTransfer& transfer, ProjectTransfer::Dictionaries& dictionaries,
                            CodeMap& codes) {
    transfer.logStep(12);
    for (auto& [item, entries] : dictionaries) {
        std::unique_ptr<M_DictItemDAO> target = dictionaryNamed(item->_innerName, transfer.reads);
        if (!transfer.reads.ok()) return transfer.reads.result();
        if (!target) {
            item->_ID = -1;
            ResultMsg saved = item->save(0);
            if (!saved.ok())
                return ResultMsg(saved.rCode,
                                 "ERROR:M_ProjectDAO::exportProject():保存M_DictItemDAO");
            target = std::make_unique<M_DictItemDAO>(*item);
        }
        item->_ID = target->_ID;
        int counter = highestCode(transfer.reads);
        if (!transfer.reads.ok()) return transfer.reads.result();
        // The target's entries, read once; each entry stored below joins them.
        std::list<M_DictDataDAO*> found;
        PtrListGuard<M_DictDataDAO> foundGuard(found);
        if (!transfer.reads.read("M_DictDataDAO",
                                 M_DictDataDAO::FindByRDictItemID(target->_ID, found)))
            return transfer.reads.result();
        std::vector<std::unique_ptr<M_DictDataDAO>> existing = take(found);
        for (auto& entry : entries) {
            if (entry->_default == "TRUE") continue;
            const int counterBefore = counter;
            bool codeTaken = false, internalTaken = false, showTaken = false;
            std::vector<std::string> keys;
            for (const auto& other : existing) {
                if (other->_code == entry->_code) {
                    keys.push_back(codeKey(entry->_rDictItemID, entry->_code));
                    codes[keys.back()] = ++counter;
                    entry->_code = counter;
                    codeTaken = true;
                }
                if (other->_internalName == entry->_internalName) {
                    entry->_internalName += "_new";
                    internalTaken = true;
                }
                if (other->_showName == entry->_showName) {
                    entry->_showName += "_new";
                    showTaken = true;
                }
            }
            if (codeTaken && internalTaken && showTaken) {
                // The target's own entry: no code was used up for it.
                for (const std::string& key : keys)
                    codes.erase(key);
                counter = counterBefore;
                continue;
            }
            const int oldID = entry->_ID;
            entry->_ID = -1;
            entry->_rDictItemID = -1;
            ResultMsg saved = target->addDictData(entry.get(), 0);
            if (saved.ok()) {
                existing.push_back(std::make_unique<M_DictDataDAO>(*entry));
            } else {
                transfer.leftOut("M_DictDataDAO", oldID, saved);
            }
        }
    }
    return ResultMsg();
}

// Deletes the projects the import stored so far (with what they own).
void rollBack(ProjectTransfer& transfer, const std::vector<int>& stored,
              const std::string& reason) {
    LogManager* log = MeridianNew::LOGGER();
    log->appendMsg("<ROLLBACK>:M_ProjectDAO::importProject(): " + reason);
    // The failed save is the answer: the roll-back goes on whatever a step of
    // it says, and the transaction keeps what it could not undo.
    (void)transfer.toTarget();
    for (int id : stored) {
        M_ProjectDAO project;
        project._ID = id;
        (void)project.delself(0);
    }
    log->appendMsg("<END_ROLLBACK>:M_ProjectDAO::importProject(): " + reason);
}

}  // namespace

ResultMsg M_ProjectDAO::getImportProjectList(std::list<M_ProjectDAO*>& projects, std::string path) {
    MeridianNew::LOGGER()->appendMsg("RUN:M_ProjectDAO::getImportProjectList()");
    if (!FileHelper::isFileExists(path)) return ResultMsg(RUN_FAIL, "ERROR: 导入文件不存在!");
    DatabaseSwitch databases;
    std::list<M_ProjectDAO*> found;
    PtrListGuard<M_ProjectDAO> guard(found);
    ResultMsg rm = openExportFile(
        kListing, path, [&](int* step) { return databases.toFile(path, step, true); },
        [&] { return FindAll(found); });
    // The projects of a file that was refused are not handed out.
    if (rm.ok()) projects.splice(projects.end(), found);
    ResultMsg back = databases.toHome();
    return rm.ok() ? back : rm;
}

ResultMsg M_ProjectDAO::importProject(std::string path, std::list<int> projectIDs) {
    LogManager* log = MeridianNew::LOGGER();
    log->appendMsg("RUN:M_ProjectDAO::importProject()");
    if (!FileHelper::isFileExists(path)) return ResultMsg(RUN_FAIL, "ERROR: 导入文件不存在!");

    // Everything is read first, the file once it is known to be sound; a
    // read that fails ends the import before anything is written...
    ProjectTransfer transfer(ProjectTransfer::Direction::Import, path);
    // The versions of "M_QMS" the target has: a model of one of them is not
    // imported.
    std::set<int> platformVersions;
    {
        std::list<M_EntityModelDAO*> existing;
        PtrListGuard<M_EntityModelDAO> guard(existing);
        transfer.reads.read(
            "M_EntityModelDAO",
            M_EntityModelDAO::FindByName(QmsSelfDescription::metaDataModelName(), existing));
        for (const M_EntityModelDAO* model : existing) {
            if (model->_name == QmsSelfDescription::metaDataModelName())
                platformVersions.insert(model->_version);
        }
    }

    ProjectTransfer::Dictionaries dictionaries;
    std::vector<std::unique_ptr<M_ProjectDAO>> projects;
    ResultMsg rm = openExportFile(
        kImport, path, [&](int* step) { return transfer.toSource(step); },
        [&] {
            dictionaries = transfer.readDictionaries();
            for (int id : projectIDs) {
                M_ProjectDAO* project = nullptr;
                transfer.reads.read("M_ProjectDAO", FindByID(id, project));
                if (project != nullptr) projects.emplace_back(project);
            }
            for (auto& project : projects) {
                std::list<M_EntityModelDAO*> list;
                PtrListGuard<M_EntityModelDAO> guard(list);
                transfer.reads.read("M_EntityModelDAO", project->getEntityModelList(list));
                for (auto& model : take(list)) {
                    if (model->_name == QmsSelfDescription::metaDataModelName() &&
                        platformVersions.count(model->_version) != 0)
                        continue;
                    transfer.planModel(std::move(model), project.get());
                }
            }
            return transfer.readTree();
        });
    if (!rm.ok()) return rm;

    // ...then written into the current databases in one transaction, which
    // keeps what was written when a later step fails. A read of the target
    // that fails returns at once: the transaction rolls everything back.
    rm = transfer.toTarget();
    if (!rm.ok()) return rm;
    ConfigTransaction transaction;
    if (!transaction.begun().ok()) return transaction.begun();
    CodeMap codes;
    rm = mergeDictionaries(transfer, dictionaries, codes);
    if (!transfer.reads.ok()) return rm;
    if (!rm.ok()) return transaction.finish(rm);

    transfer.logStep(1);
    std::vector<int> stored;
    for (auto& project : projects) {
        project->_type = mappedCode(codes, DICT_ID_PROJECT_TYPES, project->_type);
        project->_name = importName(project->_name, transfer.reads);
        if (!transfer.reads.ok()) return transfer.reads.result();
        project->_uID.clear();
        const int oldID = project->_ID;
        project->_ID = -1;
        ResultMsg saved = project->save(0);
        const int newID = project->_ID;
        project->_ID = oldID;
        if (!saved.ok()) {
            rollBack(transfer, stored, "currP->save()");
            return transaction.finish(
                ResultMsg(saved.rCode, "M_ProjectDAO 导入保存失败!" + saved.rMsg));
        }
        transfer.projectMap[oldID] = newID;
        stored.push_back(newID);
    }

    transfer.logStep(2);
    for (std::size_t i = 0; i < transfer.plannedModels(); ++i) {
        M_EntityModelDAO& model = transfer.plannedModel(i);
        model._type = mappedCode(codes, DICT_ID_MODEL_TYPES, model._type);
        ResultMsg copied = transfer.writeModel(i, true);
        if (!copied.ok()) transfer.leftOut("M_EntityModelDAO", model._ID, copied);
    }
    if (!transfer.reads.ok()) return transfer.reads.result();
    rm = transfer.writeTree();
    rm = transaction.finish(rm);
    log->appendMsg("[RUN_END] :M_ProjectDAO::importProject()!!!");
    return transfer.finish(rm);
}

}  // namespace MeridianSpace
