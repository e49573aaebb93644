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

// The program's registry: keys holding named binary, text and integer values, kept in
// one settings file in the data folder. Key paths use backslashes
// ("\Software\Orvanet\Vaultaire 2000"). Failures raise ERegistryException.
class VLSHARE_EXPORT TRegistry {
  public:
    TRegistry();
    ~TRegistry();
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    // The settings file.
    static std::string FileName();

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
