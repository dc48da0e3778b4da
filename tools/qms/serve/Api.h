#pragma once

// The routes of qms serve: the page's files and the JSON API (docs/serve.md
// lists them; docs/serve-http.md the server and its event stream).
#include "Cli.h"
#include "ModelCache.h"
#include "WebServer.h"

namespace qms::serve {

void addPage(WebServer& server);
/// The routes of the API; the model's views are kept in `cache`.
void addApi(WebServer& server, const Options& options, ModelCache& cache);

}  // namespace qms::serve
