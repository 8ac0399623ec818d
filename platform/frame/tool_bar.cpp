#include "platform/frame/tool_bar.h"

#include <QPainter>
#include <QWidget>

#include "platform/controls/image_list.h"
#include "platform/frame/bar_paint_internal.h"
#include "platform/resources/resources.h"
#include "platform/string_table.h"

namespace {

constexpr int kBorder = 2;      ///< around the row of buttons
constexpr int kSeparator = 8;   ///< width of a separator
constexpr int kDropArrow = 12;  ///< extra width of a drop-down button

void Draw3dFrame(QPainter& p, const QRect& r, const QColor& topLeft, const QColor& bottomRight)
{
    p.setPen(topLeft);
    p.drawLine(r.left(), r.top(), r.right() - 1, r.top());
    p.drawLine(r.left(), r.top(), r.left(), r.bottom() - 1);
    p.setPen(bottomRight);
    p.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
    p.drawLine(r.right(), r.top(), r.right(), r.bottom());
}

}  // namespace

// --- CToolBarCtrl -----------------------------------------------------------------------------------

BOOL CToolBarCtrl::CheckButton(int nID, BOOL bCheck)
{
    const int state = GetState(nID);
    return state < 0 ? FALSE : SetState(nID, bCheck ? (state | TBSTATE_CHECKED) : (state & ~TBSTATE_CHECKED));
}
BOOL CToolBarCtrl::PressButton(int nID, BOOL bPress)
{
    const int state = GetState(nID);
    return state < 0 ? FALSE : SetState(nID, bPress ? (state | TBSTATE_PRESSED) : (state & ~TBSTATE_PRESSED));
}
BOOL CToolBarCtrl::HideButton(int nID, BOOL bHide)
{
    const int state = GetState(nID);
    return state < 0 ? FALSE : SetState(nID, bHide ? (state | TBSTATE_HIDDEN) : (state & ~TBSTATE_HIDDEN));
}
BOOL CToolBarCtrl::EnableButton(int nID, BOOL bEnable)
{
    const int state = GetState(nID);
    return state < 0 ? FALSE
                     : SetState(nID, bEnable ? (state | TBSTATE_ENABLED) : (state & ~TBSTATE_ENABLED));
}
BOOL CToolBarCtrl::IsButtonChecked(int nID) const
{
    return GetState(nID) >= 0 && (GetState(nID) & TBSTATE_CHECKED);
}
BOOL CToolBarCtrl::IsButtonPressed(int nID) const
{
    return GetState(nID) >= 0 && (GetState(nID) & TBSTATE_PRESSED);
}
BOOL CToolBarCtrl::IsButtonHidden(int nID) const
{
    return GetState(nID) >= 0 && (GetState(nID) & TBSTATE_HIDDEN);
}
BOOL CToolBarCtrl::IsButtonEnabled(int nID) const
{
    return GetState(nID) >= 0 && (GetState(nID) & TBSTATE_ENABLED);
}

int CToolBarCtrl::GetState(int nID) const
{
    const int index = m_bar.CommandToIndex(static_cast<UINT>(nID));
    return index < 0 ? -1 : m_bar.m_buttons[static_cast<std::size_t>(index)].state;
}

BOOL CToolBarCtrl::SetState(int nID, UINT nState)
{
    const int index = m_bar.CommandToIndex(static_cast<UINT>(nID));
    if (index < 0) return FALSE;
    auto& button = m_bar.m_buttons[static_cast<std::size_t>(index)];
    const bool hiddenChanged = ((button.state ^ nState) & TBSTATE_HIDDEN) != 0;
    button.state = static_cast<BYTE>(nState);
    m_bar.Changed();
    (void)hiddenChanged;
    return TRUE;
}

int CToolBarCtrl::GetButtonCount() const
{
    return static_cast<int>(m_bar.m_buttons.size());
}

BOOL CToolBarCtrl::GetButton(int nIndex, TBBUTTON* lpButton) const
{
    if (!lpButton || nIndex < 0 || nIndex >= GetButtonCount()) return FALSE;
    const auto& b = m_bar.m_buttons[static_cast<std::size_t>(nIndex)];
    *lpButton = TBBUTTON{b.image, static_cast<int>(b.id), b.state, b.style, 0, 0};
    return TRUE;
}

DWORD CToolBarCtrl::SetExtendedStyle(DWORD dwExStyle)
{
    const DWORD before = m_bar.m_exStyle;
    m_bar.m_exStyle = dwExStyle;
    m_bar.Changed();
    return before;
}
DWORD CToolBarCtrl::GetExtendedStyle() const
{
    return m_bar.m_exStyle;
}

