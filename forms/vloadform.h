#pragma once

#include <string>

#include "vlforms_export.h"

class TPackageForm;
struct TPackage;

// A loaded dialog module; none (nullptr) when no module is loaded.
using TPackageHandle = TPackage*;

// Creates the form registered as className, loading packageFile first when handle is none.
// A bare file name ("vlrstore") is looked up next to the program, then in its lib/vaultaire
// folder. Never throws: a module that cannot be loaded or a class that is not registered
// gives none (LastLoadFormError says why, for the log); an exception while the form is
// created is shown in the exception box and gives none. The form has no owner and stays
// the caller's until UnloadForm deletes it with its module.
VLFORMS_EXPORT TPackageForm* LoadForm(TPackageHandle& handle, const std::string& className,
                                      const std::string& packageFile);

// Deletes the forms created from the module that are still alive (last first), removes
// its classes from the registry, unloads it and sets handle to none. Nothing when none.
VLFORMS_EXPORT void UnloadForm(TPackageHandle& handle);

// Why the last LoadForm on this thread gave none; empty after one that worked.
VLFORMS_EXPORT std::string LastLoadFormError();

// Makes LoadForm look for bare module names in folder alone (tests: a folder without the
// program's modules); an empty folder restores the program's own places.
VLFORMS_EXPORT void SetModuleFolder(const std::string& folder);

// Where LoadForm looks for a bare module name, in order.
VLFORMS_EXPORT std::string ModuleCandidatePath(const std::string& packageFile, int candidate);
