// Routing arrows at right angles: for each arrow the cheapest path (length
// plus a price per bend and per unit shared with earlier arrows) over a
// sparse grid of the lines that pass beside the boxes near its two ends,
// then parallel stretches that share a line spread into lanes.
#include "Routes.h"

#include <algorithm>
#include <climits>
#include <map>
#include <queue>
#include <tuple>
#include <unordered_map>

namespace qms::diagram {

namespace {

constexpr int kClearance = 10;  // how far channels keep from boxes
constexpr int kLane = 4;        // between arrows that share a channel
constexpr int kBend = 40;       // a bend costs as much as this length
constexpr int kShared = 1;      // a unit shared with an earlier arrow costs this much more
constexpr int kReach = 160;     // boxes this far beyond the two ends are gone around
constexpr int kLoop = 14;       // how far a loop reaches out

// Directions of a move: +x, -x, +y, -y.
constexpr int kDx[4] = {1, -1, 0, 0};
constexpr int kDy[4] = {0, 0, 1, -1};

bool crosses(const Box& b, const Point& p, const Point& q) {
    if (p.y == q.y)
        return p.y > b.y && p.y < b.bottom() && std::min(p.x, q.x) < b.right() &&
               std::max(p.x, q.x) > b.x;
    return p.x > b.x && p.x < b.right() && std::min(p.y, q.y) < b.bottom() &&
           std::max(p.y, q.y) > b.y;
}

bool crossesAny(const std::vector<Box>& boxes, const Point& p, const Point& q) {
    return std::any_of(boxes.begin(), boxes.end(), [&](const Box& b) { return crosses(b, p, q); });
}

// What earlier arrows use: the stretches along each horizontal and
// vertical line.
struct Used {
    std::map<int, std::vector<std::pair<int, int>>> horizontal, vertical;  // by y, by x

    int overlap(const Point& p, const Point& q) const {
        const bool flat = p.y == q.y;
        const auto& lines = flat ? horizontal : vertical;
        const auto line = lines.find(flat ? p.y : p.x);
        if (line == lines.end()) return 0;
        const int low = flat ? std::min(p.x, q.x) : std::min(p.y, q.y);
        const int high = flat ? std::max(p.x, q.x) : std::max(p.y, q.y);
        int shared = 0;
        for (const auto& [from, to] : line->second)
            shared += std::max(0, std::min(high, to) - std::max(low, from));
        return shared;
    }

