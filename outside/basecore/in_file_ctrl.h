#pragma once

// The layer-file picker of the tool dialogs: it lives inside a static control of the
// template (bound by DDX_Control) and shows the chosen path, a browse button and, for an
// input, a line with the file's size and type. A file is chosen through the browse button
// or by typing (or pasting) its path into the field, taken on Enter or when the field loses
// the focus. A choice posts WM_INFILECTRL_CHOSEN with the picker's control id to the parent.

#include "outside/basecore/info_file_dialog.h"
#include "platform/controls/button.h"
#include "platform/controls/edit.h"
#include "platform/controls/static_ctrl.h"
#include "platform/cstring.h"
#include "platform/window/wnd.h"

/// Posted to the picker's parent after the user chose a file; wParam is the picker's id.
constexpr UINT WM_INFILECTRL_CHOSEN = WM_USER + 559;

class CInFileCtrl : public CWnd {
public:
    /// Child ids inside the picker.
    static constexpr int kNameId = 1;
    static constexpr int kBrowseId = 2;
    static constexpr int kInfoId = 3;
    /// Flag of Create: the tool reads a complex input whole, so no component is asked for.
    static constexpr int kWholeComplex = 1;

    CInFileCtrl() = default;
    ~CInFileCtrl() override = default;

    /// Makes the picker's parts inside the bound static. `isInput` 1: chooses an existing
    /// layer file; 0: names a file to write (its dialog asks nothing, the tool does). A null
    /// filter and extension give the layer-file defaults. Nonzero on success.
    BOOL Create(int isInput, const char* filter, const char* ext, int flags);

    /// The chosen full path ("" when none).
    CString GetPathName() const;
    /// Sets the path as if chosen (an input's header is read); posts nothing.
    void SetPathName(const char* path);
    /// The name part of the path ("" when none).
    CString GetFileName() const { return m_name; }
    /// The folder part (the preset folder while no file is chosen).
    CString GetOnlyPath() const { return m_folder; }
    /// Presets the folder the file dialog opens in (and typed relative names are read in);
    /// without one the dialog opens in the "WorkDir" folder.
    void SetOnlyPath(const char* folder);
    /// Nonzero when the picker holds a chosen file whose header was read.
    int DataReady() const { return m_ready ? 1 : 0; }
    /// Of the chosen input: width, height, data type code (0 when none).
    int Width() const { return m_ready ? m_info.width : 0; }
    int Height() const { return m_ready ? m_info.height : 0; }
    int Type() const { return m_ready ? m_info.type : 0; }
    /// The component chosen for a complex input: 0 amplitude, 1 phase, 2 real, 3 imaginary.
    int FazaMode() const { return m_component; }
    /// 1 for an input picker, 0 for an output picker.
    int GetOpenMode() const { return m_isInput; }
    /// The filter index (1-based) the file dialog starts with.
    void SetDefaultFilter(int index) { m_filterIndex = index; }
    /// Forgets the chosen file (the folder stays).
    void ClearAll();

    BOOL PreTranslateMessage(MSG* pMsg) override;

protected:
    void OnBrowse();
    void OnNameKillFocus();
    DECLARE_MESSAGE_MAP()

private:
    void Show();
    /// Takes the path typed into the field as a choice; a missing or unreadable input is
    /// refused as the file dialog refuses it, and the field shows the previous choice again.
    void TakeTypedPath();
    /// Asks for the component of a complex input; false when the user cancelled.
    bool AskComponent(const CString& path, const SLayerFileInfo& info, int* component);
    void NotifyParent();

    int m_isInput = 1;
    CString m_filter;
    CString m_ext;
    int m_flags = 0;
    int m_filterIndex = 1;
    CString m_folder;
    CString m_name;
    int m_component = 0;
    bool m_ready = false;
    bool m_taking = false;  // a typed path is being taken (its questions move the focus)
    SLayerFileInfo m_info;
    CEdit m_nameField;
    CButton m_browse;
    CStatic m_infoLine;
};
