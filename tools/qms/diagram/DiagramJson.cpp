// The picture of a model as the page draws it.
#include <algorithm>
#include <charconv>
#include <map>
#include <utility>
#include <vector>

#include "Diagram.h"

namespace qms::diagram {

namespace {

// JSON text of a string: printable ASCII without quote or backslash is
// written as it is (most names); the rest as the JSON library escapes it.
void appendText(const std::string& value, std::string& out) {
    if (std::all_of(value.begin(), value.end(),
                    [](char c) { return c >= 0x20 && c < 0x7F && c != '"' && c != '\\'; })) {
        out += '"';
        out += value;
        out += '"';
        return;
    }
    out += Json(value).dump(-1, ' ', false, Json::error_handler_t::replace);
}

void appendBox(const Box& box, std::string& out) {
    out += "\"height\":" + std::to_string(box.h);
}

// The fields after "height": width, x and y (the JSON library's order of
// keys, which the answers keep).
void appendBoxEnd(const Box& box, std::string& out) {
    out += ",\"width\":" + std::to_string(box.w) + ",\"x\":" + std::to_string(box.x) +
           ",\"y\":" + std::to_string(box.y) + "}";
}

void appendNumber(int value, std::string& out) {
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end);
}

// Appended piece by piece: tens of thousands of columns, no text made on the way.
void appendTable(int id, const Table& table, std::string& out) {
    out += "{\"id\":";
    appendNumber(id, out);
    out += ",\"name\":";
    appendText(table.name, out);
    out += ",\"display\":";
    appendText(table.display, out);
    out += ",\"width\":";
    appendNumber(table.width, out);
    out += ",\"height\":";
    appendNumber(table.height, out);
    out += ",\"columns\":[";
    bool first = true;
    for (const Column& column : table.columns) {
        out += first ? "{\"id\":" : ",{\"id\":";
        first = false;
        appendNumber(column.id, out);
        out += ",\"name\":";
        appendText(column.name, out);
        out += ",\"display\":";
        appendText(column.display, out);
        out += ",\"type\":";
        appendText(column.type, out);
        out += ",\"fkTableID\":";
        appendNumber(column.fkTableID, out);
        out += ",\"marks\":";
        appendText(column.marks, out);
        out += '}';
    }
    out += "]}";
}

void appendHead(const Diagram& diagram, std::string& out) {
    out += "{\"title\":";
    appendText(diagram.title, out);
    out += ",\"measures\":{\"titleHeight\":" + std::to_string(kTitleHeight) +
           ",\"rowHeight\":" + std::to_string(kRowHeight) + "},\"tables\":[";
}

void appendFrame(const Frame& frame, std::string& out) {
    out += std::string("{\"fixed\":") + (frame.fixed ? "true" : "false") + ",\"folder\":";
    appendText(frame.name, out);
    out += ",";
    appendBox(frame.box, out);
    out += ",\"id\":" + std::to_string(frame.folderID) +
           ",\"parent\":" + std::to_string(frame.parentID);
    appendBoxEnd(frame.box, out);
}

void appendSpot(int id, const Spot& spot, std::string& out) {
    out += "{\"folder\":" + std::to_string(spot.homeFolderID) + ",";
    appendBox(spot.box, out);
    out += ",\"table\":" + std::to_string(id);
    appendBoxEnd(spot.box, out);
}

void appendArrow(const ArrowRoute& arrow, std::string& out) {
    out += "{\"points\":[";
    for (std::size_t i = 0; i < arrow.route.size(); ++i) {
        out += i == 0 ? "[" : ",[";
        out += std::to_string(arrow.route[i].x) + "," + std::to_string(arrow.route[i].y) + "]";
    }
    out += "],\"row\":" + std::to_string(arrow.row) + ",\"table\":" + std::to_string(arrow.from) +
           ",\"to\":" + std::to_string(arrow.to) + "}";
}

void appendFrames(const Layout& layout, std::string& out) {
    out += "\"frames\":[";
    bool first = true;
    for (const Frame& frame : framesInDrawOrder(layout)) {
        if (!first) out += ',';
        first = false;
        appendFrame(frame, out);
    }
    out += "]";
}

bool sameSpot(const Spot& l, const Spot& r) {
    return l.homeFolderID == r.homeFolderID && l.box.x == r.box.x && l.box.y == r.box.y &&
           l.box.w == r.box.w && l.box.h == r.box.h;
}

// A list of what `ids` holds, as a JSON array's text.
template <typename Ids, typename Write>
void appendList(const char* name, const Ids& ids, Write write, std::string& out) {
    out += std::string("\"") + name + "\":[";
    bool first = true;
    for (const auto& id : ids) {
        if (!first) out += ',';
        first = false;
        write(id);
    }
    out += "]";
}

}  // namespace

