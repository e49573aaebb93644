#include "r_nodes.h"

#include <cctype>
#include <cstdio>

#include "exceptions.h"
#include "platform/ascii.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "zstream.h"

namespace {

// ".VL" and three digits.
constexpr size_t kSuffixLength = 6;
constexpr const char* kSuffixStart = ".VL";
constexpr size_t kSuffixDigits = 3;
// What follows the prefix of a work file's name: the process id, "-" and six characters.
constexpr size_t kWorkNameEnding = 6;
constexpr const char* kWorkPrefixes[] = {".VLR", ".VLA"};

bool AllDigits(const std::string& text) {
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    }
    return !text.empty();
}

}  // namespace

// ---- Names ----

std::string SourceNameOf(const std::string& copyName) {
    return copyName.size() > kSuffixLength ? copyName.substr(0, copyName.size() - kSuffixLength)
                                           : std::string();
}

int VersionNumberOf(const std::string& copyName) {
    if (copyName.size() < kSuffixLength)
        return 0;
    std::string suffix = copyName.substr(copyName.size() - kSuffixLength);
    std::string digits = suffix.substr(kSuffixLength - kSuffixDigits);
    if (suffix.rfind(kSuffixStart, 0) != 0 || !AllDigits(digits))
        return 0;
    return std::stoi(digits);
}

bool IsWorkFileName(const std::string& name) {
    for (const char* prefix : kWorkPrefixes) {
        std::string start = prefix;
        if (name.rfind(start, 0) != 0)
            continue;
        size_t dash = name.find('-', start.size());
        if (dash == std::string::npos || dash + 1 + kWorkNameEnding != name.size())
            continue;
        if (AllDigits(name.substr(start.size(), dash - start.size())))
            return true;
    }
    return false;
}

std::string TDirStack::Pop() {
    if (Paths.empty())
        return {};
    std::string path = std::move(Paths.front());
    Paths.pop_front();
    return path;
}

// ---- TRestoreNode ----

TRestoreNode::TRestoreNode(std::string name, TRestoreNode* parent) : Name(std::move(name)) {
    LinkAsLastChild(this, parent);
}

TRestoreNode::~TRestoreNode() {
    DestroyChildrenAndUnlink(this);
}

TRestoreNode* TRestoreNode::LastChild() const {
    return LastChildOf(this);
}

std::string TRestoreNode::GetPath() const {
    if (!Parent)
        return Name;
    return PathInFolder(Parent->GetPath(), Name);
}

void TRestoreNode::SetCheck(TCheckType change) {
    ApplyCheck(this, change);
}

bool TRestoreNode::HasSubFolders() const {
    if (FirstChild)
        return HasLoadedFolderChild(this);
    if (!IsFolderKind())
        return false;
    for (TFileSearch search(PathInFolder(GetPath(), "*.*"), faAnyFile & ~faArchive, sdKinds);
         search.Found(); search.Next()) {
        if (search.IsDirectory())
            return true;
    }
    return false;
}

// ---- Subclasses ----

TRestoreFolderNode::TRestoreFolderNode(std::string name, TRestoreNode* parent)
    : TRestoreNode(std::move(name), parent) {
    ImageIndex = niFolder;
    SelectedIndex = niOpenFolder;
}

TRestoreDriveNode::TRestoreDriveNode(std::string name, TRestoreNode* parent)
    : TRestoreFolderNode(std::move(name), parent) {
    ImageIndex = niDrive;
    SelectedIndex = niDrive;
}

std::string TRestoreDriveNode::GetText() const {
    std::string upper = Name;
    for (char& c : upper)
        c = AsciiUpper(c);
    return "(" + upper + ")";
}

TRestoreRootNode::TRestoreRootNode(std::string rootPath)
    : TRestoreFolderNode(std::move(rootPath), nullptr) {
    ImageIndex = niComputer;
    SelectedIndex = niComputer;
}

TRestoreFileNode::TRestoreFileNode(std::string name, TRestoreNode* parent, const std::string& path,
                                   int attributes)
    : TRestoreNode(std::move(name), parent) {
    ImageIndex = niDocument;
    SelectedIndex = niDocument;
    Attributes = attributes;
    Time = FileAge(path);  // in case it cannot be opened
    try {
        TVUnzipStream copy(path);
        Time = copy.GetOpenedFileDate();
        Damaged = !copy.Valid;
        if (copy.Valid) {
            Size = copy.Header.OriginalSize;
            OriginalPath = copy.Header.OriginalPath;
            OriginalFileTime = copy.Header.FileTime;
            Key = copy.Header.Key;
        }
    } catch (const Exception&) {
        Damaged = true;  // the copy cannot even be opened
    }
}

std::string TRestoreFileNode::GetText() const {
    return SourceNameOf(Name);
}

int TRestoreFileNode::VersionNumber() const {
    return VersionNumberOf(Name);
}
