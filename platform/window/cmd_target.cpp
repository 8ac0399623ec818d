#include "platform/window/cmd_target.h"

namespace {

bool CodeMatches(const platform::MessageMapEntry& entry, UINT message, int code)
{
    if (entry.message != message) return false;
    const bool updateEntry = entry.code == static_cast<UINT>(CN_UPDATE_COMMAND_UI);
    if (code == CN_UPDATE_COMMAND_UI || updateEntry) return updateEntry && code == CN_UPDATE_COMMAND_UI;
    // Control and notification codes travel in 16 bits (HIWORD of wParam, NMHDR codes).
    return static_cast<WORD>(entry.code) == static_cast<WORD>(code);
}

}  // namespace

const platform::MessageMap* CCmdTarget::GetThisMessageMap()
{
    static const platform::MessageMapEntry entries[] = {{0, 0, 0, 0, nullptr, nullptr}};
    static const platform::MessageMap map = {nullptr, entries};
    return &map;
}

const platform::MessageMapEntry* CCmdTarget::FindMessageEntry(UINT message) const
{
    if (message == 0) return nullptr;
    for (const platform::MessageMap* map = GetMessageMap(); map; map = map->base ? map->base() : nullptr) {
        for (const platform::MessageMapEntry* entry = map->entries; entry->thunk; ++entry) {
            if (entry->registeredId) {
                if (*entry->registeredId == message) return entry;
            } else if (entry->message == message && message != WM_COMMAND && message != WM_NOTIFY) {
                return entry;
            }
        }
    }
    return nullptr;
}

BOOL CCmdTarget::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo)
{
    UINT message = WM_COMMAND;
    int code = nCode;
    if (nCode != CN_UPDATE_COMMAND_UI && HIWORD(static_cast<UINT>(nCode)) == WM_NOTIFY) {
        message = WM_NOTIFY;
        code = static_cast<short>(LOWORD(static_cast<UINT>(nCode)));
    }
    for (const platform::MessageMap* map = GetMessageMap(); map; map = map->base ? map->base() : nullptr) {
        for (const platform::MessageMapEntry* entry = map->entries; entry->thunk; ++entry) {
            if (entry->registeredId || !CodeMatches(*entry, message, code)) continue;
            if (nID < entry->firstId || nID > entry->lastId) continue;
            if (pHandlerInfo) {
                pHandlerInfo->pTarget = this;
                return TRUE;
            }
            platform::DispatchArgs args{message, 0, 0, nID, pExtra, 0};
            if (entry->thunk(this, args)) return TRUE;
            // An _EX handler or an update handler that asked to route on: keep looking.
        }
    }
    return FALSE;
}

void CCmdUI::Enable(BOOL)
{
    m_bEnableChanged = TRUE;
}
void CCmdUI::SetCheck(int) {}
void CCmdUI::SetText(LPCTSTR) {}

BOOL CCmdUI::DoUpdate(CCmdTarget* pTarget, BOOL bDisableIfNoHndler)
{
    if (m_nID == 0 || LOWORD(m_nID) == 0xFFFF) return TRUE;  // separators and popups
    m_bEnableChanged = FALSE;
    const BOOL handled = pTarget->OnCmdMsg(m_nID, CN_UPDATE_COMMAND_UI, this, nullptr);
    if (bDisableIfNoHndler && !m_bEnableChanged) {
        AFX_CMDHANDLERINFO info;
        if (!pTarget->OnCmdMsg(m_nID, CN_COMMAND, this, &info)) Enable(FALSE);
    }
    return handled;
}

namespace platform {
namespace {

class RecordingCmdUI : public CCmdUI {
public:
    CommandState state;
    void Enable(BOOL on) override
    {
        CCmdUI::Enable(on);
        state.enabled = on != FALSE;
    }
    void SetCheck(int check) override { state.checked = check; }
    void SetText(LPCTSTR text) override
    {
        state.textSet = true;
        state.text = text ? text : "";
    }
};

}  // namespace

CommandState QueryCommandState(CCmdTarget* target, UINT id, bool disableIfNoHandler)
{
    RecordingCmdUI ui;
    ui.m_nID = id;
    ui.DoUpdate(target, disableIfNoHandler ? TRUE : FALSE);
    return ui.state;
}

}  // namespace platform
