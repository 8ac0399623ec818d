#pragma once

// The four small modal pickers the navigator and the editors use: a basis of a project, a
// reflection-law class, a layer of a raster file and a drawing system of a project. Each is a
// function that makes its form, runs it modally and frees it; a picker with nothing to offer
// returns at once without showing its form.

#include <string>

#include "platform/forms/comctrls.h"
#include "platform/forms/forms.h"
#include "plugin3d/model/core/k_data_branch.h"

class TButton;
class TListBox;
class TPanel;
class TKBasis3D;
class TKDrawingSystem3D;
class TKFlatCaption;
class TKelvora3DProject;

/// What the four finder forms share: the caption bar (titled by the form's caption), the list
/// control, Ok and Cancel kept at the right, and a double-click on an entry confirming.
class TKFinderForm : public TForm {
    DECLARE_TCLASS(TKFinderForm)

    TKFlatCaption* KFlatCaption1 = nullptr;
    TPanel* Panel1 = nullptr;
    TButton* OkBtn = nullptr;
    TButton* CancelBtn = nullptr;

protected:
    TKFinderForm() = default;
    std::vector<THandler> Handlers() override;
    void Loaded() override;
    virtual void FormCreate(TObject* sender);
    virtual void FormDestroy(TObject* sender);
    void FormResize(TObject* sender);
    void ListMouseDown(TObject* sender, TMouseButton button, TShiftState shift, int x, int y);
    virtual void ListDblClick(TObject* sender);

    CPoint m_lastPress{-1, -1};
};

/// The finders over a tree: a root branch of their own mirrored in TreeView1.
class TKTreeFinderForm : public TKFinderForm {
    DECLARE_TCLASS(TKTreeFinderForm)

    TTreeView* TreeView1 = nullptr;
    TKDataBranch* Root() const { return m_root; }
    /// The object of the selected node; null when none.
    TObject* SelectedObject() const;
    /// Mirrors the root into the tree and selects the node of branch (when there is one).
    void ShowTree(TKDataBranch* selected);

protected:
    TKTreeFinderForm() = default;
    void Loaded() override;
    void FormCreate(TObject* sender) override;
    void FormDestroy(TObject* sender) override;
    void ListDblClick(TObject* sender) override;

private:
    TKDataBranch* m_root = nullptr;
};

/// The finders over a list: ListBox1.
class TKListFinderForm : public TKFinderForm {
    DECLARE_TCLASS(TKListFinderForm)

    TListBox* ListBox1 = nullptr;

protected:
    TKListFinderForm() = default;
    void Loaded() override;
    void ListDblClick(TObject* sender) override;
};

class TKObject3DFinder : public TKTreeFinderForm {
    DECLARE_TCLASS(TKObject3DFinder)

protected:
    TKObject3DFinder() = default;
};

class TKLayerFinderForm : public TKTreeFinderForm {
    DECLARE_TCLASS(TKLayerFinderForm)

protected:
    TKLayerFinderForm() = default;
};

class TKFinderReflectionForm : public TKListFinderForm {
    DECLARE_TCLASS(TKFinderReflectionForm)

protected:
    TKFinderReflectionForm() = default;
};

class TKDrawingFinderForm : public TKListFinderForm {
    DECLARE_TCLASS(TKDrawingFinderForm)

protected:
    TKDrawingFinderForm() = default;
};

/// The bases of the project's cameras, lights and objects under a node named after it,
/// titled title; on Ok basis becomes the picked basis (null for a node that is none) and the
/// answer is true; on Cancel basis becomes null and the answer false. False at once without
/// a project.
bool PickBasis(const std::string& title, TKelvora3DProject* project, TKBasis3D*& basis);
/// "NO REFLECTION" and every registered class that inherits from baseClass; true only when
/// the user confirms a class other than lawClass, which then holds it (null for "NO
/// REFLECTION").
bool PickReflectionLaw(TClass baseClass, TClass& lawClass);
/// The layers of a raster file (opened read-only); layerIndex is first clamped into the
/// file's layers (0 for a file without any) and stored back, even when the user cancels.
/// True when the user confirms a layer, whose index is stored. False at once for a file that
/// does not exist or that no layer reader takes.
bool PickLayer(const std::string& fileName, int& layerIndex);
/// The drawing systems of the project's viewers; the picked one, or null (at once for a
/// project without viewers).
TKDrawingSystem3D* PickDrawing(TKelvora3DProject* project);
