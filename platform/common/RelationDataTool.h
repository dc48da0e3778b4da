#pragma once

// 1:N links between an owner and its children through a key member of the child.
#include "ArxExport.h"
#include "ResultReturnCode.h"

namespace MeridianSpace {

class DAO;

/// Made on the stack around one call; used by the thread that uses the
/// objects it links.
class ARX RelationDataTool {
public:
    /// `owner` must be stored (its _ID above 0) when a link is made or undone.
    explicit RelationDataTool(DAO* owner);

    /// Sets `childKey` (a member of `child`) to the owner's _ID and saves the child.
    ResultMsg add1N(DAO* child, int& childKey, int commitType = COMMIT_T_IMMEDIATELY);
    /// Undoes that link: `childKey` becomes -1 and the child is saved. A child
    /// that is not linked to this owner is refused.
    ResultMsg remove1N(DAO* child, int& childKey, int commitType = COMMIT_T_IMMEDIATELY);

    /// The same with the key named as a member (`&Child::_rProjectID`), so
    /// that a null child is refused without reaching into it.
    template <class Child, class Holder>
    ResultMsg add1N(Child* child, int Holder::*key, int commitType = COMMIT_T_IMMEDIATELY) {
        int none = 0;
        return add1N(child, child != nullptr ? child->*key : none, commitType);
    }
    template <class Child, class Holder>
    ResultMsg remove1N(Child* child, int Holder::*key, int commitType = COMMIT_T_IMMEDIATELY) {
        int none = 0;
        return remove1N(child, child != nullptr ? child->*key : none, commitType);
    }

private:
    ResultMsg checkPair(const DAO* child) const;
    DAO* owner_;
};

}  // namespace MeridianSpace
