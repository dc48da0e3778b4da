#pragma once

// The routes of qms serve: the page's files and the JSON API (see README,
// "qms serve").
#include "Cli.h"
#include "WebServer.h"

namespace qms::serve {

void addPage(WebServer& server);
void addApi(WebServer& server, const Options& options);

}  // namespace qms::serve
