#pragma once

// The body of a box write of qms serve (PUT .../tables/ID/box), read
// without the server, so that it is checked the same wherever it comes
// from. Keeps no state: any thread may call it.
#include <string>

#include "diagram/Diagram.h"

namespace qms::serve {

/// Reads `box` from the JSON object {"x": .., "y": .., "width": ..,
/// "height": ..} of whole numbers within diagram::boxProblem's bounds;
/// empty text, or why the body gives no box (and `box` is left as it was).
std::string boxFromBody(const std::string& body, diagram::Box& box);

}  // namespace qms::serve
