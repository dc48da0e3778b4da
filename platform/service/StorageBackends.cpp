// The storage backends the service brings: SQLite database files, and
// PostgreSQL server databases under both schemes libpq takes. A backend of
// another kind is one folder beside sqlite/ and postgres/ and one line here.
#include "backend/BackendRegistry.h"
#include "postgres/PgBackend.h"
#include "sqlite/SqliteBackend.h"

namespace MeridianSpace::detail {

void addBuiltinBackends(BackendMap& backends) {
    const auto server = std::make_shared<const PgBackend>();
    backends.emplace("", std::make_shared<const SqliteBackend>());
    backends.emplace("postgresql", server);
    backends.emplace("postgres", server);
}

}  // namespace MeridianSpace::detail
