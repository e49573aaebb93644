#pragma once

#include <cstdint>

#include "vstack.h"

// Three-state check marks of the checked trees (the restore catalogue, the folder tree of
// the profile editor): the changes, the states, the kinds of node, and how a change
// spreads through a tree of nodes.

// A change of a check mark.
enum TCheckType : int {
    ctCheck = 0,
    ctUncheck = 1,
    ctToggle = 2,
    ctRefresh = 3,  // only recompute the ancestors
};

// Check states; also the indices of the check-box pictures of the views (0 is blank).
enum TCheckState : uint8_t {
    csUnchecked = 1,
    csChecked = 2,
    csPartial = 3,
};

enum TNodeKind : int {
    nkRoot = 0,
    nkDrive = 1,
    nkFolder = 2,
    nkFile = 3,
};

// A node of a checked tree has CheckState, Parent, FirstChild, NextSibling and
// PrevSibling; its children form a doubly linked list in the order they were added, and a
// node owns its children.

// The last of node's children, or null.
template <typename TNode>
TNode* LastChildOf(const TNode* node) {
    TNode* child = node->FirstChild;
    while (child && child->NextSibling)
        child = child->NextSibling;
    return child;
}

// Appends node after parent's last child (a null parent: node is a root).
template <typename TNode>
void LinkAsLastChild(TNode* node, TNode* parent) {
    node->Parent = parent;
    if (!parent)
        return;
    if (TNode* last = LastChildOf(parent)) {
        last->NextSibling = node;
        node->PrevSibling = last;
    } else {
        parent->FirstChild = node;
    }
}

// For a node's destructor: frees its children front to back, then takes the node out of
// its parent's list.
template <typename TNode>
void DestroyChildrenAndUnlink(TNode* node) {
    while (node->FirstChild)
        delete node->FirstChild;  // each child unlinks itself
    if (node->PrevSibling)
        node->PrevSibling->NextSibling = node->NextSibling;
    if (node->NextSibling)
        node->NextSibling->PrevSibling = node->PrevSibling;
    if (node->Parent && node->Parent->FirstChild == node)
        node->Parent->FirstChild = node->NextSibling;
    node->Parent = node->NextSibling = node->PrevSibling = nullptr;
}

// Whether any loaded child of node is a root, drive or folder.
template <typename TNode>
bool HasLoadedFolderChild(const TNode* node) {
    for (TNode* child = node->FirstChild; child; child = child->NextSibling) {
        if (child->IsFolderKind())
            return true;
    }
    return false;
}

// The state a node takes from its children: partial when any child is partial or the
// children are mixed, checked when all are checked, unchecked otherwise (also without
// children).
template <typename TNode>
void RecomputeCheckFromChildren(TNode* node) {
    bool anyChecked = false, anyUnchecked = false, anyPartial = false;
    for (TNode* child = node->FirstChild; child; child = child->NextSibling) {
        anyChecked |= child->CheckState == csChecked;
        anyUnchecked |= child->CheckState == csUnchecked;
        anyPartial |= child->CheckState == csPartial;
    }
    if (anyPartial || (anyChecked && anyUnchecked))
        node->CheckState = csPartial;
    else if (anyChecked)
        node->CheckState = csChecked;
    else
        node->CheckState = csUnchecked;
}

// Applies change to node, hands its new state down to every loaded descendant (breadth
// first) and recomputes each ancestor from its children. Children not loaded yet take their
// parent's state when they are loaded.
template <typename TNode>
void ApplyCheck(TNode* node, TCheckType change) {
    switch (change) {
        case ctCheck:
            node->CheckState = csChecked;
            break;
        case ctUncheck:
            node->CheckState = csUnchecked;
            break;
        case ctToggle:
            node->CheckState = node->CheckState == csUnchecked ? csChecked : csUnchecked;
            break;
        case ctRefresh:
            // Only the ancestors: a partial node handing its state down would make every
            // loaded descendant partial.
            break;
    }
    if (change != ctRefresh) {
        TVStack<TNode> walk;
        walk.Add(node);
        while (TNode* at = walk.Pop()) {
            for (TNode* child = at->FirstChild; child; child = child->NextSibling) {
                child->CheckState = node->CheckState;
                walk.Add(child);
            }
        }
    }
    for (TNode* ancestor = node->Parent; ancestor; ancestor = ancestor->Parent)
        RecomputeCheckFromChildren(ancestor);
}
