#pragma once

// A started platform with the library's record classes on fresh databases,
// and short ways to build the metadata the record tests work on.
#include <gtest/gtest.h>

#include <list>
#include <memory>
#include <string>
#include <vector>

#include "M_EntityModelDAO.h"
#include "M_EntityTableDAO.h"
#include "M_FolderDAO.h"
#include "M_NormalColumnDAO.h"
#include "M_ProjectDAO.h"
#include "MeridianNew.h"
#include "QmsRecordClasses.h"
#include "StringHelper.h"
#include "support/FileText.h"
#include "support/RawDb.h"
#include "support/TempDir.h"

namespace arxtest {

using namespace MeridianSpace;

/// GBK message texts read in test output.
inline std::string utf8(const std::string& gbk) {
    return StringHelper::GBKToUTF8(gbk);
}

class RecordFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ARX_REQUIRE_BACKEND();
        QmsRecordClasses::registerAll();
        config = dir.database("config.db");
        work = dir.database("work.db");
        ResultMsg rm = MeridianNew::startup(config, work, 1);
        ASSERT_EQ(rm.rCode, RUN_SUCCESS) << utf8(rm.rMsg);
        M_ProjectDAO::setCurrProjectID(-1);
    }
    void TearDown() override {
        if (IsSkipped()) return;
        M_ProjectDAO::setCurrProjectID(-1);
        EXPECT_TRUE(MeridianNew::shutdown().ok());
    }
    /// What the day's log file holds so far (GBK).
    std::string logText() {
        return readText(dir.file("DB_Log/" + MeridianNew::LOGGER()->logFileName()));
    }

    /// A stored project, made the current one.
    M_ProjectDAO& project() {
        if (project_._ID < 1) {
            project_._name = "P";
            ResultMsg rm = project_.save();
            EXPECT_TRUE(rm.ok()) << utf8(rm.rMsg);
            M_ProjectDAO::setCurrProjectID(project_._ID);
        }
        return project_;
    }
    /// A stored model of the project (with its temporary folder); a version
    /// above 0 is kept, else the store numbers it.
    M_EntityModelDAO model(const std::string& name, int type = 0, int version = 0) {
        M_EntityModelDAO m;
        m._name = name;
        m._type = type;
        m._version = version;
        ResultMsg rm = project().addEntityModel(&m);
        EXPECT_TRUE(rm.ok()) << utf8(rm.rMsg);
        return m;
    }
    /// A stored root folder of the model.
    M_FolderDAO folder(M_EntityModelDAO& m, const std::string& name) {
        M_FolderDAO f;
        f._name = name;
        ResultMsg rm = m.addM_FolderDAO(&f);
        EXPECT_TRUE(rm.ok()) << utf8(rm.rMsg);
        return f;
    }
    /// A table stored into the folder (and so into its model).
    M_EntityTableDAO table(M_FolderDAO& f, const std::string& name) {
        M_EntityTableDAO t;
        t._name = name;
        ResultMsg rm = f.addM_EntityTableDAO(&t);
        EXPECT_TRUE(rm.ok()) << utf8(rm.rMsg);
        return t;
    }
    /// A column added to the table in the model.
    M_NormalColumnDAO column(M_EntityModelDAO& m, M_EntityTableDAO& t, const std::string& name,
                             int dataType = 2) {
        M_NormalColumnDAO c;
        c._name = name;
        c._dataType = dataType;
        ResultMsg rm = t.addNormalColumnDAO(&m, &c);
        EXPECT_TRUE(rm.ok()) << utf8(rm.rMsg);
        return c;
    }

    TempDir dir;
    /// The configuration and work databases of the backend under test (file
    /// paths, or server URIs: see support/BackendUnderTest.h).
    std::string config, work;
    // The log folder ./DB_Log lands in the test's own folder.
    ScopedCwd cwd{dir.path()};

private:
    M_ProjectDAO project_;
};

using Names = std::vector<std::string>;

/// The names of a finder's objects, in order; the objects are deleted.
template <class T>
Names namesOf(std::list<T*>& objects) {
    Names out;
    for (T* object : objects)
        out.push_back(object->_name);
    T_deletePtrList(objects);
    return out;
}

/// The stored record of that identifier, or null.
template <class T>
std::unique_ptr<T> findByID(int id) {
    T* found = nullptr;
    (void)T::FindByID(id, found);
    return std::unique_ptr<T>(found);
}

template <class T>
bool stored(int id) {
    return findByID<T>(id) != nullptr;
}

/// Deletes the objects of a finder's list when the test leaves its scope.
template <class T>
struct Owned {
    std::list<T*> items;
    ~Owned() {
        for (T* item : items)
            delete item;
    }
};

}  // namespace arxtest
