#include "plugin3d/forms/k_administrator.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>
#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

#include "platform/forms/dialogs.h"
#include "platform/forms/extctrls.h"
#include "platform/forms/image_list.h"
#include "platform/forms/menus.h"
#include "platform/window/modal.h"
#include "platform/window/ui_thread.h"
#include "plugin3d/forms/k_flat_caption.h"
#include "plugin3d/forms/k_load_report.h"
#include "plugin3d/forms/k_load_history.h"
#include "plugin3d/forms/k_new_dialog.h"
#include "plugin3d/forms/k_save_capture.h"
#include "plugin3d/forms/k_thread_form.h"
#include "plugin3d/forms/k_tree_mirror.h"
#include "plugin3d/forms/k_viewer3d.h"
#include "plugin3d/model/core/k_form_links.h"
#include "plugin3d/model/core/k_interfaces.h"
#include "plugin3d/model/core/k_rtd_registry.h"
#include "plugin3d/model/core/k_templates.h"
#include "plugin3d/model/scene/k_custom3d_lists.h"
#include "plugin3d/model/scene/k_project3d.h"

IMPLEMENT_TCLASS(TKAdministrator, TForm)

namespace {

constexpr char kNoProject[] = " - NO PROJECT - ";
constexpr char kUntitledProject[] = "Un titled project";
constexpr char kCaptionSuffix[] = " - KAdministrator";
constexpr char kPlainCaption[] = " KAdministrator";
constexpr char kLoadTitle[] = "Load Project From : ";
constexpr char kSaveTitle[] = "Save Project To : ";
constexpr char kSaveQuestion[] = "Save changes to file";
constexpr char kConfirmCaption[] = "Confirm";
constexpr char kRefusalCaption[] = "Load Project";
constexpr char kLoadFailed[] = "The project could not be loaded from";
constexpr char kSaveFailed[] = "The project could not be saved to";
constexpr char kLayersMissing[] = "These layer files of the project could not be found:";
constexpr char kLayersMissingHint[] =
    "Their surfaces stay flat until the files are back in place or chosen again in the "
    "surface's editor; the project keeps their paths.";
constexpr char kErrorCaption[] = "KAdministrator";

// Posted project events: the code, whether it came relayed (event 11), and the subscription
// it came through, so that events of a project released meanwhile are dropped.
constexpr WPARAM kRelayedBit = WPARAM{1} << 20;
constexpr int kGenerationShift = 24;

bool FileExists(const std::string& name)
{
    std::error_code error;
    return !name.empty() && std::filesystem::is_regular_file(name, error);
}

std::string FullPath(const std::string& name)
{
    std::error_code error;
    const std::filesystem::path full = std::filesystem::absolute(name, error);
    return error ? name : full.lexically_normal().string();
}

std::string FileNamePart(const std::string& name)
{
    return std::filesystem::path(name).filename().string();
}

bool InSubtree(const TKBranch* branch, const TKBranch* top)
{
    return branch && top && (branch == top || branch->HasAncestor(top));
}

// The expanded flags of old's subtree carried onto fresh's: children matched by their object
// when they have one, else by name.
void CopyFlags(TKDataBranch* old, TKDataBranch* fresh)
{
    const int oldCount = old->Count();
    if (oldCount == 0) return;
    // The old children by object, sorted, the first one kept among equals: a list of thousands
    // of objects is matched in one pass and one allocation, not one search per child.
    std::vector<std::pair<TObject*, TKDataBranch*>> byObject;
    byObject.reserve(std::size_t(oldCount));
    for (int i = 0; i < oldCount; ++i)
        if (TKDataBranch* child = old->DataChild(i))
            if (TObject* object = child->Data().AsObject()) byObject.emplace_back(object, child);
    std::stable_sort(byObject.begin(), byObject.end(),
                     [](const auto& a, const auto& b) { return std::less<TObject*>()(a.first, b.first); });
    for (int i = 0; i < fresh->Count(); ++i) {
        TKDataBranch* child = fresh->DataChild(i);
        if (!child) continue;
        TObject* object = child->Data().AsObject();
        TKDataBranch* match = nullptr;
        if (object) {
            const auto found = std::lower_bound(
                byObject.begin(), byObject.end(), object,
                [](const auto& entry, TObject* o) { return std::less<TObject*>()(entry.first, o); });
            match = found != byObject.end() && found->first == object ? found->second : nullptr;
        } else {
            match = old->FindChildByName(child->Name(), true);
        }
        if (!match) continue;
        child->SetFlag(match->Flag());
        if (child->Count() > 0) CopyFlags(match, child);
    }
}

bool IsLeaf(TKDataBranch* branch)
{
    return branch && branch->Count() == 0;
}

// The first group at or below branch (itself first, then its children in order) that has an
// entry to choose directly under it; null when there is none.
TKDataBranch* FirstListingGroup(TKDataBranch* branch)
{
    if (!branch) return nullptr;
    for (int i = 0; i < branch->Count(); ++i)
        if (IsLeaf(branch->DataChild(i))) return branch;
    for (int i = 0; i < branch->Count(); ++i)
        if (TKDataBranch* found = FirstListingGroup(branch->DataChild(i))) return found;
    return nullptr;
}

TKDataBranch* AddEntry(TKDataBranch* parent, const std::string& name, TKData data, std::int32_t tag = 0)
{
    TKDataBranch* entry = TKDataBranch::NewNamed(name, 0, data);
    entry->SetTag(tag);
    parent->AddChild(entry);
    return entry;
}

}  // namespace

