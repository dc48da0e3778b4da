// The picture of a model as the page draws it.
#include "Diagram.h"

namespace qms::diagram {

namespace {

Json boxFields(const Box& box) {
    return {{"x", box.x}, {"y", box.y}, {"width", box.w}, {"height", box.h}};
}

}  // namespace

Json diagramJson(const Diagram& diagram) {
    Json frames = Json::array();
    for (const Frame& frame : framesInDrawOrder(diagram)) {
        Json entry = {{"folder", frame.name}};
        entry.update(boxFields(frame.box));
        frames.push_back(std::move(entry));
    }
    Json tables = Json::array();
    for (const auto& [id, table] : diagram.tables) {
        Json entry = {{"id", id}, {"name", table.name}, {"display", table.display}};
        entry.update(boxFields(table.box));
        Json& columns = entry["columns"] = Json::array();
        for (const Column& column : table.columns) {
            columns.push_back({{"name", column.name},
                               {"display", column.display},
                               {"type", column.type},
                               {"label", column.label},
                               {"fkTableID", column.fkTableID}});
        }
        tables.push_back(std::move(entry));
    }
    return {{"title", diagram.title},
            {"measures", {{"titleHeight", kTitleHeight}, {"rowHeight", kRowHeight}}},
            {"frames", std::move(frames)},
            {"tables", std::move(tables)}};
}

}  // namespace qms::diagram
