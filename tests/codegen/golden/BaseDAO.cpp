#include "BaseDAO.h"
#include "FolderHelper.h"
#include "ResultReturnCode.h"
#include "MeridianNew.h"
#include "InstanceDataModel.h"
MeridianSpace::BaseDAO::BaseDAO()
{
}

MeridianSpace::BaseDAO::~BaseDAO()
{

}

