// A model version as one file: written out, read back, applied to a model
// (round trips, a file edited by hand, refusals that write nothing), and a
// live database read into a model (the Chinook sample schema).
#include <algorithm>
#include <fstream>
#include <functional>
#include <sstream>

#include "M_DelByInterfaceDAO.h"
#include "M_FindByInterfaceDAO.h"
#include "MetaDataManager.h"
#include "ModelApply.h"
#include "ModelExport.h"
#include "ModelFile.h"
#include "dao/RecordFixture.h"

namespace arxtest {

namespace {

std::string gbk(const std::string& utf8Text) {
    return StringHelper::UTF8ToGBK(utf8Text);
}

}  // namespace

class ModelFileTest : public RecordFixture {
protected:
    // Model Sales of project P: folders Customers, Orders (and Orders/Archive
    // below it), tables with every kind of attribute, a table in two
    // folders, references (one to the table itself), a query and a delete
    // definition.
    M_EntityModelDAO buildSales() {
        M_EntityModelDAO m = model("Sales");
        m._displayName = gbk(u8"销售");
        m._description = "shop sales";
        EXPECT_TRUE(m.save().ok());
        M_FolderDAO customers = folder(m, "Customers");
        M_FolderDAO orders = folder(m, "Orders");
        orders._displayName = gbk(u8"订单");
        EXPECT_TRUE(orders.save().ok());
        M_FolderDAO archive;
        archive._name = "Archive";
        archive._isGenerateDAO = 1;
        EXPECT_TRUE(orders.addM_SubFolderDAO(&archive).ok());

        M_EntityTableDAO customer = table(customers, "Customer");
        customer._displayName = gbk(u8"客户");
        customer._countType = 2;
        EXPECT_TRUE(customer.save().ok());
        EXPECT_TRUE(orders.addM_EntityTableDAO(&customer).ok());
        M_EntityTableDAO order = table(orders, "Order");
        M_EntityTableDAO line = table(archive, "Line");
        line._description = "one line\nof an order";
        EXPECT_TRUE(line.save().ok());

        M_NormalColumnDAO name = column(m, customer, "Name", 2);
        name._maxLength = 80;
        name._isFindKey = 1;
        name._displayName = gbk(u8"姓名");
        EXPECT_TRUE(name.save().ok());
        M_NormalColumnDAO age = column(m, customer, "Age", 1);
        age._defaultValue = "0";
        age._isIndex = 1;
        EXPECT_TRUE(age.save().ok());
        M_NormalColumnDAO code = column(m, customer, "Code", 2);
        code._isOnly = 1;
        code._defaultValue = "true";
        EXPECT_TRUE(code.save().ok());
        M_NormalColumnDAO ref = column(m, order, "CustomerRef", 1);
        ref._fkTableID = customer._ID;
        EXPECT_TRUE(ref.save().ok());
        M_NormalColumnDAO total = column(m, order, "Total", 3);
        total._numLength = 12;
        total._numPresision = 2;
        EXPECT_TRUE(total.save().ok());
        M_NormalColumnDAO self = column(m, line, "Parent", 1);
        self._fkTableID = line._ID;
        EXPECT_TRUE(self.save().ok());
        column(m, line, "Data", 4);

        M_FindByInterfaceDAO finder;
        finder._name = "FindByName";
        finder._paraList = std::to_string(name._ID) + ",=,and#" + std::to_string(age._ID) + ",>";
        finder._sortAttributeList = std::to_string(age._ID) + "," + std::to_string(name._ID);
        finder._sortType = 1;
        EXPECT_TRUE(customer.addFindByInterfaceDAO(&finder).ok());
        M_DelByInterfaceDAO deleter;
        deleter._name = "DelByCode";
        deleter._paraList = std::to_string(code._ID) + ",=";
        deleter._bExport = 1;
        EXPECT_TRUE(customer.addDelByInterfaceDAO(&deleter).ok());
        return m;
    }

    static std::string exported(const M_EntityModelDAO& m, int version = 0) {
        ModelDescription d;
        const ResultMsg rm = ModelExport::describe(m, version, d);
        EXPECT_TRUE(rm.ok()) << utf8(rm.rMsg);
        return ModelFile::toYaml(d);
    }

    static ResultMsg applyText(const M_EntityModelDAO& m, const std::string& text, ApplyPlan& plan,
                               bool dryRun = false) {
        ModelDescription d;
        ResultMsg rm = ModelFile::parse(text, d);
        if (!rm.ok()) return rm;
        ApplyOptions options;
        options.dryRun = dryRun;
        return ModelApply::apply(m, d, options, plan);
    }

