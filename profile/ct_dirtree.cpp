#include "ct_dirtree.h"

#include <cctype>

#include "platform/drivemap.h"
#include "platform/files.h"
#include "vstack.h"

namespace {

constexpr int LetterCount = 26;

int SlotOf(char letter) {
    const int upper = std::toupper(static_cast<unsigned char>(letter));
    return upper >= 'A' && upper <= 'Z' ? upper - 'A' : -1;
}

// The names of path's folders below its drive: "C:\Data\Sub\" gives Data, Sub.
std::vector<std::string> FolderNames(const std::string& path) {
    std::vector<std::string> names;
    size_t start = 3;  // after "C:\"
    while (start < path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string::npos)
            end = path.size();
        names.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

// "X:\..." with a letter.
bool IsDrivePath(const std::string& path) {
    return path.size() >= 3 && SlotOf(path[0]) >= 0 && path[1] == ':' && path[2] == '\\';
}

}  // namespace

TDirTree::TDirTree(bool withDrives) : WithDrives(withDrives) {
    Build();
}

TDirTree::~TDirTree() = default;

TDriveNode* TDirTree::Drive(char letter) const {
    const int slot = SlotOf(letter);
    return slot < 0 ? nullptr : Drives[slot];
}

void TDirTree::Build() {
    if (!RootNode)
        RootNode = std::make_unique<TRootNode>();
    while (RootNode->FirstChild)
        delete RootNode->FirstChild;
    RootNode->CheckState = csUnchecked;
    Drives.fill(nullptr);
    if (!WithDrives)
        return;
    const uint32_t mask = GetLogicalDrives();
    for (int slot = 0; slot < LetterCount; ++slot) {
        if (mask & (uint32_t{1} << slot))
            Drives[slot] = new TDriveNode(static_cast<char>('A' + slot), RootNode.get());
    }
}

bool TDirTree::LoadChildren(TDirTreeNode* node) {
    if (!node)
        return false;
    if (node->FirstChild)
        return true;
    if (node->GetKind() == nkRoot || node->GetKind() == nkFile)
        return false;
    const int32_t state = node->CheckState == csChecked ? csChecked : csUnchecked;
    const std::string folder = node->GetPath();
    TFileSearch search(folder + (folder.back() == '\\' ? "*.*" : "\\*.*"), faAnyFile & ~faArchive);
    for (; search.Found(); search.Next()) {
        const TSearchRec& entry = search.Rec();
        TDirTreeNode* child = search.IsDirectory()
                                  ? static_cast<TDirTreeNode*>(new TFolderNode(entry.Name, node))
                                  : new TFileNode(entry.Name, node);
        child->CheckState = state;
        child->Attributes = entry.Attr;
        child->Time = entry.Time;
        child->Size = search.IsDirectory() ? 0 : entry.Size;
    }
    node->ReadError = search.Error();
    return node->FirstChild != nullptr;
}

bool TDirTree::NodeExists(const TDirTreeNode* node) const {
    return node && (node->GetKind() == nkRoot || DirectoryExists(node->GetPath()));
}

bool TDirTree::RemoveNode(TDirTreeNode* node) {
    if (!node || node->GetKind() != nkFolder)
        return false;
    TDirTreeNode* parent = node->Parent;
    delete node;
    // The folder's mark no longer counts in its parent's. A parent left without children
    // keeps its own mark: that the user checked it says nothing about the vanished one.
    TDirTreeNode* from = parent && !parent->FirstChild ? parent->Parent : parent;
    for (; from; from = from->Parent)
        RecomputeCheckFromChildren(from);
    return true;
}

std::vector<std::string> TDirTree::GetFolders(bool checkedOnly) const {
    std::vector<std::string> folders;
    TVStack<TDirTreeNode> walk;
    walk.Add(RootNode.get());
    while (TDirTreeNode* node = walk.Pop()) {
        for (TDirTreeNode* child = node->FirstChild; child; child = child->NextSibling) {
            if (!child->IsFolderKind())
                continue;
            if (!checkedOnly) {
                folders.push_back(child->GetPath());
                walk.Add(child);
            } else if (child->CheckState == csChecked) {
                folders.push_back(child->GetPath());
            } else if (child->CheckState == csPartial) {
                walk.Add(child);
            }
        }
    }
    return folders;
}

TDirTreeNode* TDirTree::FindLoading(const std::string& path) {
    TDirTreeNode* node = IsDrivePath(path) ? Drive(path[0]) : nullptr;
    if (!node)
        return nullptr;
    for (const std::string& name : FolderNames(path)) {
        LoadChildren(node);
        node = node->FindChild(name);
        if (!node || !node->IsFolderKind())
            return nullptr;
    }
    return node;
}

std::vector<std::string> TDirTree::BuildFromList(const std::vector<std::string>& list) {
    Build();
    RootNode->SetCheck(ctUncheck);
    std::vector<std::string> notFound;
    for (const std::string& entry : list) {
        if (TDirTreeNode* node = FindLoading(entry))
            node->SetCheck(ctCheck);
        else
            notFound.push_back(entry);
    }
    return notFound;
}
