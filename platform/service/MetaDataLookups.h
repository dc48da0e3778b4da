#pragma once

// The statements of the metadata lookups and of a model version's layout,
// built from the names the records' layer handed down (MetaDataNames), and
// how a lookup runs. Internal to the service's metadata reads.
#include <string>
#include <vector>

#include "MetaDataNames.h"
#include "ResultReturnCode.h"
#include "backend/Connection.h"
#include "backend/RowValues.h"

namespace MeridianSpace::detail {

/// How many bytes of a name's end the suffix index holds. Longer suffixes
/// are found through it and then checked whole; shorter ones read the
/// model's links.
constexpr int kNameTailBytes = 4;

/// A metadata table and the columns a lookup reads of it, for telling which
/// one is missing when the lookup fails.
struct TableUse {
    std::string table;
    std::vector<std::string> columns;
};

/// The statements of one set of names on one connection's dialect. The
/// tables linked to a model (?1) that exist in a version (?2): `byPrefix`
/// names from ?3 up to ?4 (without ?4 every name from ?3 on), `byNameTail`
/// names whose last bytes are ?3, `allLinked` every link; `columnsByName`
/// the columns named ?1 in version ?2 of the tables linked to model ?3.
class MetaDataSql {
public:
    MetaDataSql(const Connection& conn, const MetaDataNames& names) : conn_(conn), n_(names) {}

    std::string byPrefix(bool bounded) const;
    std::string byNameTail() const;
    std::string allLinked() const;
    std::string columnsByName() const;
    /// The inner name of the table of column ?1.
    std::string tableOfColumn() const;
    /// The type of the model of the highest version linked to table ?1.
    std::string ownerTypeOfTable() const;
    /// The first project whose UID is ?1, ignoring case.
    std::string projectByUID() const;
    /// The first model of project ?1 named ?2 in version ?3.
    std::string modelOfProject() const;
    /// The tables linked to model ?1 that exist in version ?2, in link
    /// order: identifier, name, inner name.
    std::string versionTables() const;
    /// The columns of table ?1 that exist in version ?2: inner name, name,
    /// then the attributes in the order MetaDataNames::Columns lists them.
    std::string versionColumns() const;

    TableUse modelUse(std::vector<std::string> columns) const;
    TableUse tableUse() const;
    TableUse linkUse() const;
    TableUse columnUse() const;

private:
    std::string linkedTables() const;
    std::string modelLinks(const std::string& read) const;
    std::string q(const std::string& name) const;

    const Connection& conn_;
    const MetaDataNames& n_;
};

/// SRV_ERR_NO_TABLE when the records' layer has not handed the names down.
ResultMsg requireNames(const MetaDataNames& names);

/// Runs one lookup: binds its values, hands each row to `read`; a failure
/// names the metadata table or column that is missing when one is.
ResultMsg runLookup(Connection& conn, const std::string& sql, const std::vector<TableUse>& uses,
                    const StatementBinder& bind, const RowReader& read);
/// The clearest answer for a failed lookup: a missing table or column of
/// `uses`, else the failure itself.
ResultMsg explainLookup(Connection& conn, const std::vector<TableUse>& uses,
                        const ResultMsg& failure);

}  // namespace MeridianSpace::detail
