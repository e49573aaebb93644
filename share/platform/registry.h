#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "exceptions.h"
#include "vlshare_export.h"

class VLSHARE_EXPORT ERegistryException : public Exception {
  public:
    using Exception::Exception;
};

// The settings file was found damaged. KeptAside: it was kept under a new name and the
// next registry starts without it; otherwise it is still in place and must not be
// written over.
class VLSHARE_EXPORT ERegistryDamaged : public ERegistryException {
  public:
    ERegistryDamaged(const std::string& message, bool keptAside)
        : ERegistryException(message), KeptAside(keptAside) {}
    bool KeptAside;
};

// The program's registry: keys holding named binary, text and integer values, kept in
// one settings file in the data folder. Key paths use backslashes
// ("\Software\Orvanet\Vaultaire 2000"). Failures raise ERegistryException.
//
// The settings file is read when the registry is made. Something in its place that is no
// regular file (a pipe, a folder, a link to a device) is never read or written: making
// the registry raises ERegistryException. A damaged file (unreadable, not in the settings
// form, far too large) is kept aside under a new name (keptfiles.h) and making the
// registry raises ERegistryDamaged; the next registry starts without it.
class VLSHARE_EXPORT TRegistry {
  public:
    TRegistry();
    ~TRegistry();
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    // The settings file.
    static std::string FileName();
    // Keeps the settings file, found damaged, under a new name beside it so that the
    // settings start anew without losing it. The exception tells the user so, or that it
    // could not be kept aside (the settings are then not to be saved).
    static ERegistryDamaged KeepDamagedFile();

    bool OpenKey(const std::string& key, bool canCreate);
    // Writes what changed to the settings file.
    void CloseKey();

    bool ValueExists(const std::string& name) const;
    std::vector<uint8_t> ReadBinaryData(const std::string& name) const;
    void WriteBinaryData(const std::string& name, const std::vector<uint8_t>& data);
    std::string ReadString(const std::string& name) const;
    void WriteString(const std::string& name, const std::string& value);
    int32_t ReadInteger(const std::string& name) const;
    void WriteInteger(const std::string& name, int32_t value);
    bool DeleteValue(const std::string& name);

  private:
    std::string ValueKey(const std::string& name) const;
    struct TStore;
    std::unique_ptr<TStore> Store;
    std::string CurrentKey;
};
