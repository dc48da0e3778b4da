#include "BoxBody.h"

#include <limits>
#include <utility>

namespace qms::serve {

namespace {

// The whole number `name` of the object, or false when it is missing,
// no whole number or beyond an int.
bool wholeNumber(const Json& body, const char* name, int& number) {
    const auto field = body.find(name);
    if (field == body.end() || !field->is_number_integer()) return false;
    // A number above what a signed 64-bit integer holds is read as unsigned:
    // its range is checked as such, never through a signed copy.
    const bool fits = field->is_number_unsigned()
                          ? field->get<unsigned long long>() <=
                                static_cast<unsigned long long>(std::numeric_limits<int>::max())
                          : field->get<long long>() >= std::numeric_limits<int>::min() &&
                                field->get<long long>() <= std::numeric_limits<int>::max();
    if (!fits) return false;
    number = field->get<int>();
    return true;
}

}  // namespace

std::string boxFromBody(const std::string& body, diagram::Box& box) {
    const Json json = Json::parse(body, nullptr, false);
    if (json.is_discarded() || !json.is_object()) return "the body is no JSON object";
    diagram::Box read;
    const std::pair<const char*, int*> fields[] = {
        {"x", &read.x}, {"y", &read.y}, {"width", &read.w}, {"height", &read.h}};
    for (const auto& [name, number] : fields) {
        if (!wholeNumber(json, name, *number))
            return std::string("the body needs a whole number \"") + name + "\"";
    }
    std::string problem = diagram::boxProblem(read);
    if (problem.empty()) box = read;
    return problem;
}

}  // namespace qms::serve
