// The edits of folders, tables and columns (Edits.h).
#include <list>

#include "Edits.h"
#include "InstanceDataManager.h"
#include "Lookup.h"
#include "MRDSession.h"
#include "MeridianNew.h"
#include "PtrListHelper.h"
#include "StringHelper.h"
#include "Transaction.h"

namespace qms {

EditTransaction::EditTransaction(std::string what) : what_(std::move(what)) {
    InstanceDataManager* config = MeridianNew::getCurrMRDConfigIDM();
    if (config == nullptr || config->getPSession() == nullptr)
        throw Failure(what_ + ": no configuration database is open");
    transaction_ = std::make_unique<Transaction>(*config->getPSession());
    check(transaction_->begun(), what_);
}

EditTransaction::~EditTransaction() = default;

void EditTransaction::commit() {
    check(transaction_->commit(), what_);
}

void requireChangeable(const M_EntityModelDAO& model) {
    if (model._isVersionLocked == 1) {
        throw EditRefused("",
                          "model '" + utf8(model._name) + "' version " +
                              std::to_string(model._version) +
                              " is locked (run 'qms model upgrade' to change it)",
                          "upgrade the model: its new version takes changes");
    }
    M_ProjectDAO::setCurrProjectID(model._rProjectID);
}

M_FolderDAO addFolder(M_EntityModelDAO& model, M_FolderDAO* parent, const std::string& name,
                      bool generateDao) {
    requireChangeable(model);
    EditTransaction transaction("cannot add folder '" + name + "'");
    std::list<M_FolderDAO*> siblings;
    PtrListGuard<M_FolderDAO> guard(siblings);
    check(parent != nullptr ? M_FolderDAO::FindByParentFolderID(parent->_ID, siblings)
                            : M_FolderDAO::FindRootFolderByEntityModelID(model._ID, siblings),
          "cannot list the folders");
    M_FolderDAO folder;
    folder._name = gbk(name);
    for (const M_FolderDAO* sibling : siblings) {
        if (sibling->_name == folder._name)
            throw EditRefused("name", "folder '" + name + "' exists",
                              "choose a name that no folder beside it has");
    }
    folder._displayName = folder._name;
    folder._isGenerateDAO = generateDao ? 1 : 0;
    check(parent != nullptr ? parent->addM_SubFolderDAO(&folder) : model.addM_FolderDAO(&folder),
          "cannot add folder '" + name + "'");
    transaction.commit();
    return folder;
}

std::string deleteFolder(M_EntityModelDAO& model, M_FolderDAO& folder) {
    requireChangeable(model);
    const std::string name = utf8(folder._name);
    // Tables of folders that the model detaches are parked there.
    if (folder._folderType == FOLDER_TYPE_TEMPORARY)
        throw EditRefused("", "folder '" + name + "' is the model's temporary folder and stays",
                          "delete the tables in it instead");
    EditTransaction transaction("cannot delete folder '" + name + "'");
    std::string report;
    check(folder.delself(report), "cannot delete folder '" + name + "'");
    transaction.commit();
    return report;
}

M_EntityTableDAO addTable(M_EntityModelDAO& model, M_FolderDAO& folder, const std::string& name,
                          const std::string& display) {
    requireChangeable(model);
    EditTransaction transaction("cannot add table '" + name + "'");
    M_EntityTableDAO table;
    table._name = gbk(name);
    std::list<M_EntityTableDAO*> tables;
    PtrListGuard<M_EntityTableDAO> guard(tables);
    check(model.getEntityTableList(tables), "cannot list the tables");
    // Physical table names ignore letter case: "Order" and "order" would be
    // one table of an instance file.
    for (const M_EntityTableDAO* other : tables) {
        if (StringHelper::equalsIgnoreCase(other->_name, table._name))
            throw EditRefused("name",
                              "table '" + name + "' exists in model '" + utf8(model._name) + "'",
                              "choose a name that no table of the model has, in any letter case");
    }
    table._displayName = gbk(display.empty() ? name : display);
    check(folder.addM_EntityTableDAO(&table), "cannot add table '" + name + "'");
    transaction.commit();
    return table;
}

void changeTable(M_EntityModelDAO& model, M_EntityTableDAO& table,
                 const std::optional<std::string>& display, M_FolderDAO* folder) {
    requireChangeable(model);
    const std::string what = "cannot change table '" + utf8(table._name) + "'";
    EditTransaction transaction(what);
    if (display) {
        // Every version that holds the table shares its one record: a new
        // display name would reach a locked version too.
        std::list<M_EntityModelDAO*> owners;
        PtrListGuard<M_EntityModelDAO> ownersGuard(owners);
        check(table.getEntityModelOwners(owners), what);
        for (const M_EntityModelDAO* owner : owners) {
            if (owner->_ID == model._ID || owner->_isVersionLocked != 1) continue;
            throw EditRefused("display",
                              "table '" + utf8(table._name) + "' is also in model '" +
                                  utf8(owner->_name) + "' version " +
                                  std::to_string(owner->_version) +
                                  ", which is locked: its display name stays",
                              "a locked version keeps its tables as they are; only a table this "
                              "version added takes a new display name");
        }
        table._displayName = gbk(*display);
        check(table.save(), what);
    }
    if (folder != nullptr && !folder->isHaveEntityTable(table._ID)) {
        std::list<M_FolderDAO*> holders;
        PtrListGuard<M_FolderDAO> guard(holders);
        check(table.getFolderOwner(&model, holders), what);
        for (M_FolderDAO* holder : holders)
            check(holder->removeM_EntityTableDAO(&table), what);
        check(folder->addM_EntityTableDAO(&table), what);
    }
    transaction.commit();
}

std::string deleteTable(M_EntityModelDAO& model, M_EntityTableDAO& table) {
    requireChangeable(model);
    const std::string what = "cannot delete table '" + utf8(table._name) + "'";
    EditTransaction transaction(what);
    std::string report;
    check(table.delFromEntityModel(&model, report), what);
    transaction.commit();
    return report;
}

namespace {

// The fields a new column or a change sets.
void setFields(M_EntityModelDAO& model, M_NormalColumnDAO& column, const ColumnFields& fields) {
    if (fields.dataType) column._dataType = *fields.dataType;
    if (fields.display) column._displayName = gbk(*fields.display);
    if (fields.defaultValue) column._defaultValue = gbk(*fields.defaultValue);
    if (fields.index) column._isIndex = *fields.index;
    if (fields.unique) column._isOnly = *fields.unique;
    if (fields.maxLength) column._maxLength = *fields.maxLength;
    if (fields.references)
        column._fkTableID =
            *fields.references > 0 ? findTableByID(model, *fields.references)._ID : -1;
}

}  // namespace

M_NormalColumnDAO addColumn(M_EntityModelDAO& model, M_EntityTableDAO& table,
                            const std::string& name, const ColumnFields& fields) {
    requireChangeable(model);
    EditTransaction transaction("cannot add column '" + name + "'");
    M_NormalColumnDAO column;
    column._name = gbk(name);
    std::list<M_NormalColumnDAO*> columns;
    PtrListGuard<M_NormalColumnDAO> guard(columns);
    check(table.getNormalColumnDAOList(&model, columns), "cannot list the columns");
    for (const M_NormalColumnDAO* other : columns) {
        if (other->_name == column._name)
            throw EditRefused("name",
                              "column '" + name + "' exists in table '" + utf8(table._name) + "'",
                              "choose a name that no column of the table has");
    }
    column._displayName = column._name;
    column._isFindKey = fields.findKey ? 1 : 0;
    setFields(model, column, fields);
    check(table.addNormalColumnDAO(&model, &column), "cannot add column '" + name + "'");
    transaction.commit();
    return column;
}

void changeColumn(M_EntityModelDAO& model, M_NormalColumnDAO& column, const ColumnFields& fields) {
    requireChangeable(model);
    const std::string what = "cannot change column '" + utf8(column._name) + "'";
    EditTransaction transaction(what);
    setFields(model, column, fields);
    // Earlier versions keep the column as it was (see reviseInModel).
    check(column.reviseInModel(&model), what);
    transaction.commit();
}

void deleteColumn(M_EntityModelDAO& model, M_NormalColumnDAO& column) {
    requireChangeable(model);
    const std::string what = "cannot delete column '" + utf8(column._name) + "'";
    EditTransaction transaction(what);
    check(column.delFromEntityModel(&model), what);
    // The column leaves this version; older versions share its record and
    // keep it, so only a column added in this version loses its row.
    if (column._addVersion >= model._version) {
        check(column.delself(), what);
    } else {
        column._delVersion = model._version;
        check(column.save(), what);
    }
    transaction.commit();
}

}  // namespace qms
