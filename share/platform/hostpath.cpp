#include "platform/hostpath.h"

#include <ostream>
#include <vector>

namespace {

bool HoldsNul(const std::string& text) {
    return text.find('\0') != std::string::npos;
}

}  // namespace

bool THostPath::IsHostPathText(const std::string& text) {
    return !text.empty() && text[0] == '/' && !HoldsNul(text);
}

THostPath::THostPath(std::string text) : Path(std::move(text)) {
    if (Path.empty() || Path[0] != '/') {
        throw EPathKindError("\"" + Path +
                             "\" is not a host path: a host path begins with \"/\"; a drive "
                             "path must be mapped through its drive first");
    }
    if (HoldsNul(Path))
        throw EPathKindError("a host path cannot hold a NUL character");
}

THostPath THostPath::operator/(const std::string& name) const {
    if (name.empty() || name[0] == '/' || HoldsNul(name)) {
        throw EPathKindError("\"" + name + "\" cannot be added to the host path \"" + Path +
                             "\": only a relative name can");
    }
    if (IsEmpty())
        throw EPathKindError("\"" + name + "\" cannot be added to an empty host path");
    return THostPath(Path.back() == '/' ? Path + name : Path + "/" + name);
}

THostPath THostPath::Parent() const {
    if (IsEmpty())
        return {};
    size_t slash = Path.find_last_of('/');
    return THostPath(slash == 0 ? std::string("/") : Path.substr(0, slash));
}

std::string THostPath::Name() const {
    return Path.substr(Path.find_last_of('/') + 1);
}

THostPath THostPath::Normalised() const {
    if (IsEmpty())
        return {};
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= Path.size()) {
        size_t end = Path.find('/', start);
        if (end == std::string::npos)
            end = Path.size();
        std::string part = Path.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string result;
    for (const std::string& part : parts)
        result += "/" + part;
    return THostPath(result.empty() ? std::string("/") : result);
}

bool THostPath::IsInside(const THostPath& folder) const {
    if (IsEmpty() || folder.IsEmpty())
        return false;
    if (folder.Path == "/")
        return true;
    return Path.compare(0, folder.Path.size(), folder.Path) == 0 &&
           (Path.size() == folder.Path.size() || Path[folder.Path.size()] == '/');
}

std::ostream& operator<<(std::ostream& out, const THostPath& path) {
    return out << path.Text();
}
