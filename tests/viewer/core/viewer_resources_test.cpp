#include <set>
#include <vector>

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include "platform/window/cursor_internal.h"
#include "tests/support/ui_helpers.h"
#include "viewer/core/viewer_resources.h"

TEST(ViewerResources, TheViewWindowsSeventeenCursorsLoadInItsOrder)
{
    // The order the view window loads them in: its resources, five system sizing cursors,
    // more of its resources, the arrow, the measure cursor.
    const std::vector<LPCTSTR> order = {MAKEINTRESOURCE(IDC_VIEW_ZOOMOUT),
                                        MAKEINTRESOURCE(IDC_VIEW_ZOOMIN),
                                        MAKEINTRESOURCE(IDC_VIEW_CENTER),
                                        MAKEINTRESOURCE(IDC_VIEW_PROFILE_X),
                                        MAKEINTRESOURCE(IDC_VIEW_PROFILE_Y),
                                        MAKEINTRESOURCE(IDC_VIEW_TOOL),
                                        IDC_SIZEALL,
                                        IDC_SIZENS,
                                        IDC_SIZEWE,
                                        IDC_SIZENWSE,
                                        IDC_SIZENESW,
                                        MAKEINTRESOURCE(IDC_VIEW_FREEHAND),
                                        MAKEINTRESOURCE(IDC_VIEW_POLYGON),
                                        MAKEINTRESOURCE(IDC_VIEW_POLYGON_CLOSE),
                                        MAKEINTRESOURCE(IDC_VIEW_RECTANGLE),
                                        IDC_ARROW,
                                        MAKEINTRESOURCE(IDC_VIEW_MEASURE)};
    ASSERT_EQ(order.size(), 17u);
    std::set<HCURSOR> distinct;
    std::vector<QImage> pictures;
    for (LPCTSTR name : order) {
        const bool system = reinterpret_cast<std::uintptr_t>(name) >= 32512;
        HCURSOR cursor = LoadCursor(system ? nullptr : ViewerInstance(), name);
        ASSERT_NE(cursor, nullptr) << reinterpret_cast<std::uintptr_t>(name);
        distinct.insert(cursor);
        if (system) continue;
        EXPECT_EQ(cursor->cursor.shape(), Qt::BitmapCursor);
        const QImage picture = cursor->cursor.pixmap().toImage();
        EXPECT_EQ(picture.size(), QSize(16, 16));
        const QPoint hot = cursor->cursor.hotSpot();
        EXPECT_TRUE(picture.rect().contains(hot));
        pictures.push_back(picture);
    }
    EXPECT_EQ(distinct.size(), 17u);

    // The eleven pictures side by side, magnified, over a mid grey.
    const int scale = 4, cell = 16 * scale + 8;
    QImage strip(cell * int(pictures.size()), cell, QImage::Format_RGB32);
    strip.fill(QColor(128, 128, 128));
    QPainter painter(&strip);
    for (std::size_t i = 0; i < pictures.size(); ++i)
        painter.drawImage(QRect(int(i) * cell + 4, 4, 16 * scale, 16 * scale), pictures[i]);
    painter.end();
    tarvenix::test::SaveTestOutput(strip, "view_cursors");
}
