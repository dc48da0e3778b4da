// Reading a model into its picture and laying the picture out: the folder
// tree first, then the boxes of the scene records, then each frame fitted
// around what it holds.
#include <algorithm>
#include <list>
#include <set>

#include "Cli.h"
#include "Diagram.h"
#include "M_SceneInfoDAO.h"
#include "Names.h"
#include "PtrListHelper.h"

namespace qms::diagram {

// Wide characters (all non-ASCII here, mostly Chinese) take about twice the room.
int textWidth(const std::string& text) {
    int width = 0;
    for (unsigned char c : text) {
        if (c < 0x80)
            width += 7;
        else if (c >= 0xC0)
            width += 12;
    }
    return width;
}

namespace {

void readTables(M_EntityModelDAO& model, Diagram& diagram) {
    std::list<M_EntityTableDAO*> tables;
    PtrListGuard<M_EntityTableDAO> ownTables(tables);
    check(model.getEntityTableList(tables), "cannot read the tables");
    for (M_EntityTableDAO* table : tables) {
        Table& entry = diagram.tables[table->_ID];
        entry.name = utf8(table->_name);
        entry.display = utf8(table->_displayName);
        std::list<M_NormalColumnDAO*> columns;
        PtrListGuard<M_NormalColumnDAO> ownColumns(columns);
        check(table->getNormalColumnDAOList(&model, columns), "cannot read the columns");
        int width = textWidth(entry.name);
        for (const M_NormalColumnDAO* column : columns) {
            Column& drawn = entry.columns.emplace_back();
            drawn.name = utf8(column->_name);
            drawn.display = utf8(column->_displayName);
            drawn.type = dataTypeName(column->_dataType);
            drawn.label = drawn.name + ": " + drawn.type;
            drawn.fkTableID = column->_fkTableID;
            width = std::max(width, textWidth(drawn.label));
        }
        entry.box.w = std::max(kMinTableWidth, width + 16);
        entry.box.h = kTitleHeight + kRowHeight * static_cast<int>(entry.columns.size()) + 8;
    }
}

// The model's folders with the tables of this model version in each.
void readFolders(M_EntityModelDAO& model, Diagram& diagram) {
    std::list<M_FolderDAO*> folders;
    PtrListGuard<M_FolderDAO> ownFolders(folders);
    check(M_FolderDAO::FindByEntityModelID(model._ID, folders), "cannot read the folders");
    for (M_FolderDAO* folder : folders) {
        Folder& entry = diagram.folders[folder->_ID];
        entry.name = utf8(folder->_name);
        entry.parentID = folder->_t_M_FolderID;
        entry.temporary = folder->_folderType == FOLDER_TYPE_TEMPORARY;
        std::list<M_EntityTableDAO*> inFolder;
        PtrListGuard<M_EntityTableDAO> ownInFolder(inFolder);
        check(folder->getM_EntityTableDAOList(inFolder), "cannot read the tables of a folder");
        for (const M_EntityTableDAO* table : inFolder) {
            if (diagram.tables.count(table->_ID) != 0) entry.tableIDs.push_back(table->_ID);
        }
    }
    for (auto& [id, folder] : diagram.folders) {
        const auto parent = diagram.folders.find(folder.parentID);
        if (parent != diagram.folders.end() && folder.parentID != id)
            parent->second.subFolderIDs.push_back(id);
    }
}

// Lays the tables that have no box yet side by side from (x, y); they
// belong to the frame of `folderID` (0: none).
void placeInRow(Diagram& diagram, const std::vector<int>& tableIDs, int folderID, int x, int y,
                int& right, int& bottom) {
    right = x;
    bottom = y;
    for (int id : tableIDs) {
        Table& table = diagram.tables[id];
        if (table.placed) continue;
        table.box.x = right;
        table.box.y = y;
        table.placed = true;
        table.homeFolderID = folderID;
        right += table.box.w + kGap;
        bottom = std::max(bottom, table.box.bottom());
    }
    if (right > x) right -= kGap;
}

// A folder's frame at (x, y): its name, its tables in a row, its
// sub-folders' frames in a row below them. Returns the frame.
Box layoutFolder(Diagram& diagram, int folderID, int x, int y, std::set<int>& visited) {
    visited.insert(folderID);
    const Folder& folder = diagram.folders[folderID];
    const std::size_t frameIndex = diagram.frames.size();
    diagram.frames.push_back({folderID, folder.name, {}, false});

    const int top = y + kTitleHeight + kPadding / 2;
    int right = x + kPadding, bottom = top;
    placeInRow(diagram, folder.tableIDs, folderID, x + kPadding, top, right, bottom);
    int width = std::max(textWidth(folder.name), right - x - kPadding);

    int subX = x + kPadding;
    const int subY = bottom > top ? bottom + kGap : top;
    int subBottom = bottom;
    for (int subID : folder.subFolderIDs) {
        if (visited.count(subID) != 0) continue;
        const Box sub = layoutFolder(diagram, subID, subX, subY, visited);
        subX = sub.right() + kGap;
        subBottom = std::max(subBottom, sub.bottom());
    }
    width = std::max(width, subX - kGap - x - kPadding);
    const Box frame{x, y, std::max(width, 60) + 2 * kPadding,
                    std::max(subBottom, top) + kPadding - y};
    diagram.frames[frameIndex].box = frame;
    return frame;
}

// The root folders' frames one below the other, then the tables that no
// folder holds in a row below them.
void layoutTree(Diagram& diagram) {
    std::set<int> visited;
    int y = kGap;
    for (auto& [id, folder] : diagram.folders) {
        if (folder.parentID > 0 && diagram.folders.count(folder.parentID) != 0) continue;
        if (folder.temporary && folder.tableIDs.empty() && folder.subFolderIDs.empty()) continue;
        y = layoutFolder(diagram, id, 0, y, visited).bottom() + kGap;
    }
    std::vector<int> loose;
    for (const auto& entry : diagram.tables)
        loose.push_back(entry.first);
    int right = 0, bottom = 0;
    placeInRow(diagram, loose, 0, 0, y, right, bottom);
}

Box storedBox(const M_SceneInfoDAO& scene) {
    const auto within = [](int value, int low, int high) { return std::clamp(value, low, high); };
    return {within(scene._x, -kMaxCoordinate, kMaxCoordinate),
            within(scene._y, -kMaxCoordinate, kMaxCoordinate), within(scene._width, 0, kMaxSize),
            within(scene._height, 0, kMaxSize)};
}

// Boxes where the scene records put them (the first record of an object
// counts); a size of 0 takes the box's own.
void applyScene(Diagram& diagram, const std::list<M_SceneInfoDAO*>& scenes) {
    std::set<int> shownFolders;
    for (const M_SceneInfoDAO* scene : scenes) {
        Box box = storedBox(*scene);
        if (scene->_sceneType == SCENE_KIND_FOLDER) {
            const auto folder = diagram.folders.find(scene->_dataObjectId);
            if (folder == diagram.folders.end() || !shownFolders.insert(folder->first).second)
                continue;
            if (box.w <= 0) box.w = kDefaultFolderWidth;
            if (box.h <= 0) box.h = kDefaultFolderHeight;
            const auto frame =
                std::find_if(diagram.frames.begin(), diagram.frames.end(),
                             [&](const Frame& f) { return f.folderID == folder->first; });
            if (frame != diagram.frames.end())
                *frame = {folder->first, folder->second.name, box, true};
            else
                diagram.frames.push_back({folder->first, folder->second.name, box, true});
        } else if (scene->_sceneType == SCENE_KIND_TABLE) {
            const auto table = diagram.tables.find(scene->_dataObjectId);
            if (table == diagram.tables.end() || table->second.fromScene) continue;
            if (box.w <= 0) box.w = table->second.box.w;
            if (box.h <= 0) box.h = table->second.box.h;
            table->second.box = box;
            table->second.fromScene = true;
        }
    }
}

// Fits the frame of `folderID` around its tables and its sub-folders'
// frames (unless its scene record fixed it); the frame's box.
Box fitFrame(Diagram& diagram, std::size_t frameIndex, std::set<int>& visited) {
    const int folderID = diagram.frames[frameIndex].folderID;
    visited.insert(folderID);
    bool any = false;
    int minX = 0, minY = 0, maxX = 0, maxY = 0;
    const auto include = [&](const Box& box) {
        minX = any ? std::min(minX, box.x) : box.x;
        minY = any ? std::min(minY, box.y) : box.y;
        maxX = any ? std::max(maxX, box.right()) : box.right();
        maxY = any ? std::max(maxY, box.bottom()) : box.bottom();
        any = true;
    };
    const Folder& folder = diagram.folders[folderID];
    for (int id : folder.tableIDs) {
        const Table& table = diagram.tables[id];
        if (table.homeFolderID == folderID) include(table.box);
    }
    for (int subID : folder.subFolderIDs) {
        for (std::size_t i = 0; i < diagram.frames.size(); ++i) {
            if (diagram.frames[i].folderID == subID && visited.count(subID) == 0)
                include(fitFrame(diagram, i, visited));
        }
    }
    Frame& frame = diagram.frames[frameIndex];
    if (any && !frame.fixed) {
        const int top = minY - kTitleHeight - kPadding / 2;
        frame.box = {minX - kPadding, top,
                     std::max({maxX - minX, textWidth(frame.name), 60}) + 2 * kPadding,
                     maxY + kPadding - top};
    }
    return frame.box;
}

}  // namespace

Diagram readDiagram(M_EntityModelDAO& model) {
    Diagram diagram;
    diagram.title = utf8(model._name) + " v" + std::to_string(model._version);
    readTables(model, diagram);
    readFolders(model, diagram);
    layoutTree(diagram);

    std::list<M_SceneInfoDAO*> scenes;
    PtrListGuard<M_SceneInfoDAO> ownScenes(scenes);
    check(M_SceneInfoDAO::FindByEntityModelID(model._ID, scenes), "cannot read the scene");
    scenes.sort([](const M_SceneInfoDAO* l, const M_SceneInfoDAO* r) { return l->_ID < r->_ID; });
    applyScene(diagram, scenes);

    // Parents come before their sub-folders in the list of frames.
    std::set<int> visited;
    for (std::size_t i = 0; i < diagram.frames.size(); ++i) {
        if (visited.count(diagram.frames[i].folderID) == 0) fitFrame(diagram, i, visited);
    }
    return diagram;
}

std::vector<Frame> framesInDrawOrder(const Diagram& diagram) {
    std::vector<Frame> frames = diagram.frames;
    std::stable_sort(frames.begin(), frames.end(), [](const Frame& l, const Frame& r) {
        return static_cast<long long>(l.box.w) * l.box.h >
               static_cast<long long>(r.box.w) * r.box.h;
    });
    return frames;
}

}  // namespace qms::diagram
