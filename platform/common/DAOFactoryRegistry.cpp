#include "DAOFactoryRegistry.h"

#include <memory>
#include <mutex>
#include <typeindex>
#include <unordered_map>

#include "DAO.h"

namespace MeridianSpace {

namespace {

// Class of each factory's objects, and class to registered name. Rebuilt
// when the registry changed since the last look; a factory makes its one
// object only the first time it is seen.
struct ClassNames {
    std::mutex mutex;
    std::map<DAOFactory, std::type_index> classOfFactory;
    std::unordered_map<std::type_index, std::string> nameOfClass;
    std::map<std::string, DAOFactory> builtFrom;
};

ClassNames& classNames() {
    static ClassNames names;
    return names;
}

void rebuild(ClassNames& names, const std::map<std::string, DAOFactory>& registry) {
    names.nameOfClass.clear();
    for (const auto& [className, factory] : registry) {
        if (factory == nullptr) continue;
        auto known = names.classOfFactory.find(factory);
        if (known == names.classOfFactory.end()) {
            std::unique_ptr<DAO> sample(factory());
            if (!sample) continue;
            const DAO& made = *sample;
            known = names.classOfFactory.emplace(factory, std::type_index(typeid(made))).first;
        }
        // Byte order of the registry: the first name of a class stays.
        names.nameOfClass.emplace(known->second, className);
    }
    names.builtFrom = registry;
}

}  // namespace

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

std::string DAOFactoryRegistry::classNameOf(const DAO& object) {
    ClassNames& names = classNames();
    std::lock_guard<std::mutex> lock(names.mutex);
    // The registry is a plain map that generated code fills directly, so a
    // change shows only by comparing it with what the cache was built from.
    if (names.builtFrom != factories()) rebuild(names, factories());
    auto it = names.nameOfClass.find(std::type_index(typeid(object)));
    return it != names.nameOfClass.end() ? it->second : std::string();
}

}  // namespace MeridianSpace
