#include <atomic>
#include <thread>

#include <QCoreApplication>
#include <QMouseEvent>
#include <QWidget>
#include <gtest/gtest.h>

#include "platform/app/win_app.h"
#include "platform/dialogs/dialog.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/kernel/modules.h"
#include "platform/last_error.h"
#include "platform/menu/menu.h"
#include "platform/resources/icon_internal.h"
#include "platform/resources/module_resources.h"
#include "platform/window/cursor_internal.h"
#include "platform/window/message_map.h"
#include "platform/window/wnd.h"

namespace {

QImage Filled(Qt::GlobalColor colour)
{
    QImage image(4, 2, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}
QImage Red()
{
    return Filled(Qt::red);
}
QImage Blue()
{
    return Filled(Qt::blue);
}

constexpr platform::StringEntry kBaseStrings[] = {{9300, "base"}, {9301, "only base"}};
constexpr platform::ImageResource kBaseBitmaps[] = {{9300, "IDB_BITMAP_TOOL_MAIN", nullptr, &Red},
                                                    {9301, nullptr, ":/no/such.png", nullptr}};
constexpr platform::ImageResource kBaseIcons[] = {{9302, nullptr, nullptr, &Red}};
constexpr platform::MenuItemData kBaseMenu[] = {{9303, "Base", platform::kMenuEnd}};
constexpr platform::MenuResource kBaseMenus[] = {{9303, kBaseMenu}};
// A library may not take over a system cursor's id.
constexpr const char* kDot[] = {"#"};
constexpr platform::CursorResource kBaseCursors[] = {{32512, 0, 0, kDot}};
constexpr platform::ModuleResources kBase{.module = "res-base",
                                          .strings = kBaseStrings,
                                          .menus = kBaseMenus,
                                          .bitmaps = kBaseBitmaps,
                                          .icons = kBaseIcons,
                                          .cursors = kBaseCursors};

constexpr platform::StringEntry kExtensionStrings[] = {{9300, "extension"}};
constexpr platform::ImageResource kExtensionBitmaps[] = {{9300, "IDB_BITMAP_TOOL_MAIN", nullptr, &Blue}};
constexpr platform::ModuleResources kExtension{
    .module = "res-extension", .strings = kExtensionStrings, .bitmaps = kExtensionBitmaps};

CString Text(UINT id)
{
    CString text;
    return text.LoadString(id) ? text : CString("<none>");
}

QColor BitmapColour(UINT id, int x = 0, int y = 0)
{
    const QImage image = platform::LoadBitmapImage(MAKEINTRESOURCE(id));
    return image.isNull() ? QColor() : image.pixelColor(x, y);
}

}  // namespace

TEST(ResourceChain, NewestRecordWinsUntilItLeavesAndOthersStay)
{
    platform::RegisterModuleResources(kBase);
    EXPECT_EQ(Text(9300), "base");
    EXPECT_EQ(BitmapColour(9300), QColor(Qt::red));
    EXPECT_EQ(platform::LoadBitmapImage("IDB_BITMAP_TOOL_MAIN").pixelColor(0, 0), QColor(Qt::red));

    platform::RegisterModuleResources(kExtension);
    platform::RegisterModuleResources(kExtension);  // once is enough: still one entry
    EXPECT_EQ(Text(9300), "extension");
    EXPECT_EQ(Text(9301), "only base");  // ids the newer record lacks come from the older one
    EXPECT_EQ(BitmapColour(9300), QColor(Qt::blue));
    EXPECT_EQ(platform::LoadBitmapImage("IDB_BITMAP_TOOL_MAIN").pixelColor(0, 0), QColor(Qt::blue));

    // The older record leaves first: the newer one keeps working.
    platform::UnregisterModuleResources(kBase);
    EXPECT_EQ(Text(9300), "extension");
    EXPECT_EQ(Text(9301), "<none>");
    EXPECT_EQ(platform::FindMenuResource(9303), nullptr);
    platform::RegisterModuleResources(kBase);  // now the newest
    EXPECT_EQ(Text(9300), "base");
    platform::UnregisterModuleResources(kBase);
    EXPECT_EQ(Text(9300), "extension");
    platform::UnregisterModuleResources(kExtension);
    EXPECT_EQ(Text(9300), "<none>");
    EXPECT_TRUE(platform::LoadBitmapImage(MAKEINTRESOURCE(9300)).isNull());
    platform::UnregisterModuleResources(kExtension);  // unknown by now: ignored
}

TEST(ResourceChain, MissingPicturesAndUnknownNamesGiveNothing)
{
    const platform::ModuleResourceRegistration registration(kBase);
    EXPECT_TRUE(platform::LoadBitmapImage(MAKEINTRESOURCE(9301)).isNull());  // its file is missing
    EXPECT_TRUE(platform::LoadBitmapImage(MAKEINTRESOURCE(9399)).isNull());
    EXPECT_TRUE(platform::LoadBitmapImage("IDB_BITMAP_TOOL_NONE").isNull());
    EXPECT_TRUE(platform::LoadBitmapImage(nullptr).isNull());
    CBitmap bitmap;
    EXPECT_FALSE(bitmap.LoadBitmap(9399));
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
    EXPECT_EQ(LoadCursor(nullptr, MAKEINTRESOURCE(9399)), nullptr);
    EXPECT_EQ(LoadIcon(nullptr, MAKEINTRESOURCE(9399)), nullptr);

    HICON icon = LoadIcon(nullptr, MAKEINTRESOURCE(9302));
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon, LoadIcon(registration.Instance(), MAKEINTRESOURCE(9302)));  // one handle per icon
    EXPECT_EQ(icon->image.size(), QSize(4, 2));
    CWinApp app("Tarvenix");
    EXPECT_EQ(app.LoadIcon(9302), icon);

