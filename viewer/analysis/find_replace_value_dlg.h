#pragma once

// "Replace": finds a typed value in the shown layer and overwrites it, one cell at a time or
// every match from the pointer to the end of the layer as a job.

#include "platform/cstring.h"
#include "platform/dialogs/dialog.h"
#include "platform/geometry.h"
#include "platform/window/messages.h"

class CViewerHost;
class CMeterInfoBase;
class CRDPLayer;
class CFindReplaceValueDlg;

/// Posted to the dialog when a Replace all job ends: wParam 1, lParam the cells written.
inline constexpr UINT WM_REPLACEDONE = WM_USER + 517;

/// The Replace all job's own record: it copies what it searches with, so nothing it reads
/// belongs to the dialog.
struct ReplaceJobParams {
    double re = 0.0;
    double im = 0.0;
    CRDPLayer* layer = nullptr;
    int component = 2;
    CFindReplaceValueDlg* dialog = nullptr;  ///< identifies the job's dialog; never dereferenced
    CMeterInfoBase* meter = nullptr;
    CString findText;
    int direction = 0;
    int approximate = 0;
    CPoint position;
    HWND hDialog = nullptr;
    HWND hFrame = nullptr;
};

class CFindReplaceValueDlg : public CDialog {
public:
    CFindReplaceValueDlg();
    /// Modeless, with the frame as parent.
    virtual BOOL Create(CViewerHost* host);

    void OnFindNext();
    void OnReplace();
    void OnReplaceAll();
    /// The end of a Replace all job.
    LRESULT OnReplaceDone(WPARAM wParam, LPARAM lParam);
    bool IsJobRunning() const { return m_bJobRunning; }

    /// The job (worker thread): replaces every match from the record's position on.
    static void ReplaceAllJob(void* arg, CMeterInfoBase* meter);
    /// The loop of the job; counts the cells written in `count` (also when it throws).
    static void ReplaceAll(ReplaceJobParams& job, int& count);

    BOOL OnInitDialog() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    CPoint m_position{-1, -1};
    CString m_strFind;
    CString m_strReplace;
    int m_nDirection = 0;
    int m_bApproximate = 0;
    CViewerHost* m_pHost = nullptr;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    void PostNcDestroy() override;

private:
    void SaveSettings();
    void LoadSettings();
    /// The active layer, switched to a writable one when `forWriting`; null when none.
    CRDPLayer* ActiveLayer(bool forWriting);
    void StartCell(const CRDPLayer& layer, CPoint pointer);
    bool Search(const CRDPLayer& layer, int component);
    void NotFound();
    void WriteReplacement(CRDPLayer& layer, int component);

    bool m_bCreated = false;
    bool m_bJobRunning = false;
};

/// Writes (re, im) into the cell: component 4 puts the parts into 2 and 3.
void WriteCellValue(CRDPLayer& layer, CPoint cell, int component, double re, double im);
