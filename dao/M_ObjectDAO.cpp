#include "M_ObjectDAO.h"

#include <time.h>

#include <cstdint>
#include <memory>

#include "InstanceDataManager.h"
#include "M_ProjectDAO.h"
#include "MeridianNew.h"
#include "QmsRecordClasses.h"
#include "StringHelper.h"

namespace MeridianSpace {

namespace {

// The table whose change counter tells that project rows moved.
const std::string& projectTable() {
    static const std::string table = QmsRecordClasses::tableOf("M_ProjectDAO");
    return table;
}

// What the last stamp found. While the project rows are unchanged since
// then (same database, same project identifier), a further stamp would find
// the same: no project, or the project already carrying the same time text,
// so it is skipped. Saves in a burst then cost one project update per
// second, not one lookup and update each.
struct LastStamp {
    InstanceDataManager* idm = nullptr;
    int projectID = -1;
    bool found = false;
    std::string time;
    std::uint64_t projectRows = 0;

    bool covers(InstanceDataManager* current, int id, const std::string& now) const {
        return current != nullptr && current == idm && id == projectID && (!found || now == time) &&
               projectRows != 0 && current->changeCount(projectTable()) == projectRows;
    }
    void remember(InstanceDataManager* current, int id, bool wasFound, const std::string& now) {
        if (current == nullptr) return;
        idm = current;
        projectID = id;
        found = wasFound;
        time = now;
        projectRows = current->changeCount(projectTable());
    }
};

// What this thread's saves remember between calls: the last stamp, and the
// update time text (currTimeStr(0)) of the second it was formatted in.
struct StampMemo {
    LastStamp last;
    time_t second = -1;
    std::string text;

    static StampMemo& mine() {
        thread_local StampMemo memo;
        return memo;
    }
    // Formatted once per second.
    const std::string& currentTimeText() {
        struct timespec now {};
        clock_gettime(CLOCK_REALTIME, &now);
        if (now.tv_sec != second) {
            text = StringHelper::currTimeStr(0);
            second = now.tv_sec;
        }
        return text;
    }
};

ResultMsg noCurrentProject(int projectID) {
    return ResultMsg(RUN_SUCCESS,
                     "数据已保存。WARNING：但找不到当前项目，无法更新更新时间。projectID = " +
                         StringHelper::int2String(projectID));
}

}  // namespace

M_ObjectDAO::M_ObjectDAO() {
    _DAOType = DAO_TYPE_OBJECT;
}

M_ObjectDAO::~M_ObjectDAO() = default;

ResultMsg M_ObjectDAO::save(int commitType) {
    ResultMsg base = DAO::save(commitType);
    if (base.rCode != RUN_SUCCESS) {
        return ResultMsg(base.rCode, "ERROR:M_ObjectDAO::save()出错。" + base.rMsg);
    }
    if (_DAOType == DAO_TYPE_PROJECT) return ResultMsg(RUN_SUCCESS, base.rMsg);

    StampMemo& memo = StampMemo::mine();
    LastStamp& lastStamp = memo.last;
    const std::string now = memo.currentTimeText();
    const int projectID = M_ProjectDAO::getCurrProjectID();
    InstanceDataManager* configIDM = MeridianNew::getCurrMRDConfigIDM();
    if (lastStamp.covers(configIDM, projectID, now)) {
        if (lastStamp.found) return ResultMsg(RUN_SUCCESS, base.rMsg);
        return noCurrentProject(projectID);
    }
    lastStamp = LastStamp();

    M_ProjectDAO* found = nullptr;
    (void)M_ProjectDAO::FindByID(projectID, found);  // not found or not read: the warning below
    if (found == nullptr) {
        lastStamp.remember(configIDM, projectID, false, now);
        return noCurrentProject(projectID);
    }
    std::unique_ptr<M_ProjectDAO> project(found);
    // Stamped in this second already (by this session or another): the same
    // time written again would add a row version for nothing, and on a
    // server every later read of the row in a long transaction walks them
    // all, so a bulk build in one transaction turned quadratic.
    if (project->_updateTime != now) {
        project->_updateTime = now;
        ResultMsg stamped = project->save(commitType);
        if (!stamped.ok()) {
            return ResultMsg(RUN_SUCCESS,
                             "数据已保存。WARNING:但更新项目更新时间出错。" + stamped.rMsg);
        }
    }
    lastStamp.remember(configIDM, projectID, true, now);
    return ResultMsg(RUN_SUCCESS, base.rMsg);
}

InstanceDataManager* M_ObjectDAO::getIDM() {
    return MeridianNew::getCurrMRDConfigIDM();
}

}  // namespace MeridianSpace
