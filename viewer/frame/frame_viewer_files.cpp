// Loading layers into the viewer frame and saving the user's changes back into the file.

#include <cstring>
#include <memory>
#include <string>

#include "outside/basecore/data_type.h"
#include "outside/basecore/file_helpers.h"
#include "outside/basecore/coord_law_data.h"
#include "outside/basecore/info_file_dialog.h"
#include "outside/basecore/layer_description.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/settings.h"
#include "outside/basecore/tags.h"
#include "outside/huebook/color_map.h"
#include "platform/frame/control_bar.h"
#include "platform/last_error.h"
#include "platform/window/modal.h"
#include "platform/window/ui_thread.h"
#include "viewer/analysis/hist_frame.h"
#include "viewer/analysis/new_file_dlg.h"
#include "viewer/analysis/rgb_channels_dlg.h"
#include "viewer/analysis/scale_mark_wnd.h"
#include "viewer/analysis/value_grid_pane.h"
#include "viewer/frame/frame_save.h"
#include "viewer/frame/frame_viewer.h"
#include "viewer/frame/frame_viewer_internal.h"
#include "viewer/core/raster_view.h"
#include "viewer/core/raster_view_cache.h"

namespace frame_files {

CString WorkDir()
{
    return GetStringValue("\\Settings\\General", "WorkDir");
}

CVirtualView* ActiveSingleBand(CViewRect& view)
{
    CVirtualView* active = view.GetActiveView();
    return active && active->GetViewKind() == kViewKindSingleBand ? active : nullptr;
}

}  // namespace frame_files

using frame_files::OnUi;

namespace {

constexpr const char* kNewFileName = "New File";
constexpr const char* kNewFileTitle = "New File";

/// The stretch a file was last shown with, from its display cache; 0, 0.0, 0.0 without one.
STmpInfo StoredStretch(const char* file, int component)
{
    // The stretch of the cache the view itself would reuse: beside the file, or in the
    // temporary folder under the name the view gives it there.
    STmpInfo info;
    RasterCacheHeader header;
    if (file && *file && FindRasterCacheStretch(file, component, &header)) {
        info.stretchMethod = header.stretchMethod;
        info.low = header.low;
        info.high = header.high;
        info.sourceTime = header.sourceTime;
    }
    return info;
}

/// The tag that keeps the colour map of a complex component.
int PaletteTagOf(int component)
{
    switch (component) {
        case 1:
            return 504;
        case 2:
            return 502;
        case 3:
            return 503;
        default:
            return 501;
    }
}

/// What the pending tags hold, read from the view window on the user-interface thread.
struct TagSnapshot {
    std::vector<BYTE> palette;
    int paletteTag = 501;
    bool hasLaw = false;
    CPointT<double> from, to;
};

TagSnapshot SnapshotTags(CViewRect& viewRect, UINT pending)
{
    TagSnapshot r;
    CVirtualView* view = viewRect.GetActiveView();
    if ((pending & kSavePalette) && view) {
        if (CColorMap* map = view->GetColorMap()) {
            const int size = map->GetSizeToSave();
            if (size > 0) {
                r.palette.resize(size_t(size));
                if (!map->SaveColorMapToPtr(r.palette.data(), size)) r.palette.clear();
            }
        }
        r.paletteTag = PaletteTagOf(std::max(0, view->GetComplexMode(1)));
    }
    if (pending & kSaveLogicalCoords) {
        const CCoordLawData* law = viewRect.GetCoordLaw();
        const int w = viewRect.GetImageWidthPx(), h = viewRect.GetImageHeightPx();
        if (law && w > 0 && h > 0) {
            r.hasLaw = true;
            r.from = law->GetLogicalCoord(0.0, 0.0);
            r.to = law->GetLogicalCoord(double(w), double(h));
        }
    }
    return r;
}

/// A description tag: the text and its terminating zero.
bool TextTag(const CString& text, std::vector<BYTE>* bytes)
{
    const std::size_t length = std::strlen(text.c_str());
    if (length > std::size_t(CLayerDescription::kMaxTextBytes)) return false;
    bytes->assign(text.c_str(), text.c_str() + length + 1);
    return true;
}

/// The palette and the two descriptions of `pending` as one set of tag edits (one rewrite
/// of the file instead of three); the pending bits they cover go to `covered`.
TagEdits PaletteAndDescriptionEdits(const TagSnapshot& snap, UINT pending, const CString& caption,
                                    const CString& description, UINT* covered)
{
    TagEdits edits;
    *covered = 0;
    if ((pending & kSavePalette) && !snap.palette.empty()) {
        edits.set[snap.paletteTag] = snap.palette;
        *covered |= kSavePalette;
    }
    std::vector<BYTE> descriptionTag, captionTag;
    if ((pending & kSaveProperties) && TextTag(description, &descriptionTag) &&
        TextTag(caption, &captionTag)) {
        edits.set[CLayerDescription::kDescriptionTag] = std::move(descriptionTag);
        edits.set[CLayerDescription::kCaptionTag] = std::move(captionTag);
        *covered |= kSaveProperties;
    }
    return edits;
}

/// The system's text for the last error, in the box a failed save shows.
void ReportSaveFailure(HWND owner, DWORD error, const std::string& why = {})
{
    CString text = error ? GetErrorMessage(error) : CString("The file could not be written.");
    if (!why.empty()) text += CString("\n") + why.c_str() + ".\nThe file was left as it was.";
    OnUi([&] { ::MessageBox(owner, text, "", MB_OK | MB_ICONEXCLAMATION); });
}

}  // namespace

