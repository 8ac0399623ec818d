#include "platform/dialogs/dialog_template.h"

#include <QFont>
#include <QFontMetrics>

#include "platform/kernel/mul_div.h"

namespace platform {

QFont DialogFont(const char* face, int pointSize)
{
    QFont font(face && *face ? QString::fromUtf8(face) : QStringLiteral("MS Shell Dlg"));
    font.setPointSize(pointSize > 0 ? pointSize : 8);
    return font;
}

CSize DialogBaseUnits(const QFont& font)
{
    const QFontMetrics metrics(font);
    // The average width of the 52 letters, rounded: the usual base-unit rule.
    const int letters =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return CSize(std::max((letters / 26 + 1) / 2, 1), std::max(metrics.height(), 1));
}

CRect DialogUnitsToPixels(const CRect& units, CSize base)
{
    return CRect(MulDiv(units.left, base.cx, 4), MulDiv(units.top, base.cy, 8),
                 MulDiv(units.right, base.cx, 4), MulDiv(units.bottom, base.cy, 8));
}

}  // namespace platform
