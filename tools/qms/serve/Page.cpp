// The page of qms serve: its files, each at its own path ("/" is the page).
#include <string>

#include "Api.h"
#include "serve/Assets.h"

namespace qms::serve {

namespace {

std::string contentType(std::string_view name) {
    const std::string_view extension = name.substr(name.rfind('.') + 1);
    if (extension == "html") return "text/html; charset=utf-8";
    if (extension == "js") return "text/javascript; charset=utf-8";
    if (extension == "css") return "text/css; charset=utf-8";
    if (extension == "svg") return "image/svg+xml";
    return "application/octet-stream";
}

// The path as a regular expression that matches it alone.
std::string exactly(std::string_view name) {
    std::string pattern = "/";
    for (char c : name) {
        if (c == '.') pattern += '\\';
        pattern += c;
    }
    return pattern;
}

}  // namespace

void addPage(WebServer& server) {
    for (const Asset& asset : assets()) {
        const Reply reply{std::string(asset.body), contentType(asset.name)};
        const auto answer = [reply](const httplib::Request&) { return reply; };
        server.get(exactly(asset.name), answer);
        if (asset.name == "index.html") server.get("/", answer);
    }
}

}  // namespace qms::serve