CImageList* CToolBarCtrl::SetImageList(CImageList* pImageList)
{
    CImageList* const before = m_bar.m_images;
    m_bar.m_images = pImageList;
    int cx = 0, cy = 0;
    if (pImageList && pImageList->GetIconSize(cx, cy))
        m_bar.SetSizes(
            CSize(std::max<int>(cx + 7, m_bar.m_sizeButton.cx), std::max<int>(cy + 7, m_bar.m_sizeButton.cy)),
            CSize(cx, cy));
    else
        m_bar.Changed();
    return before;
}
CImageList* CToolBarCtrl::GetImageList() const
{
    return m_bar.m_images;
}
CImageList* CToolBarCtrl::SetHotImageList(CImageList* pImageList)
{
    CImageList* const before = m_bar.m_hotImages;
    m_bar.m_hotImages = pImageList;
    m_bar.Changed();
    return before;
}
CImageList* CToolBarCtrl::GetHotImageList() const
{
    return m_bar.m_hotImages;
}

// --- CToolBar -----------------------------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CToolBar, CControlBar)
    ON_WM_PAINT()
    ON_WM_LBUTTONDOWN()
    ON_WM_LBUTTONUP()
    ON_WM_MOUSEMOVE()
END_MESSAGE_MAP()

CToolBar::CToolBar() : m_ctrl(*this) {}
CToolBar::~CToolBar() = default;

BOOL CToolBar::Create(CWnd* pParentWnd, DWORD dwStyle, UINT nID)
{
    return CreateEx(pParentWnd, 0, dwStyle, CRect(0, 0, 0, 0), nID);
}

BOOL CToolBar::CreateEx(CWnd* pParentWnd, DWORD dwCtrlStyle, DWORD dwStyle, CRect, UINT nID)
{
    m_ctrlStyle = dwCtrlStyle;
    return CreateBar(pParentWnd, dwStyle, nID);
}

BOOL CToolBar::LoadToolBar(LPCTSTR lpszResourceName)
{
    if (!lpszResourceName || !IS_INTRESOURCE(lpszResourceName)) return FALSE;
    return LoadToolBar(static_cast<UINT>(reinterpret_cast<std::uintptr_t>(lpszResourceName)));
}

BOOL CToolBar::LoadToolBar(UINT nIDResource)
{
    const platform::ToolBarResource* resource = platform::FindToolBarResource(nIDResource);
    if (!resource || resource->imageWidth <= 0 || resource->imageHeight <= 0) return FALSE;
    const QImage strip = platform::LoadBitmapImage(MAKEINTRESOURCE(resource->bitmapId));
    if (strip.isNull()) return FALSE;
    // The strip becomes the bar's own image list. A strip without alpha keys out its
    // top-left pixel's colour, the convention for tool-bar bitmaps.
    auto images = std::make_unique<CImageList>();
    const int cx = resource->imageWidth, cy = resource->imageHeight;
    if (!images->Create(cx, cy, ILC_COLOR32 | ILC_MASK, strip.width() / cx, 4)) return FALSE;
    if (strip.hasAlphaChannel()) {
        for (int x = 0; x + cx <= strip.width(); x += cx) images->Add(strip.copy(x, 0, cx, cy));
    } else {
        const QRgb key = strip.pixel(0, 0);
        images->Add(strip, RGB(qRed(key), qGreen(key), qBlue(key)));
    }
    m_loadedImages = std::move(images);
    m_images = m_loadedImages.get();
    m_hotImages = nullptr;
    SetSizes(CSize(resource->imageWidth + 7, resource->imageHeight + 7),
             CSize(resource->imageWidth, resource->imageHeight));
    return SetButtons(resource->buttons.data(), static_cast<int>(resource->buttons.size()));
}

BOOL CToolBar::SetButtons(const UINT* lpIDArray, int nIDCount)
{
    if (nIDCount < 0 || (nIDCount > 0 && !lpIDArray)) return FALSE;
    m_buttons.clear();
    int image = 0;
    for (int i = 0; i < nIDCount; ++i) {
        Button b;
        b.id = lpIDArray[i];
        if (b.id == ID_SEPARATOR) {
            b.style = TBSTYLE_SEP;
        } else {
            b.image = image++;
        }
        m_buttons.push_back(b);
    }
    m_nCount = nIDCount;
    m_pressed = m_hot = -1;
    Changed();
    return TRUE;
}