    // Starts the platform on a second, empty pair of databases.
    void switchToFreshDatabases() {
        ASSERT_TRUE(MeridianNew::shutdown().ok());
        config = dir.database("config2.db");
        work = dir.database("work2.db");
        const ResultMsg rm = MeridianNew::startup(config, work, 1);
        ASSERT_TRUE(rm.ok()) << utf8(rm.rMsg);
    }
};

// The file of buildSales(), as it must read: the format pinned.
const char* const kSalesFile =
    u8R"(# ARX_QMS model file: model Sales version 1 of project P.
# 'qms model apply MODEL FILE' makes the newest version of a model match it.
project: P
model: Sales
version: 1
type: 0
display: 销售
description: shop sales
folders:
  - name: TempFolder
    display: 临时数据模块
    type: 2
  - name: Customers
    tables:
      - key: Customer_1
        name: Customer
        display: 客户
        countType: 2
        alsoIn: [Orders]
        columns:
          - key: Name_1
            name: Name
            type: text
            display: 姓名
            findKey: 1
            maxLength: 80
          - key: Age_1
            name: Age
            type: int
            default: "0"
            index: 1
          - key: Code_1
            name: Code
            type: text
            default: "true"
            unique: 1
        finders:
          - name: FindByName
            sortType: 1
            parameters:
              - column: Name
                fields: [=, and]
              - column: Age
                fields: [">"]
            sort: [Age, Name]
        deleters:
          - name: DelByCode
            export: 1
            parameters:
              - column: Code
                fields: [=]
  - name: Orders
    display: 订单
    tables:
      - key: Order_1
        name: Order
        columns:
          - key: CustomerRef_1
            name: CustomerRef
            type: int
            references: Customer
          - key: Total_1
            name: Total
            type: real
            digits: 12
            decimals: 2
    folders:
      - name: Archive
        generateDao: 1
        tables:
          - key: Line_1
            name: Line
            description: "one line\nof an order"
            columns:
              - key: Parent_1
                name: Parent
                type: int
                references: Line
              - key: Data_1
                name: Data
                type: bytes
)";

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

// One line for each change; linesOf sorts them.
std::string line(const ModelChange& c) {
    return std::string(changeKindName(c.kind)) + " " + safetyName(c.safety) + " " +
           utf8(c.tableName) + (c.columnName.empty() ? "" : "." + utf8(c.columnName)) +
           (c.attribute.empty()
                ? ""
                : " " + c.attribute + ": " + utf8(c.before) + " -> " + utf8(c.after));
}
std::string line(const StructureChange& c) {
    return std::string(structureChangeName(c.kind)) + " " + utf8(c.subject) +
           (c.kind == StructureChange::Kind::TableMoved
                ? ": " + utf8(c.before) + " -> " + utf8(c.after)
                : "");
}
template <typename Change>
std::string linesOf(const std::vector<Change>& changes) {
    std::vector<std::string> lines;
    for (const Change& c : changes)
        lines.push_back(line(c));
    std::sort(lines.begin(), lines.end());
    std::string text;
    for (const std::string& each : lines)
        text += each + "\n";
    return text;
}

// Export, apply to an empty model of a new configuration database, export
// again: the same file. Applied once more, nothing changes and nothing is
// written.
TEST_F(ModelFileTest, ExportApplyToAnEmptyModelAndExportAgainGiveTheSameFile) {
    const std::string first = exported(buildSales());
    EXPECT_EQ(first, kSalesFile);
    switchToFreshDatabases();
    M_ProjectDAO p;
    p._name = "P";
    ASSERT_TRUE(p.save().ok());
    M_ProjectDAO::setCurrProjectID(p._ID);
    M_EntityModelDAO empty;
    empty._name = "Sales";
    empty._type = 0;
    ASSERT_TRUE(p.addEntityModel(&empty).ok());
    ApplyPlan plan;
    ResultMsg rm = applyText(empty, first, plan);
    ASSERT_TRUE(rm.ok()) << utf8(rm.rMsg);
    EXPECT_TRUE(plan.applied);
    EXPECT_EQ(linesOf(plan.changes),
              "table-added safe Customer\ntable-added safe Line\ntable-added safe Order\n");
    EXPECT_EQ(exported(empty), first);

    const std::string before = allRows(config);
    rm = applyText(empty, first, plan);
    ASSERT_TRUE(rm.ok()) << utf8(rm.rMsg);
    EXPECT_EQ(linesOf(plan.changes) + linesOf(plan.structure), "");
    EXPECT_EQ(allRows(config), before);
}

