// A database location as the tool and the library take it (--config,
// --work, export and instance files): the service's registry picks the
// backend by URI scheme, and messages and logs show the location through
// MRDService::displayLocation. The input is the location.
#include <libpq-fe.h>

#include <cctype>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>

#include "FuzzCheck.h"
#include "MRDService.h"

using arxfuzz::expect;
using MeridianSpace::MRDService;

namespace {

// The connection options libpq reads from `location`; false when it
// reads none.
bool optionsOf(const std::string& location, std::map<std::string, std::string>& options) {
    // The library hands libpq the URI with its scheme in lower case.
    std::string uri = location;
    const std::size_t scheme = uri.find("://");
    for (std::size_t i = 0; scheme != std::string::npos && i < scheme; ++i)
        uri[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(uri[i])));
    char* error = nullptr;
    PQconninfoOption* parsed = PQconninfoParse(uri.c_str(), &error);
    PQfreemem(error);
    if (parsed == nullptr) return false;
    for (const PQconninfoOption* o = parsed; o->keyword != nullptr; ++o) {
        if (o->val != nullptr) options[o->keyword] = o->val;
    }
    PQconninfoFree(parsed);
    return true;
}

bool secret(const std::string& keyword) {
    return keyword == "password" || keyword == "sslpassword";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string location(reinterpret_cast<const char*>(data), size);
    // Locations come from command lines and files: C strings.
    if (std::memchr(location.data(), '\0', location.size()) != nullptr) return 0;
    const std::string shown = MRDService::displayLocation(location);
    if (!MRDService::isServerLocation(location)) {
        expect(shown == location, "a file path is shown otherwise: " + shown);
        return 0;
    }
    std::map<std::string, std::string> given, seen;
    const bool read = optionsOf(location, given);
    // What is shown holds no secret libpq would read, and names the same
    // database as the location does, everything but the secrets kept.
    if (optionsOf(shown, seen)) {
        for (const auto& [keyword, value] : seen)
            expect(!secret(keyword), "shown with its " + keyword + ": " + shown);
    } else {
        expect(!read, "a URI libpq reads is shown as one it cannot read: " + shown);
    }
    if (!read) return 0;
    for (auto it = given.begin(); it != given.end();)
        it = secret(it->first) ? given.erase(it) : std::next(it);
    expect(seen == given, "shown as another database: " + location + " as " + shown);
    return 0;
}
