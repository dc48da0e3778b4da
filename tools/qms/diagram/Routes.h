#pragma once

// Arrows at right angles around boxes: each reference leaves its column's
// line on the side of the source box that faces the target, runs through
// the free space between boxes (fewest bends, shortest way, avoiding what
// earlier arrows use) and enters the target's name line; parallel arrows
// in one channel are then spread a few units apart, so that many arrows
// never merge into one line. A reference of a table to itself is a loop on
// its right side. Stateless; may be called from any thread.
#include "Geometry.h"

namespace qms::diagram {

/// One reference: from the column line `row` of box `from` to box `to`
/// (indexes into the boxes; equal for a reference to itself).
struct Arrow {
    int from = 0, row = 0, to = 0;
};

/// The route of each arrow, in the order given: from its start on the
/// source box's border to its end on the target's. No segment passes
/// through the inside of a box or of an obstacle (a folder frame's name
/// line), except where they overlap so that no way around exists.
std::vector<Route> routeArrows(const std::vector<Box>& boxes, const std::vector<Arrow>& arrows,
                               const std::vector<Box>& obstacles = {});

/// The routes as routeArrows answers them, and each as it was before the
/// stretches of different arrows were spread apart (what a later routing
/// of the same picture may keep).
struct Routing {
    std::vector<Route> routes, unspread;
};

/// As routeArrows, but an arrow whose entry in `kept` is not empty takes
/// that route (an earlier Routing's unspread one) instead of being routed
/// anew; the others go around the kept ones as around earlier arrows, then
/// all are spread. A kept route is right while its two boxes stand where
/// they stood and no box or obstacle that appeared, grew or moved lies
/// across it (routeCrosses), though a fresh routing might choose another
/// equally valid way. `kept` is empty or has an entry per arrow.
Routing routeArrowsKeeping(const std::vector<Box>& boxes, const std::vector<Arrow>& arrows,
                           const std::vector<Box>& obstacles, const std::vector<Route>& kept);

/// Whether a segment of `route` runs through the inside of one of `boxes`.
bool routeCrosses(const std::vector<Box>& boxes, const Route& route);

}  // namespace qms::diagram
