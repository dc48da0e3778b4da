#pragma once

// The plane a model's picture is drawn on: boxes, points and the measures
// of a box's lines, in SVG user units. No database here, so the routing of
// arrows is tested on its own.
#include <vector>

namespace qms::diagram {

constexpr int kTitleHeight = 22;  // a table's or folder's name line
constexpr int kRowHeight = 16;    // one column line

struct Box {
    int x = 0, y = 0, w = 0, h = 0;
    int right() const { return x + w; }
    int bottom() const { return y + h; }
};

struct Point {
    int x = 0, y = 0;
    bool operator==(const Point& other) const { return x == other.x && y == other.y; }
};

/// A line of connected segments, each horizontal or vertical.
using Route = std::vector<Point>;

}  // namespace qms::diagram
