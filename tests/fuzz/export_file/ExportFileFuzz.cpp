// An export file as `qms import` and the library's import read it: the
// input becomes a file on disk, and M_ProjectDAO::getImportProjectList
// checks it (an instance file of the model "M_QMS", every page sound, the
// tables and columns of the records, their integers and references) and
// lists its projects. The database engine's own parser reads the file first.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <list>
#include <string>

#include "FuzzCheck.h"
#include "M_ProjectDAO.h"
#include "MeridianNew.h"
#include "PtrListHelper.h"
#include "QmsRecordClasses.h"

using namespace MeridianSpace;
using arxfuzz::expect;
namespace fs = std::filesystem;

namespace {

// The platform's own databases, and the file each input becomes.
struct Home {
    fs::path folder, config, work, file;
};
Home home;

std::string bytesOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void removeFolder() {
    std::error_code ignored;
    fs::remove_all(home.folder, ignored);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char folder[] = "/tmp/arx_fuzz_export.XXXXXX";
    expect(mkdtemp(folder) != nullptr, "no temporary folder");
    home = {folder, fs::path(folder) / "qms.db", fs::path(folder) / "work.db",
            fs::path(folder) / "export.db"};
    std::atexit(removeFolder);
    QmsRecordClasses::registerAll();
    // Log mode 0: no log folder in the current one.
    expect(MeridianNew::startup(home.config, home.work, 0).ok(), "the platform does not start");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    {
        std::ofstream out(home.file, std::ios::binary | std::ios::trunc);
        out << bytes;
    }
    std::list<M_ProjectDAO*> projects;
    PtrListGuard<M_ProjectDAO> guard(projects);
    const ResultMsg rm = M_ProjectDAO::getImportProjectList(projects, home.file.string());
    expect(rm.ok() || projects.empty(), "a refused file lists projects");
    // Reading writes nothing: the file stays as it was, with nothing
    // beside it, and the platform is back on its own databases.
    expect(bytesOf(home.file) == bytes, "the check changed the file");
    for (const char* suffix : {"-wal", "-shm", "-journal"})
        expect(!fs::exists(home.file.string() + suffix),
               std::string("the check left a ") + suffix + " file");
    expect(MeridianNew::getCurrentMRDConfigDB() == home.config.string() &&
               MeridianNew::getCurrentWorkDB() == home.work.string(),
           "the platform was left on the file");
    fs::remove(home.file);
    return 0;
}
