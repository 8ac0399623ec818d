#pragma once

// Showing a TKDataBranch tree in a tree view: each node's text is its branch's name, its data
// the branch, its expanded state the branch's flag (non-zero: expanded). Only children that
// are TKDataBranch objects are shown. Node data in the plug-in's trees is always an object
// of the class library (or null).

#include "platform/forms/comctrls.h"

class TKBranch;
class TKDataBranch;

/// The node's data when it is a TKBranch; null for anything else (or no node).
TKBranch* NodeBranch(TTreeNode* node);
/// The first node, in the tree view's index order, whose data is data; null when none is.
TTreeNode* FindNodeByData(const void* data, TTreeNodes* nodes);
/// Clears the tree view and adds one top-level node per child of branch, each mirrored.
void FillTreeFromBranch(TKDataBranch* branch, TTreeNodes* nodes);
/// Mirrors branch onto node: its children become the branch's children (each mirrored; the
/// nodes already there are kept in order and take the new texts, data and expanded states,
/// the rest are added or deleted), its text and data set, and its expanded state taken from
/// the branch's flag after the children exist; all inside one update of the tree view. A
/// selection below the node moves up to it first. Without a node: FillTreeFromBranch.
void FillNodeFromBranch(TKDataBranch* branch, TTreeNodes* nodes, TTreeNode* node);
