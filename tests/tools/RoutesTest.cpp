// The routes of a diagram's arrows, checked as a person looks at them: each
// starts at its column's line and ends at its target's name line, turns
// only at right angles, never runs through a box, a reference to the own
// table is a loop, many arrows do not merge into one line, and routes kept
// from an earlier routing leave the others as that routing made them.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "diagram/Routes.h"

namespace {

using qms::diagram::Arrow;
using qms::diagram::Box;
using qms::diagram::kRowHeight;
using qms::diagram::kTitleHeight;
using qms::diagram::Point;
using qms::diagram::Route;
using qms::diagram::routeArrows;
using qms::diagram::routeArrowsKeeping;
using qms::diagram::Routing;

std::string shown(const Route& route) {
    std::string text;
    for (const Point& p : route)
        text += "(" + std::to_string(p.x) + "," + std::to_string(p.y) + ")";
    return text;
}

bool onSide(const Box& b, const Point& p) {
    return (p.x == b.x || p.x == b.right()) && p.y >= b.y && p.y <= b.bottom();
}

bool throughInside(const Box& b, const Point& p, const Point& q) {
    const int left = std::min(p.x, q.x), right = std::max(p.x, q.x);
    const int top = std::min(p.y, q.y), bottom = std::max(p.y, q.y);
    return left < b.right() && right > b.x && top < b.bottom() && bottom > b.y &&
           (p.y == q.y ? p.y > b.y && p.y < b.bottom() : p.x > b.x && p.x < b.right());
}

// How long two routes run along one line together.
int shared(const Route& a, const Route& b) {
    int length = 0;
    for (std::size_t i = 0; i + 1 < a.size(); ++i) {
        for (std::size_t j = 0; j + 1 < b.size(); ++j) {
            const Point &p = a[i], &q = a[i + 1], &r = b[j], &s = b[j + 1];
            if (p.y == q.y && r.y == s.y && p.y == r.y)
                length += std::max(0, std::min(std::max(p.x, q.x), std::max(r.x, s.x)) -
                                          std::max(std::min(p.x, q.x), std::min(r.x, s.x)));
            else if (p.x == q.x && r.x == s.x && p.x == r.x)
                length += std::max(0, std::min(std::max(p.y, q.y), std::max(r.y, s.y)) -
                                          std::max(std::min(p.y, q.y), std::min(r.y, s.y)));
        }
    }
    return length;
}

// Tables in rows of boxes, as the default layout puts a folder's tables.
std::vector<Box> rows(int count, int perRow) {
    std::vector<Box> boxes;
    for (int i = 0; i < count; ++i)
        boxes.push_back({(i % perRow) * 164, (i / perRow) * 150, 140, 94});
    return boxes;
}

// Each table refers to one three boxes along its row, every fourth also to
// one in the next row: many arrows run through the same gaps.
std::vector<Arrow> references(int count) {
    std::vector<Arrow> arrows;
    for (int i = 0; i < count; ++i) {
        if (i + 3 < count) arrows.push_back({i, 1, i + 3});
        if (i % 4 == 0 && i + 31 < count) arrows.push_back({i, 2, i + 31});
    }
    return arrows;
}

struct Case {
    const char* name;
    std::vector<Box> boxes;
    std::vector<Arrow> arrows;
    int maxShared;  // the most two arrows may run along one line together (into one arrowhead)
    std::vector<Box> strips = {};  // folder frames' name lines, gone around as boxes are
};

TEST(RoutesTest, ArrowsTurnAtRightAnglesAroundBoxesFromTheirColumnToTheTarget) {
    const std::vector<Case> cases = {
        {"side by side", {{0, 0, 140, 70}, {300, 40, 140, 70}}, {{0, 1, 1}}, 0},
        {"target to the left", {{300, 0, 140, 70}, {0, 100, 140, 70}}, {{0, 0, 1}}, 0},
        {"a box between them",
         {{0, 0, 140, 70}, {200, -20, 140, 110}, {400, 0, 140, 70}},
         {{0, 1, 2}},
         0},
        {"one above the other", {{0, 0, 140, 70}, {20, 200, 140, 70}}, {{0, 2, 1}, {1, 0, 0}}, 0},
        {"a reference to the own table", {{0, 0, 140, 86}}, {{0, 2, 0}}, 0},
        {"two references to the own table", {{0, 0, 140, 86}}, {{0, 0, 0}, {0, 2, 0}}, 20},
        {"a wall of boxes between",
         {{0, 100, 140, 70},
          {200, 0, 60, 80},
          {200, 90, 60, 80},
          {200, 180, 60, 80},
          {400, 100, 140, 70}},
         {{0, 0, 4}, {4, 1, 0}},
         0},
        {"150 tables in rows of 30", rows(150, 30), references(150), 24},
        // A folder's frame between two tables: its name line is closed,
        // the rest of the frame is open.
        {"a frame's name line between",
         {{0, 60, 140, 70}, {400, 95, 140, 70}},
         {{0, 1, 1}},
         0,
         {{170, 90, 200, 22}}},
        {"a frame's name line across a way down",
         {{0, 0, 140, 70}, {0, 300, 140, 70}, {160, 0, 140, 70}},
         {{0, 0, 1}, {2, 1, 1}},
         10,
         {{-40, 150, 400, 22}}},
    };
    for (const Case& c : cases) {
        const std::vector<Route> routes = routeArrows(c.boxes, c.arrows, c.strips);
        ASSERT_EQ(routes.size(), c.arrows.size()) << c.name;
        // The first half kept as routed before spreading: the others are
        // routed around them as before, and all spread as before.
        std::vector<Route> kept = routeArrowsKeeping(c.boxes, c.arrows, c.strips, {}).unspread;
        for (std::size_t i = kept.size() / 2; i < kept.size(); ++i)
            kept[i].clear();
        const Routing again = routeArrowsKeeping(c.boxes, c.arrows, c.strips, kept);
        EXPECT_TRUE(again.routes == routes) << c.name;
        for (std::size_t i = 0; i < routes.size(); ++i) {
            const Route& route = routes[i];
            const Arrow& arrow = c.arrows[i];
            const Box &from = c.boxes[arrow.from], &to = c.boxes[arrow.to];
            const std::string what = std::string(c.name) + ": " + shown(route);
            ASSERT_GE(route.size(), 2u) << what;
            EXPECT_TRUE(onSide(from, route.front())) << what;
            EXPECT_EQ(route.front().y, from.y + kTitleHeight + kRowHeight * arrow.row + 8) << what;
            EXPECT_TRUE(onSide(to, route.back())) << what;
            EXPECT_EQ(route.back().y, to.y + kTitleHeight / 2) << what;
            for (std::size_t k = 0; k + 1 < route.size(); ++k) {
                const Point &p = route[k], &q = route[k + 1];
                EXPECT_TRUE(p.x == q.x || p.y == q.y) << what << " segment " << k;
                for (const std::vector<Box>* boxes : {&c.boxes, &c.strips})
                    for (const Box& box : *boxes)
                        EXPECT_FALSE(throughInside(box, p, q)) << what << " segment " << k;
            }
            if (arrow.from == arrow.to) {
                // A loop: out of the right side and back into it.
                EXPECT_EQ(route.size(), 4u) << what;
                EXPECT_EQ(route.front().x, from.right()) << what;
                EXPECT_EQ(route.back().x, from.right()) << what;
                EXPECT_GT(route[1].x, from.right()) << what;
            }
            for (std::size_t j = 0; j < i; ++j)
                EXPECT_LE(shared(route, routes[j]), c.maxShared)
                    << what << " and " << shown(routes[j]);
        }
    }
}

}  // namespace
