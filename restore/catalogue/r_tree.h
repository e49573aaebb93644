#pragma once

#include <memory>
#include <string>
#include <vector>

#include "r_nodes.h"

// The restore catalogue: the backed-up copies at one backup location as a tree of nodes,
// loaded folder by folder on demand. From its check marks it says how many files a restore
// will process and, batch by batch, which copies to restore (the newest checked version of
// each source file).
//
// The backup root ("...\Vaultaire") holds one folder per source drive letter, the source
// folders below it and one copy per version of each file: the source file's name and a
// suffix ".VL001" (newest) to ".VL999". Every path is used in full; the process's current
// folder is never changed, so worker threads may run beside the catalogue.
//
// The catalogue is not locked: one thread at a time uses it.
class TRestoreTree {
  public:
    TRestoreTree() = default;
    ~TRestoreTree();
    TRestoreTree(const TRestoreTree&) = delete;
    TRestoreTree& operator=(const TRestoreTree&) = delete;

    // Replaces the tree by a root node for the backup root path (unchecked) and its drives.
    void SetLocation(const std::string& path);
    // Adds a drive node below the root for each drive letter A to Z that the backup root
    // holds an entry for (a folder, or a file of that name).
    void ScanDrives();
    // Loads node's folder once; true when the node has children afterwards. New children
    // are checked when node is. False for a null node, a file node and a folder that cannot
    // be read; an empty folder is read again each time.
    bool LoadChildren(TRestoreNode* node);
    // Whether the node's entry can still be found on disk.
    bool NodeExists(const TRestoreNode* node) const;
    // Destroys a folder node with its subtree; false, changing nothing, for any other node.
    bool RemoveNode(TRestoreNode* node);

    // How many files a restore of the current check marks will process: one for each
    // source file of which a version is checked or lies in a checked folder.
    int CountSelected() const;
    // How many source files the folder of node holds, itself and below, by a disk scan.
    int CountFolderFiles(const TRestoreNode* node) const;
    // The next batch of copies to restore, into files: on the first call (first true) the
    // checked file nodes, then one checked folder at a time in breadth-first order (only
    // folders that give at least one file make a batch). folders carries the queue from
    // one call to the next. An empty batch ends the run.
    void GetNextFiles(std::vector<std::string>& files, TDirStack& folders, bool first);

    // Limits the disk scans of checked folders to one version: only copies whose suffix
    // carries that number count (0: every version, the newest of each file restored).
    void SetVersionFilter(int version) { VersionFilter = version; }
    int GetVersionFilter() const { return VersionFilter; }

    TRestoreRootNode* Root() const { return RootNode.get(); }
    // The path of the backup root, or empty.
    std::string RootPath() const;

  private:
    // The files of one folder on disk, newest version of each (keepNewest) or first found,
    // appended to files; sub-folders pushed to folders. Returns how many it added.
    int ScanFolder(const std::string& folder, std::vector<std::string>& files, TDirStack* folders,
                   bool keepNewest) const;
    bool PassesFilter(const std::string& copyName) const;

    std::unique_ptr<TRestoreRootNode> RootNode;
    int VersionFilter = 0;
};

// Versions of one file: two copies are versions of the same source file when their full
// paths less their last six characters are equal (letter case counts).
// The index of the first entry of list that is a version of the same file as path, or -1.
int FindVersion(const std::string& path, const std::vector<std::string>& list);
// Whether the copy other was written earlier than the copy path (their times on disk; of two
// copies with one time, the lower version number is the newer).
bool IsNewer(const std::string& path, const std::string& other);
// Appends path when list holds no version of its file and returns true; when it does and
// keepNewest is true and path is newer, path takes that entry's place (true); otherwise
// the list stays as it is (false). Ties (one time, no version numbers to tell them apart)
// keep the entry already listed.
bool AddVersion(const std::string& path, std::vector<std::string>& list, bool keepNewest);
