#include "M_QMSObjectDAO.h"

namespace MeridianSpace {

M_QMSObjectDAO::M_QMSObjectDAO() {
    _DAOType = DAO_TYPE_QMS_OBJECT;
}

M_QMSObjectDAO::~M_QMSObjectDAO() = default;

}  // namespace MeridianSpace