bool operator==(const Column& l, const Column& r) {
    return l.id == r.id && l.name == r.name && l.display == r.display && l.type == r.type &&
           l.label == r.label && l.fkTableID == r.fkTableID && l.marks == r.marks;
}

bool operator==(const Table& l, const Table& r) {
    return l.name == r.name && l.display == r.display && l.width == r.width &&
           l.height == r.height && l.columns == r.columns;
}

void appendDiagramJson(const Diagram& diagram, std::string& out) {
    // Written as text, not built as a tree of values first: the tree of a
    // large model takes several times the memory of its text. Room for
    // about all of it at once: no copy of a large text as it grows.
    std::size_t columns = 0;
    for (const auto& [id, table] : diagram.tables)
        columns += table.columns.size();
    out.reserve(out.size() + 80 * diagram.tables.size() + 96 * columns);
    appendHead(diagram, out);
    bool first = true;
    for (const auto& [id, table] : diagram.tables) {
        if (!first) out += ',';
        first = false;
        appendTable(id, table, out);
    }
    out += "]}";
}

void appendDiagramDeltaJson(const Diagram& before, const Diagram& now, std::string& out) {
    appendHead(now, out);
    bool first = true;
    for (const auto& [id, table] : now.tables) {
        const auto was = before.tables.find(id);
        if (was != before.tables.end() && was->second == table) continue;
        if (!first) out += ',';
        first = false;
        appendTable(id, table, out);
    }
    out += "],";
    std::vector<int> removed;
    for (const auto& [id, table] : before.tables)
        if (now.tables.count(id) == 0) removed.push_back(id);
    appendList(
        "removed", removed, [&out](int id) { out += std::to_string(id); }, out);
    out += "}";
}

void appendLayoutJson(const Layout& layout, std::string& out) {
    out += "{\"arrows\":[";
    bool first = true;
    for (const ArrowRoute& arrow : layout.arrows) {
        if (!first) out += ',';
        first = false;
        appendArrow(arrow, out);
    }
    out += "],\"boxes\":[";
    first = true;
    for (const auto& [id, spot] : layout.spots) {
        if (!first) out += ',';
        first = false;
        appendSpot(id, spot, out);
    }
    out += "],";
    appendFrames(layout, out);
    out += "}";
}

void appendLayoutDeltaFields(const Layout& before, const Layout& now, std::string& out) {
    std::map<std::pair<int, int>, const ArrowRoute*> was;
    for (const ArrowRoute& arrow : before.arrows)
        was[{arrow.from, arrow.row}] = &arrow;
    std::vector<const ArrowRoute*> arrows;
    for (const ArrowRoute& arrow : now.arrows) {
        const auto found = was.find({arrow.from, arrow.row});
        if (found != was.end()) {
            const bool same = found->second->to == arrow.to && found->second->route == arrow.route;
            was.erase(found);
            if (same) continue;
        }
        arrows.push_back(&arrow);
    }
    appendList(
        "arrows", arrows, [&out](const ArrowRoute* arrow) { appendArrow(*arrow, out); }, out);
    out += ",";
    std::vector<int> boxes, removedBoxes;
    for (const auto& [id, spot] : now.spots) {
        const auto found = before.spots.find(id);
        if (found == before.spots.end() || !sameSpot(found->second, spot)) boxes.push_back(id);
    }
    for (const auto& [id, spot] : before.spots)
        if (now.spots.count(id) == 0) removedBoxes.push_back(id);
    appendList(
        "boxes", boxes, [&](int id) { appendSpot(id, now.spots.at(id), out); }, out);
    out += ",";
    appendFrames(now, out);
    out += ",";
    appendList(
        "removedArrows", was,
        [&out](const auto& gone) {
            out += "[" + std::to_string(gone.first.first) + "," +
                   std::to_string(gone.first.second) + "]";
        },
        out);
    out += ",";
    appendList(
        "removedBoxes", removedBoxes, [&out](int id) { out += std::to_string(id); }, out);
}

Json changesJson(const Changes& changes) {
    return {{"tables",
             {{"added", changes.addedTables},
              {"changed", changes.changedTables},
              {"ended", changes.endedTables}}},
            {"columns",
             {{"added", changes.addedColumns},
              {"changed", changes.changedColumns},
              {"ended", changes.endedColumns}}}};
}

}  // namespace qms::diagram
