// Starts the platform on a new configuration database in a temporary folder
// and builds the metadata of a small shop: a project, an entity model with a
// folder tree of tables and columns, and a dictionary model whose first
// column creates its physical table. Then it deletes a folder, prints the
// delete report, creates an instance file of the model and works with its
// rows and blobs, exports and re-imports dictionary rows, shows a
// transaction rolling back, upgrades the model to version 2, copies it to a
// new model and prints both folder trees, exports the project and imports it
// into a second configuration database. Everything, the run
// log included, stays in that folder, which is removed at the end.
#include <stdlib.h>

#include <filesystem>
#include <iostream>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "InstanceDataManager.h"
#include "M_EntityModelDAO.h"
#include "M_EntityTableDAO.h"
#include "M_FolderDAO.h"
#include "M_NormalColumnDAO.h"
#include "M_ProjectDAO.h"
#include "MeridianNew.h"
#include "QmsRecordClasses.h"
#include "QmsSelfDescription.h"
#include "StringHelper.h"
#include "Transaction.h"

using namespace MeridianSpace;

namespace {

bool ok = true;

// Messages are GBK; the console speaks UTF-8.
std::string shown(const ResultMsg& rm) {
    return "code " + std::to_string(rm.rCode) +
           (rm.rMsg.empty() ? "" : ", " + StringHelper::GBKToUTF8(rm.rMsg));
}

// Prints what a step did; a failed step fails the run.
void report(const std::string& step, const ResultMsg& rm) {
    std::cout << step << ": " << shown(rm) << "\n";
    ok = ok && rm.ok();
}

// A new table in the folder, with its columns (name and data type: 1
// integer, 2 text).
std::unique_ptr<M_EntityTableDAO> addTable(
    M_EntityModelDAO& model, M_FolderDAO& folder, const std::string& name,
    const std::vector<std::pair<std::string, int>>& columns) {
    auto table = std::make_unique<M_EntityTableDAO>();
    table->_name = name;
    report("add table " + name + " to folder " + folder._name,
           folder.addM_EntityTableDAO(table.get()));
    for (const auto& [columnName, dataType] : columns) {
        M_NormalColumnDAO column;
        column._name = columnName;
        column._dataType = dataType;
        ResultMsg rm = table->addNormalColumnDAO(&model, &column);
        ok = ok && rm.ok();
        if (!rm.ok()) std::cout << "add column " << columnName << ": " << shown(rm) << "\n";
    }
    std::cout << "  table " << table->_name << " (inner name " << table->_innerName << ", id "
              << table->_ID << ") with " << columns.size() << " columns\n";
    return table;
}

void printModel(M_EntityModelDAO& model) {
    std::list<M_EntityTableDAO*> tables;
    ResultMsg rm = model.getEntityTableList(tables);
    std::cout << "model " << model._name << " version " << model._version << " holds "
              << tables.size() << " tables:";
    for (M_EntityTableDAO* table : tables) {
        std::list<M_NormalColumnDAO*> columns;
        (void)table->getNormalColumnDAOList(&model, columns);  // printed only
        std::cout << " " << table->_name << "(" << columns.size() << ")";
        T_deletePtrList(columns);
    }
    std::cout << "\n";
    T_deletePtrList(tables);
    ok = ok && rm.ok();
}

// The identifier column and the table's columns of the model's version: the
// column list of the row text form. The caller deletes the objects.
std::list<M_NormalColumnDAO*> rowColumns(M_EntityModelDAO& model, M_EntityTableDAO& table,
                                         bool withID) {
    std::list<M_NormalColumnDAO*> columns;
    report("columns of " + table._name, table.getNormalColumnDAOList(&model, columns));
    if (withID) {
        auto* id = new M_NormalColumnDAO;
        id->_name = id->_innerName = "id";
        id->_dataType = 1;
        columns.push_front(id);
    }
    return columns;
}

void printLines(const std::string& what, const std::list<std::string>& lines) {
    std::cout << "  " << what << ":\n";
    for (const std::string& line : lines)
        std::cout << "    " << StringHelper::GBKToUTF8(line) << "\n";
}

// Rows and blobs of an instance file of the model, and the rows of a
// dictionary table exported and imported again as text.
void rowsAndBlobs(const std::string& folder, M_EntityModelDAO& model, M_EntityTableDAO& customer,
                  M_EntityTableDAO& sensor, M_EntityModelDAO& dictionaries,
                  M_EntityTableDAO& color) {
    // An instance file holds the physical tables of the model's version; it
    // becomes the work database, where the rows of ordinary tables live.
    report("create instance file shop-v1.db",
           model.createInstance(folder + "/instances", "shop-v1.db"));
    const std::string instance = folder + "/instances/shop-v1.db";
    M_EntityModelDAO* described = nullptr;
    report("instance file describes itself",
           M_EntityModelDAO::getInstanceInfo(instance, described));
    if (described != nullptr) {
        std::cout << "  model " << described->_name << " version " << described->_version << ", id "
                  << described->_ID << "\n";
    }
    delete described;
    report("make it the work database", MeridianNew::setCurrentWorkDB(instance, 1));

    // Lines: values joined by "@#@", the row identifier first (0: a new row).
    std::list<M_NormalColumnDAO*> columns = rowColumns(model, customer, true);
    report("save two customers", customer.saveData(columns, {"0@#@Ann@#@Paris", "0@#@O'Brien@#@"}));
    report("move Ann to Lyon", customer.saveData(columns, {"1@#@Ann@#@Lyon"}));
    T_deletePtrList(columns);
    std::list<std::string> lines;
    report("read the customers", customer.getData(columns, lines));
    printLines("id, Name, City", lines);
    ok = ok && lines.size() == 2 && lines.front() == "1@#@Ann@#@Lyon";
    T_deletePtrList(columns);

    // A blob is an array of doubles in one column of a stored row.
    columns = rowColumns(model, sensor, false);
    M_NormalColumnDAO* samples = columns.back();
    std::list<M_NormalColumnDAO*> nameOnly = {new M_NormalColumnDAO, columns.front()};
    nameOnly.front()->_name = nameOnly.front()->_innerName = "id";
    nameOnly.front()->_dataType = 1;
    report("save sensor row", sensor.saveData(nameOnly, {"0@#@probe"}));
    delete nameOnly.front();
    double written[] = {0.5, 1.25, -3.0};
    report("save blob of 3 values into row 1", sensor.saveBlobData(samples, written, 3, 1));
    double* read = nullptr;
    int count = 0;
    report("read it back", sensor.getBlobData(samples, 1, read, count));
    std::cout << "  " << count << " values:";
    for (int i = 0; i < count; ++i)
        std::cout << " " << read[i];
    std::cout << "\n";
    ok = ok && count == 3 && read[2] == -3.0;
    delete[] read;
    T_deletePtrList(columns);

    // Dictionary rows live in the configuration database; import rebuilds
    // the physical table from the column records and fills it.
    columns = rowColumns(dictionaries, color, false);
    report("import colors", color.importData(columns, {"1@#@red", "2@#@green", "3@#@"}));
    T_deletePtrList(columns);
    lines.clear();
    report("export colors", color.exportData(columns, lines));
    printLines("Code, Label", lines);
    report("import the export again", color.importData(columns, lines));
    T_deletePtrList(columns);
    ok = ok && lines.size() == 3;
}

// The folder tree below `parent` (the model's root folders for 0), with the
// tables of each folder and their identifiers.
void printFolders(int modelID, int parentID, int depth) {
    std::list<M_FolderDAO*> folders;
    if (parentID == 0) {
        (void)M_FolderDAO::FindRootFolderByEntityModelID(modelID, folders);  // printed only
    } else {
        (void)M_FolderDAO::FindByParentFolderID(parentID, folders);  // printed only
    }
    for (M_FolderDAO* folder : folders) {
        std::list<M_EntityTableDAO*> tables;
        (void)folder->getM_EntityTableDAOList(tables);  // printed only
        std::cout << std::string(2 * depth + 2, ' ') << folder->_name << " (id " << folder->_ID
                  << "):";
        for (M_EntityTableDAO* table : tables)
            std::cout << " " << table->_name << "#" << table->_ID;
        std::cout << "\n";
        T_deletePtrList(tables);
        printFolders(modelID, folder->_ID, depth + 1);
    }
    T_deletePtrList(folders);
}

void printTree(const M_EntityModelDAO& model) {
    std::cout << "  model " << model._name << " version " << model._version << " (id " << model._ID
              << ", display name " << model._displayName << ", locked " << model._isVersionLocked
              << ")\n";
    printFolders(model._ID, 0, 1);
}

// A new version shares the tables of the old one; a copy gets tables of its own.
void upgradeAndCopy(M_EntityModelDAO& model, M_FolderDAO& sales) {
    M_FolderDAO archive;
    archive._name = "Archive";
    report("add sub-folder Archive", sales.addM_SubFolderDAO(&archive));
    (void)addTable(model, archive, "OldOrder", {{"Total", 1}});
    M_EntityModelDAO* next = nullptr;
    report("upgrade " + model._name + " to a new version", model.upgradeNewVersion(next));
    if (next == nullptr) {
        ok = false;
        return;
    }
    std::unique_ptr<M_EntityModelDAO> nextOwner(next);
    printTree(model);
    printTree(*next);
    ok = ok && next->_version == model._version + 1 && model._isVersionLocked == 1;

    auto copy = std::make_unique<M_EntityModelDAO>();
    copy->_name = "ShopModelCopy";
    copy->_displayName = "Shop copy";
    M_EntityModelDAO* target = copy.get();
    report("copy version " + std::to_string(next->_version) + " to " + copy->_name,
           next->copyTo(target));
    printTree(*copy);
}

// The project travels through an export file into a second configuration
// database, where it arrives under new identifiers.
void exportAndImport(const std::string& folder, int projectID) {
    report("describe the configuration database", QmsSelfDescription::ensure());
    const std::string file = folder + "/shop-export.db";
    report("export project " + std::to_string(projectID),
           M_ProjectDAO::exportProject({projectID}, file));

    report("start on a second configuration database",
           MeridianNew::startup(folder + "/second-config.db", folder + "/second-work.db"));
    report("describe it", QmsSelfDescription::ensure());
    std::list<M_ProjectDAO*> inFile;
    report("projects in the export file", M_ProjectDAO::getImportProjectList(inFile, file));
    std::list<int> ids;
    for (M_ProjectDAO* project : inFile) {
        std::cout << "  " << project->_name << " (id " << project->_ID << ")\n";
        if (project->_name != QmsSelfDescription::platformProjectName())
            ids.push_back(project->_ID);
    }
    T_deletePtrList(inFile);
    report("import them", M_ProjectDAO::importProject(file, ids));
    std::list<M_ProjectDAO*> projects;
    (void)M_ProjectDAO::FindByName("shop", projects);  // printed only
    for (M_ProjectDAO* project : projects) {
        std::list<M_EntityModelDAO*> models;
        (void)project->getEntityModelList(models);  // printed only
        std::cout << "  imported project " << project->_name << " (id " << project->_ID << ", "
                  << models.size() << " models)\n";
        for (M_EntityModelDAO* model : models)
            printTree(*model);
        ok = ok && models.size() == 4;
        T_deletePtrList(models);
    }
    ok = ok && projects.size() == 1;
    T_deletePtrList(projects);
}

void buildAndDelete(const std::string& folder) {
    M_ProjectDAO project;
    project._name = "shop";
    project._author = "O'Brien";
    report("save project " + project._name, project.save());
    std::cout << "  GUID " << project._uID << "\n";
    M_ProjectDAO::setCurrProjectID(project._ID);

    M_EntityModelDAO model;
    model._name = "ShopModel";
    model._displayName = "Shop";
    report("add model " + model._name, project.addEntityModel(&model));
    std::cout << "  version " << model._version << ", id " << model._ID << "\n";

    M_FolderDAO sales, orders;
    sales._name = "Sales";
    orders._name = "Orders";
    report("add root folder Sales", model.addM_FolderDAO(&sales));
    report("add sub-folder Orders", sales.addM_SubFolderDAO(&orders));
    auto customer = addTable(model, sales, "Customer", {{"Name", 2}, {"City", 2}});
    auto order = addTable(model, orders, "Order", {{"CRCustomerID", 1}, {"Total", 1}});
    auto line = addTable(model, orders, "OrderLine", {{"Qty", 1}, {"Price", 1}});
    // Tied to Order by name: a key column "CR" + name + "ID" and a relation
    // table "TR_" + name + ..., both outside the Orders folder.
    auto invoice = addTable(model, sales, "Invoice", {{"CROrderID", 1}, {"Amount", 1}});
    auto relation = addTable(model, sales, "TR_Order_Product", {{"Qty", 1}});
    // Type 4: a blob of doubles.
    auto sensor = addTable(model, sales, "Sensor", {{"Name", 2}, {"Samples", 4}});
    printModel(model);

    // A dictionary model (type 2) keeps its rows in the configuration
    // database: the first column of a table creates the physical table.
    M_EntityModelDAO dictionaries;
    dictionaries._name = "Dictionaries";
    dictionaries._type = ENTITY_MODEL_TYPE_DICTIONARY;
    report("add dictionary model", project.addEntityModel(&dictionaries));
    M_FolderDAO codes;
    codes._name = "Codes";
    report("add folder Codes", dictionaries.addM_FolderDAO(&codes));
    auto color = addTable(dictionaries, codes, "Color", {{"Code", 1}, {"Label", 2}});
    std::vector<std::string> physical;
    report("physical table " + color->_innerName,
           MeridianNew::getCurrMRDConfigIDM()->getTableColumnNames(color->_innerName, physical));
    std::cout << "  columns:";
    for (const std::string& name : physical)
        std::cout << " " << name;
    std::cout << "\n";

    // Deleting a folder removes its tables from the model, its sub-folders
    // and its scene records, and with them the tables and columns tied to
    // its tables by name; the report lists what went outside the folder
    // ("3,id#" a column, "2,id#" a table).
    std::string deleted;
    report("delete folder Orders", orders.delself(deleted, COMMIT_T_IMMEDIATELY));
    std::cout << "  delete report: \"" << StringHelper::GBKToUTF8(deleted) << "\"\n";
    printModel(model);

    rowsAndBlobs(folder, model, *customer, *sensor, dictionaries, *color);

    // All or nothing: a transaction that ends without commit() leaves nothing.
    {
        Transaction tx(*MeridianNew::getCurrMRDConfigIDM());
        M_FolderDAO draft;
        draft._name = "Draft";
        report("add folder Draft inside a transaction", model.addM_FolderDAO(&draft));
    }
    std::list<M_FolderDAO*> roots;
    report("root folders after the transaction ended without commit",
           model.getRootM_FolderDAOList(roots));
    std::cout << "  ";
    for (M_FolderDAO* root : roots)
        std::cout << root->_name << " ";
    std::cout << "\n";
    for (M_FolderDAO* root : roots)
        ok = ok && root->_name != "Draft";
    T_deletePtrList(roots);

    upgradeAndCopy(model, sales);
    exportAndImport(folder, project._ID);
}

}  // namespace

