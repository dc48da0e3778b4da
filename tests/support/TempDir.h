#pragma once

// A fresh temporary folder for one test, removed with everything in it, and
// a change of the current directory for one scope.
#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/TestBackend.h"

namespace arxtest {

class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "arx_test_XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
        for (const std::string& schema : schemas_)
            pgExecute(pgServerUri(), "DROP SCHEMA IF EXISTS \"" + schema + "\" CASCADE");
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    /// path() + "/" + name
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    /// A database of the backend under test: file(name) (behind the stub's
    /// scheme on the stub), or on PostgreSQL a new schema of the test server
    /// (dropped with the folder).
    std::string database(const std::string& name) {
        if (onStub()) return kStubPrefix + file(name);
        if (!onPostgres()) return file(name);
        return serverDatabase(name);
    }
    /// A new schema of the PostgreSQL test server, whatever the backend
    /// under test (dropped with the folder).
    std::string serverDatabase(const std::string& name) {
        schemas_.emplace_back();
        return newServerDatabase(name, schemas_.back());
    }

private:
    std::string path_;
    std::vector<std::string> schemas_;
};

class ScopedCwd {
public:
    explicit ScopedCwd(const std::string& dir) : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(dir);
    }
    ~ScopedCwd() {
        std::error_code ignored;
        std::filesystem::current_path(previous_, ignored);
    }
    ScopedCwd(const ScopedCwd&) = delete;
    ScopedCwd& operator=(const ScopedCwd&) = delete;

private:
    std::filesystem::path previous_;
};

}  // namespace arxtest
