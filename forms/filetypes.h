#pragma once

#include <string>
#include <vector>

#include "vlforms_export.h"

// A file type the desktop knows: an extension with its dot, lower-case (".txt"), and a
// description for people ("plain text document").
struct TFileType {
    std::string Extension;
    std::string Description;
};

// The file types of the shared MIME database, one per extension, sorted by extension.
VLFORMS_EXPORT std::vector<TFileType> RegisteredFileTypes();
