#pragma once

// The routes of qms serve: the page's files and the JSON API (docs/serve.md
// lists them; docs/serve-http.md the server and its event stream).
#include "ChangeFeed.h"
#include "Cli.h"
#include "ModelCache.h"
#include "WebServer.h"

namespace qms::serve {

void addPage(WebServer& server);
/// The routes of the API that read, and the box write; the model's views
/// are kept in `cache`, its tags (ETag) come from `feed`.
void addApi(WebServer& server, const Options& options, ModelCache& cache, ChangeFeed& feed);
/// The tag (ETag) of a project: of its model versions together.
std::string projectTag(const ChangeFeed& feed, int project);
/// The routes that edit projects, models, folders, tables and columns
/// (EditApi.cpp).
void addEditApi(WebServer& server, ChangeFeed& feed);

}  // namespace qms::serve