std::string SaveChangesQuestion(const std::string& fileName)
{
    std::string text = kSaveQuestion;
    if (!fileName.empty()) text += "\r\n'" + fileName + "' ";
    return text + "?";
}

std::vector<THandler> TKAdministrator::Handlers()
{
    return {
        FORM_HANDLER(FormCreate),        FORM_HANDLER(FormDestroy),         FORM_HANDLER(FormClose),
        FORM_HANDLER(NewBtnClick),       FORM_HANDLER(DeleteBtnClick),      FORM_HANDLER(LoadBtnClick),
        FORM_HANDLER(SaveBtnClick),      FORM_HANDLER(TreeView1Change),     FORM_HANDLER(TreeView1Collapsed),
        FORM_HANDLER(TreeView1Expanded), FORM_HANDLER(TreeView1Collapsing), FORM_HANDLER(TreeView1DblClick),
        FORM_HANDLER(TreeView1Edited),   FORM_HANDLER(TreeView1MouseDown)};
}

void TKAdministrator::Loaded()
{
    KFlatCaption1 = FindControl<TKFlatCaption>("KFlatCaption1");
    Panel1 = FindControl<TPanel>("Panel1");
    ToolBar1 = FindControl<TToolBar>("ToolBar1");
    NewBtn = FindControl<TToolButton>("NewBtn");
    DeleteBtn = FindControl<TToolButton>("DeleteBtn");
    LoadBtn = FindControl<TToolButton>("LoadBtn");
    SaveBtn = FindControl<TToolButton>("SaveBtn");
    ImageList1 = FindControl<TImageList>("ImageList1");
    TreeView1 = FindControl<TTreeView>("TreeView1");
    PopupMenu1 = FindControl<TPopupMenu>("PopupMenu1");
    LoadHistoryMenu = FindControl<TPopupMenu>("LoadHistoryMenu");
    OpenDialog1 = FindControl<TOpenDialog>("OpenDialog1");
    SaveDialog1 = FindControl<TSaveDialog>("SaveDialog1");
}

namespace {

// The administrator whose loader the model's templates reach (TKFormLinks): the one open.
std::atomic<TKAdministrator*> g_loader{nullptr};

void LoadThroughAdministrator(const std::string& fileName)
{
    if (TKAdministrator* admin = g_loader.load()) admin->LoadProjectFromFile(fileName);
}

}  // namespace

void TKAdministrator::FormCreate(TObject*)
{
    m_handle = GetSafeHwnd();
    m_project = nullptr;
    m_hook = nullptr;
    m_fileName.clear();
    m_pending = {};
    m_root = TKDataBranch::NewNamed(kNoProject, 1);
    m_allowToggle = true;
    m_updateDepth = 0;
    m_job = 0;
    KFlatCaption1->SetHeight(24);
    Panel1->SetHeight(30);
    // The one top node stands for the root branch: the project, or no project.
    TreeView1->Items()->Clear();
    TreeView1->Items()->AddObject(nullptr, "- NO PROJECT -", static_cast<TObject*>(m_root));
    m_history = ReadLoadHistory();
    RebuildMenu();
    TreeView1Change(TreeView1, nullptr);
    // A template chosen in New loads its file through this window.
    g_loader.store(this);
    TKFormLinks links = FormLinks();
    links.loadProjectFromFile = LoadThroughAdministrator;
    SetFormLinks(links);
}

