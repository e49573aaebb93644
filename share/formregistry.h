#pragma once

#include <functional>
#include <string>
#include <vector>

#include "vlshare_export.h"

class QObject;

// The form classes that the dialog modules offer, by class name. A module registers its
// classes when it is loaded (a TFormClassRegistration at namespace scope does it) and they
// leave the registry when it is unloaded. The windows library creates forms from here by
// name, so the program never links a module.

// Creates a new form without an owner; the caller owns it.
using TFormFactory = std::function<QObject*()>;

// Which loaded module registered a class; 0 for classes registered outside any load.
using TFormModuleId = const void*;

VLSHARE_EXPORT void RegisterFormClass(const std::string& className, TFormFactory factory);
VLSHARE_EXPORT void UnregisterFormClass(const std::string& className);
VLSHARE_EXPORT bool IsFormClassRegistered(const std::string& className);

// A new form of the class, or none when the class is not registered. Whatever the factory
// throws reaches the caller.
VLSHARE_EXPORT QObject* CreateRegisteredForm(const std::string& className);

// The module being loaded on this thread: classes registered meanwhile belong to it.
// The loader sets it around the load and clears it (to 0) afterwards.
VLSHARE_EXPORT void SetLoadingFormModule(TFormModuleId module);
VLSHARE_EXPORT std::vector<std::string> FormClassesOfModule(TFormModuleId module);
VLSHARE_EXPORT void UnregisterFormModule(TFormModuleId module);

// Registers a class for as long as the object lives: a module keeps one per form class at
// namespace scope, so loading the module registers them and unloading it removes them.
class VLSHARE_EXPORT TFormClassRegistration {
  public:
    TFormClassRegistration(std::string className, TFormFactory factory);
    ~TFormClassRegistration();
    TFormClassRegistration(const TFormClassRegistration&) = delete;
    TFormClassRegistration& operator=(const TFormClassRegistration&) = delete;

  private:
    std::string ClassName;
};
