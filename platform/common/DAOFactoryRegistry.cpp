#include "DAOFactoryRegistry.h"

namespace MeridianSpace {

std::map<std::string, DAOFactory>& DAOFactoryRegistry::factories() {
    static std::map<std::string, DAOFactory> registry;
    return registry;
}

void DAOFactoryRegistry::registerClass(const std::string& className, DAOFactory factory) {
    factories()[className] = factory;
}

bool DAOFactoryRegistry::isRegistered(const std::string& className) {
    auto it = factories().find(className);
    return it != factories().end() && it->second != nullptr;
}

DAO* DAOFactoryRegistry::create(const std::string& className) {
    auto it = factories().find(className);
    return it != factories().end() && it->second != nullptr ? it->second() : nullptr;
}

}  // namespace MeridianSpace
