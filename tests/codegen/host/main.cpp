// Runs the code generated for the table T_order of the generator's tests
// (tests/codegen/CodegenFixture.h) the way an application does: it fills
// the factory registry from the generated registration list, starts the
// platform on an instance file of the model, runs the generated white-box
// test, then saves, finds, reads blobs and deletes rows through the
// generated classes. It prints the defaults the class holds for the columns
// MNote and MCount that the test adds.
//
//   host CONFIG_DB INSTANCE_FILE
#include "generated_includes.inc"

#include <cstdio>

#include "DAOFactoryRegistry.h"
#include ARX_WHITEBOX_HEADER

namespace {

int failures = 0;

void check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "FAILED: %s\n", what);
    ++failures;
}

void registerGenerated() {
    auto& _DAOTypeObjectMap = DAOFactoryRegistry::factories();
#include "generated_registrations.inc"
}

std::size_t countAll() {
    list<OrderDAO*> all;
    check(OrderDAO::FindAll(all).ok(), "FindAll");
    const std::size_t count = all.size();
    T_deletePtrList(all);
    return count;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    registerGenerated();
    std::printf("defaults [%s] [%d]\n", OrderDAO()._note.c_str(), OrderDAO()._count);
    check(MeridianNew::startup(argv[1], argv[2], 1).ok(), "start-up");

    // It saves p1, finds it in every way and deletes it again.
    ARX_WHITEBOX_FUNCTION();
    check(countAll() == 0, "the white-box test leaves no row behind");

    OrderDAO desk, chair, lamp;
    desk._title = "desk";
    desk._qty = 2;
    chair._title = "chair";
    chair._qty = 4;
    lamp._title = "lamp";
    lamp._qty = 2;
    for (OrderDAO* order : {&desk, &chair, &lamp})
        check(order->save().ok() && order->_ID > 0, "save");
    check(countAll() == 3, "three rows");

    OrderDAO* found = NULL;
    check(OrderDAO::FindByID(chair._ID, found).ok() && found != NULL && found->_title == "chair" &&
              found->_qty == 4 && found->_price == 1.5,
          "FindByID reads the row with its default price");
    delete found;
    list<OrderDAO*> some;
    check(OrderDAO::FindByQty(2, some).ok() && some.size() == 2, "FindByQty");
    T_deletePtrList(some);
    check(OrderDAO::FindByTitle("lamp", some).ok() && some.size() == 1, "FindByTitle");
    T_deletePtrList(some);
    check(OrderDAO::FindByQtyAndTitle(2, "desk", some).ok() && some.size() == 1,
          "FindByQtyAndTitle");
    T_deletePtrList(some);

    double samples[3] = {0.5, 1.25, -3};
    check(desk.saveData(samples, 3).ok(), "saveData");
    double* read = NULL;
    int size = 0;
    check(desk.getData(read, size).ok() && size == 3 && read != NULL && read[2] == -3,
          "getData reads the blob back");
    delete[] read;

    OrderDAO deleter;
    check(deleter.DelByQty(2).ok(), "DelByQty");
    check(countAll() == 1, "DelByQty deletes the two rows of quantity 2");
    check(chair.delself().ok(), "delself");
    check(countAll() == 0, "no row left");
    check(MeridianNew::shutdown().ok(), "shut-down");
    if (failures == 0) std::printf("generated code works\n");
    return failures == 0 ? 0 : 1;
}
