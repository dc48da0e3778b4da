#pragma once

// A fresh temporary folder for one test, removed with everything in it, and
// a change of the current directory for one scope.
#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/BackendUnderTest.h"

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
        for (const std::string& location : databases_)
            backendAt(location).dropDatabase(location);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    /// path() + "/" + name
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    /// A new database of the backend under test (a file in the folder, or
    /// one dropped with the folder).
    std::string database(const std::string& name) { return made(underTest(), name); }
    /// A new database on the server of the matrix, whatever the backend
    /// under test (dropped with the folder).
    std::string serverDatabase(const std::string& name) { return made(serverUnderTest(), name); }
    /// A new database of `backend` (dropped with the folder).
    std::string database(const BackendUnderTest& backend, const std::string& name) {
        return made(backend, name);
    }

private:
    std::string made(const BackendUnderTest& backend, const std::string& name) {
        databases_.push_back(backend.newDatabase(path_, name));
        return databases_.back();
    }

    std::string path_;
    std::vector<std::string> databases_;
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
