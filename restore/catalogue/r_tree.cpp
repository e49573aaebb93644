#include "r_tree.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <unordered_map>

#include "platform/files.h"
#include "platform/paths.h"
#include "strtable.h"
#include "vfileutil.h"
#include "vstack.h"
#include "vstringutil.h"

namespace {

constexpr size_t kSuffixLength = 6;
constexpr int kDriveLetters = 26;
constexpr int StrBackupRootName = 109;  // "Vaultaire"
// Every kind of entry; the archive attribute of a copy is never needed (and costs a look).
constexpr int kAnyEntry = faAnyFile & ~faArchive;

std::string VersionStem(const std::string& path) {
    return path.size() > kSuffixLength ? path.substr(0, path.size() - kSuffixLength)
                                       : std::string();
}

// Whether a copy written at time with the version number version is newer than one written
// at otherTime with otherVersion. Copies made within the two seconds that a time can tell
// apart are told apart by their numbers, which the backup gives newest first (".VL001").
bool IsNewerCopy(int32_t time, int version, int32_t otherTime, int otherVersion) {
    if (time != otherTime)
        return otherTime < time;
    return version != 0 && otherVersion != 0 && version < otherVersion;
}

int VersionOfPath(const std::string& path) {
    return VersionNumberOf(path.substr(NameStartOf(path)));
}

// A copy's time not looked up yet: a folder's copies are listed without their times, which
// are needed only where one file has several copies.
constexpr int64_t kTimeUnknown = INT64_MIN;

// AddVersion over a list that may grow long: each file is found by its stem in an index
// instead of by a walk over the list, and times are looked up only for files met twice.
class TVersionMerger {
  public:
    explicit TVersionMerger(std::vector<std::string>& files) : Files(files) {}

    bool Add(const std::string& path, int64_t time, bool keepNewest) {
        const int version = VersionOfPath(path);
        auto [entry, added] =
            Index.try_emplace(VersionStem(path), TListed{Files.size(), time, version});
        if (added) {
            Files.push_back(path);
            return true;
        }
        TListed& listed = entry->second;
        if (!keepNewest)
            return false;
        if (listed.Time == kTimeUnknown)
            listed.Time = FileAge(Files[listed.Position]);
        if (time == kTimeUnknown)
            time = FileAge(path);
        if (!IsNewerCopy(static_cast<int32_t>(time), version, static_cast<int32_t>(listed.Time),
                         listed.Version)) {
            return false;
        }
        Files[listed.Position] = path;
        listed.Time = time;
        listed.Version = version;
        return true;
    }

  private:
    struct TListed {
        size_t Position;
        int64_t Time;
        int Version;
    };
    std::vector<std::string>& Files;
    std::unordered_map<std::string, TListed> Index;
};

bool IsCopyEntry(const TFileSearch& search) {
    return !search.IsDirectory() && !IsWorkFileName(search.Rec().Name);
}

}  // namespace

// ---- Locations ----

std::string BackupRootOfLocation(const std::string& location) {
    const std::string rootName = LoadStr(StrBackupRootName);
    const std::string path = RemoveSlash(location);
    if (path.size() == 2 && path[1] == ':')
        return path + "\\" + rootName;
    const std::string name = ExtractFileName(path);
    return SameText(name, rootName) ? path : PathInFolder(path, rootName);
}

// ---- Versions ----

int FindVersion(const std::string& path, const std::vector<std::string>& list) {
    const std::string stem = VersionStem(path);
    for (size_t i = 0; i < list.size(); ++i) {
        if (VersionStem(list[i]) == stem)
            return static_cast<int>(i);
    }
    return -1;
}

bool IsNewer(const std::string& path, const std::string& other) {
    return IsNewerCopy(FileAge(path), VersionOfPath(path), FileAge(other), VersionOfPath(other));
}

bool AddVersion(const std::string& path, std::vector<std::string>& list, bool keepNewest) {
    int listed = FindVersion(path, list);
    if (listed < 0) {
        list.push_back(path);
        return true;
    }
    if (keepNewest && IsNewer(path, list[static_cast<size_t>(listed)])) {
        list[static_cast<size_t>(listed)] = path;
        return true;
    }
    return false;
}

// ---- TRestoreTree ----

TRestoreTree::~TRestoreTree() = default;

std::string TRestoreTree::RootPath() const {
    return RootNode ? RootNode->Name : std::string();
}

void TRestoreTree::SetLocation(const std::string& path) {
    RootNode.reset();
    RootNode = std::make_unique<TRestoreRootNode>(path);
    RootNode->CheckState = csUnchecked;
    ScanDrives();
}