// Texts a YAML reader would take for something else, or that break a line,
// come back from the file as they were; so do their JSON-like spellings.
TEST(ModelFileText, TextsComeBackAsTheyWere) {
    const std::vector<std::string> texts = {
        "",    " lead", "trail ", "0",    "-1",          "1e3",       "0x10",
        ".5",  "true",  "Yes",    "off",  "~",           "null",      "- x",
        "? x", ": x",   "a: b",   "a #b", "#c",          "[x]",       "{x}",
        "&a",  "*a",    "!t",     "%d",   "@x",          "`x",        "|x",
        ">x",  "'x'",   "\"x\"",  "a\\b", "line\nbreak", "tab\there", gbk(u8"中文：名称"),
        "x,y", "\r",    "ends\r", "\r\n"};
    ModelDescription model;
    model.folders.emplace_back();
    model.folders.back().record._name = "F";
    TableDescription table;
    table.record._name = "T";
    for (std::size_t i = 0; i < texts.size(); ++i) {
        ColumnDescription column;
        column.record._name = "C" + std::to_string(i);
        column.record._displayName = texts[i];
        column.record._defaultValue = texts[i];
        table.columns.push_back(column);
    }
    model.folders.back().tables.push_back(table);
    ModelDescription back;
    const std::string yaml = ModelFile::toYaml(model);
    const ResultMsg rm = ModelFile::parse(yaml, back);
    ASSERT_TRUE(rm.ok()) << utf8(rm.rMsg) << "\n" << yaml;
    const auto& columns = back.folders.at(0).tables.at(0).columns;
    ASSERT_EQ(columns.size(), texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(columns[i].record._displayName, texts[i]) << yaml;
        EXPECT_EQ(columns[i].record._defaultValue, texts[i]) << yaml;
    }
}

// A hand-edited file of version 2: each edit is one change of the plan, in
// the form of the model diff, which then finds the same between versions 1
// and 2. A dry run plans the same and writes nothing.
TEST_F(ModelFileTest, AFileEditedByHandGivesTheChangesOfItsEdits) {
    M_EntityModelDAO v1 = buildSales();
    M_EntityModelDAO* next = nullptr;
    ASSERT_TRUE(v1.upgradeNewVersion(next).ok());
    const M_EntityModelDAO v2 = *next;
    delete next;
    std::string text = exported(v2);
    // Name renamed (its key stays), Age made text, Code ended, Email added.
    text = replaced(text, "            name: Name\n", "            name: FullName\n");
    text = replaced(text, "            name: Age\n            type: int\n",
                    "            name: Age\n            type: text\n");
    text = replaced(text,
                    "          - key: Code_1\n            name: Code\n            type: text\n"
                    "            default: \"true\"\n            unique: 1\n",
                    "          # Code is gone; Email is new.\n          - name: Email\n"
                    "            type: text\n");
    // The query orders by the renamed column; the deleter, whose column
    // this version no longer has, is no longer the version's.
    text = replaced(text, "sort: [Age, Name]", "sort: [FullName]");
    text = replaced(text, "              - column: Name\n", "              - column: FullName\n");
    text = replaced(text,
                    "        deleters:\n          - name: DelByCode\n            export: 1\n"
                    "            parameters:\n              - column: Code\n"
                    "                fields: [=]\n",
                    "");
    // Order gets a display name and moves to Customers; Invoice is new in
    // Orders; Line ends; a folder Reports is new.
    const std::size_t orderAt = text.find("      - key: Order_1\n");
    const std::size_t orderEnd = text.find("    folders:\n", orderAt);
    const std::string order =
        replaced(text.substr(orderAt, orderEnd - orderAt), "        name: Order\n",
                 "        name: Order\n        display: Purchase order\n");
    text.replace(orderAt, orderEnd - orderAt,
                 "      - name: Invoice\n        columns:\n          - name: Number\n"
                 "            type: int\n");
    text = replaced(text, "  - name: Orders\n", order + "  - name: Orders\n");
    const std::size_t lineAt = text.find("        tables:\n          - key: Line_1");
    text.erase(lineAt);
    text += "  - name: Reports\n";

    const std::string before = allRows(config);
    ApplyPlan dry, plan;
    ResultMsg rm = applyText(v2, text, dry, true);
    ASSERT_TRUE(rm.ok()) << utf8(rm.rMsg) << "\n" << text;
    EXPECT_FALSE(dry.applied);
    EXPECT_EQ(allRows(config), before);
    rm = applyText(v2, text, plan);
    ASSERT_TRUE(rm.ok()) << utf8(rm.rMsg);
    EXPECT_TRUE(plan.applied);
    const std::string expected =
        "column-added safe Customer.Email\n"
        "column-ended destructive Customer.Code\n"
        "renamed safe Customer.FullName Name: Name -> FullName\n"
        "renamed safe Order DisplayName:  -> Purchase order\n"
        "table-added safe Invoice\n"
        "table-ended destructive Line\n"
        "type-changed safe Customer.Age DataType: 1 -> 2\n";
    EXPECT_EQ(linesOf(plan.changes), expected);
    EXPECT_EQ(linesOf(dry.changes), expected);
    EXPECT_EQ(linesOf(plan.structure),
              "definition-changed Customer.FindByName\n"
              "folder-added Reports\n"
              "table-moved Order: Orders -> Customers\n");
    // A table's names are in its one record, which both versions share:
    // the diff between them cannot see that change.
    std::vector<ModelChange> between;
    ASSERT_TRUE(ModelDiff::between(v2, 1, 2, between).ok());
    EXPECT_EQ(linesOf(between),
              replaced(expected, "renamed safe Order DisplayName:  -> Purchase order\n", ""));
    // The version now reads back as the file says (but for its comment).
    ModelDescription edited;
    ASSERT_TRUE(ModelFile::parse(text, edited).ok());
    const std::string again = exported(v2);
    EXPECT_NE(again.find("          - key: Email_2\n            name: Email\n"), std::string::npos)
        << again;
    EXPECT_NE(again.find("      - key: Invoice_2\n        name: Invoice\n"), std::string::npos)
        << again;
    EXPECT_EQ(again.find("Line_1"), std::string::npos) << again;
}

