// A program outside the project, built against the installed package: it
// starts the platform on two new database files, saves one record, finds it
// back after a restart, and answers 0 only when it came back as written.
#include <stdlib.h>

#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include "DAOFactoryRegistry.h"
#include "DAOFinder.h"
#include "M_ObjectDAO.h"
#include "MeridianNew.h"
#include "RecordColumns.h"

using namespace MeridianSpace;

namespace {

class NoteDAO : public M_ObjectDAO {
public:
    std::string _topic;
    int _pages = 0;

    static DAO* createObject() { return new NoteDAO; }
    Mapper* createMapper() override {
        static const RecordColumns<NoteDAO> columns(
            "T_M_PackageNote",
            {{"Name", &NoteDAO::_name}, {"Topic", &NoteDAO::_topic}, {"Pages", &NoteDAO::_pages}});
        return new ColumnMapper<NoteDAO>(columns);
    }
};

bool fails(const ResultMsg& rm, const char* what) {
    if (rm.ok()) return false;
    std::cerr << "FAILED: " << what << " (code " << rm.rCode << ")\n";
    return true;
}

}  // namespace

int main() {
    std::string folder = (std::filesystem::temp_directory_path() / "arx_package_XXXXXX").string();
    if (mkdtemp(folder.data()) == nullptr) return 1;
    std::filesystem::current_path(folder);  // the run log goes to ./DB_Log
    DAOFactoryRegistry::registerClass("NoteDAO", &NoteDAO::createObject);

    NoteDAO note;
    note._name = "package check";
    note._topic = "O'Brien's 50% plan";
    note._pages = 42;
    if (fails(MeridianNew::startup("config.db", "work.db"), "startup") ||
        fails(note.save(), "save") || fails(MeridianNew::shutdown(), "shutdown") ||
        fails(MeridianNew::startup("config.db", "work.db"), "restart")) {
        return 1;
    }
    DAO* found = nullptr;
    ResultMsg rm = DAOFinder().findByID("NoteDAO", note._ID, found);
    std::unique_ptr<DAO> owned(found);
    auto* stored = dynamic_cast<NoteDAO*>(found);
    const bool same = stored != nullptr && stored->_name == note._name &&
                      stored->_topic == note._topic && stored->_pages == note._pages;
    if (fails(rm, "findByID") || fails(MeridianNew::shutdown(), "shutdown")) return 1;
    if (!same) {
        std::cerr << "FAILED: the stored note differs from the saved one\n";
        return 1;
    }
    std::filesystem::current_path("/");
    std::filesystem::remove_all(folder);
    std::cout << "package consumer: all checks passed\n";
    return 0;
}
