// Laying a model's picture out: the folder tree first, then the boxes of
// the scene records, then each frame fitted around what it holds.
#include <algorithm>
#include <list>
#include <map>
#include <set>

#include "Cli.h"
#include "Diagram.h"
#include "M_SceneInfoDAO.h"
#include "PtrListHelper.h"

namespace qms::diagram {

namespace {

// The picture being laid out.
struct Work {
    const Diagram& diagram;
    Layout& layout;
    Spot& spot(int tableID) {
        Spot& spot = layout.spots[tableID];
        if (spot.box.w == 0) {
            const Table& table = diagram.tables.at(tableID);
            spot.box.w = table.width;
            spot.box.h = table.height;
        }
        return spot;
    }
    const Folder& folder(int folderID) const { return diagram.folders.at(folderID); }
};

// Lays the tables that have no box yet side by side from (x, y); they
// belong to the frame of `folderID` (0: none).
void placeInRow(Work& work, const std::vector<int>& tableIDs, int folderID, int x, int y,
                int& right, int& bottom) {
    right = x;
    bottom = y;
    for (int id : tableIDs) {
        Spot& table = work.spot(id);
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
Box layoutFolder(Work& work, int folderID, int x, int y, std::set<int>& visited) {
    visited.insert(folderID);
    const Folder& folder = work.folder(folderID);
    const std::size_t frameIndex = work.layout.frames.size();
    work.layout.frames.push_back({folderID, folder.name, {}, false, folder.parentID});

    const int top = y + kTitleHeight + kPadding / 2;
    int right = x + kPadding, bottom = top;
    placeInRow(work, folder.tableIDs, folderID, x + kPadding, top, right, bottom);
    int width = std::max(textWidth(folder.name), right - x - kPadding);

    int subX = x + kPadding;
    const int subY = bottom > top ? bottom + kGap : top;
    int subBottom = bottom;
    for (int subID : folder.subFolderIDs) {
        if (visited.count(subID) != 0) continue;
        const Box sub = layoutFolder(work, subID, subX, subY, visited);
        subX = sub.right() + kGap;
        subBottom = std::max(subBottom, sub.bottom());
    }
    width = std::max(width, subX - kGap - x - kPadding);
    const Box frame{x, y, std::max(width, 60) + 2 * kPadding,
                    std::max(subBottom, top) + kPadding - y};
    work.layout.frames[frameIndex].box = frame;
    return frame;
}

// The root folders' frames one below the other, then the tables that no
// folder holds in a row below them.
void layoutTree(Work& work) {
    std::set<int> visited;
    int y = kGap;
    for (const auto& [id, folder] : work.diagram.folders) {
        if (folder.parentID > 0 && work.diagram.folders.count(folder.parentID) != 0) continue;
        if (folder.temporary && folder.tableIDs.empty() && folder.subFolderIDs.empty()) continue;
        y = layoutFolder(work, id, 0, y, visited).bottom() + kGap;
    }
    std::vector<int> loose;
    for (const auto& entry : work.diagram.tables)
        loose.push_back(entry.first);
    int right = 0, bottom = 0;
    placeInRow(work, loose, 0, 0, y, right, bottom);
}

Box storedBox(const M_SceneInfoDAO& scene) {
    const auto within = [](int value, int low, int high) { return std::clamp(value, low, high); };
    return {within(scene._x, -kMaxCoordinate, kMaxCoordinate),
            within(scene._y, -kMaxCoordinate, kMaxCoordinate), within(scene._width, 0, kMaxSize),
            within(scene._height, 0, kMaxSize)};
}

// Boxes where the scene records put them (the first record of an object
// counts); a size of 0 takes the box's own.
void applyScene(Work& work, const std::list<M_SceneInfoDAO*>& scenes) {
    std::set<int> shownFolders;
    std::vector<Frame>& frames = work.layout.frames;
    for (const M_SceneInfoDAO* scene : scenes) {
        Box box = storedBox(*scene);
        if (scene->_sceneType == SCENE_KIND_FOLDER) {
            const auto folder = work.diagram.folders.find(scene->_dataObjectId);
            if (folder == work.diagram.folders.end() || !shownFolders.insert(folder->first).second)
                continue;
            if (box.w <= 0) box.w = kDefaultFolderWidth;
            if (box.h <= 0) box.h = kDefaultFolderHeight;
            const auto frame = std::find_if(frames.begin(), frames.end(), [&](const Frame& f) {
                return f.folderID == folder->first;
            });
            if (frame != frames.end())
                *frame = {folder->first, folder->second.name, box, true, folder->second.parentID};
            else
                frames.push_back(
                    {folder->first, folder->second.name, box, true, folder->second.parentID});
        } else if (scene->_sceneType == SCENE_KIND_TABLE &&
                   work.diagram.tables.count(scene->_dataObjectId) != 0) {
            Spot& table = work.spot(scene->_dataObjectId);
            if (table.fromScene) continue;
            if (box.w <= 0) box.w = table.box.w;
            if (box.h <= 0) box.h = table.box.h;
            table.box = box;
            table.fromScene = true;
        }
    }
}

// Fits the frame of `folderID` around its tables and its sub-folders'
// frames (unless its scene record fixed it); the frame's box.
Box fitFrame(Work& work, std::size_t frameIndex, std::set<int>& visited) {
    std::vector<Frame>& frames = work.layout.frames;
    const int folderID = frames[frameIndex].folderID;
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
    const Folder& folder = work.folder(folderID);
    for (int id : folder.tableIDs) {
        const Spot& table = work.spot(id);
        if (table.homeFolderID == folderID) include(table.box);
    }
    for (int subID : folder.subFolderIDs) {
        for (std::size_t i = 0; i < frames.size(); ++i) {
            if (frames[i].folderID == subID && visited.count(subID) == 0)
                include(fitFrame(work, i, visited));
        }
    }
    Frame& frame = frames[frameIndex];
    if (any && !frame.fixed) {
        const int top = minY - kTitleHeight - kPadding / 2;
        frame.box = {minX - kPadding, top,
                     std::max({maxX - minX, textWidth(frame.name), 60}) + 2 * kPadding,
                     maxY + kPadding - top};
    }
    return frame.box;
}

}  // namespace

Layout layOut(const Diagram& diagram, M_EntityModelDAO& model, const Layout* before) {
    Layout layout;
    Work work{diagram, layout};
    layoutTree(work);

    std::list<M_SceneInfoDAO*> scenes;
    PtrListGuard<M_SceneInfoDAO> ownScenes(scenes);
    check(M_SceneInfoDAO::FindByEntityModelID(model._ID, scenes), "cannot read the scene");
    scenes.sort([](const M_SceneInfoDAO* l, const M_SceneInfoDAO* r) { return l->_ID < r->_ID; });
    applyScene(work, scenes);

    // Parents come before their sub-folders in the list of frames.
    std::set<int> visited;
    for (std::size_t i = 0; i < layout.frames.size(); ++i) {
        if (visited.count(layout.frames[i].folderID) == 0) fitFrame(work, i, visited);
    }
    routeLayout(diagram, layout, before);
    return layout;
}

// Where a frame's name begins on its name line, and the room the page's
// arrange mark takes at its right end.
constexpr int kNameInset = 8;
constexpr int kArrangeMark = 24;

namespace {

bool sameBox(const Box& l, const Box& r) {
    return l.x == r.x && l.y == r.y && l.w == r.w && l.h == r.h;
}

// The routes of `before` that the arrows of `layout` may keep (an empty
// route for one routed anew): the arrow's reference and its two boxes are
// as they were, and no box or strip that appeared, grew or moved since lies
// across the route.
std::vector<Route> keptRoutes(const Layout& layout, const Layout& before) {
    std::set<int> moved;
    std::vector<Box> changed;
    for (const auto& [id, spot] : layout.spots) {
        const auto old = before.spots.find(id);
        if (old != before.spots.end() && sameBox(old->second.box, spot.box)) continue;
        moved.insert(id);
        changed.push_back(spot.box);
    }
    for (const Box& strip : layout.strips) {
        if (std::none_of(before.strips.begin(), before.strips.end(),
                         [&](const Box& old) { return sameBox(old, strip); }))
            changed.push_back(strip);
    }
    std::map<std::pair<int, int>, const ArrowRoute*> earlier;  // by table and column line
    for (const ArrowRoute& arrow : before.arrows)
        earlier[{arrow.from, arrow.row}] = &arrow;
    std::vector<Route> kept;
    for (const ArrowRoute& arrow : layout.arrows) {
        const auto old = earlier.find({arrow.from, arrow.row});
        const bool keeps = old != earlier.end() && old->second->to == arrow.to &&
                           moved.count(arrow.from) == 0 && moved.count(arrow.to) == 0 &&
                           !routeCrosses(changed, old->second->unspread);
        kept.push_back(keeps ? old->second->unspread : Route{});
    }
    return kept;
}

}  // namespace

void routeLayout(const Diagram& diagram, Layout& layout, const Layout* before) {
    std::vector<Box> boxes;
    std::map<int, int> boxOf;  // table _ID -> index in boxes
    for (const auto& [id, spot] : layout.spots) {
        boxOf[id] = static_cast<int>(boxes.size());
        boxes.push_back(spot.box);
    }
    layout.arrows.clear();
    std::vector<Arrow> arrows;
    for (const auto& [id, table] : diagram.tables) {
        for (std::size_t row = 0; row < table.columns.size(); ++row) {
            const int target = table.columns[row].fkTableID;
            if (boxOf.count(id) == 0 || boxOf.count(target) == 0) continue;
            layout.arrows.push_back({id, static_cast<int>(row), target, {}, {}});
            arrows.push_back({boxOf[id], static_cast<int>(row), boxOf[target]});
        }
    }
    // No arrow runs across a frame's name or the page's arrange mark at the
    // right end of its name line; the rest of the line stays a way into
    // the frame, so that arrows need no long way around wide frames.
    layout.strips.clear();
    for (const Frame& frame : layout.frames) {
        const Box& f = frame.box;
        const int height = std::min(kTitleHeight, f.h);
        const int name = std::min(f.w, 2 * kNameInset + textWidth(frame.name));
        layout.strips.push_back({f.x, f.y, name, height});
        if (f.w - name > kArrangeMark)
            layout.strips.push_back({f.right() - kArrangeMark, f.y, kArrangeMark, height});
    }
    const std::vector<Route> kept =
        before != nullptr ? keptRoutes(layout, *before) : std::vector<Route>{};
    Routing routing = routeArrowsKeeping(boxes, arrows, layout.strips, kept);
    for (std::size_t i = 0; i < routing.routes.size(); ++i) {
        layout.arrows[i].route = std::move(routing.routes[i]);
        layout.arrows[i].unspread = std::move(routing.unspread[i]);
    }
}

std::vector<Frame> framesInDrawOrder(const Layout& layout) {
    std::vector<Frame> frames = layout.frames;
    std::stable_sort(frames.begin(), frames.end(), [](const Frame& l, const Frame& r) {
        return static_cast<long long>(l.box.w) * l.box.h >
               static_cast<long long>(r.box.w) * r.box.h;
    });
    return frames;
}

}  // namespace qms::diagram
