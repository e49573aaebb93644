#include "storedpath.h"

#include <cctype>
#include <vector>

#include "platform/paths.h"
#include "r_nodes.h"

namespace {

constexpr char kDriveSeparator = '\\';
constexpr size_t kDriveRootLength = 3;  // "C:\"

std::vector<std::string> Split(const std::string& text, const std::string& separators) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : text) {
        if (separators.find(c) != std::string::npos) {
            parts.push_back(part);
            part.clear();
        } else {
            part.push_back(c);
        }
    }
    parts.push_back(part);
    return parts;
}

bool HasControlCharacter(const std::string& text) {
    for (char c : text) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F)
            return true;
    }
    return false;
}

bool IsDriveRootForm(const std::string& path) {
    return path.size() > kDriveRootLength && std::isalpha(static_cast<unsigned char>(path[0])) &&
           path[1] == ':' && path[2] == kDriveSeparator;
}

bool IsDriveFolderName(const std::string& name) {
    return name.size() == 1 && std::isupper(static_cast<unsigned char>(name[0]));
}

}  // namespace

bool SourcePathOfCopy(const std::string& rootPath, const std::string& copyPath,
                      std::string& sourcePath) {
    const std::string root = PathInFolder(rootPath, "");
    if (copyPath.size() <= root.size() || copyPath.compare(0, root.size(), root) != 0)
        return false;
    std::vector<std::string> steps =
        Split(copyPath.substr(root.size()), std::string(1, SeparatorOf(rootPath)));
    if (steps.size() < 2 || !IsDriveFolderName(steps.front()))
        return false;
    std::string name = SourceNameOf(steps.back());
    if (name.empty())
        return false;
    sourcePath = steps.front() + ":";
    for (size_t i = 1; i + 1 < steps.size(); ++i)
        sourcePath += kDriveSeparator + steps[i];
    sourcePath += kDriveSeparator + name;
    return true;
}

std::string StoredPathFault(const std::string& rootPath, const std::string& copyPath,
                            const std::string& storedPath) {
    if (storedPath.empty())
        return "The copy names no path to restore to.";
    if (HasControlCharacter(storedPath))
        return "The stored path holds control characters.";
    if (!IsDriveRootForm(storedPath))
        return "The stored path \"" + storedPath + "\" is not in drive form (C:\\...).";
    for (const std::string& step : Split(storedPath.substr(kDriveRootLength), "\\/")) {
        if (step == "..")
            return "The stored path \"" + storedPath + "\" climbs out of its folder (\"..\").";
        if (step.empty() || step == ".")
            return "The stored path \"" + storedPath + "\" holds an empty or \".\" step.";
    }
    std::string expected;
    if (!SourcePathOfCopy(rootPath, copyPath, expected))
        return "The copy lies in no drive folder of the backup, or its name is too short.";
    if (!SamePath(storedPath, expected)) {
        return "The stored path \"" + storedPath +
               "\" is not the path the copy's place stands for (" + expected + ").";
    }
    return {};
}

std::string RestoreTargetOf(const std::string& sourcePath, const std::string& destination) {
    if (destination.empty())
        return sourcePath;
    std::string target = destination;
    for (const std::string& step : Split(sourcePath.substr(kDriveRootLength), "\\"))
        target = PathInFolder(target, step);
    return target;
}