// --- loading ------------------------------------------------------------------------------------------

void CFrameViewer::LoadNewFile(const char* file, int component, double stretchLow, double stretchHigh,
                               int stretchMethod, int /*openMode*/)
{
    m_ViewRect.CloseAll();
    LoadNewLayer(file, component, stretchLow, stretchHigh, stretchMethod, 0);
}

int CFrameViewer::LoadNewLayer(const char* file, int component, double stretchLow, double stretchHigh,
                               int stretchMethod, int openMode)
{
    try {
        m_nPendingSaves = 0;
        FreezForInput(1);
        const int result = m_ViewRect.AddTransformedLayer(
            file, component, stretchLow, stretchHigh, stretchMethod, openMode, &m_MeterInfo, &m_wndStatusBar);
        m_CurrentFile.name = file ? file : "";
        m_CurrentFile.component = component;
        m_nStretchMethod = stretchMethod;
        if (CVirtualView* view = m_ViewRect.GetActiveView()) {
            m_CurrentFile.low = view->GetDisplayMin(1);
            m_CurrentFile.high = view->GetDisplayMax(1);
        }
        return result;
    } catch (...) {
        frame_files::ReportLoadException(*this, m_CurrentFile, m_pParent, m_nNotifyId);
        return -1;
    }
}

int CFrameViewer::LoadNewLayer(const char* name, void* samples, int width, int height, int type,
                               unsigned char* correction, PalitraTag* palette, double low, double high,
                               CMeterInfoBase* meter, CStatusBar* status)
{
    try {
        m_nPendingSaves = 0;
        FreezForInput(1);
        if (!meter) meter = &m_MeterInfo;
        if (!status) status = &m_wndStatusBar;
        const int result = m_ViewRect.AddRasterLayer(name, samples, width, height, type, correction, palette,
                                                     low, high, meter, status);
        if (result < 0) FreezForInput(0);
        return result;
    } catch (...) {
        frame_files::ReportLoadException(*this, m_CurrentFile, m_pParent, m_nNotifyId);
        return -1;
    }
}

int CFrameViewer::LoadNewLayer(ViewResultParam* red, ViewResultParam* green, ViewResultParam* blue)
{
    try {
        m_ViewRect.CloseAll();
        m_wndToolBar.Invalidate();
        m_nPendingSaves = 0;
        FreezForInput(1);
        const int result = m_ViewRect.AddRgbLayer(red, green, blue, &m_MeterInfo, &m_wndStatusBar);
        // Nothing will report back for a composite that could not even be started.
        if (result < 0) FreezForInput(0);
        return result;
    } catch (...) {
        frame_files::ReportLoadException(*this, m_CurrentFile, m_pParent, m_nNotifyId);
        return -1;
    }
}

