// qms diagram: an SVG picture of one entity model (see diagram/Diagram.h).
#include <memory>
#include <string>

#include "Cli.h"
#include "Names.h"
#include "Output.h"
#include "Session.h"
#include "diagram/Diagram.h"

namespace qms {

void addDiagramCommand(CLI::App& app, Options& options) {
    CLI::App* diagram = app.add_subcommand(
        "diagram", "write an SVG picture of a model (folders, tables, references) to stdout");
    auto model = std::make_shared<std::string>();
    auto project = std::make_shared<std::string>();
    auto version = std::make_shared<int>(0);
    auto id = std::make_shared<int>(0);
    auto other = std::make_shared<int>(0);
    CLI::Option* byId = nameOrId(diagram, options, "MODEL", "model name", *model, *id);
    diagram->add_option("--project", *project, "project of the model")
        ->check(storable())
        ->excludes(byId);
    diagram->add_option("--version", *version, "model version (default: the highest)")
        ->check(fromOne())
        ->excludes(byId);
    diagram
        ->add_option("--diff", *other,
                     "mark the tables and columns added, changed and ended since this version")
        ->check(fromOne());
    action(diagram, [&options, model, project, version, id, other] {
        Session session(options);
        M_EntityModelDAO found = findModel(*model, *project, *version, *id);
        diagram::Diagram picture = diagram::readDiagram(found);
        const diagram::Changes changes =
            *other > 0 ? diagram::compareWith(found, *other, picture) : diagram::Changes();
        const std::string svg =
            diagram::renderSvg(picture, diagram::layOut(picture, found), changes);
        // Reading tables may tidy dangling links: commit before answering.
        session.close();
        writeOutput("", svg);
    });
}

}  // namespace qms