void CToolBar::SetSizes(SIZE sizeButton, SIZE sizeImage)
{
    m_sizeButton = sizeButton;
    m_sizeImage = sizeImage;
    Changed();
}

int CToolBar::CommandToIndex(UINT nIDFind) const
{
    for (std::size_t i = 0; i < m_buttons.size(); ++i)
        if (m_buttons[i].id == nIDFind && m_buttons[i].style != TBSTYLE_SEP) return static_cast<int>(i);
    return -1;
}

UINT CToolBar::GetItemID(int nIndex) const
{
    if (nIndex < 0 || static_cast<std::size_t>(nIndex) >= m_buttons.size()) return 0;
    const Button& b = m_buttons[static_cast<std::size_t>(nIndex)];
    return b.style == TBSTYLE_SEP ? ID_SEPARATOR : b.id;
}

int CToolBar::ButtonWidth(const Button& b) const
{
    if (b.state & TBSTATE_HIDDEN) return 0;
    if (b.style & TBSTYLE_SEP) return kSeparator;
    return m_sizeButton.cx + ((b.style & TBSTYLE_DROPDOWN) ? kDropArrow : 0);
}

void CToolBar::GetItemRect(int nIndex, LPRECT lpRect) const
{
    if (!lpRect) return;
    *lpRect = RECT{0, 0, 0, 0};
    if (nIndex < 0 || static_cast<std::size_t>(nIndex) >= m_buttons.size()) return;
    int x = kBorder;
    for (int i = 0; i < nIndex; ++i) x += ButtonWidth(m_buttons[static_cast<std::size_t>(i)]);
    const int w = ButtonWidth(m_buttons[static_cast<std::size_t>(nIndex)]);
    *lpRect = RECT{x, kBorder, x + w, kBorder + m_sizeButton.cy};
}

UINT CToolBar::GetButtonStyle(int nIndex) const
{
    if (nIndex < 0 || static_cast<std::size_t>(nIndex) >= m_buttons.size()) return 0;
    const Button& b = m_buttons[static_cast<std::size_t>(nIndex)];
    return b.style | (static_cast<UINT>(b.state ^ TBSTATE_ENABLED) << 16);
}

void CToolBar::SetButtonStyle(int nIndex, UINT nStyle)
{
    if (nIndex < 0 || static_cast<std::size_t>(nIndex) >= m_buttons.size()) return;
    Button& b = m_buttons[static_cast<std::size_t>(nIndex)];
    b.style = static_cast<BYTE>(LOWORD(nStyle));
    b.state = static_cast<BYTE>(HIWORD(nStyle) ^ TBSTATE_ENABLED);
    Changed();
}

void CToolBar::GetButtonInfo(int nIndex, UINT& nID, UINT& nStyle, int& iImage) const
{
    if (nIndex < 0 || static_cast<std::size_t>(nIndex) >= m_buttons.size()) {
        nID = 0, nStyle = 0, iImage = -1;
        return;
    }
    const Button& b = m_buttons[static_cast<std::size_t>(nIndex)];
    nID = b.style == TBSTYLE_SEP ? ID_SEPARATOR : b.id;
    nStyle = GetButtonStyle(nIndex);
    // A separator's "image" is its width, as the common control keeps it.
    iImage = b.style == TBSTYLE_SEP ? kSeparator : b.image;
}

void CToolBar::SetButtonInfo(int nIndex, UINT nID, UINT nStyle, int iImage)
{
    if (nIndex < 0 || static_cast<std::size_t>(nIndex) >= m_buttons.size()) return;
    Button& b = m_buttons[static_cast<std::size_t>(nIndex)];
    b.id = nID;
    b.style = static_cast<BYTE>(LOWORD(nStyle));
    b.state = static_cast<BYTE>(HIWORD(nStyle) ^ TBSTATE_ENABLED);
    b.image = (b.style & TBSTYLE_SEP) ? -1 : iImage;
    Changed();
}

CSize CToolBar::CalcFixedLayout(BOOL bStretch, BOOL)
{
    int width = 2 * kBorder;
    for (const Button& b : m_buttons) width += ButtonWidth(b);
    CSize size(width, m_sizeButton.cy + 2 * kBorder);
    if (bStretch && GetParent() && !dynamic_cast<CControlBar*>(GetParent())) {
        CRect parent;
        GetParent()->GetClientRect(parent);
        size.cx = std::max<int>(size.cx, parent.Width());
    }
    return size;
}

void CToolBar::Changed()
{
    if (m_hWnd) Invalidate();
}