int CFrameViewer::LoadNewLayer(CVectorImage* vectors)
{
    try {
        return m_ViewRect.AddVectorLayer(vectors);
    } catch (...) {
        frame_files::ReportLoadException(*this, m_CurrentFile, m_pParent, m_nNotifyId);
        return -1;
    }
}

void CFrameViewer::LoadNewFileEx(CString file, int component)
{
    CloseAll();
    const STmpInfo stored = StoredStretch(file, component);
    LoadNewFile(file, component, stored.low, stored.high, stored.stretchMethod);
}

int CFrameViewer::ReloadFileWithNewParams(int component, double stretchLow, double stretchHigh,
                                          int stretchMethod)
{
    if (!m_ViewRect.GetActiveView()) return 0;
    FreezForInput(1);
    // Without statistics the reload waits for them: the statistics job reports with kind 4,
    // which reloads with the record kept here.
    if (!m_ViewRect.CalcStatistics(4, &m_MeterInfo, &m_wndStatusBar, 1)) {
        delete m_pReloadParam;
        m_pReloadParam = new ViewResultParam;
        m_pReloadParam->component = component;
        m_pReloadParam->stretchLow = stretchLow;
        m_pReloadParam->stretchHigh = stretchHigh;
        m_pReloadParam->stretchMethod = stretchMethod;
        return 0;
    }
    // The pending saves stay: a new stretch or component changes nothing in the file.
    const int result = m_ViewRect.Redisplay(&m_MeterInfo, &m_wndStatusBar, component, stretchLow, stretchHigh,
                                            stretchMethod);
    if (!result) {
        FreezForInput(0);
        return 0;
    }
    if (component >= 0) m_CurrentFile.component = component;
    m_nStretchMethod = stretchMethod;
    return result;
}

void CFrameViewer::ButtonLoad()
{
    const CString workDir = frame_files::WorkDir();
    CInfoFileDialog dlg(TRUE, nullptr, nullptr, OFN_HIDEREADONLY | OFN_FILEMUSTEXIST,
                        frame_files::kFileFilter, this);
    if (!workDir.IsEmpty()) dlg.m_ofn.lpstrInitialDir = workDir;
    if (dlg.DoModal() != IDOK) return;
    CloseAll();
    m_wndToolBar.Invalidate();
    LoadNewFileEx(dlg.GetPathName(), dlg.GetWhat());
}

void CFrameViewer::ButtonLoadRGB()
{
    CRGBChannelsDlg dlg(this, 1);
    if (GetColorMode() == kViewKindRgb) {
        for (int channel = 3; channel <= 5; ++channel) {
            dlg.SetChannelPath(GetFileName(channel), channel);
            dlg.SetChannelComponent(GetComplexMode(channel), channel);
        }
    }
    if (dlg.DoModal() != IDOK) return;
    ViewResultParam channels[3];
    for (int channel = 3; channel <= 5; ++channel) {
        ViewResultParam& p = channels[channel - 3];
        p.fileName = dlg.IsDataReady(channel);
        // A composite needs all three files.
        if (p.fileName.IsEmpty()) return;
        p.component = std::max(0, dlg.GetChannelFile(channel));
        const STmpInfo stored = StoredStretch(p.fileName, p.component);
        p.stretchLow = stored.low;
        p.stretchHigh = stored.high;
        p.stretchMethod = stored.stretchMethod;
    }
    CloseAll();
    m_wndToolBar.Invalidate();
    LoadNewLayer(&channels[0], &channels[1], &channels[2]);
}

