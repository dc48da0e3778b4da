// The JSON body of a box write of qms serve (PUT
// /api/models/M/tables/T/box), read by boxFromBody. The input is the body.
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "serve/BoxBody.h"

using arxfuzz::expect;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string body(reinterpret_cast<const char*>(data), size);
    qms::diagram::Box box{7, 7, 7, 7};
    const std::string problem = qms::serve::boxFromBody(body, box);
    if (!problem.empty()) {
        expect(box.x == 7 && box.y == 7 && box.w == 7 && box.h == 7,
               "a refused body changed the box: " + problem);
        return 0;
    }
    expect(qms::diagram::boxProblem(box).empty(), "a box out of bounds passed");
    // The numbers stored are those the body holds, digit for digit.
    const qms::Json json = qms::Json::parse(body);
    const std::pair<const char*, int> fields[] = {
        {"x", box.x}, {"y", box.y}, {"width", box.w}, {"height", box.h}};
    for (const auto& [name, stored] : fields)
        expect(json.at(name).dump() == std::to_string(stored),
               std::string("\"") + name + "\" is " + json.at(name).dump() + " but stored as " +
                   std::to_string(stored));
    return 0;
}
