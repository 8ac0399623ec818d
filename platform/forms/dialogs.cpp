#include "platform/forms/dialogs.h"

#include "platform/common_dialogs/file_dialog.h"
#include "platform/forms/controls.h"
#include "platform/forms/format.h"
#include "platform/forms/forms.h"
#include "platform/window/modal.h"

IMPLEMENT_TCLASS(TOpenDialog, TComponent)
IMPLEMENT_TCLASS(TSaveDialog, TOpenDialog)

bool TOpenDialog::Ask(bool save)
{
    DWORD flags = OFN_EXPLORER;
    if (m_options & ofReadOnly) flags |= OFN_READONLY;
    if (m_options & ofOverwritePrompt) flags |= OFN_OVERWRITEPROMPT;
    if (m_options & ofHideReadOnly) flags |= OFN_HIDEREADONLY;
    if (m_options & ofPathMustExist) flags |= OFN_PATHMUSTEXIST;
    if (m_options & ofFileMustExist) flags |= OFN_FILEMUSTEXIST;
    if (m_options & ofEnableSizing) flags |= OFN_ENABLESIZING;
    // The owner is the active form, else the window forms are owned by.
    CWnd* owner = nullptr;
    if (TForm* active = Screen ? Screen->ActiveForm() : nullptr)
        owner = active;
    else if (Application)
        owner = CWnd::FromHandle(Application->DefaultOwner());
    const std::string filter = m_filter.empty() ? std::string() : m_filter + "||";
    CFileDialog dialog(save ? FALSE : TRUE, m_defaultExt.empty() ? nullptr : m_defaultExt.c_str(),
                       m_fileName.c_str(), flags, filter.empty() ? nullptr : filter.c_str(), owner);
    dialog.m_ofn.nFilterIndex = static_cast<DWORD>(std::max(m_filterIndex, 1));
    if (!m_title.empty()) dialog.m_ofn.lpstrTitle = m_title.c_str();
    if (!m_initialDir.empty()) dialog.m_ofn.lpstrInitialDir = m_initialDir.c_str();
    if (dialog.DoModal() != IDOK) return false;
    m_fileName = dialog.GetPathName().c_str();
    m_filterIndex = static_cast<int>(dialog.m_ofn.nFilterIndex);
    return true;
}

bool TOpenDialog::Execute()
{
    return Ask(false);
}

bool TSaveDialog::Execute()
{
    return Ask(true);
}

bool TOpenDialog::SetProperty(std::string_view name, std::string_view value, TComponent*)
{
    if (SameText(name, "FileName"))
        m_fileName = std::string(value);
    else if (SameText(name, "Filter"))
        m_filter = std::string(value);
    else if (SameText(name, "FilterIndex"))
        m_filterIndex = PropertyInt(value);
    else if (SameText(name, "Title"))
        m_title = std::string(value);
    else if (SameText(name, "InitialDir"))
        m_initialDir = std::string(value);
    else if (SameText(name, "DefaultExt"))
        m_defaultExt = std::string(value);
    else if (SameText(name, "Options"))
        m_options = PropertySet(value, {"ofReadOnly", "ofOverwritePrompt", "ofHideReadOnly",
                                        "ofPathMustExist", "ofFileMustExist", "ofEnableSizing"});
    else
        return false;
    return true;
}
