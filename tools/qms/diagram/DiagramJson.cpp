// The picture of a model as the page draws it.
#include <algorithm>

#include "Diagram.h"

namespace qms::diagram {

namespace {

Json boxFields(const Box& box) {
    return {{"x", box.x}, {"y", box.y}, {"width", box.w}, {"height", box.h}};
}

}  // namespace

void appendDiagramJson(const Diagram& diagram, std::string& out) {
    // Written as text, not built as a tree of values first: the tree of a
    // large model takes several times the memory of its text.
    const auto text = [&out](const std::string& value) {
        // Printable ASCII without quote or backslash is written as it is
        // (most names); the rest as the JSON library escapes it.
        if (std::all_of(value.begin(), value.end(),
                        [](char c) { return c >= 0x20 && c < 0x7F && c != '"' && c != '\\'; })) {
            out += '"';
            out += value;
            out += '"';
            return;
        }
        out += Json(value).dump(-1, ' ', false, Json::error_handler_t::replace);
    };
    out += "{\"title\":";
    text(diagram.title);
    out += ",\"measures\":{\"titleHeight\":" + std::to_string(kTitleHeight) +
           ",\"rowHeight\":" + std::to_string(kRowHeight) + "},\"tables\":[";
    bool firstTable = true;
    for (const auto& [id, table] : diagram.tables) {
        out += firstTable ? "{\"id\":" : ",{\"id\":";
        firstTable = false;
        out += std::to_string(id) + ",\"name\":";
        text(table.name);
        out += ",\"display\":";
        text(table.display);
        out += ",\"width\":" + std::to_string(table.width) +
               ",\"height\":" + std::to_string(table.height) + ",\"columns\":[";
        bool firstColumn = true;
        for (const Column& column : table.columns) {
            out += firstColumn ? "{\"id\":" : ",{\"id\":";
            firstColumn = false;
            out += std::to_string(column.id) + ",\"name\":";
            text(column.name);
            out += ",\"display\":";
            text(column.display);
            out += ",\"type\":";
            text(column.type);
            out += ",\"fkTableID\":" + std::to_string(column.fkTableID) + ",\"marks\":";
            text(column.marks);
            out += "}";
        }
        out += "]}";
    }
    out += "]}";
}

Json layoutJson(const Layout& layout) {
    Json frames = Json::array();
    for (const Frame& frame : framesInDrawOrder(layout)) {
        Json entry = {{"folder", frame.name},
                      {"id", frame.folderID},
                      {"parent", frame.parentID},
                      {"fixed", frame.fixed}};
        entry.update(boxFields(frame.box));
        frames.push_back(std::move(entry));
    }
    Json boxes = Json::array();
    for (const auto& [id, spot] : layout.spots) {
        Json entry = {{"table", id}, {"folder", spot.homeFolderID}};
        entry.update(boxFields(spot.box));
        boxes.push_back(std::move(entry));
    }
    Json arrows = Json::array();
    for (const ArrowRoute& arrow : layout.arrows) {
        Json points = Json::array();
        for (const Point& p : arrow.route)
            points.push_back({p.x, p.y});
        arrows.push_back({{"table", arrow.from},
                          {"row", arrow.row},
                          {"to", arrow.to},
                          {"points", std::move(points)}});
    }
    return {
        {"frames", std::move(frames)}, {"boxes", std::move(boxes)}, {"arrows", std::move(arrows)}};
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
