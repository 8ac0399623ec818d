#pragma once

// TKNewDialog (unit KNewDialogUn): the dialog in which the user picks what to make. The
// groups of a choice tree (branches that have children) show as a tree on the left; the
// entries of the group selected (its children without children) show on the right as large
// icons with the glyph of the class each stands for. Ok takes the entry selected; a
// double-click on an entry takes it too.

#include <vector>

#include "platform/forms/comctrls.h"
#include "platform/forms/forms.h"
#include "plugin3d/model/core/k_data_branch.h"

class TButton;
class TImageList;
class TListView;
class TPanel;
class TSplitter;
class TKFlatCaption;

class TKNewDialog : public TForm {
    DECLARE_TCLASS(TKNewDialog)

    TKFlatCaption* KFlatCaption1 = nullptr;
    TTreeView* TreeView1 = nullptr;
    TSplitter* Splitter1 = nullptr;
    TListView* ListView1 = nullptr;
    TPanel* Panel1 = nullptr;
    TButton* OkBtn = nullptr;
    TButton* CancelBtn = nullptr;
    TImageList* ImageList1 = nullptr;

    /// Shows the choice tree of root (every branch of it gets its expanded flag set), starting
    /// at the group of initial (the first group when it is not one); true with chosen the
    /// entry's branch when the user took one, false and null otherwise. The dialog is freed.
    static bool Execute(TKDataBranch* root, TKDataBranch* initial, TKDataBranch*& chosen);

    /// Shows root's groups and selects the group of initial (or the first one).
    void Prepare(TKDataBranch* root, TKDataBranch* initial);
    /// The branch of the entry selected; null when none is.
    TKDataBranch* SelectedEntry() const;

protected:
    TKNewDialog() = default;
    std::vector<THandler> Handlers() override;
    void Loaded() override;
    void FormCreate(TObject* sender);
    void TreeView1Change(TObject* sender, TTreeNode* node);
    void ListView1Change(TObject* sender, TListItem* item, TItemChange change);
    void ListView1DblClick(TObject* sender);
    void Panel1Resize(TObject* sender);
};