// Files the apply refuses, each with its message (naming the line and
// column where there is one); the configuration database is then exactly
// as it was, row for row.
TEST_F(ModelFileTest, RefusedFilesWriteNothing) {
    const M_EntityModelDAO sales = buildSales();
    // Billing's table Invoice, renamed Bill: its key is no key a new table
    // of Sales would get.
    M_EntityModelDAO billing = model("Billing");
    M_FolderDAO main = folder(billing, "Main");
    M_EntityTableDAO invoice = table(main, "Invoice");
    invoice._name = "Bill";
    ASSERT_TRUE(invoice.save().ok());
    const std::string file = kSalesFile;
    const std::string laughs =
        "a: &a [x, x, x, x, x, x, x, x, x]\nb: &b [*a, *a, *a, *a, *a]\n"
        "c: &c [*b, *b, *b, *b, *b]\nd: [*c, *c, *c, *c, *c]\n";
    const struct {
        const char* what;
        std::string text;
        const char* message;
    } cases[] = {
        {"the keys of another model's file", replaced(file, "model: Sales", "model: Billing"),
         u8"模型文件第4行第8列：文件的键属于数据模型Billing，不是Sales"},
        {"a key of another model's table",
         replaced(file, "      - key: Order_1\n        name: Order\n",
                  "      - key: Invoice_1\n        name: Order\n"),
         u8"第55行第9列：键Invoice_1是数据模型Billing的数据类的键，不属于数据模型Sales"},
        {"a key no table has", replaced(file, "key: Order_1", "key: Ghost_7"),
         u8"数据模型Sales没有键为Ghost_7的数据类"},
        {"duplicate table keys", replaced(file, "key: Order_1", "key: customer_1"),
         u8"第55行第9列：数据类的键customer_1重复，第15行已有"},
        {"duplicate column keys", replaced(file, "key: Age_1", "key: Name_1"),
         u8"第27行第13列：属性的键Name_1重复，第21行已有"},
        {"a reference to a missing table",
         replaced(file, "references: Customer", "references: Nope"),
         u8"第61行第25列：文件中没有数据类Nope"},
        {"a parameter naming no column", replaced(file, "- column: Age", "- column: Agee"),
         u8"第43行第17列：数据类Customer没有属性Agee"},
        {"an unknown attribute", replaced(file, u8"    display: 订单\n", u8"    dispaly: 订单\n"),
         u8"第53行第5列：未知属性：dispaly"},
        {"a text GBK cannot hold", replaced(file, "name: Total", u8"name: Total😀"),
         u8"不能以GBK保存"},
        {"no UTF-8", replaced(file, "name: Data", "name: Da\xff"), u8"第80行第25列：不是UTF-8文本"},
        {"10,000 nested lists", std::string(10000, '[') + std::string(10000, ']'),
         u8"第1行第201列：嵌套超过200层"},
        {"10,000 nested block lists",
         [] {
             std::string text;
             for (int i = 0; i < 10000; ++i)
                 text += "- ";
             return text + "x\n";
         }(),
         u8"嵌套超过200层"},
        {"one-line lists the reader would keep whole", "[" + std::string(300001, ',') + "]",
         u8"第1行第300001列：逗号和括号（, [ {）超过300000个"},
        {"anchors and aliases that expand", laughs, u8"第1行第4列：不能使用锚点和别名（&、*）"},
        {"more than 16 MB", "# " + std::string(ModelFile::kMaxBytes, 'x') + "\n",
         u8"超过16777216字节"},
        {"a model type the model does not have", replaced(file, "type: 0\n", "type: 2\n"),
         u8"第6行第7列：数据模型类型是0，文件不能改变它"},
        {"a new column that would take a stored column's inner name",
         replaced(replaced(file, "            name: Age\n", "            name: Years\n"),
                  "          - key: Code_1\n",
                  "          - name: Age\n            type: int\n          - key: Code_1\n"),
         u8"第32行第13列：新属性Age没有键，而版本中的属性Age已有它将得到的内部名Age_1：要保留那一"
         u8"个，写上key: Age_1；要新建，换一个名称"},
        {"a new table without its key",
         replaced(file, "      - key: Order_1\n        name: Order\n", "      - name: Order\n"),
         u8"第55行第9列：新数据类Order没有键，而版本中的数据类Order已有它将得到的内部名Order_1"},
        {"a name the records refuse, after other writes",
         replaced(
             replaced(file, "        name: Order\n", "        name: Order\n        display: P\n"),
             "                type: bytes\n",
             "                type: bytes\n          - name: Bad\"Name\n  - name: Reports\n"),
         u8"第83行第13列：添加数据类Bad\"Name失败：错误：保存数据类自身信息pEntityTable->save()"
         u8"失败。"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string before = allRows(config);
        ApplyPlan plan;
        const ResultMsg rm = applyText(sales, c.text, plan);
        EXPECT_FALSE(rm.ok());
        EXPECT_NE(utf8(rm.rMsg).find(c.message), std::string::npos) << utf8(rm.rMsg);
        EXPECT_EQ(allRows(config), before);
        EXPECT_FALSE(plan.applied);
        EXPECT_EQ(linesOf(plan.changes) + linesOf(plan.structure), "");
    }
}

// A locked newest version takes no file; nor does a table the file keeps
// that the cascade of a deleted table would take along.
TEST_F(ModelFileTest, LockedVersionsAndCascadesAreRefused) {
    M_EntityModelDAO sales = buildSales();
    const std::string file = exported(sales);
    M_FolderDAO extra = folder(sales, "Extra");
    table(extra, "A");
    table(extra, "X_A");
    const std::string withA = exported(sales);
    const std::size_t a = withA.find("      - key: A_1\n");
    const std::string withoutA =
        withA.substr(0, a) + withA.substr(withA.find("      - key: X_A_1"));
    std::string before = allRows(config);
    ApplyPlan plan;
    ResultMsg rm = applyText(sales, withoutA, plan);
    EXPECT_NE(
        utf8(rm.rMsg).find(u8"删除数据类A时，数据类X_A也随之删除（按名称相关），文件却保留它"),
        std::string::npos)
        << utf8(rm.rMsg);
    EXPECT_EQ(allRows(config), before);

    ASSERT_TRUE(MeridianNew::getCurrMRDConfigMDM()->lockEntityModelVersion(sales._ID).ok());
    before = allRows(config);
    rm = applyText(sales, file, plan);
    EXPECT_EQ(utf8(rm.rMsg),
              u8"数据模型Sales的最新版本1已定版，不能应用模型文件：upgrade first（请先升版）。");
    EXPECT_EQ(allRows(config), before);
}

}  // namespace arxtest