    void add(const Route& route) {
        for (std::size_t i = 0; i + 1 < route.size(); ++i) {
            const Point& p = route[i];
            const Point& q = route[i + 1];
            if (p.y == q.y)
                horizontal[p.y].emplace_back(std::min(p.x, q.x), std::max(p.x, q.x));
            else
                vertical[p.x].emplace_back(std::min(p.y, q.y), std::max(p.y, q.y));
        }
    }
};

// Drops the points that lie on a straight line between their neighbours.
Route simplified(const Route& points) {
    Route out;
    for (const Point& p : points) {
        if (!out.empty() && out.back() == p) continue;
        if (out.size() >= 2) {
            const Point& a = out[out.size() - 2];
            const Point& b = out.back();
            if ((a.x == b.x && b.x == p.x) || (a.y == b.y && b.y == p.y)) out.pop_back();
        }
        out.push_back(p);
    }
    return out;
}

// The cheapest path from `from` (leaving in direction `fromDir`) to `to`
// (arriving in direction `toDir`) on the grid of the boxes in `region`;
// empty when there is none.
Route findPath(const std::vector<Box>& boxes, const Box& region, const Point& from, int fromDir,
               const Point& to, int toDir, const Used& used) {
    std::vector<Box> near;
    std::vector<int> xs{from.x, to.x}, ys{from.y, to.y};
    for (const Box& b : boxes) {
        if (b.x > region.right() || b.right() < region.x || b.y > region.bottom() ||
            b.bottom() < region.y)
            continue;
        near.push_back(b);
        xs.insert(xs.end(), {b.x - kClearance, b.right() + kClearance, b.x + b.w / 2});
        ys.insert(ys.end(), {b.y - kClearance, b.bottom() + kClearance, b.y + b.h / 2});
    }
    for (auto* v : {&xs, &ys}) {
        std::sort(v->begin(), v->end());
        v->erase(std::unique(v->begin(), v->end()), v->end());
    }
    const int nx = static_cast<int>(xs.size()), ny = static_cast<int>(ys.size());
    // A node strictly inside a box is closed; with a line through each
    // box's middle, every move that would cross a box ends in such a node.
    std::vector<char> closed(static_cast<std::size_t>(nx) * ny, 0);
    for (const Box& b : near) {
        const int x0 = static_cast<int>(std::upper_bound(xs.begin(), xs.end(), b.x) - xs.begin());
        const int x1 =
            static_cast<int>(std::lower_bound(xs.begin(), xs.end(), b.right()) - xs.begin());
        const int y0 = static_cast<int>(std::upper_bound(ys.begin(), ys.end(), b.y) - ys.begin());
        const int y1 =
            static_cast<int>(std::lower_bound(ys.begin(), ys.end(), b.bottom()) - ys.begin());
        for (int j = y0; j < y1; ++j)
            for (int i = x0; i < x1; ++i)
                closed[static_cast<std::size_t>(j) * nx + i] = 1;
    }
    const auto index = [](const std::vector<int>& v, int value) {
        return static_cast<int>(std::lower_bound(v.begin(), v.end(), value) - v.begin());
    };
    const int startNode = index(ys, from.y) * nx + index(xs, from.x);
    const int endNode = index(ys, to.y) * nx + index(xs, to.x);
    if (closed[startNode] || closed[endNode]) return {};

    const auto pointOf = [&](int node) { return Point{xs[node % nx], ys[node / nx]}; };
    const auto guess = [&](int node) {
        const Point p = pointOf(node);
        return std::abs(p.x - to.x) + std::abs(p.y - to.y);
    };
    // A state is a node and the direction it was reached in.
    std::vector<int> cost(static_cast<std::size_t>(nx) * ny * 4, INT_MAX);
    std::vector<int> parent(cost.size(), -1);
    using Entry = std::tuple<long long, int, int>;  // estimate, cost, state
    std::priority_queue<Entry, std::vector<Entry>, std::greater<>> open;
    const int start = startNode * 4 + fromDir;
    cost[start] = 0;
    open.emplace(guess(startNode), 0, start);
    int best = INT_MAX, bestState = -1;
    while (!open.empty()) {
        const auto [estimate, g, state] = open.top();
        open.pop();
        if (estimate >= best) break;
        if (g != cost[state]) continue;
        const int node = state / 4, dir = state % 4;
        if (node == endNode) {
            const int total = g + (dir == toDir ? 0 : kBend);
            if (total < best) best = total, bestState = state;
            continue;
        }
        const int i = node % nx, j = node / nx;
        for (int d = 0; d < 4; ++d) {
            if ((d ^ 1) == dir) continue;  // no turning back
            const int ni = i + kDx[d], nj = j + kDy[d];
            if (ni < 0 || nj < 0 || ni >= nx || nj >= ny) continue;
            const int next = nj * nx + ni;
            if (closed[next]) continue;
            const Point p = pointOf(node), q = pointOf(next);
            const int step = std::abs(q.x - p.x) + std::abs(q.y - p.y) +
                             kShared * used.overlap(p, q) + (d == dir ? 0 : kBend);
            const int nextState = next * 4 + d;
            if (g + step < cost[nextState]) {
                cost[nextState] = g + step;
                parent[nextState] = state;
                open.emplace(static_cast<long long>(g + step) + guess(next), g + step, nextState);
            }
        }
    }
    if (bestState < 0) return {};
    Route path;
    for (int state = bestState; state >= 0; state = parent[state])
        path.push_back(pointOf(state / 4));
    std::reverse(path.begin(), path.end());
    return path;
}

int portY(const Box& box, int row) {
    const int y = box.y + kTitleHeight + kRowHeight * row + kRowHeight / 2;
    return std::max(box.y + std::min(4, box.h / 2),
                    std::min(y, box.bottom() - std::min(4, box.h / 2)));
}

int nameLineY(const Box& box) {
    return box.y + std::min(kTitleHeight / 2, box.h / 2);
}

Route loop(const Box& box, int row, int earlierLoops) {
    const int x = box.right() + kLoop + kLane * earlierLoops;
    const int y = portY(box, row);
    return {{box.right(), y}, {x, y}, {x, nameLineY(box)}, {box.right(), nameLineY(box)}};
}

Route routeOne(const std::vector<Box>& boxes, const Arrow& arrow, const Used& used) {
    const Box& a = boxes[arrow.from];
    const Box& b = boxes[arrow.to];
    // Boxes one above the other: out of and into their right sides.
    const bool stacked = b.x < a.right() && b.right() > a.x;
    const bool rightward = !stacked && 2 * a.x + a.w <= 2 * b.x + b.w;
    const Point start{stacked || rightward ? a.right() : a.x, portY(a, arrow.row)};
    const int out = stacked || rightward ? 1 : -1;
    const Box span{std::min(a.x, b.x), std::min(a.y, b.y),
                   std::max(a.right(), b.right()) - std::min(a.x, b.x),
                   std::max(a.bottom(), b.bottom()) - std::min(a.y, b.y)};
    // The side of the target that faces the source first, then the other;
    // where another box stands close by, shorter stubs out of and into the
    // boxes.
    for (const int in : {rightward ? -1 : 1, rightward ? 1 : -1}) {
        const Point end{in < 0 ? b.x : b.right(), nameLineY(b)};
        for (const int stub : {kClearance, kClearance / 3}) {
            const Point from{start.x + out * stub, start.y}, to{end.x + in * stub, end.y};
            for (const int reach : {kReach, 4 * kReach}) {
                const Box region{span.x - reach, span.y - reach, span.w + 2 * reach,
                                 span.h + 2 * reach};
                Route path =
                    findPath(boxes, region, from, out > 0 ? 0 : 1, to, in > 0 ? 1 : 0, used);
                if (path.empty()) continue;
                path.insert(path.begin(), start);
                path.push_back(end);
                path = simplified(path);
                if (!routeCrosses(boxes, path)) return path;
            }
        }
    }
    // Boxes that overlap or hem an end in: the plain elbow.
    const Point end{rightward ? b.x : b.right(), nameLineY(b)};
    const int middle = (start.x + end.x) / 2;
    return simplified({start, {middle, start.y}, {middle, end.y}, end});
}

// The boxes by the squares of a grid that they touch, so that what lies
// near a stretch is found without going through every box of a large
// model; a box over many squares is kept aside and always looked at.
class BoxIndex {
public:
    explicit BoxIndex(const std::vector<Box>& boxes) : boxes_(boxes) {
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            const Box& b = boxes[i];
            const int x0 = cell(b.x), x1 = cell(b.right()), y0 = cell(b.y), y1 = cell(b.bottom());
            if (x1 - x0 > kSpan || y1 - y0 > kSpan) {
                large_.push_back(static_cast<int>(i));
                continue;
            }
            for (int x = x0; x <= x1; ++x)
                for (int y = y0; y <= y1; ++y)
                    cells_[key(x, y)].push_back(static_cast<int>(i));
        }
    }

