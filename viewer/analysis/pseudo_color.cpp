#include "viewer/analysis/pseudo_color.h"

#include "outside/basecore/math_helpers.h"
#include "platform/common_dialogs/color_dialog.h"
#include "platform/controls/common_controls.h"
#include "platform/controls/control_notify.h"
#include "platform/window/modal.h"
#include "viewer/core/viewer_messages.h"

namespace {

void Put(PalitraTag* palette, int entry, BYTE r, BYTE g, BYTE b)
{
    palette->rgb[entry][0] = r;
    palette->rgb[entry][1] = g;
    palette->rgb[entry][2] = b;
}

constexpr BYTE kBands[5][3] = {{255, 0, 0}, {255, 255, 0}, {0, 255, 0}, {0, 255, 255}, {0, 0, 255}};

// Which of the five colours each band of an n-band scale takes.
constexpr int kBandColours[6][5] = {{}, {0}, {0, 4}, {0, 2, 4}, {0, 1, 2, 4}, {0, 1, 2, 3, 4}};

}  // namespace

void CreatePseudoColorPalette(PalitraTag* palette, int first, int last, int colours)
{
    // A range outside the 256 entries would write beyond the record.
    if (!palette || first < 0 || last > 255 || first > last || colours == 0) return;
    const int d = last - first;
    const int count = d + 1;
    const int n = colours == -1 ? count : colours;
    if (n >= 1 && n <= 5) {
        int entry = first;
        for (int band = 0; band < n; ++band) {
            const int bound = band == n - 1 ? last : first + (band + 1) * d / n;
            const BYTE* c = kBands[kBandColours[n][band]];
            for (; entry <= bound; ++entry) Put(palette, entry, c[0], c[1], c[2]);
        }
        return;
    }
    if (n < 1) return;
    const double s = count > 1 ? double(n - 1) / (count - 1) : 0.0;
    for (int i = first; i < last; ++i) {
        const int j = i - first;
        const double f = double(j) / count;
        const int q = f < 0.25 ? 0 : f < 0.5 ? 1 : f < 0.75 ? 2 : 3;
        const int k = Round((j - count * (q * 0.25)) * s);
        const BYTE v = BYTE(int(k * 1020.0 / n) & 0xFF);
        switch (q) {
            case 0:
                Put(palette, i, 255, v, 0);
                break;
            case 1:
                Put(palette, i, BYTE(255 - v), 255, 0);
                break;
            case 2:
                Put(palette, i, 0, 255, v);
                break;
            default:
                Put(palette, i, 0, BYTE(255 - v), 255);
                break;
        }
    }
    Put(palette, last, 0, 0, 255);
}

// clang-format off
BEGIN_MESSAGE_MAP(CColorListCtrl, CListCtrl)
    ON_NOTIFY_REFLECT(NM_CUSTOMDRAW, OnCustomDraw)
    ON_NOTIFY_REFLECT(NM_DBLCLK, OnDoubleClick)
END_MESSAGE_MAP()
// clang-format on

CColorListCtrl::CColorListCtrl()
{
    for (COLORREF& c : m_Colors) c = 0;
}

void CColorListCtrl::Init()
{
    SetExtendedStyle(LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP | LVS_EX_TRACKSELECT);
    m_crBack = GetBkColor();
}

void CColorListCtrl::OnCustomDraw(NMHDR* header, LRESULT* result)
{
    auto* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(header);
    *result = CDRF_DODEFAULT;
    const DWORD stage = draw->nmcd.dwDrawStage;
    if (stage == CDDS_PREPAINT) {
        *result = CDRF_NOTIFYITEMDRAW;
        return;
    }
    if (stage == CDDS_ITEMPREPAINT) {
        *result = CDRF_NOTIFYSUBITEMDRAW;
        return;
    }
    if (!(stage & CDDS_SUBITEM)) return;
    const auto row = static_cast<std::size_t>(draw->nmcd.dwItemSpec);
    if (draw->iSubItem == 1 && row < 256) {
        const COLORREF colour = m_Colors[row];
        draw->clrTextBk = colour;
        draw->clrText = GetItemText(int(row), 1) == "+" ? (colour ^ 0xFFFFFF) & 0xFFFFFF : 0;
    } else {
        draw->clrTextBk = m_crBack;
        draw->clrText = 0;
    }
}

void CColorListCtrl::RedrawRow(int row)
{
    CRect r;
    if (GetItemRect(row, &r, LVIR_BOUNDS)) InvalidateRect(&r, FALSE);
    UpdateWindow();
}

void CColorListCtrl::OnDoubleClick(NMHDR* header, LRESULT* result)
{
    *result = 0;
    const auto* activate = reinterpret_cast<NMITEMACTIVATE*>(header);
    const int row = activate->iItem;
    // Rows from 256 on have no colour of their own.
    if (activate->iSubItem != 1 || row < 0 || row >= 256) return;
    SetItemText(row, 1, "+");
    SetItemState(row, LVIS_FOCUSED, LVIS_FOCUSED);
    RedrawRow(row);
    CColorDialog dialog(m_Colors[row], CC_RGBINIT | CC_FULLOPEN, this);
    if (dialog.DoModal() == IDOK) {
        m_Colors[row] = dialog.GetColor();
        CWnd* target = GetOwner();  // the parent when no owner is set
        if (target) target->SendMessage(WM_COLORCHANGED, 11, row);
    }
    RedrawRow(row);
    SetItemText(row, 1, " ");
}
