#pragma once

// TKAdministrator (unit KAdministratorUn): the plug-in's main window. It holds the one open
// project, shows it as a tree (the project, its lists and objects), and offers New, Delete,
// Load and Save, a history of the files loaded last, a right-click menu per object and a
// double-click that opens an object's editor. The owner form makes it and frees it.
//
// The project's events may come on any thread (the image job raises them): the handler only
// posts what happened to the window, and the tree is kept on the user-interface thread. A
// change inside brackets (events 4 and 5) rebuilds the part of the tree it touched once,
// when the outermost bracket closes.

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "platform/forms/comctrls.h"
#include "platform/forms/forms.h"
#include "plugin3d/model/core/k_data_branch.h"
#include "plugin3d/model/core/k_project.h"

class TImageList;
class TMenuItem;
class TOpenDialog;
class TPanel;
class TPopupMenu;
class TSaveDialog;
class TToolBar;
class TToolButton;
class TKFlatCaption;
class TKThreadForm;

/// The administrator's private message: wParam 0 retitles the object in lParam, wParam 1
/// rebuilds the pending part of the tree.
inline constexpr UINT WM_ADMIN_REFRESH = WM_USER + 1;

class TKAdministrator : public TForm {
    DECLARE_TCLASS(TKAdministrator)

    /// A message hook: true consumes the message (its Result set by the hook).
    using THook = std::function<bool(TMessage& message)>;

    TKFlatCaption* KFlatCaption1 = nullptr;
    TPanel* Panel1 = nullptr;
    TToolBar* ToolBar1 = nullptr;
    TToolButton* NewBtn = nullptr;
    TToolButton* DeleteBtn = nullptr;
    TToolButton* LoadBtn = nullptr;
    TToolButton* SaveBtn = nullptr;
    TImageList* ImageList1 = nullptr;
    TTreeView* TreeView1 = nullptr;
    TPopupMenu* PopupMenu1 = nullptr;
    TPopupMenu* LoadHistoryMenu = nullptr;
    TOpenDialog* OpenDialog1 = nullptr;
    TSaveDialog* SaveDialog1 = nullptr;

    /// Loads fileName as the new project (after the save question); nothing when the file
    /// does not exist or the user keeps the project.
    void LoadProjectFromFile(const std::string& fileName);
    /// Saves the open project to fileName (nothing without a project).
    void SaveProjectToFile(const std::string& fileName);
    /// The save-changes question: true when the caller may drop or replace the project.
    /// With wait a save it starts is waited for, and a failed save answers false.
    bool CanReplaceProject(bool wait);
    /// Shows the caption for the file and rebuilds the whole tree from the project.
    void RefreshAll();
    /// Stops a running load (the project before it stays) or lets a running save end, the
    /// interface answering meanwhile; returns when no job runs.
    void FinishJob();
    /// The progress form of the running load or save (null when none runs).
    TKThreadForm* JobForm() const { return m_jobForm; }
    /// The project a running load builds (null when none runs).
    TKProject* LoadingProject() const { return m_loading; }

    TKProject* Project() const { return m_project; }
    const std::string& FileName() const { return m_fileName; }
    TKDataBranch* Root() const { return m_root; }
    const std::vector<std::string>& History() const { return m_history; }
    /// 0 none, 1 a load runs, 2 a save runs.
    int Job() const { return m_job; }
    int UpdateDepth() const { return m_updateDepth; }
    bool AllowToggle() const { return m_allowToggle; }
    /// The object of the selected node; null when none is selected or it carries none.
    TObject* SelectedObject() const;
    /// The tree's branch of object (Root for null); null when it has none.
    TKDataBranch* BranchOf(TObject* object) const;
    /// The hook that sees every message first (set by the owner form).
    void SetHook(THook hook) { m_hook = std::move(hook); }
    /// Makes a new project of cls (a TKProject class) after the save question, named
    /// "Un titled project"; false when the user kept the old one.
    bool NewProject(TClass cls);
    /// Counts the rebuilds of the tree or of a part of it (a test looks at it).
    int RebuildCount() const { return m_rebuilds; }