void TKAdministrator::FormDestroy(TObject*)
{
    if (TKAdministrator* self = this; g_loader.compare_exchange_strong(self, nullptr)) {
        TKFormLinks links = FormLinks();
        links.loadProjectFromFile = nullptr;
        SetFormLinks(links);
    }
    // A save still running works on the project: it ends before the project goes; a load
    // is stopped and its half-read project freed.
    FinishJob();
    ReleaseProject();
    WriteLoadHistory(m_history);
    m_history.clear();
    m_hook = nullptr;
    m_pending = {};
    if (TTreeNode* top = TreeView1->Items()->GetFirstNode()) top->SetData(nullptr);
    FreeAndNil(m_root);
}

void TKAdministrator::FormClose(TObject*, TCloseAction& action)
{
    action = CanReplaceProject(true) ? caFree : caNone;
}

void TKAdministrator::WndProc(TMessage& message)
{
    if (m_hook && m_hook(message)) return;
    switch (message.Msg) {
        case kProjectEvent: {
            const int generation = static_cast<int>(message.WParam >> kGenerationShift);
            if (generation != (m_generation.load() & 0xFF)) return;  // a project released since
            const int code = static_cast<int>(message.WParam & 0xFFFFF);
            const bool relayed = (message.WParam & kRelayedBit) != 0;
            HandleProjectEvent(relayed ? -code : code, reinterpret_cast<TObject*>(message.LParam));
            return;
        }
        case WM_ADMIN_REFRESH:
            HandleRefresh(message.WParam, reinterpret_cast<TObject*>(message.LParam));
            return;
        default:
            break;
    }
    TForm::WndProc(message);
}

// --- the project ---------------------------------------------------------------------------

void TKAdministrator::Subscribe()
{
    if (!m_project) return;
    ++m_generation;
    m_updateDepth = 0;
    m_project->Events().Add(TKEventHandler::Of<&TKAdministrator::ProjectEvent>(this));
}

void TKAdministrator::Unsubscribe()
{
    ++m_generation;
    m_updateDepth = 0;
    if (m_project) m_project->Events().Remove(TKEventHandler::Of<&TKAdministrator::ProjectEvent>(this));
}

void TKAdministrator::ReleaseProject()
{
    m_fileName.clear();
    Unsubscribe();
    TKProject* project = m_project;
    m_project = nullptr;
    m_pending = {};
    FreeObject(project);
}

bool TKAdministrator::NewProject(TClass cls)
{
    if (!cls || !cls->InheritsFrom(TKProject::StaticClass()) || !CanReplaceProject(true)) return false;
    ReleaseProject();
    auto* project = static_cast<TKProject*>(cls->Construct(nullptr));
    project->SetName(kUntitledProject);
    project->SetModified(false);
    m_project = project;
    Subscribe();
    RefreshAll();
    return true;
}

// Any thread: only what happened is posted; the window does the bookkeeping.
void TKAdministrator::ProjectEvent(TObject* sender, int code, std::intptr_t param)
{
    bool relayed = false;
    while (code == kevItemEvent && param) {
        const auto* record = reinterpret_cast<const TItemEvent*>(param);
        sender = record->Sender;
        code = record->Code;
        param = record->Param;
        relayed = true;
    }
    switch (code) {
        case kevDestroyed:
        case kevChangeBegins:
        case kevChangeEnds:
        case kevNameChanged:
        case 9:
        case kevListChanged:
            break;
        default:
            return;
    }
    const WPARAM wParam = static_cast<WPARAM>(code) | (relayed ? kRelayedBit : 0) |
                          (static_cast<WPARAM>(m_generation.load() & 0xFF) << kGenerationShift);
    ::PostMessage(m_handle, kProjectEvent, wParam, reinterpret_cast<LPARAM>(sender));
}

// code < 0: the event -code came relayed from an object of the project.
void TKAdministrator::HandleProjectEvent(int code, TObject* object)
{
    const bool relayed = code < 0;
    if (relayed) code = -code;
    switch (code) {
        case kevDestroyed:
            if (!relayed) {
                if (object != m_project || !m_project) return;
                // The project went without us: forget it, the tree follows.
                m_project = nullptr;
                m_fileName.clear();
                m_updateDepth = 0;
                m_pending = {Pending::Kind::Root, nullptr};
                PostRefresh(1, nullptr);
                return;
            }
            if (TKDataBranch* branch = BranchOf(object)) {
                // The nearest branch above it that stands for an object (group nodes carry none).
                auto* parent = ObjectAs<TKDataBranch>(branch->Parent());
                while (parent && parent != m_root && !parent->Data().AsObject())
                    parent = ObjectAs<TKDataBranch>(parent->Parent());
                if (parent && parent != m_root) {
                    MergeCandidate({Pending::Kind::Object, parent->Data().AsObject()});
                    return;
                }
            }
            MergeCandidate({Pending::Kind::Root, nullptr});
            return;
        case kevChangeBegins:
            ++m_updateDepth;
            return;
        case kevChangeEnds:
            if (m_updateDepth > 0) --m_updateDepth;
            if (m_updateDepth == 0 && m_pending.kind != Pending::Kind::None) PostRefresh(1, nullptr);
            return;
        case kevNameChanged:
        case 9:
            PostRefresh(0, object);
            return;
        case kevListChanged: {
            TKDataBranch* branch = BranchOf(object);
            if (branch && branch != m_root && branch->Data().AsObject())
                MergeCandidate({Pending::Kind::Object, object});
            else
                MergeCandidate({Pending::Kind::Root, nullptr});
            return;
        }
        default:
            return;
    }
}