    /// Whether `found` holds for a box that may touch the rectangle from
    /// (x0, y0) to (x1, y1), edges included (it may see a box more than once).
    template <typename Found>
    bool any(int x0, int y0, int x1, int y1, Found found) const {
        for (const int i : large_)
            if (found(boxes_[static_cast<std::size_t>(i)])) return true;
        for (int x = cell(x0); x <= cell(x1); ++x) {
            for (int y = cell(y0); y <= cell(y1); ++y) {
                const auto at = cells_.find(key(x, y));
                if (at == cells_.end()) continue;
                for (const int i : at->second)
                    if (found(boxes_[static_cast<std::size_t>(i)])) return true;
            }
        }
        return false;
    }

    bool crosses(const Point& p, const Point& q) const {
        return any(std::min(p.x, q.x), std::min(p.y, q.y), std::max(p.x, q.x), std::max(p.y, q.y),
                   [&](const Box& b) { return diagram::crosses(b, p, q); });
    }

private:
    static constexpr int kCell = 256;
    static constexpr int kSpan = 8;  // squares across a box kept in the grid
    static int cell(int v) { return v >= 0 ? v / kCell : -((kCell - 1 - v) / kCell); }
    static unsigned long long key(int x, int y) {
        return (static_cast<unsigned long long>(static_cast<unsigned>(x)) << 32) |
               static_cast<unsigned>(y);
    }
    const std::vector<Box>& boxes_;
    std::unordered_map<unsigned long long, std::vector<int>> cells_;
    std::vector<int> large_;
};

// The room across a stretch along `at` from `low` to `high`: how far it may
// move down (or right) and up (or left) before it touches a box (only the
// boxes within the most it may move matter).
std::pair<int, int> room(const BoxIndex& boxes, bool flat, int at, int low, int high) {
    int before = -4 * kClearance, after = 4 * kClearance;
    const auto near = [&](const Box& b) {
        const int from = flat ? b.x : b.y, to = flat ? b.right() : b.bottom();
        if (to <= low || from >= high) return false;
        const int first = flat ? b.y : b.x, last = flat ? b.bottom() : b.right();
        if (last <= at) before = std::max(before, last - at);
        if (first >= at) after = std::min(after, first - at);
        return false;
    };
    const int reach = 4 * kClearance;
    if (flat)
        boxes.any(low, at - reach, high, at + reach, near);
    else
        boxes.any(at - reach, low, at + reach, high, near);
    return {before + kLane / 2, after - kLane / 2};
}

// Moves the stretches of different arrows that run along one line apart:
// each in turn to the nearest offset (in steps of a lane, within the room
// between the boxes beside it) where no stretch placed before runs, unless
// that would take it or its neighbours through a box. The first and the
// last stretch of a route stay on their boxes' lines.
void spread(const std::vector<Box>& boxes, std::vector<Route>& routes,
            const std::vector<bool>& loops) {
    struct Stretch {
        bool flat;
        int at, low, high, route, index;
    };
    std::vector<Stretch> stretches;
    Used placed;
    for (std::size_t r = 0; r < routes.size(); ++r) {
        const Route& route = routes[r];
        const std::size_t last = route.size() - 1;
        placed.add(loops[r] || route.size() < 4 ? route : Route{route[0], route[1]});
        if (loops[r] || route.size() < 4) continue;
        placed.add({route[last - 1], route[last]});
        for (std::size_t i = 1; i + 2 < route.size(); ++i) {
            const Point& p = route[i];
            const Point& q = route[i + 1];
            const bool flat = p.y == q.y;
            stretches.push_back({flat, flat ? p.y : p.x,
                                 flat ? std::min(p.x, q.x) : std::min(p.y, q.y),
                                 flat ? std::max(p.x, q.x) : std::max(p.y, q.y),
                                 static_cast<int>(r), static_cast<int>(i)});
        }
    }
    std::sort(stretches.begin(), stretches.end(), [](const Stretch& l, const Stretch& r) {
        return std::tie(l.flat, l.at, l.low, l.route) < std::tie(r.flat, r.at, r.low, r.route);
    });
    const BoxIndex index(boxes);
    for (const Stretch& s : stretches) {
        Route& route = routes[s.route];
        const auto [least, most] = room(index, s.flat, s.at, s.low, s.high);
        const Point p = route[s.index], q = route[s.index + 1];
        const auto moved = [&](int offset) {
            return s.flat ? std::pair{Point{p.x, p.y + offset}, Point{q.x, q.y + offset}}
                          : std::pair{Point{p.x + offset, p.y}, Point{q.x + offset, q.y}};
        };
        int chosen = 0, fewest = placed.overlap(p, q);
        for (int step = 1; fewest > 0 && step <= 2 * kClearance; ++step) {
            const int offset = (step % 2 == 1 ? 1 : -1) * kLane * ((step + 1) / 2);
            if (offset < least || offset > most) continue;
            const auto [a, b] = moved(offset);
            const int overlap = placed.overlap(a, b);
            if (overlap >= fewest) continue;
            const Route before = route;
            route[s.index] = a;
            route[s.index + 1] = b;
            bool clear = true;
            for (int i = s.index - 1; clear && i <= s.index + 1; ++i)
                clear = !index.crosses(route[i], route[i + 1]);
            route = before;
            if (clear) chosen = offset, fewest = overlap;
        }
        std::tie(route[s.index], route[s.index + 1]) = moved(chosen);
        placed.add({route[s.index], route[s.index + 1]});
    }
}

}  // namespace

