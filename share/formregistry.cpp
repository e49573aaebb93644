#include "formregistry.h"

#include <map>
#include <mutex>

namespace {

struct TFormClass {
    TFormFactory Factory;
    TFormModuleId Module = nullptr;
};

struct TRegistry {
    std::mutex Lock;
    std::map<std::string, TFormClass> Classes;
};

TRegistry& Registry() {
    static TRegistry registry;
    return registry;
}

thread_local TFormModuleId LoadingModule = nullptr;

}  // namespace

void RegisterFormClass(const std::string& className, TFormFactory factory) {
    TRegistry& registry = Registry();
    std::lock_guard lock(registry.Lock);
    registry.Classes[className] = TFormClass{std::move(factory), LoadingModule};
}

void UnregisterFormClass(const std::string& className) {
    TRegistry& registry = Registry();
    std::lock_guard lock(registry.Lock);
    registry.Classes.erase(className);
}

bool IsFormClassRegistered(const std::string& className) {
    TRegistry& registry = Registry();
    std::lock_guard lock(registry.Lock);
    return registry.Classes.contains(className);
}

QObject* CreateRegisteredForm(const std::string& className) {
    TFormFactory factory;
    {
        TRegistry& registry = Registry();
        std::lock_guard lock(registry.Lock);
        auto found = registry.Classes.find(className);
        if (found == registry.Classes.end())
            return nullptr;
        factory = found->second.Factory;
    }
    // Outside the lock: a form may look up other classes while it is created.
    return factory();
}

void SetLoadingFormModule(TFormModuleId module) {
    LoadingModule = module;
}

std::vector<std::string> FormClassesOfModule(TFormModuleId module) {
    TRegistry& registry = Registry();
    std::lock_guard lock(registry.Lock);
    std::vector<std::string> names;
    for (const auto& [name, formClass] : registry.Classes)
        if (formClass.Module == module)
            names.push_back(name);
    return names;
}

void UnregisterFormModule(TFormModuleId module) {
    TRegistry& registry = Registry();
    std::lock_guard lock(registry.Lock);
    std::erase_if(registry.Classes,
                  [module](const auto& entry) { return entry.second.Module == module; });
}

TFormClassRegistration::TFormClassRegistration(std::string className, TFormFactory factory)
    : ClassName(std::move(className)) {
    RegisterFormClass(ClassName, std::move(factory));
}

TFormClassRegistration::~TFormClassRegistration() {
    UnregisterFormClass(ClassName);
}