TKDataBranch* TKAdministrator::PendingBranch(const Pending& pending) const
{
    switch (pending.kind) {
        case Pending::Kind::Root:
            return m_root;
        case Pending::Kind::Object:
            return BranchOf(pending.object);
        default:
            return nullptr;
    }
}

void TKAdministrator::MergeCandidate(const Pending& candidate)
{
    if (candidate.kind == Pending::Kind::None) return;
    if (m_pending.kind != Pending::Kind::Root) {
        TKDataBranch* pending = PendingBranch(m_pending);
        TKDataBranch* wanted = PendingBranch(candidate);
        if (m_pending.kind == Pending::Kind::None || !pending) {
            m_pending = wanted ? candidate : Pending{Pending::Kind::Root, nullptr};
        } else if (!wanted) {
            m_pending = {Pending::Kind::Root, nullptr};
        } else if (InSubtree(wanted, pending)) {
            // already covered
        } else if (InSubtree(pending, wanted)) {
            m_pending = candidate;
        } else {
            // The nearest branch above both that stands for an object, else the whole tree.
            TKTreeLock lock;
            TKBranch* common = pending;
            while (common && !InSubtree(wanted, common)) common = common->Parent();
            auto* branch = ObjectAs<TKDataBranch>(common);
            while (branch && branch != m_root && !branch->Data().AsObject())
                branch = ObjectAs<TKDataBranch>(branch->Parent());
            if (branch && branch != m_root)
                m_pending = {Pending::Kind::Object, branch->Data().AsObject()};
            else
                m_pending = {Pending::Kind::Root, nullptr};
        }
    }
    if (m_updateDepth < 1) PostRefresh(1, nullptr);
}

void TKAdministrator::PostRefresh(WPARAM kind, TObject* object)
{
    ::PostMessage(m_handle, WM_ADMIN_REFRESH, kind, reinterpret_cast<LPARAM>(object));
}

void TKAdministrator::HandleRefresh(WPARAM kind, TObject* object)
{
    if (kind == 0) {
        if (!object) return;
        if (object == m_project) {
            RefreshAll();
            return;
        }
        TKDataBranch* branch = BranchOf(object);
        TTreeNode* node =
            branch ? FindNodeByData(static_cast<TObject*>(branch), TreeView1->Items()) : nullptr;
        if (!node) {
            RefreshAll();
            return;
        }
        const std::string caption = RequestCaption(object);
        branch->SetName(caption);
        node->SetText(caption);
        return;
    }
    if (kind != 1 || m_pending.kind == Pending::Kind::None) return;
    const Pending pending = m_pending;
    m_pending = {};
    TKDataBranch* branch = PendingBranch(pending);
    if (pending.kind == Pending::Kind::Object && branch && m_project)
        RebuildBranch(branch, pending.object);
    else
        RefreshAll();
}

TKDataBranch* TKAdministrator::BranchOf(TObject* object) const
{
    if (!m_root) return nullptr;
    if (!object) return m_root;
    TKTreeLock lock;
    return m_root->FindDataInTree(TKData::OfObject(object));
}

void TKAdministrator::RefreshAll()
{
    m_pending = {};
    UpdateCaption();
    RebuildBranch(m_root, m_project);
}

void TKAdministrator::UpdateCaption()
{
    KFlatCaption1->SetCaption(FileExists(m_fileName) ? FileNamePart(m_fileName) + kCaptionSuffix
                                                     : kPlainCaption);
}

