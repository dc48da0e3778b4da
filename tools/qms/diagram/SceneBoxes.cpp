// Storing where a table's box stands: its scene record in the model.
#include <algorithm>
#include <list>
#include <vector>

#include "Cli.h"
#include "Diagram.h"
#include "InstanceDataManager.h"
#include "MRDSession.h"
#include "M_SceneInfoDAO.h"
#include "MeridianNew.h"
#include "PtrListHelper.h"
#include "Transaction.h"

namespace qms::diagram {

std::string boxProblem(const Box& box) {
    const auto inside = [](int value, int low, int high) { return value >= low && value <= high; };
    if (!inside(box.x, -kMaxCoordinate, kMaxCoordinate) ||
        !inside(box.y, -kMaxCoordinate, kMaxCoordinate))
        return "a box's position must lie within " + std::to_string(kMaxCoordinate) +
               " of the origin";
    if (!inside(box.w, 1, kMaxSize) || !inside(box.h, 1, kMaxSize))
        return "a box's width and height must be from 1 to " + std::to_string(kMaxSize);
    return "";
}

void saveTableBox(M_EntityModelDAO& model, M_EntityTableDAO& table, const Box& box) {
    const std::string what = "cannot save the box of table '" + utf8(table._name) + "'";
    Transaction transaction(*MeridianNew::getCurrMRDConfigIDM()->getPSession());
    check(transaction.begun(), what);
    std::list<M_SceneInfoDAO*> scenes;
    PtrListGuard<M_SceneInfoDAO> ownScenes(scenes);
    check(M_SceneInfoDAO::FindByEntityModelID(model._ID, scenes), what);
    // The picture reads the oldest record of a box: that one is written.
    std::vector<M_SceneInfoDAO*> records;
    for (M_SceneInfoDAO* scene : scenes) {
        if (scene->_sceneType == SCENE_KIND_TABLE && scene->_dataObjectId == table._ID)
            records.push_back(scene);
    }
    std::sort(records.begin(), records.end(),
              [](const M_SceneInfoDAO* l, const M_SceneInfoDAO* r) { return l->_ID < r->_ID; });
    M_SceneInfoDAO made;
    M_SceneInfoDAO& record = records.empty() ? made : *records.front();
    record._x = box.x;
    record._y = box.y;
    record._width = box.w;
    record._height = box.h;
    if (records.empty()) {
        made._sceneType = SCENE_KIND_TABLE;
        made._dataObjectId = table._ID;
        check(table.addSceneInfo(&model, &made, 0), what);
    } else {
        check(record.save(0), what);
    }
    for (std::size_t i = 1; i < records.size(); ++i)
        check(records[i]->delself(0), what);
    check(transaction.commit(), what);
}

}  // namespace qms::diagram