int main() {
    std::string folder =
        (std::filesystem::temp_directory_path() / "arx_quickstart_XXXXXX").string();
    if (mkdtemp(folder.data()) == nullptr) {
        std::cerr << "cannot make a temporary folder\n";
        return 1;
    }
    const std::string configDB = folder + "/config.db";
    const std::string workDB = folder + "/work.db";
    // The run log goes to ./DB_Log; keep it with the databases.
    const std::filesystem::path startedIn = std::filesystem::current_path();
    std::filesystem::current_path(folder);

    QmsRecordClasses::registerAll();
    ResultMsg rm = MeridianNew::startup(configDB, workDB);
    std::cout << "start-up on " << configDB << ": " << shown(rm) << "\n";
    if (rm.ok()) {
        std::cout << "platform status: " << MeridianNew::getCurrPlatformStatus() << "\n";
        buildAndDelete(folder);
        report("shut-down (commits and closes both databases)", MeridianNew::shutdown());
    }
    ok = ok && rm.ok();
    std::cout << "run log: " << folder << "/DB_Log/db_log" << StringHelper::currTimeStr(3)
              << ".log\n";
    std::filesystem::current_path(startedIn);
    std::filesystem::remove_all(folder);
    std::cout << (ok ? "quickstart finished" : "quickstart FAILED") << "\n";
    return ok ? 0 : 1;
}
