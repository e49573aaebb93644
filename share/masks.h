#pragma once

#include <string>
#include <vector>

#include "streams.h"
#include "vlshare_export.h"

// A profile's include and exclude lists of extension masks. A mask is a dot followed by
// the extension, where '?' stands for any one character and '*' for any rest; ".*" is
// "All Files". A file is covered when its extension is included and not excluded.
class VLSHARE_EXPORT TMasks {
  public:
    static constexpr const char* DefaultIncludeMasks = ".*";
    static constexpr const char* DefaultExcludeMasks = ".bak,.tmp";

    TMasks();

    std::string GetIncludeMasks() const;
    std::string GetExcludeMasks() const;

    // Validates mask and adds it to the include or exclude list, asking the user where a
    // mask moves from the other list and telling why one is refused. True when added.
    bool Add(const std::string& mask, bool include);
    // Removes the entry equal to mask ignoring case; false when there is none.
    bool Delete(const std::string& mask, bool include);

    // Is the file, a name or a path, covered by the masks?
    bool DoesFileNameMatch(const std::string& fileName) const;
    // Does any mask of list match the extension ext (ignoring case)?
    static bool Match(const std::string& ext, const std::vector<std::string>& list);
    // One extension against one mask, both with their leading dot; case-sensitive.
    static bool CompareExtToMask(const std::string& ext, const std::string& mask);

    // The stored form: a magic number, the exclude list and the include list as comma
    // texts, a second magic number. Read changes nothing when the magic numbers are wrong.
    void Read(TStream& stream);
    void Write(TStream& stream) const;

    std::vector<std::string> Includes;
    std::vector<std::string> Excludes;
};