void CFrameViewer::ButtonNew()
{
    CNewFileDlg dlg(this);
    if (dlg.DoModal() != IDOK) return;
    // A size or type the new layer cannot have makes no file at all.
    if (dlg.m_nWidth == 0 || dlg.m_nHeight == 0 || dlg.m_nWidth > 0x7FFFFFFFu ||
        dlg.m_nHeight > 0x7FFFFFFFu || !isValidType(static_cast<std::int32_t>(dlg.m_nDataType)))
        return;
    CloseAll();
    ShowProgressBar(SW_SHOW);
    const CString path = GetNotExistFileName(GetTempFolder());
    if (m_ViewRect.AddBlankLayer(path, int(dlg.m_nWidth), int(dlg.m_nHeight), int(dlg.m_nDataType), 0,
                                 &m_MeterInfo, &m_wndStatusBar) < 0) {
        ShowProgressBar(0);
        return;
    }
    m_CurrentFile.name = path;
    m_CurrentFile.component = 0;
    // The layer exists only in the viewer: closing must ask, whatever the view reports.
    m_nPendingSaves |= kSaveData;
    ShowTable();
    // What a file that exists only in the viewer can do: be saved, be closed, be looked at.
    EnableMenuItems(0, kMenuAll);
    EnableMenuItems(1, kMenuNewOpen | kMenuOpenRgb | kMenuImage | kMenuSaveAs | kMenuDataInfo);
}

// --- saving -------------------------------------------------------------------------------------------

int CFrameViewer::IsNewFile()
{
    return OnUi([this]() -> int {
        CVirtualView* view = frame_files::ActiveSingleBand(m_ViewRect);
        // A layer made in the viewer is shown as its own working copy under the name "New File".
        return view && view->IsWorkingCopy() && view->GetLayerName() == kNewFileTitle ? 1 : 0;
    });
}

int CFrameViewer::PreSave(int code)
{
    CVirtualView* view = frame_files::ActiveSingleBand(m_ViewRect);
    if (view && view->IsWorkingCopy() && (m_nPendingSaves & kSaveData))
        return m_ViewRect.CalcStatistics(code, &m_MeterInfo, &m_wndStatusBar, 1);
    return 1;
}

void CFrameViewer::ButtonSave()
{
    if (IsNewFile())
        SaveAs(CString(kNewFileName) + ".rdp");
    else
        Save();
}

int CFrameViewer::Save()
{
    FreezForInput(1);
    struct Target {
        CRDPLayer* work = nullptr;
        CString file;
        bool writeData = false;
    };
    const Target t = OnUi([this] {
        Target r;
        if (CVirtualView* view = frame_files::ActiveSingleBand(m_ViewRect)) {
            r.file = view->GetFileName(1);
            r.work = view->GetLayer(1);
            r.writeData = view->IsWorkingCopy() && (m_nPendingSaves & kSaveData);
        }
        return r;
    });
    if (t.file.IsEmpty()) {
        FreezForInput(0);
        return 0;
    }
    if (t.writeData) {
        // The palette and descriptions go into the same new version of the file.
        const UINT pending = OnUi([this] { return m_nPendingSaves; });
        const TagSnapshot snap = OnUi([&] { return SnapshotTags(m_ViewRect, pending); });
        UINT covered = 0;
        const TagEdits edits =
            PaletteAndDescriptionEdits(snap, pending, m_strDescriptionCaption, m_strDescription, &covered);
        std::string why;
        const SaveOutcome outcome = t.work
                                        ? SaveLayerOver(*t.work, t.file, t.file, &m_MeterInfo, &edits, &why)
                                        : (::SetLastError(ERROR_INVALID_HANDLE), SaveOutcome::kFailed);
        if (outcome != SaveOutcome::kDone) {
            // The file is as it was, the working copy still shown, the changes still pending.
            if (outcome == SaveOutcome::kFailed) ReportSaveFailure(GetSafeHwnd(), ::GetLastError(), why);
            FreezForInput(0);
            return 0;
        }
        OnUi([&] { m_nPendingSaves &= ~(kSaveData | covered); });
    }
    const int tagsWritten = SaveTags(t.file);
    OnUi([&] {
        m_ViewRect.Reopen(t.file);
        FreezForInput(0);
        UpdateTitle();
        if (CVirtualView* view = m_ViewRect.GetActiveView(); view && view->IsComplex(1))
            EnableMenuItems(1, int(kMenuComplex));
    });
    return tagsWritten;
}

