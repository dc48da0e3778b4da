#pragma once

// Lends a thread's scratch object to one call at a time. Internal.
#include <memory>
#include <utility>

namespace MeridianSpace::detail {

/// Takes the object `slot` holds for the length of a call and puts it back
/// when the lease ends. A call nested in the holder's (a visitor that finds,
/// a mapper that saves) finds the slot empty and works on a new object from
/// `make`, dropped at its end unless the slot is empty again by then: the
/// outer call's object is never touched by the inner one. One thread only.
template <class T>
class ScratchLease {
public:
    template <class Make>
    ScratchLease(std::unique_ptr<T>& slot, Make&& make) : slot_(slot), held_(std::move(slot)) {
        if (!held_) held_ = std::forward<Make>(make)();
    }
    ~ScratchLease() {
        if (!slot_) slot_ = std::move(held_);
    }
    ScratchLease(const ScratchLease&) = delete;
    ScratchLease& operator=(const ScratchLease&) = delete;

    /// False when `make` gave nothing.
    explicit operator bool() const { return held_ != nullptr; }
    T& get() const { return *held_; }

private:
    std::unique_ptr<T>& slot_;
    std::unique_ptr<T> held_;
};

}  // namespace MeridianSpace::detail
