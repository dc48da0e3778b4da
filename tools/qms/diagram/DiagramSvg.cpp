// The picture of a model as an SVG document.
#include <algorithm>
#include <cstdio>

#include "Diagram.h"

namespace qms::diagram {

namespace {

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

// The arrow of one reference along its route (Routes.h); the page draws
// the same routes from the layout's JSON.
std::string arrow(const Table& from, const ArrowRoute& arrow, const Table& to) {
    std::string points;
    for (const Point& p : arrow.route)
        points += (points.empty() ? "" : " ") + number(p.x) + "," + number(p.y);
    return "<polyline class=\"" +
           std::string(arrow.from == arrow.to ? "reference loop" : "reference") + "\" points=\"" +
           points +
           "\" fill=\"none\" stroke=\"#c0392b\" stroke-width=\"1.5\" "
           "marker-end=\"url(#arrow)\"><title>" +
           escape(from.name + "." + from.columns[arrow.row].label + " -> " + to.name) +
           "</title></polyline>\n";
}

// Everything drawn, with room for the heading above it and a margin.
Box viewBox(const Diagram& diagram, const Layout& layout) {
    int minX = 0, minY = 0, maxX = 0, maxY = 0;
    bool first = true;
    auto include = [&](const Box& box) {
        minX = first ? box.x : std::min(minX, box.x);
        minY = first ? box.y : std::min(minY, box.y);
        maxX = first ? box.right() : std::max(maxX, box.right());
        maxY = first ? box.bottom() : std::max(maxY, box.bottom());
        first = false;
    };
    for (const Frame& frame : layout.frames)
        include(frame.box);
    for (const auto& entry : layout.spots)
        include(entry.second.box);
    minY -= kTitleHeight + 12;
    maxX = std::max(maxX, minX + textWidth(diagram.title));
    return {minX - kGap, minY - kGap, maxX - minX + 2 * kGap, maxY - minY + 2 * kGap};
}

std::string header(const Diagram& diagram, const Box& view) {
    const std::string x = std::to_string(view.x), y = std::to_string(view.y);
    const std::string width = std::to_string(view.w), height = std::to_string(view.h);
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"" +
           x + " " + y + " " + width + " " + height + "\" width=\"" + width + "\" height=\"" +
           height +
           "\" font-family=\"sans-serif\" font-size=\"12\">\n"
           "<title>" +
           escape(diagram.title) +
           "</title>\n"
           "<defs><marker id=\"arrow\" viewBox=\"0 0 10 10\" refX=\"10\" refY=\"5\" "
           "markerWidth=\"8\" markerHeight=\"8\" orient=\"auto\">"
           "<path d=\"M0,0 L10,5 L0,10 z\" fill=\"#c0392b\"/></marker></defs>\n"
           "<rect x=\"" +
           x + "\" y=\"" + y + "\" width=\"" + width + "\" height=\"" + height +
           "\" fill=\"white\"/>\n" +
           text(view.x + kGap, view.y + kGap + kTitleHeight, diagram.title,
                "font-size=\"16\" font-weight=\"bold\"");
}

// "added", "changed", "ended" or "" for the table or column `id`.
std::string markOf(int id, const std::set<int>& added, const std::set<int>& changed,
                   const std::set<int>& ended) {
    return added.count(id) != 0     ? "added"
           : changed.count(id) != 0 ? "changed"
           : ended.count(id) != 0   ? "ended"
                                    : "";
}

// How a column line of each mark is written: its colour, and an ended
// one struck through.
std::string columnStyle(const std::string& mark) {
    if (mark.empty()) return "";
    const char* colour = mark == "added" ? "#276749" : mark == "changed" ? "#c05621" : "#c53030";
    return "class=\"" + mark + "\" font-weight=\"bold\" fill=\"" + colour + "\"" +
           (mark == "ended" ? " text-decoration=\"line-through\"" : "");
}

std::string tableBox(const Table& table, int id, const Box& box, const Changes& changes) {
    const std::string mark =
        markOf(id, changes.addedTables, changes.changedTables, changes.endedTables);
    const char* head = mark == "added"     ? "#c6f6d5"
                       : mark == "changed" ? "#feebc8"
                       : mark == "ended"   ? "#fed7d7"
                                           : "#dbe7f7";
    const char* border =
        mark == "ended" ? "stroke=\"#c53030\" stroke-dasharray=\"5 3\"" : "stroke=\"#2d3748\"";
    std::string svg =
        "<g class=\"table" + (mark.empty() ? "" : " " + mark) + "\">\n" +
        rect(box, "fill=\"#ffffff\" " + std::string(border)) +
        rect({box.x, box.y, box.w, kTitleHeight}, "fill=\"" + std::string(head) + "\" " + border) +
        text(box.x + 8, box.y + 15, table.name, "font-weight=\"bold\"");
    for (std::size_t row = 0; row < table.columns.size(); ++row) {
        const Column& column = table.columns[row];
        const std::string marked =
            markOf(column.id, changes.addedColumns, changes.changedColumns, changes.endedColumns);
        const double lineY = box.y + kTitleHeight + kRowHeight * (row + 1.0) - 4;
        svg += text(box.x + 8, lineY, column.label, columnStyle(marked));
        if (!column.marks.empty())
            svg += text(box.right() - 6, lineY, column.marks,
                        "class=\"marks\" text-anchor=\"end\" font-size=\"9\" fill=\"#718096\"");
    }
    return svg + "</g>\n";
}

}  // namespace

std::string renderSvg(const Diagram& diagram, const Layout& layout, const Changes& changes) {
    std::string svg = header(diagram, viewBox(diagram, layout));
    for (const Frame& frame : framesInDrawOrder(layout)) {
        svg += "<g class=\"folder\">\n" +
               rect(frame.box,
                    "rx=\"6\" fill=\"#f4f6fa\" stroke=\"#8a94a6\" stroke-dasharray=\"6 3\"") +
               text(frame.box.x + 8, frame.box.y + 16, frame.name,
                    "font-weight=\"bold\" fill=\"#4a5568\"") +
               "</g>\n";
    }
    for (const auto& [id, table] : diagram.tables)
        svg += tableBox(table, id, layout.spots.at(id).box, changes);
    for (const ArrowRoute& route : layout.arrows)
        svg += arrow(diagram.tables.at(route.from), route, diagram.tables.at(route.to));
    return svg + "</svg>\n";
}

}  // namespace qms::diagram
