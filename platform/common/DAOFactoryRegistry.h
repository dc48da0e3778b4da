#pragma once

// The class-factory registry: class-name strings to createObject factories,
// through which the finder makes objects of a class by name.
#include <map>
#include <string>

#include "ArxExport.h"

namespace MeridianSpace {

class DAO;

using DAOFactory = DAO* (*)();

/// Classes are registered by one thread before the platform starts; after
/// that the registry is only read, and its lookups may run on several
/// threads at once (their caches are guarded).
class ARX DAOFactoryRegistry {
public:
    /// The registry itself. A host may fill it with the generated
    /// registration lines: `auto& _DAOTypeObjectMap = DAOFactoryRegistry::factories();`
    /// followed by `_DAOTypeObjectMap["OrderDAO"] = OrderDAO::createObject;`.
    static std::map<std::string, DAOFactory>& factories();
    /// Registers (or replaces) the factory of a class.
    static void registerClass(const std::string& className, DAOFactory factory);
    static bool isRegistered(const std::string& className);
    /// A new object of the class; null when the class is not registered.
    static DAO* create(const std::string& className);
    /// The name `object`'s class is registered under (the first in byte
    /// order when several names share a factory of its class); empty when
    /// none. Each factory makes one object, once, to tell its class.
    static std::string classNameOf(const DAO& object);
};

}  // namespace MeridianSpace