int CToolBar::HitTest(CPoint point) const
{
    for (std::size_t i = 0; i < m_buttons.size(); ++i) {
        CRect r;
        GetItemRect(static_cast<int>(i), r);
        if (r.PtInRect(point)) return static_cast<int>(i);
    }
    return -1;
}

CString CToolBar::ToolTipAt(CPoint pt) const
{
    const int index = HitTest(pt);
    if (index < 0 || m_buttons[static_cast<std::size_t>(index)].style == TBSTYLE_SEP) return {};
    CString text;
    if (!platform::FindString(m_buttons[static_cast<std::size_t>(index)].id, text)) return {};
    const int newline = text.Find('\n');
    return newline < 0 ? CString() : text.Mid(newline + 1);
}

void CToolBar::OnUpdateCmdUI(CWnd* pTarget, BOOL bDisableIfNoHndler)
{
    class CToolCmdUI : public CCmdUI {
    public:
        void Enable(BOOL bOn) override
        {
            m_bEnableChanged = TRUE;
            const int state = m_bar->GetToolBarCtrl().GetState(static_cast<int>(m_nID));
            UINT next = bOn ? (state | TBSTATE_ENABLED) : (state & ~TBSTATE_ENABLED);
            if (!bOn) next &= ~TBSTATE_PRESSED;
            if (static_cast<int>(next) != state)
                m_bar->GetToolBarCtrl().SetState(static_cast<int>(m_nID), next);
        }
        void SetCheck(int nCheck) override
        {
            const int state = m_bar->GetToolBarCtrl().GetState(static_cast<int>(m_nID));
            UINT next = state & ~(TBSTATE_CHECKED | TBSTATE_INDETERMINATE);
            if (nCheck == 1)
                next |= TBSTATE_CHECKED;
            else if (nCheck == 2)
                next |= TBSTATE_INDETERMINATE;
            if (static_cast<int>(next) != state)
                m_bar->GetToolBarCtrl().SetState(static_cast<int>(m_nID), next);
        }
        void SetText(LPCTSTR) override {}
        CToolBar* m_bar = nullptr;
    } ui;
    ui.m_bar = this;
    ui.m_pOther = this;
    ui.m_nIndexMax = static_cast<UINT>(m_buttons.size());
    for (ui.m_nIndex = 0; ui.m_nIndex < ui.m_nIndexMax; ++ui.m_nIndex) {
        const Button& b = m_buttons[ui.m_nIndex];
        if (b.style & TBSTYLE_SEP) continue;
        ui.m_nID = b.id;
        ui.DoUpdate(pTarget, bDisableIfNoHndler);
    }
}

void CToolBar::OnPaint()
{
    CRect client;
    QPainter* painter = platform::BeginBarPaint(*this, client);
    if (!painter) return;
    QPainter& p = *painter;
    const bool flat = (m_ctrlStyle & TBSTYLE_FLAT) != 0;
    const QColor light = platform::SysColour(COLOR_BTNHIGHLIGHT);
    const QColor shadow = platform::SysColour(COLOR_BTNSHADOW);
    for (std::size_t i = 0; i < m_buttons.size(); ++i) {
        const Button& b = m_buttons[i];
        if (b.state & TBSTATE_HIDDEN) continue;
        CRect r;
        GetItemRect(static_cast<int>(i), r);
        const QRect q(r.left, r.top, r.Width(), r.Height());
        if (b.style & TBSTYLE_SEP) {
            if (flat) {
                const int x = q.left() + q.width() / 2 - 1;
                p.setPen(shadow);
                p.drawLine(x, q.top() + 1, x, q.bottom() - 1);
                p.setPen(light);
                p.drawLine(x + 1, q.top() + 1, x + 1, q.bottom() - 1);
            }
            continue;
        }
        const bool enabled = (b.state & TBSTATE_ENABLED) != 0;
        const bool down = (b.state & (TBSTATE_PRESSED | TBSTATE_CHECKED)) != 0;
        const bool hot = enabled && static_cast<int>(i) == m_hot;
        if (b.state & TBSTATE_CHECKED && !(b.state & TBSTATE_PRESSED)) {
            // Checked buttons show a dithered face, as classic bars do.
            QImage dither(2, 2, QImage::Format_RGB32);
            dither.setPixelColor(0, 0, light);
            dither.setPixelColor(1, 1, light);
            dither.setPixelColor(1, 0, platform::SysColour(COLOR_BTNFACE));
            dither.setPixelColor(0, 1, platform::SysColour(COLOR_BTNFACE));
            p.fillRect(q.adjusted(1, 1, -1, -1), QBrush(dither));
        }
        if (down)
            Draw3dFrame(p, q.adjusted(0, 0, -1, -1), shadow, light);
        else if (hot || !flat)
            Draw3dFrame(p, q.adjusted(0, 0, -1, -1), light, shadow);
        const int shift = down ? 1 : 0;
        const CImageList* images = flat && hot && m_hotImages ? m_hotImages : m_images;
        QImage cell = images ? images->GetImage(b.image) : QImage();
        if (!cell.isNull()) {
            if (!enabled) cell = DisabledImage(cell);
            const int imageWidth = m_sizeButton.cx;
            const int x = q.left() + (imageWidth - cell.width()) / 2 + shift;
            const int y = q.top() + (q.height() - cell.height()) / 2 + shift;
            p.drawImage(x, y, cell);
        }
        if (b.style & TBSTYLE_DROPDOWN) {
            const int ax = q.right() - kDropArrow + 3 + shift;
            const int ay = q.top() + q.height() / 2 - 1 + shift;
            p.setPen(enabled ? platform::SysColour(COLOR_BTNTEXT) : shadow);
            for (int k = 0; k < 3; ++k) p.drawLine(ax + k, ay + k, ax + 4 - k, ay + k);
        }
    }
}

