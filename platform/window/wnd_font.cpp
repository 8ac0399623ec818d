#include <cstring>

#include <QFontInfo>

#include "platform/gdi/gdi_internal.h"
#include "platform/gdi/gdi_object.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/window/ui_thread.h"
#include "platform/window/window_internal.h"
#include "platform/window/wnd.h"

using namespace platform;

namespace {

// The GDI description of a widget's font, in pixels as GDI fonts are made here.
LOGFONT LogFontOf(const QFont& font, const QWidget& widget)
{
    LOGFONT lf{};
    int pixels = font.pixelSize();
    if (pixels <= 0) pixels = QFontInfo(font).pixelSize();
    if (pixels <= 0) pixels = static_cast<int>(font.pointSizeF() * widget.logicalDpiY() / 72.0 + 0.5);
    lf.lfHeight = -std::max(1, pixels);
    lf.lfWeight = font.weight();
    lf.lfItalic = font.italic() ? 1 : 0;
    lf.lfUnderline = font.underline() ? 1 : 0;
    lf.lfStrikeOut = font.strikeOut() ? 1 : 0;
    const QByteArray face = font.family().toUtf8();
    std::strncpy(lf.lfFaceName, face.constData(), LF_FACESIZE - 1);
    return lf;
}

}  // namespace

void CWnd::SetFont(CFont* pFont, BOOL bRedraw)
{
    if (!IsUiThread()) return RunOnUiThread([&] { SetFont(pFont, bRedraw); });
    if (!m_data) return;
    m_data->font = pFont ? static_cast<HFONT>(*pFont) : nullptr;
    m_data->widgetFont.reset();
    if (QWidget* widget = GetWidget()) {
        if (auto font = gdi::FindAs<gdi::FontObj>(m_data->font))
            widget->setFont(font->Font());
        else
            widget->setFont(QFont());
    }
    if (bRedraw) Invalidate();
}

CFont* CWnd::GetFont() const
{
    if (!m_data) return nullptr;
    if (m_data->font && gdi::FindAs<gdi::FontObj>(m_data->font)) return CFont::FromHandle(m_data->font);
    if (m_data->widgetFont) return CFont::FromHandle(static_cast<HFONT>(m_data->widgetFont.get()));
    QWidget* widget = GetWidget();
    if (!widget) return nullptr;
    const LOGFONT lf = LogFontOf(widget->font(), *widget);
    HFONT made = ::CreateFontIndirect(&lf);
    m_data->widgetFont =
        std::shared_ptr<void>(made, [](void* h) { ::DeleteObject(static_cast<HGDIOBJ>(h)); });
    return CFont::FromHandle(made);
}
