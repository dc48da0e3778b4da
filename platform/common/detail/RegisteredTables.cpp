#include "detail/RegisteredTables.h"

#include <cctype>
#include <memory>

#include "DAO.h"
#include "DAOFactoryRegistry.h"
#include "InstanceDataManager.h"
#include "MetaDataManager.h"
#include "ServiceErrorCode.h"
#include "Transaction.h"
#include "detail/DAOClassLayout.h"

namespace MeridianSpace::detail {

namespace {

bool hasColumn(const std::vector<std::string>& names, const std::string& column) {
    for (const std::string& name : names) {
        if (StringHelper::equalsIgnoreCase(name, column)) return true;
    }
    return false;
}

MNormalColumn physicalColumn(const MNormalColumn& mapped) {
    MNormalColumn column = mapped;
    column._isIndex = isKeyColumn(column._innerName) ? 1 : 0;
    return column;
}

// Makes the class's table, or the columns it lacks; with `onlyLook` it
// makes nothing and sets `missing` when something is.
ResultMsg ensureTable(InstanceDataManager& idm, const DAOClassLayout& layout, bool onlyLook,
                      bool& missing) {
    std::vector<std::string> existing;
    ResultMsg rm = idm.getTableColumnNames(layout.table, existing);
    if (rm.rCode == SRV_ERR_NO_TABLE && onlyLook) {
        missing = true;
        return ResultMsg();
    }
    if (rm.rCode == SRV_ERR_NO_TABLE) {
        MTable table;
        table._name = table._innerName = layout.table;
        table._neverReuseIDs = true;
        std::list<MNormalColumn> columns;
        for (std::size_t i = 1; i < layout.columns.size(); ++i) {
            columns.push_back(physicalColumn(layout.columns[i]));
        }
        return idm.addMTableInstance(table, columns);
    }
    if (!rm.ok()) return rm;
    for (std::size_t i = 1; rm.ok() && i < layout.columns.size(); ++i) {
        if (hasColumn(existing, layout.columns[i]._innerName)) continue;
        missing = true;
        if (!onlyLook) {
            rm = idm.addNormalColumnInstance(layout.table, physicalColumn(layout.columns[i]));
        }
    }
    return rm;
}

// Runs ensureTable for every registered class whose objects live in `idm`'s
// database; one class that fails does not keep the others from their turn.
ResultMsg ensureTables(InstanceDataManager& idm, bool onlyLook, bool& missing) {
    ResultMsg result;
    for (const auto& [className, factory] : DAOFactoryRegistry::factories()) {
        if (factory == nullptr) continue;
        std::unique_ptr<DAO> sample(factory());
        if (!sample || sample->getIDM() != &idm) continue;
        std::shared_ptr<const DAOClassLayout> layout;
        ResultMsg rm = DAOClassLayout::of(className, layout);
        if (rm.ok()) rm = ensureTable(idm, *layout, onlyLook, missing);
        if (!rm.ok() && result.ok()) result = rm;
    }
    return result;
}

}  // namespace

ResultMsg ensureRegisteredTables(InstanceDataManager& idm, MetaDataManager& mdm) {
    // Look first, without a transaction: a database that has everything is
    // only read, and readers of a WAL file wait for no writer, so a start-up
    // is not held up by another process's long write.
    bool missing = false, indexed = false;
    ResultMsg result = idm.initialMetaDataCache();
    if (result.ok()) result = ensureTables(idm, true, missing);
    if (result.ok() && !missing) result = mdm.hasLookupIndexes(indexed);
    if (!result.ok() || (!missing && indexed)) return result;

    // One immediate transaction: a second process starting on the same new
    // file waits for the lock (the busy timeout) and then finds the tables.
    Transaction tx(idm);
    if (!tx.begun().ok()) return tx.begun();
    // On a server the transaction itself locks nothing: take the lock.
    result = idm.lockSchemaChanges();
    if (!result.ok()) return result;
    // What other connections created before the lock was taken is only
    // seen after forgetting the cached layouts.
    result = idm.initialMetaDataCache();
    if (!result.ok()) return result;
    result = ensureTables(idm, false, missing);
    // Indexes the name finders and the metadata lookups search by.
    ResultMsg made = mdm.ensureLookupIndexes();
    if (!made.ok() && result.ok()) result = made;
    ResultMsg committed = tx.commit();
    return result.ok() ? committed : result;
}

}  // namespace MeridianSpace::detail
