#include "Mapper.h"

#include <cstdint>
#include <cstring>

namespace MeridianSpace {

Mapper::Mapper() = default;
Mapper::~Mapper() = default;

DAO* Mapper::loadResultRow(const ResultRow& /*row*/) {
    return nullptr;
}

namespace {

// The Itanium C++ ABI, which GCC and clang follow on Linux, stores a
// pointer to a virtual member function as 1 + the byte offset of its slot
// in the vtable; the object's first word points to its vtable. Reading the
// slot tells which function a virtual call would run, the same on both
// compilers, without calling it. False whenever that cannot be told.
template <class Member>
bool sameSlot(const Mapper& a, const Mapper& b, Member function) {
#if defined(__GXX_ABI_VERSION)
    struct VirtualMember {
        std::uintptr_t ptr;
        std::ptrdiff_t adj;
    } member;
    static_assert(sizeof function == sizeof member, "not the Itanium layout of member pointers");
    std::memcpy(&member, &function, sizeof member);
    if ((member.ptr & 1) == 0) return false;
    const std::size_t slot = (member.ptr - 1) / sizeof(void*);
    void* const* tableA;
    void* const* tableB;
    std::memcpy(&tableA, static_cast<const void*>(&a), sizeof tableA);
    std::memcpy(&tableB, static_cast<const void*>(&b), sizeof tableB);
    return tableA[slot] == tableB[slot];
#else
    (void)a;
    (void)b;
    (void)function;
    return false;
#endif
}

}  // namespace

bool Mapper::loadsAlike(const Mapper& a, const Mapper& b) {
    return sameSlot(a, b, &Mapper::doLoad);
}

bool Mapper::savesAlike(const Mapper& a, const Mapper& b) {
    return sameSlot(a, b, &Mapper::doSave);
}

bool Mapper::bindRow(const DAO& /*pdao*/, RowInserter& /*row*/) {
    return false;
}

subDBMapper::subDBMapper() = default;
subDBMapper::~subDBMapper() = default;
totalMapper::totalMapper() = default;
totalMapper::~totalMapper() = default;

}  // namespace MeridianSpace
