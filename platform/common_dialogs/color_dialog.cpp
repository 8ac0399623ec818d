#include "platform/common_dialogs/color_dialog.h"

#include <QColorDialog>

#include "platform/window/modal.h"
#include "platform/window/wnd.h"
#include "platform/qt_types_internal.h"

CColorDialog::CColorDialog(COLORREF clrInit, DWORD dwFlags, CWnd* pParentWnd) : m_pParentWnd(pParentWnd)
{
    m_cc.rgbResult = clrInit;
    m_cc.Flags = dwFlags | (clrInit != 0 ? CC_RGBINIT : 0);
    m_cc.hwndOwner = pParentWnd ? pParentWnd->GetSafeHwnd() : nullptr;
}

INT_PTR CColorDialog::DoModal()
{
    platform::ColorQuestion question;
    question.owner = m_cc.hwndOwner;
    question.initial = m_cc.rgbResult;
    const platform::ColorAnswer answer = platform::AskModal(question, [&] {
        CWnd* owner = CWnd::FromHandle(question.owner);
        const QColor initial(GetRValue(question.initial), GetGValue(question.initial),
                             GetBValue(question.initial));
        const QColor chosen = QColorDialog::getColor(
            initial, owner && owner->GetWidget() ? owner->GetWidget()->window() : nullptr);
        platform::ColorAnswer a;
        a.ok = chosen.isValid();
        a.color = platform::ToColorRef(chosen);
        return a;
    });
    if (!answer.ok) return IDCANCEL;
    m_cc.rgbResult = answer.color;
    return IDOK;
}
