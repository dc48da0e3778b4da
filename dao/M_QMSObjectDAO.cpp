#include "M_QMSObjectDAO.h"

namespace MeridianSpace {

M_QMSObjectDAO::M_QMSObjectDAO() {
    _DAOType = 4;
}

M_QMSObjectDAO::~M_QMSObjectDAO() = default;

}  // namespace MeridianSpace
