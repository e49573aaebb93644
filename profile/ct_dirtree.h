#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "ct_nodes.h"

// The model of the folder tree: "My Computer" with a node for each drive, loaded folder by
// folder from the disk, and the translation between its check marks and a profile's list
// of source folders.
class TDirTree {
  public:
    explicit TDirTree(bool withDrives = true);
    ~TDirTree();
    TDirTree(const TDirTree&) = delete;
    TDirTree& operator=(const TDirTree&) = delete;

    TRootNode* Root() const { return RootNode.get(); }
    // The node of the drive letter (either case), or null.
    TDriveNode* Drive(char letter) const;

    // Discards every node below the root and, with drives, adds one for each drive, none
    // checked.
    void Build();
    // Reads node's folder once: its folders and files become its children, checked when it
    // is. True when it has children afterwards.
    bool LoadChildren(TDirTreeNode* node);
    // Whether the node's folder (or drive root) is still on the disk.
    bool NodeExists(const TDirTreeNode* node) const;
    // Removes a folder node with everything below it and brings its ancestors' marks up to
    // date; other nodes are kept (false).
    bool RemoveNode(TDirTreeNode* node);

    // The drives and folders whose subtrees hold exactly the checked folders ("C:\" for a
    // drive checked whole), or, without checkedOnly, every loaded drive and folder.
    std::vector<std::string> GetFolders(bool checkedOnly) const;
    // Rebuilds the tree and checks the drives and folders named in list; returns the
    // entries that cannot be found (also those on a letter that has no drive).
    std::vector<std::string> BuildFromList(const std::vector<std::string>& list);

  private:
    // The node of path, loading the folders on the way; null when one of them is missing.
    TDirTreeNode* FindLoading(const std::string& path);

    std::unique_ptr<TRootNode> RootNode;
    std::array<TDriveNode*, 26> Drives{};  // owned by the root
    bool WithDrives;
};
