// The picture of a model as the page draws it.
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
        out += ",\"columns\":[";
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
            out += ",\"fkTableID\":" + std::to_string(column.fkTableID) + "}";
        }
        out += "]}";
    }
    out += "]}";
}

Json layoutJson(const Layout& layout) {
    Json frames = Json::array();
    for (const Frame& frame : framesInDrawOrder(layout)) {
        Json entry = {{"folder", frame.name}};
        entry.update(boxFields(frame.box));
        frames.push_back(std::move(entry));
    }
    Json boxes = Json::array();
    for (const auto& [id, spot] : layout.spots) {
        Json entry = {{"table", id}};
        entry.update(boxFields(spot.box));
        boxes.push_back(std::move(entry));
    }
    return {{"frames", std::move(frames)}, {"boxes", std::move(boxes)}};
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