void TKAdministrator::RebuildBranch(TKDataBranch* branch, TObject* object)
{
    TTreeNodes* nodes = TreeView1->Items();
    TTreeNode* node = FindNodeByData(static_cast<TObject*>(branch), nodes);
    if (!node) return;
    ++m_rebuilds;
    if (object) {
        TOwned<TKDataBranch> fresh(TKDataBranch::NewNamed(""));
        RequestFillBranch(m_project, object, fresh.get());
        TKTreeLock lock;
        CopyFlags(branch, fresh.get());
        branch->SetName(fresh->Name());
        branch->SetData(fresh->Data());
        branch->SetCount(0);
        while (fresh->Count() > 0) branch->AddChild(fresh->GetChild(0));
    } else {
        TKTreeLock lock;
        branch->SetCount(0);
        branch->SetName(kNoProject);
        branch->SetData({});
        branch->SetFlag(1);
    }
    m_rebuilding = true;
    try {
        FillNodeFromBranch(branch, nodes, node);
    } catch (...) {
        m_rebuilding = false;
        throw;
    }
    m_rebuilding = false;
    TreeView1Change(TreeView1, TreeView1->Selected());
}

// --- jobs ----------------------------------------------------------------------------------

// The progress form tells the end of its job here, on this thread, once, after it has
// handled it; nothing of the job's thread is read afterwards.
void TKAdministrator::JobEnded(int state, const std::string& error)
{
    m_jobForm = nullptr;
    const int job = m_job;
    if (job == 0) return;
    m_lastJobState = state;
    m_job = 0;
    if (job == 2) {
        // Only a finished save makes the project unmodified; the saved file exists only now,
        // so the caption names it from here on.
        if (state == ktsDone && m_project) m_project->SetModified(false);
        UpdateCaption();
        TreeView1Change(TreeView1, nullptr);
        if (state == ktsFailed) {
            std::string text = std::string(kSaveFailed) + "\r\n'" + m_savingFile + "'";
            if (!error.empty()) text += ":\r\n" + error;
            Application->MessageBox(text, kErrorCaption, MB_OK | MB_ICONERROR);
        }
        return;
    }
    // A load: the new project replaces the one that was open only when it loaded whole; a
    // failed or stopped load leaves the one before as it was.
    TKProject* loaded = m_loading;
    m_loading = nullptr;
    const std::string fileName = m_loadingFile;
    const bool fromTemplate = m_loadingTemplate;
    if (state != ktsDone) {
        try {
            FreeObject(loaded);
        } catch (...) {
        }
        TakeMissingLayerFiles();
        RefreshAll();
        if (state == ktsFailed) TellLoadFailed(fileName, error);
        return;
    }
    ReleaseProject();
    m_project = loaded;
    m_project->SetModified(false);
    // A project started from a template has no file of its own yet: its first save asks for a
    // name, so that it never overwrites the template or an earlier project.
    m_fileName = fromTemplate ? std::string() : fileName;
    Subscribe();
    AddHistory(FullPath(fileName));
    RefreshAll();
    const std::vector<std::string> missing = TakeMissingLayerFiles();
    if (!missing.empty()) {
        std::string text = kLayersMissing;
        for (const std::string& path : missing) text += "\r\n" + path;
        text += "\r\n\r\n";
        text += kLayersMissingHint;
        Application->MessageBox(text, kErrorCaption, MB_OK | MB_ICONWARNING);
    }
    ShowLoadRefusals(fileName);
}

// Sizes the file asked for and did not get: the project is open without them, and the user
// learns which objects and what sizes.
void TKAdministrator::ShowLoadRefusals(const std::string& fileName)
{
    if (!m_project) return;
    const std::vector<std::string> refusals = m_project->TakeLoadRefusals();
    if (refusals.empty() || !Application) return;
    std::string text = "\"" + fileName + "\" is open, but these parts were refused what they ask for:";
    for (const std::string& refusal : refusals) text += "\r\n\r\n" + refusal;
    Application->MessageBox(text, kRefusalCaption, MB_OK | MB_ICONWARNING);
}

