// Which backend a location names, and how messages and logs show it: a
// server URI as libpq reads it, without its secrets; a file path as it is.
#include <gtest/gtest.h>

#include "MRDService.h"

namespace {

using MeridianSpace::MRDService;

TEST(Location, NamesItsBackendAndIsShownWithEverythingButItsPasswords) {
    const struct {
        const char* location;
        bool server;
        const char* shown;
    } cases[] = {
        {"postgresql://arx:pw@h:5/db?sslmode=disable", true,
         "postgresql://arx@h:5/db?sslmode=disable"},
        {"postgres://arx:pw@h/db", true, "postgres://arx@h/db"},
        // The scheme in any case names the server backend.
        {"PostgreSQL://h/db?password=pw", true, "PostgreSQL://h/db"},
        {"postgresql://h/db?password=pw&sslpassword=pw2&connect_timeout=5", true,
         "postgresql://h/db?connect_timeout=5"},
        {"postgresql://h/db?pass%77ord=pw", true, "postgresql://h/db"},
        {"postgresql://h/db?xpassword=1&password=pw", true, "postgresql://h/db?xpassword=1"},
        // Without the pair's '/', an '@' would begin a user and password.
        {"postgresql://h:1?password=p/w&application_name=a@b", true,
         "postgresql://h:1?application_name=a%40b"},
        // A host in brackets is read whole, '?' and '/' included.
        {"postgresql://[::h/?password=1]:5/db?password=pw", true,
         "postgresql://[::h/?password=1]:5/db"},
        // Files, whatever their names hold.
        {"/tmp/a?password=b.db", false, "/tmp/a?password=b.db"},
        {"work.db", false, "work.db"},
        {"dir/postgresql.db", false, "dir/postgresql.db"},
        {"postgresql:/not-a-uri.db", false, "postgresql:/not-a-uri.db"},
        {"", false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.location);
        EXPECT_EQ(MRDService::isServerLocation(c.location), c.server);
        EXPECT_EQ(MRDService::isFileLocation(c.location), !c.server);
        EXPECT_EQ(MRDService::displayLocation(c.location), c.shown);
    }
}

}  // namespace
