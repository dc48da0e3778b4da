// qms diagram: an SVG picture of one entity model. Folders are frames and
// tables are boxes listing their columns; a column that refers to another
// table of the model is an arrow to that table's box. The boxes stand where
// the model's scene records put them; a model without scene records gets
// a tree layout of nested folder frames.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <list>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "Cli.h"
#include "M_SceneInfoDAO.h"
#include "Names.h"
#include "Output.h"
#include "PtrListHelper.h"
#include "Session.h"

namespace qms {
namespace {

// Layout measures, in SVG user units.
constexpr int kTitleHeight = 22;  // a table's or folder's name line
constexpr int kRowHeight = 16;    // one column line
constexpr int kPadding = 12;      // inside a folder frame
constexpr int kGap = 24;          // between boxes
constexpr int kMinTableWidth = 140;
constexpr int kDefaultFolderWidth = 240;
constexpr int kDefaultFolderHeight = 160;

struct Box {
    int x = 0, y = 0, w = 0, h = 0;
    int right() const { return x + w; }
    int bottom() const { return y + h; }
};

struct Column {
    std::string label;  // "name: type", UTF-8
    int fkTableID = 0;
};

struct Table {
    std::string name;
    std::vector<Column> columns;
    Box box;
    bool placed = false;
};

struct Folder {
    std::string name;
    int parentID = 0;
    bool temporary = false;
    std::vector<int> tableIDs;
    std::vector<int> subFolderIDs;
};

struct Frame {
    std::string name;
    Box box;
};

struct Diagram {
    std::string title;
    std::map<int, Table> tables;  // by table _ID
    std::map<int, Folder> folders;
    std::vector<Frame> frames;
};

// An estimate of the drawn width of UTF-8 text at font size 12: wide
// characters (all non-ASCII here, mostly Chinese) take about twice the room.
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

// The model's tables with their columns, and its folders with their tables.
void readModel(M_EntityModelDAO& model, Diagram& diagram) {
    std::list<M_EntityTableDAO*> tables;
    PtrListGuard<M_EntityTableDAO> ownTables(tables);
    check(model.getEntityTableList(tables), "cannot read the tables");
    for (M_EntityTableDAO* table : tables) {
        Table& entry = diagram.tables[table->_ID];
        entry.name = utf8(table->_name);
        std::list<M_NormalColumnDAO*> columns;
        PtrListGuard<M_NormalColumnDAO> ownColumns(columns);
        check(table->getNormalColumnDAOList(&model, columns), "cannot read the columns");
        int width = textWidth(entry.name);
        for (const M_NormalColumnDAO* column : columns) {
            entry.columns.push_back(
                {utf8(column->_name) + ": " + dataTypeName(column->_dataType), column->_fkTableID});
            width = std::max(width, textWidth(entry.columns.back().label));
        }
        entry.box.w = std::max(kMinTableWidth, width + 16);
        entry.box.h = kTitleHeight + kRowHeight * static_cast<int>(entry.columns.size()) + 8;
    }

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
        // Only the tables of this model version.
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

// Lays the tables that have no box yet side by side from (x, y).
void placeInRow(Diagram& diagram, const std::vector<int>& tableIDs, int x, int y, int& right,
                int& bottom) {
    right = x;
    bottom = y;
    for (int id : tableIDs) {
        Table& table = diagram.tables[id];
        if (table.placed) continue;
        table.box.x = right;
        table.box.y = y;
        table.placed = true;
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
    diagram.frames.push_back({folder.name, {}});

    const int top = y + kTitleHeight + kPadding / 2;
    int right = x + kPadding, bottom = top;
    placeInRow(diagram, folder.tableIDs, x + kPadding, top, right, bottom);
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

// No scene records: the root folders' frames one below the other.
int layoutTree(Diagram& diagram) {
    std::set<int> visited;
    int y = kGap;
    for (auto& [id, folder] : diagram.folders) {
        if (folder.parentID > 0 && diagram.folders.count(folder.parentID) != 0) continue;
        if (folder.temporary && folder.tableIDs.empty() && folder.subFolderIDs.empty()) continue;
        y = layoutFolder(diagram, id, 0, y, visited).bottom() + kGap;
    }
    return y;
}

// Boxes where the scene records put them; a size of 0 takes the box's own.
// Returns the lowest edge drawn.
int layoutScene(Diagram& diagram, const std::list<M_SceneInfoDAO*>& scenes) {
    int bottom = 0;
    std::set<int> shownFolders;
    for (const M_SceneInfoDAO* scene : scenes) {
        Box box{scene->_x, scene->_y, scene->_width, scene->_height};
        if (scene->_sceneType == SCENE_KIND_FOLDER) {
            const auto folder = diagram.folders.find(scene->_dataObjectId);
            if (folder == diagram.folders.end() || !shownFolders.insert(folder->first).second)
                continue;
            if (box.w <= 0) box.w = kDefaultFolderWidth;
            if (box.h <= 0) box.h = kDefaultFolderHeight;
            diagram.frames.push_back({folder->second.name, box});
        } else if (scene->_sceneType == SCENE_KIND_TABLE) {
            const auto table = diagram.tables.find(scene->_dataObjectId);
            if (table == diagram.tables.end() || table->second.placed) continue;
            if (box.w <= 0) box.w = table->second.box.w;
            if (box.h <= 0) box.h = table->second.box.h;
            table->second.box = box;
            table->second.placed = true;
        } else {
            continue;
        }
        bottom = std::max(bottom, box.bottom());
    }
    return bottom + kGap;
}

// --- SVG text -------------------------------------------------------------

std::string escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                // Control characters have no place in XML text.
                if (static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n') out += c;
        }
    }
    return out;
}

std::string number(double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof(buffer), "%.1f", value);
    std::string text = buffer;
    if (text.size() > 2 && text.compare(text.size() - 2, 2, ".0") == 0)
        text.resize(text.size() - 2);
    return text;
}

std::string rect(const Box& box, const std::string& style) {
    return "<rect x=\"" + number(box.x) + "\" y=\"" + number(box.y) + "\" width=\"" +
           number(box.w) + "\" height=\"" + number(box.h) + "\" " + style + "/>\n";
}

std::string text(double x, double y, const std::string& content, const std::string& style = "") {
    return "<text x=\"" + number(x) + "\" y=\"" + number(y) + "\"" +
           (style.empty() ? "" : " " + style) + ">" + escape(content) + "</text>\n";
}

// The arrow of one reference, from the column's line of the source box.
// Boxes side by side: straight from the facing side to the target's border.
// Boxes one above the other: out to the left, down or up, and into the
// target's left side, so that the arrow never crosses its own box.
std::string arrow(const Table& from, std::size_t row, const Table& to) {
    const Box& a = from.box;
    const Box& b = to.box;
    const double rowY = std::min<double>(
        a.bottom(), a.y + kTitleHeight + kRowHeight * static_cast<double>(row) + kRowHeight / 2.0);
    const double toCenterX = b.x + b.w / 2.0, toCenterY = b.y + b.h / 2.0;
    std::string points;
    if (b.x >= a.right() || b.right() <= a.x) {
        const double startX = b.x >= a.right() ? a.right() : a.x;
        const double dx = startX - toCenterX, dy = rowY - toCenterY;
        double scale = 1.0;
        if (dx != 0.0) scale = std::min(scale, b.w / 2.0 / std::abs(dx));
        if (dy != 0.0) scale = std::min(scale, b.h / 2.0 / std::abs(dy));
        points = number(startX) + "," + number(rowY) + " " + number(toCenterX + dx * scale) + "," +
                 number(toCenterY + dy * scale);
    } else {
        const double trackX = std::min(a.x, b.x) - 5.0 - 3.0 * static_cast<double>(row % 3);
        points = number(a.x) + "," + number(rowY) + " " + number(trackX) + "," + number(rowY) +
                 " " + number(trackX) + "," + number(toCenterY) + " " + number(b.x) + "," +
                 number(toCenterY);
    }
    return "<polyline class=\"reference\" points=\"" + points +
           "\" fill=\"none\" stroke=\"#c0392b\" stroke-width=\"1.5\" "
           "marker-end=\"url(#arrow)\"><title>" +
           escape(from.name + "." + from.columns[row].label + " -> " + to.name) +
           "</title></polyline>\n";
}

std::string renderSvg(const Diagram& diagram) {
    // Everything drawn, with the heading above it, fits into the view box.
    int minX = 0, minY = 0, maxX = 0, maxY = 0;
    bool first = true;
    auto include = [&](const Box& box) {
        minX = first ? box.x : std::min(minX, box.x);
        minY = first ? box.y : std::min(minY, box.y);
        maxX = first ? box.right() : std::max(maxX, box.right());
        maxY = first ? box.bottom() : std::max(maxY, box.bottom());
        first = false;
    };
    for (const Frame& frame : diagram.frames)
        include(frame.box);
    for (const auto& entry : diagram.tables)
        include(entry.second.box);
    const int headingY = minY - 12;
    minY -= kTitleHeight + 12;
    maxX = std::max(maxX, minX + textWidth(diagram.title));
    minX -= kGap;
    minY -= kGap;
    maxX += kGap;
    maxY += kGap;
    const std::string width = std::to_string(maxX - minX), height = std::to_string(maxY - minY);

    std::string svg =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"" +
        std::to_string(minX) + " " + std::to_string(minY) + " " + width + " " + height +
        "\" width=\"" + width + "\" height=\"" + height +
        "\" font-family=\"sans-serif\" font-size=\"12\">\n"
        "<title>" +
        escape(diagram.title) +
        "</title>\n"
        "<defs><marker id=\"arrow\" viewBox=\"0 0 10 10\" refX=\"10\" refY=\"5\" "
        "markerWidth=\"8\" markerHeight=\"8\" orient=\"auto\">"
        "<path d=\"M0,0 L10,5 L0,10 z\" fill=\"#c0392b\"/></marker></defs>\n"
        "<rect x=\"" +
        std::to_string(minX) + "\" y=\"" + std::to_string(minY) + "\" width=\"" + width +
        "\" height=\"" + height + "\" fill=\"white\"/>\n" +
        text(minX + kGap, headingY, diagram.title, "font-size=\"16\" font-weight=\"bold\"");

    // Larger frames first, so that nested frames lie on top of their parents.
    std::vector<Frame> frames = diagram.frames;
    std::stable_sort(frames.begin(), frames.end(), [](const Frame& l, const Frame& r) {
        return l.box.w * l.box.h > r.box.w * r.box.h;
    });
    for (const Frame& frame : frames) {
        svg += "<g class=\"folder\">\n" +
               rect(frame.box,
                    "rx=\"6\" fill=\"#f4f6fa\" stroke=\"#8a94a6\" stroke-dasharray=\"6 3\"") +
               text(frame.box.x + 8, frame.box.y + 16, frame.name,
                    "font-weight=\"bold\" fill=\"#4a5568\"") +
               "</g>\n";
    }
    for (const auto& entry : diagram.tables) {
        const Table& table = entry.second;
        const Box& box = table.box;
        svg += "<g class=\"table\">\n" + rect(box, "fill=\"#ffffff\" stroke=\"#2d3748\"") +
               rect({box.x, box.y, box.w, kTitleHeight}, "fill=\"#dbe7f7\" stroke=\"#2d3748\"") +
               text(box.x + 8, box.y + 15, table.name, "font-weight=\"bold\"");
        for (std::size_t row = 0; row < table.columns.size(); ++row) {
            svg += text(box.x + 8, box.y + kTitleHeight + kRowHeight * (row + 1.0) - 4,
                        table.columns[row].label);
        }
        svg += "</g>\n";
    }
    for (const auto& entry : diagram.tables) {
        const Table& table = entry.second;
        for (std::size_t row = 0; row < table.columns.size(); ++row) {
            const auto target = diagram.tables.find(table.columns[row].fkTableID);
            if (target == diagram.tables.end() || target->first == entry.first) continue;
            svg += arrow(table, row, target->second);
        }
    }
    return svg + "</svg>\n";
}

}  // namespace

void addDiagramCommand(CLI::App& app, Options& options) {
    CLI::App* diagram = app.add_subcommand(
        "diagram", "write an SVG picture of a model (folders, tables, references) to stdout");
    auto model = std::make_shared<std::string>();
    auto project = std::make_shared<std::string>();
    auto version = std::make_shared<int>(0);
    auto id = std::make_shared<int>(0);
    CLI::Option* byId = nameOrId(diagram, options, "MODEL", "model name", *model, *id);
    diagram->add_option("--project", *project, "project of the model")
        ->check(storable())
        ->excludes(byId);
    diagram->add_option("--version", *version, "model version (default: the highest)")
        ->check(fromOne())
        ->excludes(byId);
    action(diagram, [&options, model, project, version, id] {
        Session session(options);
        M_EntityModelDAO found = findModel(*model, *project, *version, *id);
        Diagram picture;
        picture.title = utf8(found._name) + " v" + std::to_string(found._version);
        readModel(found, picture);

        std::list<M_SceneInfoDAO*> scenes;
        PtrListGuard<M_SceneInfoDAO> ownScenes(scenes);
        check(M_SceneInfoDAO::FindByEntityModelID(found._ID, scenes), "cannot read the scene");
        scenes.sort(
            [](const M_SceneInfoDAO* l, const M_SceneInfoDAO* r) { return l->_ID < r->_ID; });
        const int bottom = scenes.empty() ? layoutTree(picture) : layoutScene(picture, scenes);

        // Tables that neither a scene record nor a folder placed: one row below.
        std::vector<int> loose;
        for (const auto& entry : picture.tables)
            loose.push_back(entry.first);
        int right = 0, lowest = 0;
        placeInRow(picture, loose, 0, bottom, right, lowest);

        const std::string svg = renderSvg(picture);
        // Reading tables may tidy dangling links: commit before answering.
        session.close();
        writeOutput("", svg);
    });
}

}  // namespace qms