int CFrameViewer::SaveAs(CString proposedName)
{
    const CString path = OnUi([&]() -> CString {
        const CString workDir = frame_files::WorkDir();
        CInfoFileDialog dlg(FALSE, "rdp", proposedName.IsEmpty() ? nullptr : proposedName.c_str(),
                            OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, frame_files::kFileFilter, this);
        if (!workDir.IsEmpty()) dlg.m_ofn.lpstrInitialDir = workDir;
        return dlg.DoModal() == IDOK ? dlg.GetPathName() : CString();
    });
    if (path.IsEmpty()) return 0;
    FreezForInput(1);
    struct Source {
        CRDPLayer* work = nullptr;
        CString file;
    };
    const Source s = OnUi([this] {
        Source r;
        if (CVirtualView* view = frame_files::ActiveSingleBand(m_ViewRect)) {
            r.file = view->GetFileName(1);
            r.work = view->GetLayer(1);
        }
        return r;
    });
    if (!s.work) {
        FreezForInput(0);
        return 0;
    }
    const UINT pending = OnUi([this] { return m_nPendingSaves; });
    const TagSnapshot snap = OnUi([&] { return SnapshotTags(m_ViewRect, pending); });
    UINT covered = 0;
    const TagEdits edits =
        PaletteAndDescriptionEdits(snap, pending, m_strDescriptionCaption, m_strDescription, &covered);
    std::string why;
    const SaveOutcome outcome = SaveLayerOver(*s.work, path, s.file, &m_MeterInfo, &edits, &why);
    if (outcome != SaveOutcome::kDone) {
        if (outcome == SaveOutcome::kFailed) ReportSaveFailure(GetSafeHwnd(), ::GetLastError(), why);
        FreezForInput(0);
        return 0;
    }
    OnUi([&] { m_nPendingSaves &= ~(kSaveData | covered); });
    const int tagsWritten = SaveTags(path);
    OnUi([&] {
        m_ViewRect.Reopen(path);
        m_CurrentFile.name = path;
        AddRecentFileList(path);
        FreezForInput(0);
        UpdateTitle();
        if (CVirtualView* view = m_ViewRect.GetActiveView(); view && view->IsComplex(1))
            EnableMenuItems(1, int(kMenuComplex));
    });
    return tagsWritten ? 1 : 0;
}

int CFrameViewer::SaveTags(CString file)
{
    // The pending saves and what the tags hold are read on the user-interface thread; the
    // file is written here.
    const UINT pending = OnUi([this] { return m_nPendingSaves & ~kSaveData; });
    if (!pending) return 1;
    const TagSnapshot snap = OnUi([&] { return SnapshotTags(m_ViewRect, pending); });

    UINT failed = 0;
    DWORD error = 0;
    const auto note = [&](UINT bits, BOOL ok, DWORD why) {
        if (ok || !bits) return;
        failed |= bits;
        if (!error) error = why ? why : ::GetLastError();
    };
    UINT covered = 0;
    const TagEdits edits =
        PaletteAndDescriptionEdits(snap, pending, m_strDescriptionCaption, m_strDescription, &covered);
    if (!edits.Empty()) note(covered, ApplyTagEdits(file, 0, edits), 0);
    note(pending & (kSavePalette | kSaveProperties) & ~covered, FALSE, ERROR_INVALID_DATA);
    if (pending & kSaveLogicalCoords) {
        CCoordLawData law;
        note(kSaveLogicalCoords,
             snap.hasLaw && law.SaveData(file, snap.from.x, snap.to.x, snap.from.y, snap.to.y),
             snap.hasLaw ? 0 : ERROR_INVALID_DATA);
    }
    // What could not be written stays pending, so that the next save tries it again.
    OnUi([&] { m_nPendingSaves = (m_nPendingSaves & ~pending) | failed; });
    if (failed) ReportSaveFailure(GetSafeHwnd(), error);
    return failed ? 0 : 1;
}

void CFrameViewer::SetDescriptionTexts(const CString& caption, const CString& description)
{
    m_strDescriptionCaption = caption;
    m_strDescription = description;
}

void CFrameViewer::FreezForInput(int freeze)
{
    if (!platform::IsUiThread()) {
        platform::RunOnUiThread([&] { FreezForInput(freeze); });
        return;
    }
    m_nFrozen = freeze;
    if (!::IsWindow(GetSafeHwnd())) return;
    if (freeze) {
        ShowProgressBar(SW_SHOW);
        EnableMenuItems(0, int(kMenuAll));
        return;
    }
    ShowProgressBar(0);
    UpdateEnablingForShown();
}
