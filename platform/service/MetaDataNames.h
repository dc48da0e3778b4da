#pragma once

// The names of the metadata tables and columns that the data service's
// metadata lookups and instance layouts read. The records above the service own those tables and
// declare their columns: their layer hands the names down at start-up
// (QmsRecordClasses::registerAll), so the service never spells them.
#include <memory>
#include <string>

#include "ArxExport.h"

namespace MeridianSpace {

/// A set of names is immutable once handed over; use() is called by the
/// thread that sets up the platform, current() by any thread.
struct ARX MetaDataNames {
    struct Projects {
        std::string table, name, uid;
    } projects;
    struct Models {
        std::string table, name, type, version, versionLock, project;
    } models;
    struct Tables {
        std::string table, name, innerName, addVersion, delVersion;
    } tables;
    /// Columns with what an instance's column is made from.
    struct Columns {
        std::string table, name, innerName, addVersion, delVersion, ofTable, dataType, defaultValue,
            isIndex, isOnly, isAutoIncrement, maxLength, minLength, numLength, numPrecision;
    } columns;
    /// The links of models to tables.
    struct Links {
        std::string table, model, ofTable;
    } links;

    /// Hands the names to the data service; a later call replaces them.
    static void use(const MetaDataNames& names);
    /// The names in use: all empty until use() was called.
    static std::shared_ptr<const MetaDataNames> current();
    /// Whether use() was called with the names of every table.
    bool complete() const;
};

}  // namespace MeridianSpace
