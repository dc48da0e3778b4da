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

}  // namespace

void addPage(WebServer& server) {
    for (const Asset& asset : assets()) {
        const Reply reply{std::string(asset.body), contentType(asset.name)};
        server.fixed("/" + std::string(asset.name), reply);
        if (asset.name == "index.html") server.fixed("/", reply);
    }
}

}  // namespace qms::serve