    void WndProc(TMessage& message) override;

protected:
    TKAdministrator() = default;
    std::vector<THandler> Handlers() override;
    void Loaded() override;
    void FormCreate(TObject* sender);
    void FormDestroy(TObject* sender);
    void FormClose(TObject* sender, TCloseAction& action);
    void NewBtnClick(TObject* sender);
    void DeleteBtnClick(TObject* sender);
    void LoadBtnClick(TObject* sender);
    void SaveBtnClick(TObject* sender);
    void HistoryItemClick(TObject* sender);
    void TreeView1Change(TObject* sender, TTreeNode* node);
    void TreeView1Collapsed(TObject* sender, TTreeNode* node);
    void TreeView1Expanded(TObject* sender, TTreeNode* node);
    void TreeView1Collapsing(TObject* sender, TTreeNode* node, bool& allow);
    void TreeView1DblClick(TObject* sender);
    void TreeView1Edited(TObject* sender, TTreeNode* node, std::string& text);
    void TreeView1MouseDown(TObject* sender, TMouseButton button, TShiftState shift, int x, int y);

private:
    /// What waits to be rebuilt: nothing, the whole tree, or the branch of an object (looked
    /// up when the rebuild runs, never kept as a pointer into the tree).
    struct Pending {
        enum class Kind { None, Root, Object } kind = Kind::None;
        TObject* object = nullptr;
    };
    /// What the project's handler posts (wParam: code, lParam: object).
    static constexpr UINT kProjectEvent = WM_USER + 2;

    void ReleaseProject();
    void Subscribe();
    void Unsubscribe();
    void ProjectEvent(TObject* sender, int code, std::intptr_t param);
    void HandleProjectEvent(int code, TObject* object);
    /// The progress form has handled the end of the load or save job.
    void JobEnded(int state, const std::string& error);
    void MergeCandidate(const Pending& candidate);
    void PostRefresh(WPARAM kind, TObject* object);
    void HandleRefresh(WPARAM kind, TObject* object);
    void RebuildBranch(TKDataBranch* branch, TObject* object);
    void UpdateCaption();
    void RebuildMenu();
    void AddHistory(const std::string& path);
    /// The pending part's branch now; null when it is gone.
    TKDataBranch* PendingBranch(const Pending& pending) const;
    /// Runs the project's save job; true when it was started.
    bool StartSave(const std::string& fileName);
    /// Tells which objects of the project loaded from fileName were refused what they asked for.
    void ShowLoadRefusals(const std::string& fileName);
    /// Says that fileName could not be loaded, and why when the reason is known.
    void TellLoadFailed(const std::string& fileName, const std::string& reason);
    void WaitForJob();

    TKProject* m_project = nullptr;
    std::string m_fileName;
    TKDataBranch* m_root = nullptr;
    Pending m_pending;
    bool m_allowToggle = true;
    int m_updateDepth = 0;
    int m_job = 0;
    int m_lastJobState = 0;
    /// The progress form of the running job: alive until it has told this form the end.
    TKThreadForm* m_jobForm = nullptr;
    /// The project a load builds, its file and whether a template asked for it.
    TKProject* m_loading = nullptr;
    std::string m_loadingFile;
    bool m_loadingTemplate = false;
    bool m_templateOpening = false;  ///< a template's Open runs now
    std::string m_savingFile;
    std::vector<std::string> m_history;
    THook m_hook;
    HWND m_handle = nullptr;
    /// Counts subscriptions; events posted under an older one are dropped.
    std::atomic<int> m_generation{0};
    bool m_rebuilding = false;
    CPoint m_lastPress{-1, -1};  ///< the tree's last mouse press
    int m_rebuilds = 0;
};

/// The text of the save question for a project's file (empty: no file yet).
std::string SaveChangesQuestion(const std::string& fileName);
