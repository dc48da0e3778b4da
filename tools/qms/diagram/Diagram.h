#pragma once

// The picture of one entity model, shared by `qms diagram` (SVG) and
// `qms serve` (the page draws it from JSON). Folders are frames and tables
// are boxes listing their columns; a column that refers to another table of
// the model is an arrow to that table's box. A table's box stands where its
// scene record puts it; the tables without one keep their place in a tree
// layout of nested folder frames, and each frame encloses its tables and
// sub-folders wherever they stand (a folder's own scene record fixes its
// frame instead).
#include <map>
#include <set>
#include <string>
#include <vector>

#include "M_EntityModelDAO.h"
#include "M_EntityTableDAO.h"
#include "ModelVersionRecords.h"
#include "Output.h"
#include "diagram/Geometry.h"
#include "diagram/Routes.h"

namespace qms::diagram {

// Layout measures, in SVG user units (with those of Geometry.h).
constexpr int kPadding = 12;  // inside a folder frame
constexpr int kGap = 24;      // between boxes
constexpr int kMinTableWidth = 140;
constexpr int kDefaultFolderWidth = 240;
constexpr int kDefaultFolderHeight = 160;
/// Boxes are kept inside these bounds, so that a stored position or size
/// cannot push the picture to sizes a viewer cannot draw.
constexpr int kMaxCoordinate = 1000000;
constexpr int kMaxSize = 100000;

struct Column {
    int id = 0;                       // the column's _ID
    std::string name, display, type;  // UTF-8
    std::string label;                // "name: type", as drawn
    int fkTableID = -1;
    std::string marks;  // "PK", "K" (find key), "IX", "UQ", "FK" (reference), by spaces
};

/// The marks of a column's line, as Column::marks.
std::string columnMarks(bool primaryKey, bool findKey, bool index, bool unique, bool reference);

struct Table {
    std::string name, display;
    std::vector<Column> columns;
    int width = 0, height = 0;  // the size its names and columns take, either kind of names
};

bool operator==(const Column& l, const Column& r);
bool operator==(const Table& l, const Table& r);

struct Folder {
    std::string name;
    int parentID = 0;
    bool temporary = false;
    std::vector<int> tableIDs;
    std::vector<int> subFolderIDs;
};

/// What a model's picture shows: its tables with their columns and its
/// folders. It changes only when the model's structure does.
struct Diagram {
    std::string title;
    std::map<int, Table> tables;  // by table _ID
    std::map<int, Folder> folders;
};

/// Where a table's box stands.
struct Spot {
    Box box;
    bool placed = false;     // by the folder layout
    int homeFolderID = 0;    // the folder whose frame holds it (0: none)
    bool fromScene = false;  // placed by its scene record
};

struct Frame {
    int folderID = 0;
    std::string name;
    Box box;
    bool fixed = false;  // placed by the folder's scene record
    int parentID = 0;    // the folder's parent folder (0: none)
};

/// Has the boxes and column lines show display names instead of names (a
/// name where the display name is empty), each box sized for them.
void drawDisplayNames(Diagram& diagram);

/// The arrow of a reference: from the column line `row` of table `from` to
/// table `to` (table _IDs), along `route`.
struct ArrowRoute {
    int from = 0, row = 0, to = 0;
    Route route;
    Route unspread;  // before arrows sharing a line were spread apart (Routing)
};

/// Where everything of a Diagram stands.
struct Layout {
    std::map<int, Spot> spots;  // by table _ID
    std::vector<Frame> frames;
    std::vector<ArrowRoute> arrows;  // by table _ID, then column line
    std::vector<Box> strips;         // what arrows go around besides boxes (frames' name lines)
};

/// An estimate of the drawn width of UTF-8 text at font size 12.
int textWidth(const std::string& text);
/// Sets the size a table's name and column lines take, with their marks, with
/// names or display names (so that a switch between them needs no new layout).
void measure(Table& table);

/// The arrows of `diagram`'s references (a reference to the own table too)
/// routed around the boxes of `layout` (see Routes.h). With `before`, an
/// earlier layout of the same model, an arrow keeps its route of then
/// while its two boxes stand where they stood and nothing that appeared,
/// grew or moved since lies across it (routeArrowsKeeping): a change routes
/// only the arrows it touched.
void routeLayout(const Diagram& diagram, Layout& layout, const Layout* before = nullptr);

/// The model's tables, columns and folders; throws Failure when a read fails.
Diagram readDiagram(const M_EntityModelDAO& model);
/// The same from what was read of them. With `before`, the picture of
/// earlier records of the same model version that `records` were read
/// again from (ModelVersionRecords::readAgain), the tables that `changed`
/// does not name are taken from it as they were.
Diagram readDiagram(const ModelVersionRecords& records, const Diagram* before = nullptr,
                    const std::set<int>& changed = {});
/// The picture laid out as described above, with the model's scene
/// records, its arrows routed (keeping what they can of `before`, as
/// routeLayout); throws Failure when they cannot be read.
Layout layOut(const Diagram& diagram, M_EntityModelDAO& model, const Layout* before = nullptr);

/// The frames in drawing order: larger first, so that nested frames lie on
/// top of their parents.
std::vector<Frame> framesInDrawOrder(const Layout& layout);

/// What differs in the version drawn from another version, as ids of the
/// drawn version's tables and columns, and of the other version's tables
/// and columns that the drawn one no longer has ("ended": compareWith adds
/// them to the picture); the SVG and the page (the JSON field "changes",
/// classes "added", "changed" and "ended") mark them. Empty: nothing is
/// marked.
struct Changes {
    std::set<int> addedTables, changedTables, endedTables;
    std::set<int> addedColumns, changedColumns, endedColumns;
};

/// What differs in the drawn version of `model` from its version `other`
/// (lower or higher), from the model diff: tables and columns added or
/// changed, and those that `other` has and the drawn version has not, which
/// are added to `diagram` (an ended column below its table's columns, an
/// ended table among the tables no folder holds). Throws Failure when a
/// read fails.
Changes compareWith(M_EntityModelDAO& model, int other, Diagram& diagram);

/// The picture as an SVG document, with `changes` marked.
std::string renderSvg(const Diagram& diagram, const Layout& layout, const Changes& changes = {});

/// What the page draws, in two parts, each appended to `out` as JSON text
/// on one line: the title, measures and tables with their columns, which
/// change with the model ({"title", "measures", "tables": [{"id", "name",
/// "display", "width", "height", "columns": [{"id", "name", "display",
/// "type", "fkTableID", "marks"}]}]}); and the frames ({"folder", "id",
/// "parent", "fixed", "x", ...}), boxes ({"table", "folder", "x", ...}) and
/// arrows ({"table", "row", "to", "points"}), which change whenever a box
/// moves.
void appendDiagramJson(const Diagram& diagram, std::string& out);
void appendLayoutJson(const Layout& layout, std::string& out);
/// What differs in `now` from `before`, appended to `out`: the picture as
/// appendDiagramJson writes it with only the tables new or changed, and
/// "removed", the ids of the tables gone.
void appendDiagramDeltaJson(const Diagram& before, const Diagram& now, std::string& out);
/// The same of a layout, as the fields of an object (no braces): "frames"
/// (all of them), "boxes" and "arrows" new or changed, "removedBoxes"
/// (table ids) and "removedArrows" ([table, row] pairs).
void appendLayoutDeltaFields(const Layout& before, const Layout& now, std::string& out);
/// {"tables": {"added": [ids], "changed": [ids], "ended": [ids]}, "columns": {...}}.
Json changesJson(const Changes& changes);

/// Stores `box` (checked by boxProblem) as the scene record of `table`, a
/// table of `model`, in one transaction: the record is made through the
/// table on the first move; the record the picture reads is the one
/// written, and extra records of the same box are removed. Throws Failure
/// when a read or write fails.
void saveTableBox(M_EntityModelDAO& model, M_EntityTableDAO& table, const Box& box);

/// Why `box` cannot be stored (outside the bounds above), or empty.
std::string boxProblem(const Box& box);

}  // namespace qms::diagram
