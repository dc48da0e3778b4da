// A live database read into a model: the Chinook sample schema in the form
// of the backend under test (BackendUnderTest::sampleForm),
// every table, column, key and reference checked; what the model cannot
// hold listed.
#include <algorithm>

#include "ModelApply.h"
#include "ModelExport.h"
#include "ModelInspect.h"
#include "dao/RecordFixture.h"

namespace arxtest {

namespace {

// Chinook as the model must hold it, one table a line: each column with
// its type (text with its maximum length, real with its digits and
// decimals), primary key, index and the table it refers to.
const char* const kChinook =
    "Album: AlbumId int pk; Title text(160); ArtistId int index ->Artist\n"
    "Artist: ArtistId int pk; Name text(120)\n"
    "Customer: CustomerId int pk; FirstName text(40); LastName text(20); Company text(80); "
    "Address text(70); City text(40); State text(40); Country text(40); PostalCode text(10); "
    "Phone text(24); Fax text(24); Email text(60); SupportRepId int index ->Employee\n"
    "Employee: EmployeeId int pk; LastName text(20); FirstName text(20); Title text(30); "
    "ReportsTo int index ->Employee; BirthDate text(256); HireDate text(256); Address text(70); "
    "City text(40); State text(40); Country text(40); PostalCode text(10); Phone text(24); "
    "Fax text(24); Email text(60)\n"
    "Genre: GenreId int pk; Name text(120)\n"
    "Invoice: InvoiceId int pk; CustomerId int index ->Customer; InvoiceDate text(256); "
    "BillingAddress text(70); BillingCity text(40); BillingState text(40); "
    "BillingCountry text(40); BillingPostalCode text(10); Total real(10,2)\n"
    "InvoiceLine: InvoiceLineId int pk; InvoiceId int index ->Invoice; TrackId int index "
    "->Track; UnitPrice real(10,2); Quantity int\n"
    "MediaType: MediaTypeId int pk; Name text(120)\n"
    "Playlist: PlaylistId int pk; Name text(120)\n"
    "PlaylistTrack: PlaylistId int index ->Playlist; TrackId int index ->Track\n"
    "Track: TrackId int pk; Name text(200); AlbumId int index ->Album; MediaTypeId int index "
    "->MediaType; GenreId int index ->Genre; Composer text(220); Milliseconds int; Bytes int; "
    "UnitPrice real(10,2)\n";

// What Chinook holds that the model holds otherwise or not at all.
const char* const kChinookNotes =
    "mapped Employee.BirthDate\nmapped Employee.HireDate\nmapped Invoice.InvoiceDate\n"
    "mapped Invoice.Total\nmapped InvoiceLine.UnitPrice\nmapped Track.UnitPrice\n"
    "not-held Album\nnot-held Customer\nnot-held Employee\nnot-held Invoice\n"
    "not-held InvoiceLine\nnot-held PlaylistTrack\nnot-held PlaylistTrack\nnot-held Track\n";

void collectTables(const std::vector<FolderDescription>& folders,
                   std::vector<const TableDescription*>& out) {
    for (const FolderDescription& f : folders) {
        for (const TableDescription& t : f.tables)
            out.push_back(&t);
        collectTables(f.folders, out);
    }
}

// The tables of a description in the form of kChinook, by name.
std::string compact(const ModelDescription& model) {
    std::vector<const TableDescription*> tables;
    collectTables(model.folders, tables);
    std::sort(tables.begin(), tables.end(),
              [](const auto* a, const auto* b) { return a->record._name < b->record._name; });
    static const char* const types[] = {"", "int", "text", "real", "bytes", "blob"};
    std::string out;
    for (const TableDescription* t : tables) {
        out += t->record._name + ":";
        const char* separator = " ";
        for (const ColumnDescription& c : t->columns) {
            const M_NormalColumnDAO& r = c.record;
            out += separator + r._name + " " + types[r._dataType];
            if (r._dataType == 2) out += "(" + std::to_string(r._maxLength) + ")";
            if (r._dataType == 3)
                out += "(" + std::to_string(r._numLength) + "," + std::to_string(r._numPresision) +
                       ")";
            if (r._isPk == 1) out += " pk";
            if (r._isAutoIncrement == 1) out += " auto";
            if (r._isIndex == 1) out += " index";
            if (r._isOnly == 1) out += " unique";
            if (!r._defaultValue.empty()) out += " =" + r._defaultValue;
            if (!c.references.empty()) out += " ->" + c.references;
            separator = "; ";
        }
        out += "\n";
    }
    return out;
}

std::string noteLines(const std::vector<InspectNote>& notes) {
    std::vector<std::string> lines;
    for (const InspectNote& n : notes)
        lines.push_back(std::string(n.kind == InspectNote::Kind::Mapped ? "mapped " : "not-held ") +
                        n.subject);
    std::sort(lines.begin(), lines.end());
    std::string out;
    for (const std::string& line : lines)
        out += line + "\n";
    return out;
}

std::string noteOf(const std::vector<InspectNote>& notes, const std::string& subject,
                   const std::string& start) {
    for (const InspectNote& n : notes) {
        if (n.subject == subject && utf8(n.what).rfind(start, 0) == 0) return utf8(n.what);
    }
    return "<none>";
}

}  // namespace

class ModelInspectTest : public RecordFixture {
protected:
    // A database of the backend under test made by the sample script
    // `sample` in the backend's form (data/<sample>_<form>.sql).
    std::string database(const std::string& sample) {
        const std::string location = dir.database("inspected");
        const std::string script =
            ARX_TEST_DATA "/" + sample + "_" + underTest().sampleForm() + ".sql";
        EXPECT_EQ(rawRun(location, readText(script)), "") << script;
        return location;
    }
    std::string chinook() { return database("chinook/Chinook"); }
    // The names of the samples as the backend's form spells them.
    static std::string named(const std::string& names) { return underTest().sampleName(names); }
};

// Chinook read into a new model: every table, column, key and reference,
// and the list of what the model holds otherwise; the model stored from it
// reads back the same. A column added to the database later becomes the
// one change of the model's next version.
TEST_F(ModelInspectTest, TheChinookSchemaBecomesAModelAndItsNextVersion) {
    const std::string location = chinook();
    ModelDescription read;
    std::vector<InspectNote> notes;
    ResultMsg rm = ModelInspect::read(location, InspectOptions(), read, notes);
    ASSERT_TRUE(rm.ok()) << utf8(rm.rMsg);
    EXPECT_EQ(compact(read), named(kChinook));
    EXPECT_EQ(noteLines(notes), named(kChinookNotes));
    EXPECT_EQ(noteOf(notes, named("Album"), u8"非空"),
              u8"非空约束（NOT NULL）不能保存：" + named(u8"Title、ArtistId"));
    EXPECT_EQ(noteOf(notes, named("PlaylistTrack"), u8"组合"),
              named(u8"组合主键不能保存：(PlaylistId, TrackId)"));
    EXPECT_NE(noteOf(notes, named("Invoice.Total"), u8"类型").find(u8"real（浮点数）"),
              std::string::npos);

    ApplyPlan plan;
    rm = ModelApply::applyAsNewModel(project()._ID, "Chinook", read, ApplyOptions(), plan);
    ASSERT_TRUE(rm.ok()) << utf8(rm.rMsg);
    EXPECT_EQ(plan.changes.size(), 11u);
    M_EntityModelDAO stored;
    stored._rProjectID = project()._ID;
    stored._name = "Chinook";
    ModelDescription back;
    ASSERT_TRUE(ModelExport::describe(stored, 0, back).ok());
    EXPECT_EQ(compact(back), named(kChinook));

    ASSERT_EQ(rawRun(location, "ALTER TABLE Album ADD COLUMN Year INTEGER DEFAULT 1970"), "");
    InspectOptions again;
    again.existing = &stored;
    ModelDescription next;
    notes.clear();
    ASSERT_TRUE(ModelInspect::read(location, again, next, notes).ok());
    rm = ModelApply::applyAsNewVersion(stored, next, ApplyOptions(), plan);
    ASSERT_TRUE(rm.ok()) << utf8(rm.rMsg);
    EXPECT_EQ(plan.version, 2);
    ASSERT_EQ(plan.changes.size(), 1u);
    EXPECT_EQ(changeKindName(plan.changes[0].kind), std::string("column-added"));
    EXPECT_EQ(plan.changes[0].columnInnerName, named("Year") + "_2");
    EXPECT_TRUE(plan.structure.empty());
}

// Views, triggers, checks, an expression default, composite and expression
// indexes, a column named id, types the model has no own kind for: each
// one listed, nothing left out without a word.
TEST_F(ModelInspectTest, WhatTheModelCannotHoldIsListed) {
    const std::string location = database("inspect/Extra");
    ModelDescription read;
    std::vector<InspectNote> notes;
    const ResultMsg rm = ModelInspect::read(location, InspectOptions(), read, notes);
    ASSERT_TRUE(rm.ok()) << utf8(rm.rMsg);
    EXPECT_EQ(compact(read),
              named("Extra: Code text(256) unique =a'b; Made text(256); A int; B int; Flag int =1; "
                    "Price real(8,3); Raw text(256)\n"));
    const std::string extra = named("Extra");
    const std::string expected = named(
        "mapped Extra.Flag\nmapped Extra.Price\nmapped Extra.Raw\nnot-held Extra\n"
        "not-held Extra\nnot-held Extra\nnot-held Extra.Id\nnot-held Extra.Made\n"
        "not-held ExtraTrigger\nnot-held ExtraView\n");
    EXPECT_EQ(noteLines(notes), expected);
    EXPECT_EQ(noteOf(notes, extra + "." + named("Id"), ""),
              u8"每个物理表都有自己的标识列id，此主键由它承担");
    EXPECT_NE(noteOf(notes, extra, u8"检查约束").find("length("), std::string::npos);
    EXPECT_NE(noteOf(notes, extra, u8"索引").find(named("(A, B)")), std::string::npos);
    EXPECT_NE(noteOf(notes, extra, u8"唯一索引").find(u8"<表达式>"), std::string::npos);
    EXPECT_NE(noteOf(notes, extra + "." + named("Made"), u8"默认值").find(u8"是表达式"),
              std::string::npos);
}

}  // namespace arxtest
