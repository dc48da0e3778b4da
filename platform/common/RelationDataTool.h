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

private:
    ResultMsg checkPair(const DAO* child) const;
    DAO* owner_;
};

}  // namespace MeridianSpace