bool routeCrosses(const std::vector<Box>& boxes, const Route& route) {
    for (std::size_t i = 0; i + 1 < route.size(); ++i) {
        if (crossesAny(boxes, route[i], route[i + 1])) return true;
    }
    return false;
}

Routing routeArrowsKeeping(const std::vector<Box>& tables, const std::vector<Arrow>& arrows,
                           const std::vector<Box>& obstacles, const std::vector<Route>& kept) {
    // Arrows name tables by their index, which the obstacles behind them keep.
    std::vector<Box> boxes = tables;
    boxes.insert(boxes.end(), obstacles.begin(), obstacles.end());
    const auto keeps = [&kept](std::size_t i) { return i < kept.size() && !kept[i].empty(); };
    Routing out;
    std::vector<Route>& routes = out.routes;
    std::vector<bool> loops;
    std::map<int, int> loopsOf;  // by box
    Used used;
    for (std::size_t i = 0; i < arrows.size(); ++i) {
        if (keeps(i) && arrows[i].from != arrows[i].to) used.add(kept[i]);
    }
    for (std::size_t i = 0; i < arrows.size(); ++i) {
        const Arrow& arrow = arrows[i];
        const bool isLoop = arrow.from == arrow.to;
        if (isLoop)
            routes.push_back(loop(boxes[arrow.from], arrow.row, loopsOf[arrow.from]++));
        else if (keeps(i))
            routes.push_back(kept[i]);
        else
            routes.push_back(routeOne(boxes, arrow, used));
        loops.push_back(isLoop);
        if (isLoop || !keeps(i)) used.add(routes.back());
    }
    out.unspread = routes;
    // Twice: a stretch moved widens or narrows its neighbours, placed before.
    for (int pass = 0; pass < 2; ++pass) {
        spread(boxes, routes, loops);
        for (Route& route : routes)
            route = simplified(route);
    }
    return out;
}

std::vector<Route> routeArrows(const std::vector<Box>& tables, const std::vector<Arrow>& arrows,
                               const std::vector<Box>& obstacles) {
    return routeArrowsKeeping(tables, arrows, obstacles, {}).routes;
}

}  // namespace qms::diagram
