#pragma once

#include <compare>
#include <iosfwd>
#include <string>

#include "exceptions.h"
#include "vlshare_export.h"

// A path was handed to a place that takes the other kind: a drive path or a relative name
// where an absolute host path belongs, or an absolute path where a name is appended.
class VLSHARE_EXPORT EPathKindError : public Exception {
  public:
    using Exception::Exception;
};

// An absolute path on the host ("/home/ann/Vaultaire.vlp"), as the system calls take it.
// The program names files in drive form ("C:\Data\report.doc") and reaches the host only
// through the drive map (paths.h); keeping host paths in their own type means neither kind
// can be handed where the other belongs without a conversion that says so.
//
// The text is kept as given: only the operations that say so (Normalised) change its
// spelling. Comparison is by text, as the host tells names apart.
class VLSHARE_EXPORT THostPath {
  public:
    // No path: the empty value (a drive without a medium, a folder that is not known).
    THostPath() = default;
    // text must begin with "/" and hold no NUL; anything else (a drive path, a relative
    // name, an empty text) raises EPathKindError.
    explicit THostPath(std::string text);
    // Whether text would make a THostPath (begins with "/", holds no NUL), for text from
    // outside that is to be refused in words rather than by an exception.
    static bool IsHostPathText(const std::string& text);

    bool IsEmpty() const { return Path.empty(); }
    // The text for system calls and messages.
    const std::string& Text() const { return Path; }
    const char* CStr() const { return Path.c_str(); }

    // The path of name (a relative path: one name or several joined by "/") inside this
    // folder. An empty or absolute name, or one holding a NUL, raises EPathKindError.
    THostPath operator/(const std::string& name) const;
    // The folder part ("/a/b" for "/a/b/c"; "/" for "/c" and for "/"); empty for empty.
    THostPath Parent() const;
    // The last name ("c" for "/a/b/c"); empty for "/" and for a path ending in "/".
    std::string Name() const;
    // Lexically normalised: no ".", "..", doubled or trailing slashes ("/" stays "/").
    // Links are not looked at, so "/a/link/.." becomes "/a".
    THostPath Normalised() const;
    // Whether this path is folder or lies below it, comparing the texts as they stand.
    bool IsInside(const THostPath& folder) const;

    bool operator==(const THostPath&) const = default;
    std::strong_ordering operator<=>(const THostPath&) const = default;

  private:
    std::string Path;
};

VLSHARE_EXPORT std::ostream& operator<<(std::ostream& out, const THostPath& path);
