#include "QmsRecordClasses.h"

#include "DAOFactoryRegistry.h"
#include "M_DelByInterfaceDAO.h"
#include "M_DictDataDAO.h"
#include "M_DictItemDAO.h"
#include "M_EntityModelDAO.h"
#include "M_EntityTableDAO.h"
#include "M_FindByInterfaceDAO.h"
#include "M_FolderDAO.h"
#include "M_NormalColumnDAO.h"
#include "M_ProjectDAO.h"
#include "M_R_FolderTableDAO.h"
#include "M_R_ModelTableDAO.h"
#include "M_SceneInfoDAO.h"
#include "M_XMLTemplateDAO.h"

namespace MeridianSpace {

void QmsRecordClasses::registerAll() {
    static const struct {
        const char* name;
        DAOFactory factory;
    } classes[] = {
        {"M_ProjectDAO", &M_ProjectDAO::createObject},
        {"M_EntityModelDAO", &M_EntityModelDAO::createObject},
        {"M_FolderDAO", &M_FolderDAO::createObject},
        {"M_R_FolderTableDAO", &M_R_FolderTableDAO::createObject},
        {"M_R_ModelTableDAO", &M_R_ModelTableDAO::createObject},
        {"M_EntityTableDAO", &M_EntityTableDAO::createObject},
        {"M_NormalColumnDAO", &M_NormalColumnDAO::createObject},
        {"M_XMLTemplateDAO", &M_XMLTemplateDAO::createObject},
        {"M_DictItemDAO", &M_DictItemDAO::createObject},
        {"M_DictDataDAO", &M_DictDataDAO::createObject},
        {"M_FindByInterfaceDAO", &M_FindByInterfaceDAO::createObject},
        {"M_DelByInterfaceDAO", &M_DelByInterfaceDAO::createObject},
        {"M_SceneInfoDAO", &M_SceneInfoDAO::createObject},
    };
    for (const auto& c : classes)
        DAOFactoryRegistry::registerClass(c.name, c.factory);
}

}  // namespace MeridianSpace
