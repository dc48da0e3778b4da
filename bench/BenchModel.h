#pragma once

// Building blocks of the models the lifecycle and transfer benchmarks work
// on: a table of 20 columns with a query definition, and a scene record.
#include <string>
#include <vector>

#include "BenchPlatform.h"
#include "M_EntityModelDAO.h"
#include "M_EntityTableDAO.h"
#include "M_FindByInterfaceDAO.h"
#include "M_FolderDAO.h"
#include "M_NormalColumnDAO.h"
#include "M_SceneInfoDAO.h"

namespace arxbench {

constexpr int kBenchColumns = 20;

/// Table "T<index>" of 20 columns (integer, text and real in turn) with a
/// query definition on its first two columns, in `folder` of `model`;
/// returns the table's _ID. Its first column refers to the table
/// `referencedTableID` when that is above 0. Writes with commit type 0.
inline int addBenchTable(M_EntityModelDAO& model, M_FolderDAO& folder, int index,
                         int referencedTableID = -1) {
    M_EntityTableDAO table;
    table._name = "T" + std::to_string(index);
    table._displayName = "Table " + std::to_string(index);
    must(folder.addM_EntityTableDAO(&table));
    std::vector<int> ids;
    for (int c = 0; c < kBenchColumns; ++c) {
        M_NormalColumnDAO column;
        column._name = "C" + std::to_string(c);
        column._dataType = c % 3 + 1;
        if (c == 0 && referencedTableID > 0) column._fkTableID = referencedTableID;
        must(table.addNormalColumnDAO(&model, &column, 0));
        ids.push_back(column._ID);
    }
    M_FindByInterfaceDAO finder;
    finder._name = "FindByC0AndC1";
    finder._paraList =
        StringHelper::int2String(ids[0]) + ",x#" + StringHelper::int2String(ids[1]) + ",y";
    finder._sortAttributeList =
        StringHelper::int2String(ids[1]) + "," + StringHelper::int2String(ids[0]);
    must(table.addFindByInterfaceDAO(&finder, 0));
    return table._ID;
}

/// A scene record of `kind` showing `objectID` in model `modelID`.
inline M_SceneInfoDAO benchScene(int kind, int objectID, int modelID, int at) {
    M_SceneInfoDAO scene;
    scene._sceneType = kind;
    scene._dataObjectId = objectID;
    scene._entityModelID = modelID;
    scene._x = scene._y = 10 * at;
    scene._width = scene._height = 100;
    return scene;
}

}  // namespace arxbench
