#include "QmsRecordClasses.h"

#include <memory>

#include "ITableData.h"
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
#include "Mapper.h"
#include "MetaDataNames.h"
#include "RecordColumnOf.h"

namespace MeridianSpace {

namespace {

constexpr unsigned kMoved = RECORD_TRANSFERRED;
constexpr unsigned kDescribed = RECORD_SELF_DESCRIBED;
constexpr unsigned kManaged = RECORD_PROJECT_MANAGED;
constexpr unsigned kStructure = RECORD_MODEL_STRUCTURE;

// The table a record's mapper writes to.
std::string tableOfFactory(DAOFactory factory) {
    const std::unique_ptr<DAO> object(factory());
    const std::unique_ptr<Mapper> mapper(object ? object->createMapper() : nullptr);
    if (!mapper) return std::string();
    ITableData row;
    if (mapper->doSave(row, object.get()) == RUN_SUCCESS && !row._tableInnerName.empty())
        return row._tableInnerName;
    return mapper->_entityInnerName;
}

// One catalogue entry of record class R, built in steps.
template <class R>
class Entry {
public:
    Entry(const char* name, unsigned roles) {
        out_.name = name;
        out_.factory = &R::createObject;
        out_.roles = roles;
        out_.table = tableOfFactory(out_.factory);
    }
    // The column of a member of R (or of its base).
    template <class Owner, class Value>
    static std::string col(Value Owner::*member) {
        return columnOf<R>(member);
    }
    Entry& tie(ModelTie tie, std::string key = {}, std::string other = {}) {
        out_.tie = tie;
        out_.keys[0] = std::move(key);
        out_.keys[1] = std::move(other);
        return *this;
    }
    Entry& refers(int R::*column, const char* target, bool optional = false) {
        out_.references.push_back({col(column), target, optional, {}});
        return *this;
    }
    // A reference whose target class follows a scene kind.
    Entry& refersByKind(int R::*column, int R::*kind) {
        out_.references.push_back({col(column), {}, true, col(kind)});
        return *this;
    }
    operator RecordClass() const { return out_; }

private:
    RecordClass out_;
};

std::vector<RecordClass> catalogue() {
    using T = ModelTie;
    using Model = Entry<M_EntityModelDAO>;
    using Folder = Entry<M_FolderDAO>;
    using FolderTable = Entry<M_R_FolderTableDAO>;
    using ModelTable = Entry<M_R_ModelTableDAO>;
    using Column = Entry<M_NormalColumnDAO>;
    using Find = Entry<M_FindByInterfaceDAO>;
    using Del = Entry<M_DelByInterfaceDAO>;
    using Scene = Entry<M_SceneInfoDAO>;
    constexpr unsigned kPart = kMoved | kDescribed | kStructure;
    return {
        Entry<M_ProjectDAO>("M_ProjectDAO", kMoved | kDescribed | kManaged),
        Model("M_EntityModelDAO", kPart)
            .tie(T::Model, Model::col(&M_EntityModelDAO::_rProjectID),
                 Model::col(&M_EntityModelDAO::_name))
            .refers(&M_EntityModelDAO::_rProjectID, "M_ProjectDAO", true),
        Folder("M_FolderDAO", kPart)
            .tie(T::OfModel, Folder::col(&M_FolderDAO::_t_M_EntityModelID))
            .refers(&M_FolderDAO::_t_M_EntityModelID, "M_EntityModelDAO")
            .refers(&M_FolderDAO::_t_M_FolderID, "M_FolderDAO", true),
        FolderTable("M_R_FolderTableDAO", kPart)
            .tie(T::OfFolder, FolderTable::col(&M_R_FolderTableDAO::_t_M_FolderID))
            .refers(&M_R_FolderTableDAO::_t_M_FolderID, "M_FolderDAO")
            .refers(&M_R_FolderTableDAO::_t_M_EntityTableID, "M_EntityTableDAO"),
        ModelTable("M_R_ModelTableDAO", kPart)
            .tie(T::ModelLink, ModelTable::col(&M_R_ModelTableDAO::_t_M_EntityModelID),
                 ModelTable::col(&M_R_ModelTableDAO::_t_M_EntityTableID))
            .refers(&M_R_ModelTableDAO::_t_M_EntityModelID, "M_EntityModelDAO")
            .refers(&M_R_ModelTableDAO::_t_M_EntityTableID, "M_EntityTableDAO"),
        Entry<M_EntityTableDAO>("M_EntityTableDAO", kPart).tie(T::Table),
        Column("M_NormalColumnDAO", kPart)
            .tie(T::OfTable, Column::col(&M_NormalColumnDAO::_t_M_EntityTableID))
            .refers(&M_NormalColumnDAO::_t_M_EntityTableID, "M_EntityTableDAO")
            .refers(&M_NormalColumnDAO::_fkTableID, "M_EntityTableDAO", true),
        // Templates belong to the installation, not to a project.
        Entry<M_XMLTemplateDAO>("M_XMLTemplateDAO", kDescribed | kManaged),
        Entry<M_DictItemDAO>("M_DictItemDAO", kMoved | kDescribed),
        Entry<M_DictDataDAO>("M_DictDataDAO", kMoved | kDescribed)
            .refers(&M_DictDataDAO::_rDictItemID, "M_DictItemDAO"),
        Find("M_FindByInterfaceDAO", kPart)
            .tie(T::OfTable, Find::col(&M_FindByInterfaceDAO::_t_M_EntityTableID))
            .refers(&M_FindByInterfaceDAO::_t_M_EntityTableID, "M_EntityTableDAO"),
        Del("M_DelByInterfaceDAO", kPart)
            .tie(T::OfTable, Del::col(&M_DelByInterfaceDAO::_t_M_EntityTableID))
            .refers(&M_DelByInterfaceDAO::_t_M_EntityTableID, "M_EntityTableDAO"),
        Scene("M_SceneInfoDAO", kPart)
            .tie(T::SceneOfModel, Scene::col(&M_SceneInfoDAO::_entityModelID))
            .refers(&M_SceneInfoDAO::_entityModelID, "M_EntityModelDAO")
            .refersByKind(&M_SceneInfoDAO::_dataObjectId, &M_SceneInfoDAO::_sceneType)
            .refersByKind(&M_SceneInfoDAO::_parentID, &M_SceneInfoDAO::_parentType),
    };
}

// A group of names: the table of record R, then the columns of `members`.
template <class Group, class R, class... Members>
Group namesOf(Members... members) {
    return Group{tableOfFactory(&R::createObject), columnOf<R>(members)...};
}

// The names the data service's metadata lookups read, from the records'
// column declarations.
MetaDataNames lookupNames() {
    using N = MetaDataNames;
    using Project = M_ProjectDAO;
    using Model = M_EntityModelDAO;
    using Table = M_EntityTableDAO;
    using Column = M_NormalColumnDAO;
    using Link = M_R_ModelTableDAO;
    MetaDataNames names;
    names.projects = namesOf<N::Projects, Project>(&Project::_name, &Project::_uID);
    names.models = namesOf<N::Models, Model>(&Model::_name, &Model::_type, &Model::_version,
                                             &Model::_isVersionLocked, &Model::_rProjectID);
    names.tables = namesOf<N::Tables, Table>(&Table::_name, &Table::_innerName, &Table::_addVersion,
                                             &Table::_delVersion);
    names.columns = namesOf<N::Columns, Column>(
        &Column::_name, &Column::_innerName, &Column::_addVersion, &Column::_delVersion,
        &Column::_t_M_EntityTableID, &Column::_dataType, &Column::_defaultValue, &Column::_isIndex,
        &Column::_isOnly, &Column::_isAutoIncrement, &Column::_maxLength, &Column::_minLength,
        &Column::_numLength, &Column::_numPresision);
    names.links = namesOf<N::Links, Link>(&Link::_t_M_EntityModelID, &Link::_t_M_EntityTableID);
    return names;
}

}  // namespace

const std::vector<RecordClass>& QmsRecordClasses::all() {
    static const std::vector<RecordClass> classes = catalogue();
    return classes;
}

const RecordClass* QmsRecordClasses::named(const std::string& className) {
    for (const RecordClass& c : all()) {
        if (c.name == className) return &c;
    }
    return nullptr;
}

const std::string& QmsRecordClasses::tableOf(const std::string& className) {
    static const std::string none;
    const RecordClass* found = named(className);
    return found != nullptr ? found->table : none;
}

void QmsRecordClasses::registerAll() {
    for (const RecordClass& c : all())
        DAOFactoryRegistry::registerClass(c.name, c.factory);
    MetaDataNames::use(lookupNames());
}

}  // namespace MeridianSpace
