#include "vloadform.h"

#include <QLibrary>
#include <QPointer>
#include <exception>
#include <memory>
#include <vector>

#include "display.h"
#include "formregistry.h"
#include "packageform.h"
#include "vfileutil.h"

struct TPackage {
    QLibrary Library;
    std::vector<QPointer<TPackageForm>> Forms;
};

namespace {

thread_local std::string LoadError;

constexpr int ModuleCandidates = 2;

std::string& ModuleFolderOverride() {
    static std::string folder;
    return folder;
}

bool IsBareName(const std::string& packageFile) {
    return packageFile.find('/') == std::string::npos;
}

std::string WithModuleSuffix(const std::string& packageFile) {
    const std::string suffix = ".so";
    bool hasSuffix =
        packageFile.size() > suffix.size() &&
        packageFile.compare(packageFile.size() - suffix.size(), suffix.size(), suffix) == 0;
    return hasSuffix ? packageFile : packageFile + suffix;
}

TPackage* LoadPackage(const std::string& packageFile) {
    auto package = std::make_unique<TPackage>();
    std::string errors;
    int candidates =
        IsBareName(packageFile) && ModuleFolderOverride().empty() ? ModuleCandidates : 1;
    for (int candidate = 0; candidate < candidates; ++candidate) {
        package->Library.setFileName(
            QString::fromStdString(ModuleCandidatePath(packageFile, candidate)));
        // Classes the module registers while it loads are marked as its own.
        SetLoadingFormModule(package.get());
        bool loaded = package->Library.load();
        SetLoadingFormModule(nullptr);
        if (loaded)
            return package.release();
        errors += (errors.empty() ? "" : "; ") + package->Library.errorString().toStdString();
        UnregisterFormModule(package.get());
    }
    LoadError = errors;
    return nullptr;
}

TPackageForm* CreateForm(TPackage& package, const std::string& className) {
    QObject* created = CreateRegisteredForm(className);
    if (!created) {
        LoadError = "The form class " + className + " is not registered by " +
                    package.Library.fileName().toStdString();
        return nullptr;
    }
    auto* form = qobject_cast<TPackageForm*>(created);
    if (!form) {
        delete created;
        LoadError = "The class " + className + " is not a dialog of a module";
        return nullptr;
    }
    package.Forms.emplace_back(form);
    return form;
}

}  // namespace

std::string ModuleCandidatePath(const std::string& packageFile, int candidate) {
    if (!IsBareName(packageFile))
        return packageFile;
    std::string file = WithModuleSuffix(packageFile);
    if (!ModuleFolderOverride().empty())
        return ModuleFolderOverride() + "/" + file;
    if (candidate == 0)
        return GetExeDir(true) + file;
    return GetExeDir(true) + "../lib/vaultaire/" + file;
}

TPackageForm* LoadForm(TPackageHandle& handle, const std::string& className,
                       const std::string& packageFile) {
    LoadError.clear();
    try {
        if (!handle)
            handle = LoadPackage(packageFile);
        if (!handle)
            return nullptr;
        return CreateForm(*handle, className);
    } catch (const std::exception& e) {
        LoadError = e.what();
        ShowException(e);
        return nullptr;
    }
}

void UnloadForm(TPackageHandle& handle) {
    if (!handle)
        return;
    for (auto form = handle->Forms.rbegin(); form != handle->Forms.rend(); ++form)
        delete form->data();
    handle->Forms.clear();
    UnregisterFormModule(handle);
    handle->Library.unload();
    delete handle;
    handle = nullptr;
}

void SetModuleFolder(const std::string& folder) {
    ModuleFolderOverride() = folder;
}

std::string LastLoadFormError() {
    return LoadError;
}