void TKAdministrator::WaitForJob()
{
    while (m_job != 0) {
        if (Application) Application->ProcessMessages();
        if (m_job != 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void TKAdministrator::FinishJob()
{
    // A load is stopped (the project before it stays); a save is let finish.
    if (m_job == 1 && m_jobForm)
        if (TKThread* thread = m_jobForm->Thread()) thread->Stop();
    WaitForJob();
}

void TKAdministrator::LoadProjectFromFile(const std::string& fileName)
{
    if (m_job != 0 || !FileExists(fileName) || !CanReplaceProject(true)) return;
    TKProject* project = nullptr;
    try {
        project = CreateProjectFromFile(fileName);
    } catch (const Exception& error) {
        TellLoadFailed(fileName, error.Message());
        return;
    } catch (const std::exception& error) {
        TellLoadFailed(fileName, error.what());
        return;
    }
    if (!project) {
        TellLoadFailed(fileName, std::string());
        return;
    }
    // The project open stays until the new one has loaded: a load that fails or is stopped
    // with Break leaves it as it was.
    m_loading = project;
    m_loadingFile = fileName;
    m_loadingTemplate = m_templateOpening;
    m_job = 1;
    m_lastJobState = ktsRunning;
    TreeView1Change(TreeView1, nullptr);
    TakeMissingLayerFiles();  // what an earlier load left unsaid is not this one's
    auto* params = TKThreadParams::NewWith(fileName.data(), static_cast<int>(fileName.size()));
    try {
        // The job runs on the progress form's thread: every window keeps answering, the bar
        // moves and Break stops the load.
        m_jobForm = RunJobInForm(kLoadTitle + fileName, params, {},
                                 TKJob::Of<&TKProject::LoadProject>(project), false);
        m_jobForm->SetOnEnded([this](int state, const std::string& error) { JobEnded(state, error); });
    } catch (const Exception& e) {
        m_jobForm = nullptr;
        JobEnded(ktsFailed, e.Message());
    }
}

void TKAdministrator::TellLoadFailed(const std::string& fileName, const std::string& reason)
{
    std::string text = std::string(kLoadFailed) + "\r\n'" + fileName + "'";
    if (!reason.empty()) text += ":\r\n" + reason;
    Application->MessageBox(text, kErrorCaption, MB_OK | MB_ICONERROR);
}

bool TKAdministrator::StartSave(const std::string& fileName)
{
    if (!m_project || m_job != 0) return false;
    m_job = 2;
    m_lastJobState = ktsRunning;
    m_savingFile = fileName;
    TreeView1Change(TreeView1, nullptr);
    // The job writes the windows as they are now, taken here: no form code runs on its thread.
    CaptureViewerPlacements(ObjectAs<TKelvora3DProject>(m_project));
    CaptureFormsForSave();
    auto* params = TKThreadParams::NewWith(fileName.data(), static_cast<int>(fileName.size()));
    try {
        m_jobForm = RunJobInForm(kSaveTitle + fileName, params, {},
                                 TKJob::Of<&TKProject::SaveProject>(m_project), false);
        m_jobForm->SetOnEnded([this](int state, const std::string& error) { JobEnded(state, error); });
    } catch (...) {
        m_jobForm = nullptr;
        m_job = 0;
        m_lastJobState = ktsFailed;
        TreeView1Change(TreeView1, nullptr);
        throw;
    }
    AddHistory(fileName);
    m_fileName = fileName;
    RefreshAll();
    return true;
}

void TKAdministrator::SaveProjectToFile(const std::string& fileName)
{
    StartSave(fileName);
}

bool TKAdministrator::CanReplaceProject(bool wait)
{
    if (m_job != 0) return false;
    if (!m_project || !m_project->Modified()) {
        if (m_project) m_project->SetModified(false);
        return true;
    }
    const int answer = Application->MessageBox(SaveChangesQuestion(m_fileName), kConfirmCaption,
                                               MB_YESNOCANCEL | MB_ICONQUESTION);
    if (answer == IDCANCEL) return false;
    if (answer == IDNO) return true;
    std::string target;
    if (FileExists(m_fileName)) {
        target = m_fileName;
    } else {
        SaveDialog1->SetFileName(m_fileName);
        // The user asked for a save: cancelling its dialog keeps the project.
        if (!SaveDialog1->Execute()) return false;
        target = FullPath(SaveDialog1->FileName());
    }
    if (!StartSave(target)) return false;
    if (!wait) return true;
    WaitForJob();
    return m_lastJobState == ktsDone;
}

// --- history -------------------------------------------------------------------------------

void TKAdministrator::AddHistory(const std::string& path)
{
    AddToLoadHistory(m_history, path);
    RebuildMenu();
}

void TKAdministrator::RebuildMenu()
{
    LoadHistoryMenu->Items()->Clear();
    for (const std::string& path : m_history) {
        TMenuItem* item = TMenuItem::New(LoadHistoryMenu);
        item->SetCaption(path);
        item->SetOnClick(TNotifyEvent::Of<&TKAdministrator::HistoryItemClick>(this));
        LoadHistoryMenu->Items()->Add(item);
    }
}

void TKAdministrator::HistoryItemClick(TObject* sender)
{
    if (auto* item = ObjectAs<TMenuItem>(sender)) LoadProjectFromFile(std::string(item->Caption()));
}

void TKAdministrator::LoadBtnClick(TObject*)
{
    if (m_job != 0) return;
    OpenDialog1->SetFileName(m_fileName);
    if (OpenDialog1->Execute()) LoadProjectFromFile(FullPath(OpenDialog1->FileName()));
}

void TKAdministrator::SaveBtnClick(TObject*)
{
    if (!m_project || m_job != 0) return;
    SaveDialog1->SetFileName(m_fileName);
    if (SaveDialog1->Execute()) SaveProjectToFile(FullPath(SaveDialog1->FileName()));
}

// --- the tree ------------------------------------------------------------------------------

TObject* TKAdministrator::SelectedObject() const
{
    // The tree keeps a current node also when none is highlighted (the project's, after a
    // rebuild): only a node the user sees highlighted is acted on.
    auto* branch = ObjectAs<TKDataBranch>(NodeBranch(TreeView1->Highlighted()));
    return branch ? branch->Data().AsObject() : nullptr;
}

void TKAdministrator::TreeView1Change(TObject*, TTreeNode*)
{
    // While the tree is rebuilt its nodes still carry the branches just freed.
    if (m_rebuilding) return;
    TObject* object = SelectedObject();
    m_allowToggle = object == nullptr;
    // While a job reads or builds the project nothing may change or free it.
    const bool idle = m_job == 0;
    DeleteBtn->SetEnabled(idle && m_project && object &&
                          m_project->Operation(kopCanDelete, reinterpret_cast<std::intptr_t>(object)) != 0);
    NewBtn->SetEnabled(idle);
    LoadBtn->SetEnabled(idle);
    SaveBtn->SetEnabled(idle && m_project);
}

void TKAdministrator::TreeView1Collapsed(TObject*, TTreeNode* node)
{
    if (m_rebuilding) return;
    if (auto* branch = ObjectAs<TKDataBranch>(NodeBranch(node))) branch->SetFlag(0);
}

void TKAdministrator::TreeView1Expanded(TObject*, TTreeNode* node)
{
    if (m_rebuilding) return;
    if (auto* branch = ObjectAs<TKDataBranch>(NodeBranch(node))) branch->SetFlag(1);
}

void TKAdministrator::TreeView1Collapsing(TObject*, TTreeNode* node, bool& allow)
{
    if (m_rebuilding) return;
    CPoint mouse;
    GetCursorPos(&mouse);
    const CPoint at = TreeView1->ScreenToClient(mouse);
    if (!(TreeView1->GetHitTestInfoAt(at.x, at.y) & htOnLabel)) return;
    auto* branch = ObjectAs<TKDataBranch>(NodeBranch(node));
    if (branch && branch->Data().AsObject()) allow = m_allowToggle;
}

void TKAdministrator::TreeView1DblClick(TObject*)
{
    // A double-click is pressed where its first press was.
    if (!(TreeView1->GetHitTestInfoAt(m_lastPress.x, m_lastPress.y) & htOnLabel)) return;
    TObject* object = SelectedObject();
    if (m_project && object)
        m_project->Operation(kopOpenObjectEditor, reinterpret_cast<std::intptr_t>(object));
}

void TKAdministrator::TreeView1Edited(TObject*, TTreeNode* node, std::string& text)
{
    if (m_job != 0) return;
    auto* branch = ObjectAs<TKDataBranch>(NodeBranch(node));
    if (TObject* object = branch ? branch->Data().AsObject() : nullptr) RequestRename(object, text);
}

void TKAdministrator::TreeView1MouseDown(TObject*, TMouseButton button, TShiftState, int x, int y)
{
    m_lastPress = CPoint(x, y);
    if (button != mbRight) return;
    PopupMenu1->Items()->Clear();
    if (m_job != 0 || !(TreeView1->GetHitTestInfoAt(x, y) & htOnLabel)) return;
    TObject* object = SelectedObject();
    if (!object || !m_project) return;
    TObject* holder = object;
    if (m_project->Operation(kopDepositoryOf, reinterpret_cast<std::intptr_t>(&holder)) < 0) holder = nullptr;
    TKObjectRequest request;
    request.Project = m_project;
    request.Object = object;
    request.Container = holder;
    request.Kind = korPopupMenu;
    request.Argument = reinterpret_cast<std::intptr_t>(static_cast<TObject*>(PopupMenu1));
    SendObjectRequest(object->ClassType(), request);
    if (PopupMenu1->Items()->Count() > 0) {
        TMenuItem* line = TMenuItem::New(PopupMenu1);
        line->SetCaption("-");
        PopupMenu1->Items()->Add(line);
    }
    TMenuItem* item = TMenuItem::New(PopupMenu1);
    item->SetCaption("New...");
    item->SetOnClick(TNotifyEvent::Of<&TKAdministrator::NewBtnClick>(this));
    PopupMenu1->Items()->Add(item);
    const CPoint at = TreeView1->ClientToScreen(CPoint(x, y));
    PopupMenu1->Popup(at.x, at.y);
}

void TKAdministrator::DeleteBtnClick(TObject*)
{
    TObject* object = SelectedObject();
    if (m_job != 0 || !m_project || !object) return;
    if (m_project->Operation(kopCanDelete, reinterpret_cast<std::intptr_t>(object)) == 0) return;
    if (object == m_project) {
        // The whole project goes: its unsaved changes are asked about as for New and Load.
        if (!CanReplaceProject(true)) return;
        ReleaseProject();
        RefreshAll();
        return;
    }
    FreeObject(object);
}

void TKAdministrator::NewBtnClick(TObject*)
{
    if (m_job != 0) return;
    TObject* target = SelectedObject();
    if (!target) target = m_project;

    TOwned<TKDataBranch> choices(TKDataBranch::NewNamed(""));
    TKDataBranch* projectNode = nullptr;
    TKDataBranch* targetNode = nullptr;
    {
        TKDataBranch* projects = AddEntry(choices.get(), "Projects", {});
        std::vector<TClass> classes;
        {
            TKTreeLock lock;
            TKDataBranch* registry = RegistryFind(nullptr);
            if (TKDataBranch* interfaces =
                    registry ? registry->FindChildByName("KInterfaces", false) : nullptr)
                for (int i = 0; i < interfaces->Count(); ++i)
                    if (TKDataBranch* node = interfaces->DataChild(i))
                        // TKProject itself is only the base: a project of it has no lists.
                        if (TClass cls = node->Data().AsClass(); cls && cls != TKProject::StaticClass() &&
                                                                 cls->InheritsFrom(TKProject::StaticClass()))
                            classes.push_back(cls);
        }
        for (TClass cls : classes) AddEntry(projects, GetClassCaption(cls), TKData::OfClass(cls));

        TKDataBranch* templates = TKDataBranch::NewNamed("Templates");
        {
            TKTreeLock lock;
            if (TKDataBranch* list = GetClassInfoBranch(TKProject::StaticClass(), kciTemplates, false))
                for (int i = 0; i < list->Count(); ++i)
                    if (TKDataBranch* entry = list->DataChild(i))
                        AddEntry(templates, entry->Name(), entry->Data(), entry->Tag());
        }
        if (templates->Count() > 0)
            choices->AddChild(templates);
        else
            FreeObject(templates);

        if (m_project) {
            projectNode = AddEntry(choices.get(), m_project->Name(), {});
            RequestSubItems(m_project->ClassType(), projectNode);
        }
        if (target && target != m_project) {
            targetNode = AddEntry(choices.get(), RequestCaption(target), {});
            RequestSubItems(target->ClassType(), targetNode);
        }
    }

    // The dialog opens on the last group that lists something: the target's entries, else
    // the project's, else the projects; an empty group would show nothing to choose.
    TKDataBranch* initial = nullptr;
    for (int i = choices->Count() - 1; i >= 0 && !initial; --i)
        initial = FirstListingGroup(choices->DataChild(i));
    TKDataBranch* chosen = nullptr;
    if (!TKNewDialog::Execute(choices.get(), initial, chosen) || !chosen) return;
    const TClass cls = chosen->Data().AsClass();
    if (!cls) return;

    if (cls->InheritsFrom(TKTemplate::StaticClass())) {
        TOwned<TKTemplate> opened(TKTemplate::NewForIndex(chosen->Tag()));
        // The load it starts keeps no file name of its own when it ends (JobEnded).
        m_templateOpening = true;
        try {
            opened->Open();
        } catch (...) {
            m_templateOpening = false;
            throw;
        }
        m_templateOpening = false;
        return;
    }

    // Where the entry was listed says where the new object goes.
    TKDataBranch* group = chosen;
    while (group && group->Parent() != choices.get()) group = ObjectAs<TKDataBranch>(group->Parent());
    TObject* parent = nullptr;
    if (group && group == projectNode)
        parent = m_project;
    else if (group && group == targetNode)
        parent = target;

    if (parent && m_project) {
        TKCreateObjectRequest record{parent == m_project ? nullptr : parent, cls, nullptr};
        m_project->Operation(kopCreateObject, reinterpret_cast<std::intptr_t>(&record));
        RefreshAll();
        if (TKDataBranch* branch = record.Object ? BranchOf(record.Object) : nullptr) {
            branch->SetFlag(1);
            if (TTreeNode* node = FindNodeByData(static_cast<TObject*>(branch), TreeView1->Items())) {
                node->SetExpanded(true);
                TreeView1->SetSelected(node);
                TreeView1->SetFocus();
            }
        }
        return;
    }
    if (!parent && cls->InheritsFrom(TKProject::StaticClass())) NewProject(cls);
}