void CToolBar::OnLButtonDown(UINT, CPoint point)
{
    const int index = HitTest(point);
    if (index < 0) return;
    Button& b = m_buttons[static_cast<std::size_t>(index)];
    if ((b.style & TBSTYLE_SEP) || !(b.state & TBSTATE_ENABLED)) return;
    CRect itemRect;
    GetItemRect(index, itemRect);
    // With drawn arrows only the arrow opens the menu; the rest of the button clicks.
    const bool onArrow = !(m_exStyle & TBSTYLE_EX_DRAWDDARROWS) || point.x >= itemRect.right - kDropArrow;
    if ((b.style & TBSTYLE_DROPDOWN) && onArrow) {
        // The owner shows the drop-down menu under the button.
        b.state |= TBSTATE_PRESSED;
        Changed();
        NMTOOLBAR nm{};
        nm.hdr.hwndFrom = m_hWnd;
        nm.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID());
        nm.hdr.code = TBN_DROPDOWN;
        nm.iItem = static_cast<int>(b.id);
        m_ctrl.GetButton(index, &nm.tbButton);
        GetItemRect(index, &nm.rcButton);
        const HWND self = m_hWnd;
        if (CWnd* owner = GetOwner())
            owner->SendMessage(WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));
        if (!IsWindow(self)) return;
        const int after = CommandToIndex(nm.iItem);
        if (after >= 0) m_buttons[static_cast<std::size_t>(after)].state &= ~TBSTATE_PRESSED;
        Changed();
        return;
    }
    m_pressed = index;
    b.state |= TBSTATE_PRESSED;
    SetCapture();
    Changed();
}

void CToolBar::OnLButtonUp(UINT, CPoint point)
{
    const int pressed = m_pressed;
    m_pressed = -1;
    if (GetCapture() == this) ReleaseCapture();
    if (pressed < 0 || static_cast<std::size_t>(pressed) >= m_buttons.size()) return;
    m_buttons[static_cast<std::size_t>(pressed)].state &= ~TBSTATE_PRESSED;
    Changed();
    if (HitTest(point) == pressed) Click(pressed);
}

void CToolBar::Click(int index)
{
    Button& b = m_buttons[static_cast<std::size_t>(index)];
    if (b.style & TBSTYLE_CHECK) {
        if ((b.style & TBSTYLE_GROUP)) {
            // One button of a check group is down at a time.
            for (Button& other : m_buttons)
                if ((other.style & TBSTYLE_CHECKGROUP) == TBSTYLE_CHECKGROUP) other.state &= ~TBSTATE_CHECKED;
            b.state |= TBSTATE_CHECKED;
        } else {
            b.state ^= TBSTATE_CHECKED;
        }
    }
    const UINT id = b.id;
    if (CWnd* owner = GetOwner())
        owner->SendMessage(WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), BN_CLICKED),
                           reinterpret_cast<LPARAM>(m_hWnd));
}

void CToolBar::OnMouseMove(UINT, CPoint point)
{
    const int hot = HitTest(point);
    if (hot != m_hot) {
        m_hot = hot;
        Changed();
    }
    if ((m_dwStyle & CBRS_TOOLTIPS) && GetWidget())
        GetWidget()->setToolTip(QString::fromUtf8(ToolTipAt(point).c_str()));
}
