// qms diagram: an SVG picture of one entity model (see diagram/Diagram.h).
#include <memory>
#include <string>

#include "Cli.h"
#include "CommandSession.h"
#include "Lookup.h"
#include "Output.h"
#include "diagram/Diagram.h"

namespace qms {

namespace {

struct DiagramArgs {
    std::string model, project, output;
    int version = 0, id = 0, other = 0;
    bool display = false;
};

void drawDiagram(const Options& options, const DiagramArgs& args) {
    CommandSession session(options);
    M_EntityModelDAO found = findModel(args.model, args.project, args.version, args.id);
    diagram::Diagram picture = diagram::readDiagram(found);
    const diagram::Changes changes =
        args.other > 0 ? diagram::compareWith(found, args.other, picture) : diagram::Changes();
    if (args.display) diagram::drawDisplayNames(picture);
    const std::string svg = diagram::renderSvg(picture, diagram::layOut(picture, found), changes);
    // Reading tables may tidy dangling links: commit before answering.
    session.close();
    writeOutput(args.output, svg);
}

}  // namespace

void addDiagramCommand(CLI::App& app, Options& options) {
    CLI::App* diagram = app.add_subcommand(
        "diagram", "write an SVG picture of a model (folders, tables, references)");
    auto args = std::make_shared<DiagramArgs>();
    CLI::Option* byId = nameOrId(diagram, options, "MODEL", "model name", args->model, args->id);
    diagram->add_option("--project", args->project, "project of the model")
        ->check(storable())
        ->excludes(byId);
    diagram->add_option("--version", args->version, "model version (default: the highest)")
        ->check(fromOne())
        ->excludes(byId);
    diagram
        ->add_option("--diff", args->other,
                     "mark the tables and columns added, changed and ended since this version")
        ->check(fromOne());
    diagram->add_flag("--display", args->display,
                      "draw the display names of tables and columns instead of their names");
    diagram->add_option("-o,--output", args->output, "file to write (default: standard output)");
    action(diagram, [&options, args] { drawDiagram(options, *args); });
}

}  // namespace qms
