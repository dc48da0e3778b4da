#pragma once

// Deleting the objects of owned pointer lists.
#include <list>

namespace MeridianSpace {

/// Deletes every object of the list and empties it.
template <class T>
void T_deletePtrList(std::list<T*>& objects) {
    for (T* object : objects)
        delete object;
    objects.clear();
}

/// A guard belongs to the scope (and thread) that made it.
/// Owns the objects of a pointer list for one scope and deletes them on
/// every way out of it, unless release() hands them on.
template <class T>
class PtrListGuard {
public:
    explicit PtrListGuard(std::list<T*>& objects) : objects_(&objects) {}
    ~PtrListGuard() {
        if (objects_ != nullptr) T_deletePtrList(*objects_);
    }
    PtrListGuard(const PtrListGuard&) = delete;
    PtrListGuard& operator=(const PtrListGuard&) = delete;

    /// The objects stay in the list and belong to whoever holds it.
    void release() { objects_ = nullptr; }

private:
    std::list<T*>* objects_;
};

}  // namespace MeridianSpace

/// Deletes the object a pointer holds and sets the pointer to null.
#define DELETE_PRT(p) \
    {                 \
        delete (p);   \
        (p) = NULL;   \
    }
