#pragma once

#include <string>

#include "vlshare_export.h"

// Reads the version information of a program file. The programs of this product carry
// theirs compiled in; any other file has none, and every getter then gives "".
class VLSHARE_EXPORT TVExeVersion {
  public:
    TVExeVersion();

    const std::string& GetFilename() const { return Filename; }
    void SetFilename(const std::string& fileName);
    bool GetUseCurrentApplication() const { return UseCurrentApplication; }
    // True: the file is the running program, whose name Filename then takes.
    void SetUseCurrent(bool useCurrent);

    // The string of that name ("FileVersion", "ProductName", ...).
    std::string GetInfo(const std::string& key) const;
    std::string GetCompanyName() const { return GetInfo("CompanyName"); }
    std::string GetFileDescription() const { return GetInfo("FileDescription"); }
    std::string GetFileVersion() const { return GetInfo("FileVersion"); }
    std::string GetInternalName() const { return GetInfo("InternalName"); }
    std::string GetLegalCopyright() const { return GetInfo("LegalCopyright"); }
    std::string GetLegalTrademarks() const { return GetInfo("LegalTrademarks"); }
    std::string GetOriginalFilename() const { return GetInfo("OriginalFilename"); }
    std::string GetProductName() const { return GetInfo("ProductName"); }
    std::string GetProductVersion() const { return GetInfo("ProductVersion"); }
    std::string GetComments() const { return GetInfo("Comments"); }

    // The first to fourth dot-separated parts of FileVersion.
    std::string GetMajorVersion() const { return VersionPart(0); }
    std::string GetMinorVersion() const { return VersionPart(1); }
    std::string GetRelease() const { return VersionPart(2); }
    std::string GetBuild() const { return VersionPart(3); }
    // Major, a dot, then minor and release run together: 2.0.2.0 gives 2.02.
    std::string GetShortVersion() const;

  private:
    std::string VersionPart(int index) const;

    std::string Filename;
    bool UseCurrentApplication = true;
};
