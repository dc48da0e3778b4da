// The picture of a model as the page draws it.
#include "Diagram.h"

namespace qms::diagram {

namespace {

Json boxFields(const Box& box) {
    return {{"x", box.x}, {"y", box.y}, {"width", box.w}, {"height", box.h}};
}

}  // namespace

Json diagramJson(const Diagram& diagram) {
    Json tables = Json::array();
    for (const auto& [id, table] : diagram.tables) {
        Json columns = Json::array();
        for (const Column& column : table.columns) {
            columns.push_back({{"id", column.id},
                               {"name", column.name},
                               {"display", column.display},
                               {"type", column.type},
                               {"fkTableID", column.fkTableID}});
        }
        tables.push_back({{"id", id},
                          {"name", table.name},
                          {"display", table.display},
                          {"columns", std::move(columns)}});
    }
    return {{"title", diagram.title},
            {"measures", {{"titleHeight", kTitleHeight}, {"rowHeight", kRowHeight}}},
            {"tables", std::move(tables)}};
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