    // The system cursors stay the system's.
    HCURSOR arrow = LoadCursor(nullptr, IDC_ARROW);
    ASSERT_NE(arrow, nullptr);
    EXPECT_EQ(arrow->cursor.shape(), Qt::ArrowCursor);
}

namespace {

/// A window that shows one cursor over its client area, as the view window does.
class CursorWnd : public CWnd {
public:
    HCURSOR cursor = nullptr;

protected:
    BOOL OnSetCursor(CWnd*, UINT, UINT)
    {
        ::SetCursor(cursor);
        return TRUE;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CursorWnd, CWnd)
    ON_WM_SETCURSOR()
END_MESSAGE_MAP()

QColor PixelThroughGdi(CBitmap& bitmap, int x, int y)
{
    // Select the bitmap and copy it to another one, as drawing code blits a loaded bitmap.
    CDC source, target;
    EXPECT_TRUE(source.CreateCompatibleDC(nullptr));
    EXPECT_TRUE(target.CreateCompatibleDC(nullptr));
    CBitmap copy;
    EXPECT_TRUE(copy.CreateCompatibleBitmap(&source, 2, 2));
    CBitmap* oldSource = source.SelectObject(&bitmap);
    CBitmap* oldTarget = target.SelectObject(&copy);
    EXPECT_TRUE(target.BitBlt(0, 0, 2, 2, &source, 0, 0, SRCCOPY));
    const COLORREF c = target.GetPixel(x, y);
    source.SelectObject(oldSource);
    target.SelectObject(oldTarget);
    return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

}  // namespace

TEST(ResourceChain, LibraryResourcesComeWithTheLibraryAndGoWithIt)
{
    const platform::ModuleResourceRegistration own(kBase);
    ASSERT_EQ(Text(9300), "base");

    HMODULE library = LoadLibrary("TvxResourceModule");
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(Text(9300), "from the library");
    EXPECT_EQ(Text(9500), "only in the library");
    EXPECT_NE(platform::FindDialogTemplate(9530), nullptr);

    // The cursor: its picture and hot spot, found through the library's handle or the chain.
    HCURSOR plus = LoadCursor(library, MAKEINTRESOURCE(9510));
    ASSERT_NE(plus, nullptr);
    EXPECT_EQ(LoadCursor(nullptr, MAKEINTRESOURCE(9510)), plus);
    CWinApp app("Tarvenix");
    EXPECT_EQ(app.LoadCursor(9510), plus);
    EXPECT_EQ(plus->cursor.shape(), Qt::BitmapCursor);
    EXPECT_EQ(plus->cursor.hotSpot(), QPoint(2, 3));
    const QImage art = plus->cursor.pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(art.size(), QSize(5, 7));
    EXPECT_EQ(art.pixel(2, 3), 0xFF000000u);  // '#'
    EXPECT_EQ(art.pixel(0, 3), 0xFFFFFFFFu);  // '.'
    EXPECT_EQ(qAlpha(art.pixel(0, 0)), 0);    // ' '
    // Shown as any cursor is: through WM_SETCURSOR and SetCursor.
    CursorWnd view;
    ASSERT_TRUE(view.CreateEx(0, nullptr, "View", WS_OVERLAPPEDWINDOW | WS_VISIBLE, CRect(50, 40, 250, 190),
                              nullptr, 0));
    view.cursor = plus;
    QMouseEvent move(QEvent::MouseMove, QPointF(10, 10), QPointF(10, 10), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(view.GetWidget(), &move);
    EXPECT_EQ(GetCursor(), plus);
    EXPECT_EQ(view.GetWidget()->cursor().shape(), Qt::BitmapCursor);
    EXPECT_EQ(view.GetWidget()->cursor().hotSpot(), QPoint(2, 3));

    // The bitmap: decoded from the library's BMP bytes into a bitmap the drawing code can use.
    CBitmap bitmap;
    ASSERT_TRUE(bitmap.LoadBitmap(9520));
    BITMAP info{};
    ASSERT_TRUE(bitmap.GetBitmap(&info));
    EXPECT_EQ(info.bmWidth, 2);
    EXPECT_EQ(info.bmHeight, 2);
    EXPECT_EQ(PixelThroughGdi(bitmap, 0, 0), QColor(Qt::red));
    EXPECT_EQ(PixelThroughGdi(bitmap, 1, 0), QColor(Qt::green));
    EXPECT_EQ(PixelThroughGdi(bitmap, 0, 1), QColor(Qt::blue));
    EXPECT_EQ(PixelThroughGdi(bitmap, 1, 1), QColor(Qt::white));
    HBITMAP byName = LoadBitmap(library, "FOUR_COLOURS");
    EXPECT_NE(byName, nullptr);
    DeleteObject(byName);
    // The library's handle looks in that library only.
    EXPECT_EQ(LoadBitmap(library, MAKEINTRESOURCE(9300)), nullptr);

    // A second load is counted: the resources stay until the last FreeLibrary.
    ASSERT_EQ(LoadLibrary("TvxResourceModule"), library);
    EXPECT_TRUE(FreeLibrary(library));
    EXPECT_EQ(Text(9500), "only in the library");
    EXPECT_TRUE(FreeLibrary(library));

    // Unloaded: nothing of it is found, the program's own record is back in front, and the
    // handles given out stay usable.
    EXPECT_EQ(Text(9300), "base");
    EXPECT_EQ(Text(9500), "<none>");
    EXPECT_EQ(platform::FindDialogTemplate(9530), nullptr);
    EXPECT_EQ(LoadCursor(nullptr, MAKEINTRESOURCE(9510)), nullptr);
    CBitmap gone;
    EXPECT_FALSE(gone.LoadBitmap(9520));
    EXPECT_EQ(plus->cursor.hotSpot(), QPoint(2, 3));
    EXPECT_EQ(PixelThroughGdi(bitmap, 1, 0), QColor(Qt::green));

    // Loaded again, perhaps at the same address: made afresh from the new copy.
    library = LoadLibrary("TvxResourceModule");
    ASSERT_NE(library, nullptr);
    HCURSOR again = LoadCursor(library, MAKEINTRESOURCE(9510));
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->cursor.hotSpot(), QPoint(2, 3));
    EXPECT_EQ(Text(9500), "only in the library");
    EXPECT_TRUE(FreeLibrary(library));
    EXPECT_EQ(Text(9500), "<none>");
}

TEST(ResourceChain, TextsLoadSafelyOnAWorkerWhileALibraryComesAndGoes)
{
    std::atomic<bool> done{false};
    std::atomic<int> seen{0};
    std::thread reader([&] {
        while (!done.load()) {
            const CString text = Text(9500);
            if (text == "only in the library")
                ++seen;
            else
                EXPECT_EQ(text, "<none>");
        }
    });
    for (int i = 0; i < 50; ++i) {
        HMODULE library = LoadLibrary("TvxResourceModule");
        ASSERT_NE(library, nullptr);
        std::this_thread::yield();
        FreeLibrary(library);
    }
    done = true;
    reader.join();
    EXPECT_EQ(Text(9500), "<none>");
}