void TRestoreTree::ScanDrives() {
    if (!RootNode)
        return;
    for (int i = 0; i < kDriveLetters; ++i) {
        const std::string letter(1, static_cast<char>('A' + i));
        TEntryKind kind = EntryKindOf(PathInFolder(RootNode->Name, letter));
        if (kind == ekFolder || kind == ekFile) {
            auto* drive = new TRestoreDriveNode(letter, RootNode.get());
            drive->CheckState = csUnchecked;
        }
    }
}

bool TRestoreTree::LoadChildren(TRestoreNode* node) {
    if (!node || !node->IsFolderKind())
        return false;
    // The root's children are its drives, found by ScanDrives; nothing else there counts.
    if (node->FirstChild || node->GetKind() == nkRoot)
        return node->FirstChild != nullptr;
    const uint8_t state = node->CheckState == csChecked ? csChecked : csUnchecked;
    const std::string folder = node->GetPath();
    // The copies' own details come from their open files: the search need not look at them.
    for (TFileSearch search(PathInFolder(folder, "*.*"), kAnyEntry, sdKinds); search.Found();
         search.Next()) {
        const TSearchRec& entry = search.Rec();
        TRestoreNode* child = nullptr;
        if (search.IsDirectory()) {
            child = new TRestoreFolderNode(entry.Name, node);
            child->Attributes = entry.Attr;
            child->Time = entry.Time;
        } else if (IsCopyEntry(search)) {
            child = new TRestoreFileNode(entry.Name, node, search.FullName(), entry.Attr);
        } else {
            continue;
        }
        child->CheckState = state;
    }
    return node->FirstChild != nullptr;
}

bool TRestoreTree::NodeExists(const TRestoreNode* node) const {
    return node && EntryKindOf(node->GetPath()) != ekNone;
}

bool TRestoreTree::RemoveNode(TRestoreNode* node) {
    if (!node || node->GetKind() != nkFolder)
        return false;
    delete node;
    return true;
}

bool TRestoreTree::PassesFilter(const std::string& copyName) const {
    return VersionFilter == 0 || VersionNumberOf(copyName) == VersionFilter;
}

int TRestoreTree::ScanFolder(const std::string& folder, std::vector<std::string>& files,
                             TDirStack* folders, bool keepNewest) const {
    TVersionMerger merger(files);
    int added = 0;
    for (TFileSearch search(PathInFolder(folder, "*.*"), kAnyEntry, sdKinds); search.Found();
         search.Next()) {
        if (search.IsDirectory()) {
            if (folders)
                folders->Push(search.FullName());
            continue;
        }
        if (!IsCopyEntry(search) || !PassesFilter(search.Rec().Name))
            continue;
        if (merger.Add(search.FullName(), kTimeUnknown, keepNewest))
            ++added;
    }
    return added;
}

int TRestoreTree::CountFolderFiles(const TRestoreNode* node) const {
    if (!node)
        return 0;
    TDirStack queue;
    queue.Push(node->GetPath());
    int count = 0;
    std::vector<std::string> working;
    while (!queue.Empty()) {
        working.clear();
        count += ScanFolder(queue.Pop(), working, &queue, false);
    }
    return count;
}

int TRestoreTree::CountSelected() const {
    if (!RootNode)
        return 0;
    int count = 0;
    TVStack<TRestoreNode> walk;
    walk.Add(RootNode.get());
    std::vector<std::string> working;
    while (TRestoreNode* node = walk.Pop()) {
        working.clear();
        TVersionMerger merger(working);
        for (TRestoreNode* child = node->FirstChild; child; child = child->NextSibling) {
            if (child->CheckState == csPartial) {
                walk.Add(child);
            } else if (child->CheckState == csChecked) {
                if (child->IsFolderKind())
                    count += CountFolderFiles(child);
                else if (merger.Add(child->GetPath(), child->Time, false))
                    ++count;
            }
        }
    }
    return count;
}

void TRestoreTree::GetNextFiles(std::vector<std::string>& files, TDirStack& folders, bool first) {
    if (!RootNode)
        return;
    files.clear();
    if (first) {
        folders.Clear();
        TVersionMerger merger(files);
        TVStack<TRestoreNode> walk;
        walk.Add(RootNode.get());
        while (TRestoreNode* node = walk.Pop()) {
            for (TRestoreNode* child = node->FirstChild; child; child = child->NextSibling) {
                if (child->CheckState == csPartial) {
                    walk.Add(child);
                } else if (child->CheckState == csChecked) {
                    if (child->IsFolderKind())
                        folders.Push(child->GetPath());
                    else
                        merger.Add(child->GetPath(), child->Time, true);
                }
            }
        }
        if (!files.empty())
            return;
    }
    while (!folders.Empty() && files.empty())
        ScanFolder(folders.Pop(), files, &folders, true);
}
