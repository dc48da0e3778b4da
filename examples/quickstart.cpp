// Starts the platform on a new configuration database in a temporary folder,
// saves a record, finds it again by identifier and by attribute, shows a
// transaction rolling back, and prints what it did. Everything, the run log
// included, stays in that folder, which is removed at the end.
#include <stdlib.h>

#include <filesystem>
#include <iostream>
#include <string>

#include "DAOFactoryRegistry.h"
#include "DAOFinder.h"
#include "InstanceDataManager.h"
#include "M_ObjectDAO.h"
#include "MeridianNew.h"
#include "RecordColumns.h"
#include "RecordFinder.h"
#include "StringHelper.h"
#include "Transaction.h"

using namespace MeridianSpace;

namespace {

// A small metadata record: table "T_M_Memo" with the columns Name, Topic
// and RProjectID, declared once; its mapper saves and loads them.
class MemoDAO : public M_ObjectDAO {
public:
    std::string _topic;
    int _rProjectID = -1;

    static DAO* createObject() { return new MemoDAO; }
    Mapper* createMapper() override;
};

const RecordColumns<MemoDAO>& memoColumns() {
    static const RecordColumns<MemoDAO> columns("T_M_Memo",
                                                {{"Name", &MemoDAO::_name},
                                                 {"Topic", &MemoDAO::_topic},
                                                 {"RProjectID", &MemoDAO::_rProjectID}});
    return columns;
}

class MemoMapper : public ColumnMapper<MemoDAO> {
public:
    MemoMapper() : ColumnMapper(memoColumns()) {}
};

Mapper* MemoDAO::createMapper() {
    return new MemoMapper;
}

// Messages are GBK; the console speaks UTF-8.
std::string shown(const ResultMsg& rm) {
    return "code " + std::to_string(rm.rCode) +
           (rm.rMsg.empty() ? "" : ", " + StringHelper::GBKToUTF8(rm.rMsg));
}

}  // namespace

int main() {
    std::string folder =
        (std::filesystem::temp_directory_path() / "arx_quickstart_XXXXXX").string();
    if (mkdtemp(folder.data()) == nullptr) {
        std::cerr << "cannot make a temporary folder\n";
        return 1;
    }
    const std::string configDB = folder + "/config.db";
    const std::string workDB = folder + "/work.db";
    // The run log goes to ./DB_Log; keep it with the databases.
    const std::filesystem::path startedIn = std::filesystem::current_path();
    std::filesystem::current_path(folder);

    DAOFactoryRegistry::registerClass("MemoDAO", &MemoDAO::createObject);
    ResultMsg rm = MeridianNew::startup(configDB, workDB);
    std::cout << "start-up on " << configDB << ": " << shown(rm) << "\n";
    if (!rm.ok()) return 1;
    std::cout << "platform status: " << MeridianNew::getCurrPlatformStatus() << "\n";

    MemoDAO memo;
    memo._name = "release notes";
    memo._topic = "O'Brien's 50% plan";
    memo._rProjectID = 7;
    rm = memo.save();
    std::cout << "saved memo \"" << memo._name << "\" as id " << memo._ID << ": " << shown(rm)
              << "\n";

    MemoDAO* byId = nullptr;
    rm = RecordFinder<MemoDAO>().byID("MemoDAO", memo._ID, byId);
    std::cout << "found by id " << memo._ID << ": "
              << (byId ? "\"" + byId->_name + "\", topic \"" + byId->_topic + "\"" : "nothing")
              << " (" << shown(rm) << ")\n";
    delete byId;

    std::list<MemoDAO*> byTopic;
    rm = RecordFinder<MemoDAO>().byText("MemoDAO", "_topic", "O'Brien%", byTopic);
    std::cout << "found by _topic like 'O'Brien%': " << byTopic.size() << " memo(s) (" << shown(rm)
              << ")\n";
    T_deletePtrList(byTopic);

    std::list<MemoDAO*> byProject;
    rm = RecordFinder<MemoDAO>().byInt("MemoDAO", "_rProjectID", 7, byProject);
    std::cout << "found by _rProjectID = 7: " << byProject.size() << " memo(s) (" << shown(rm)
              << ")\n";
    bool ok = byProject.size() == 1 && byProject.front()->_ID == memo._ID;
    T_deletePtrList(byProject);

    // All or nothing: a transaction that ends without commit() leaves nothing.
    {
        Transaction tx(*MeridianNew::getCurrMRDConfigIDM());
        MemoDAO draft;
        draft._name = "draft";
        rm = draft.save();
        std::cout << "saved a draft inside a transaction: " << shown(rm) << "\n";
    }
    std::list<MemoDAO*> drafts;
    rm = RecordFinder<MemoDAO>().byText("MemoDAO", "_name", "draft", drafts);
    std::cout << "drafts after the transaction ended without commit: " << drafts.size() << " ("
              << shown(rm) << ")\n";
    ok = ok && drafts.empty();
    T_deletePtrList(drafts);

    MeridianNew::LOGGER()->appendMsg("quickstart done");
    rm = MeridianNew::shutdown();
    std::cout << "shut-down (commits and closes both databases): " << shown(rm) << "\n";
    ok = ok && rm.ok();
    std::cout << "run log: " << folder << "/DB_Log/db_log" << StringHelper::currTimeStr(3)
              << ".log\n";
    std::filesystem::current_path(startedIn);
    std::filesystem::remove_all(folder);
    std::cout << (ok ? "quickstart finished" : "quickstart FAILED") << "\n";
    return ok ? 0 : 1;
}
