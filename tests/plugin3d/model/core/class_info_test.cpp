#include <gtest/gtest.h>

#include <QImage>

#include <string>
#include <vector>

#include "platform/forms/image_list.h"
#include "platform/forms/menus.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_objects.h"
#include "plugin3d/model/core/k_form_links.h"
#include "plugin3d/model/core/k_interfaces.h"
#include "plugin3d/model/core/k_rtd_registry.h"
#include "tests/plugin3d/model/core/glyph_picture.h"
#include "tests/plugin3d/model/core/project_test_support.h"
#include "tests/support/ui_helpers.h"

using kelvora::test::TKTestLinked;

namespace {

class TKInfoBase : public TKCustomChangeObject {
    DECLARE_TCLASS(TKInfoBase)
protected:
    TKInfoBase() = default;
};
class TKInfoChild : public TKInfoBase {
    DECLARE_TCLASS(TKInfoChild)
protected:
    TKInfoChild() = default;
};
IMPLEMENT_TCLASS(TKInfoBase, TKCustomChangeObject)
IMPLEMENT_TCLASS(TKInfoChild, TKInfoBase)

// Three handlers that log their calls and answer what the test sets.
std::vector<std::string> g_calls;
std::int32_t g_answers[3] = {-1, -1, -1};
template <int N>
std::int32_t Handler(TKObjectRequest& request)
{
    g_calls.push_back("h" + std::to_string(N));
    EXPECT_EQ(request.Class, TKInfoChild::StaticClass());  // the class the request is for, all along
    return g_answers[N];
}

class ClassInfo : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_calls.clear();
        std::fill(std::begin(g_answers), std::end(g_answers), -1);
    }
    void TearDown() override
    {
        for (TClass cls : {TKInfoBase::StaticClass(), TKInfoChild::StaticClass()})
            for (int key = -1; key >= -7; --key) FreeObject(GetClassInfoBranch(cls, key, false));
        SetFormLinks({});
    }
};

TEST_F(ClassInfo, WithoutHandlersTheDefaultAnswersWithZero)
{
    std::string caption;
    TKObjectRequest request;
    request.Kind = korClassCaption;
    request.Argument = reinterpret_cast<std::intptr_t>(&caption);
    EXPECT_EQ(SendObjectRequest(TKInfoChild::StaticClass(), request), 0);
    EXPECT_EQ(request.Class, TKInfoChild::StaticClass());
    EXPECT_EQ(caption, "TKInfoChild");

    RegisterClassCaption(TKInfoChild::StaticClass(), "Child things");
    EXPECT_EQ(SendObjectRequest(TKInfoChild::StaticClass(), request), 0);
    EXPECT_EQ(caption, "Child things");
    EXPECT_EQ(GetClassCaption(TKInfoBase::StaticClass()), "TKInfoBase");

    request.Kind = korNone;
    EXPECT_EQ(SendObjectRequest(TKInfoChild::StaticClass(), request), 0);
    EXPECT_EQ(SendObjectRequest(nullptr, request), -1);
    EXPECT_EQ(SendObjectRequest(TObject::StaticClass(), request), -1);
}

struct HandlerCase {
    const char* what;
    std::int32_t answers[3];
    std::vector<std::string> calls;
    std::int32_t result;
};

TEST_F(ClassInfo, TheLaterHandlerIsAskedFirstThenTheEarlierThenTheAncestors)
{
    const TClass child = TKInfoChild::StaticClass(), base = TKInfoBase::StaticClass();
    TKDataBranch* first = RegisterRequestHandler(child, &Handler<0>);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(RegisterRequestHandler(child, &Handler<0>), first);  // once per class
    RegisterRequestHandler(child, &Handler<1>);
    RegisterRequestHandler(base, &Handler<2>);
    EXPECT_EQ(RegisterRequestHandler(child, &DefaultObjectRequest), nullptr);
    EXPECT_EQ(RegisterRequestHandler(nullptr, &Handler<0>), nullptr);

    const HandlerCase cases[] = {
        {"the later one answers", {-1, 5, -1}, {"h1"}, 5},
        {"passed to the earlier one", {3, -1, -1}, {"h1", "h0"}, 3},
        {"passed to the ancestor", {-1, -1, 7}, {"h1", "h0", "h2"}, 7},
        {"nobody answers", {-1, -2, -1}, {"h1", "h0", "h2"}, 0},
    };
    for (const HandlerCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::copy(std::begin(c.answers), std::end(c.answers), g_answers);
        g_calls.clear();
        TKObjectRequest request;
        request.Kind = korNone;
        EXPECT_EQ(SendObjectRequest(child, request), c.result);
        EXPECT_EQ(g_calls, c.calls);
    }

    UnregisterRequestHandler(child, &Handler<1>);
    g_calls.clear();
    TKObjectRequest request;
    SendObjectRequest(child, request);
    EXPECT_EQ(g_calls, (std::vector<std::string>{"h0", "h2"}));
}

// Lookups remember where they found a class's nodes; what they answer must still follow the
// registry's tree as nodes are made, freed and moved by anyone.
TEST_F(ClassInfo, LookupsFollowTheClassNodesAsTheyComeGoAndMove)
{
    const TClass base = TKInfoBase::StaticClass(), child = TKInfoChild::StaticClass();
    EXPECT_EQ(GetClassCaption(child), "TKInfoChild");  // a miss, remembered
    RegisterClassCaption(base, "Base");
    RegisterClassCaption(child, "Child");
    EXPECT_EQ(GetClassCaption(base), "Base");
    EXPECT_EQ(GetClassCaption(child), "Child");

    TKTreeLock lock;
    TKDataBranch* interfaces = RegistryFind(nullptr)->FindChildByName("KInterfaces", false);
    ASSERT_NE(interfaces, nullptr);
    // Moved: the child's class node first, then last.
    TKDataBranch* childNode = interfaces->FindByData(TKData::OfClass(child));
    childNode->MoveTo(0);
    EXPECT_EQ(GetClassCaption(child), "Child");
    childNode->MoveTo(interfaces->Count() - 1);
    EXPECT_EQ(GetClassCaption(child), "Child");
    // Freed: the base's whole class node; the nodes after it shift.
    FreeObject(interfaces->FindByData(TKData::OfClass(base)));
    EXPECT_EQ(GetClassCaption(base), "TKInfoBase");
    EXPECT_EQ(GetClassCaption(child), "Child");
    // Made by hand after a miss was remembered: found.
    TKDataBranch* made = TKDataBranch::NewNamed("TKInfoBase", 0, TKData::OfClass(base));
    made->AddChild(TKDataBranch::NewNamed("Made", 0, TKData::OfKey(kciCaption)));
    interfaces->AddChild(made);
    EXPECT_EQ(GetClassCaption(base), "Made");
    // A key node freed and made again.
    FreeObject(GetClassInfoBranch(child, kciCaption, false));
    EXPECT_EQ(GetClassCaption(child), "TKInfoChild");
    RegisterClassCaption(child, "Again");
    EXPECT_EQ(GetClassCaption(child), "Again");
}

TEST_F(ClassInfo, GlyphIdsAreKeptForTheThreeSizesOnly)
{
    const TClass cls = TKInfoChild::StaticClass();
    SetClassGlyph(48, cls, 9);
    EXPECT_EQ(GetClassGlyphIndex(48, cls), -1);
    for (int key : {kciGlyph64, kciGlyph32, kciGlyph16})
        EXPECT_EQ(GetClassInfoBranch(cls, key, false), nullptr);

    const std::pair<int, TKRequestKind> sizes[] = {{64, korGlyph64}, {32, korGlyph32}, {16, korGlyph16}};
    for (const auto& [size, kind] : sizes) {
        SCOPED_TRACE(size);
        EXPECT_EQ(GetClassGlyphIndex(size, cls), -1);
        SetClassGlyph(size, cls, size + 1);
        EXPECT_EQ(GetClassGlyphIndex(size, cls), size + 1);
        TKObjectRequest request;
        request.Kind = kind;
        SendObjectRequest(cls, request);
        EXPECT_EQ(request.Argument, size + 1);
    }
}

TEST_F(ClassInfo, ClassGlyphsAreLoadedFromThePluginsResources)
{
    const TClass cls = TKInfoChild::StaticClass();
    EXPECT_EQ(RegisterClassGlyph("TKNoSuchClass_64", 64, cls, true), -1);
    EXPECT_EQ(GetClassGlyphIndex(64, cls), -1);

    TImageList* list = GlyphImageList(64);
    ASSERT_NE(list, nullptr);
    const int before = list->Count();
    const std::int32_t id = RegisterClassGlyph("TKTemplate_64", 64, cls, true);
    ASSERT_GT(id, 0);
    EXPECT_EQ(GetClassGlyphIndex(64, cls), id);
    EXPECT_EQ(GlyphImageIndex(id), before);
    EXPECT_EQ(list->Count(), before + 1);
    EXPECT_EQ(GlyphImageIndex(id + 1000), -1);
    EXPECT_EQ(AddGlyph(48, nullptr, false), -1);

    // The picture as the lists show it: its clear background drawn as black (masked), the
    // page white.
    const QImage image = kelvora::test::GlyphPicture64(id);
    ASSERT_FALSE(image.isNull());
    tarvenix::test::SaveTestOutput(image.scaled(256, 256), "kelvora-glyph-TKTemplate_64");
    EXPECT_EQ(image.pixel(0, 63), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(63, 0), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(20, 40), qRgb(255, 255, 255));
}

TEST_F(ClassInfo, DefaultAnswersAboutObjects)
{
    TOwned<TKInfoChild> named(TKInfoChild::New());
    named->SetName("Surface A");
    TOwned<TKDataBranch> plain(TKDataBranch::NewNamed("not a change object"));

    EXPECT_EQ(RequestCaption(named.get()), "Surface A");
    EXPECT_EQ(RequestCaption(plain.get()), "");
    EXPECT_EQ(RequestCaption(nullptr), "");
    RequestRename(named.get(), "Surface B");
    EXPECT_EQ(named->Name(), "Surface B");
    RequestRename(plain.get(), "ignored");
    EXPECT_EQ(plain->Name(), "not a change object");

    // Request 6: the branch is emptied and stands for the object.
    TOwned<TKDataBranch> branch(TKDataBranch::NewNamed("old"));
    branch->AddChild(TKDataBranch::NewNamed("stale"));
    TKObjectRequest fill;
    fill.Object = named.get();
    fill.Kind = korFillBranch;
    fill.Argument = reinterpret_cast<std::intptr_t>(branch.get());
    EXPECT_EQ(SendObjectRequest(TKInfoChild::StaticClass(), fill), 0);
    EXPECT_EQ(branch->Count(), 0);
    EXPECT_EQ(branch->Name(), "Surface B");
    EXPECT_EQ(branch->Data().AsObject(), named.get());

    // Request 3: the class's own sub-item templates are cloned into the branch.
    TKDataBranch* templates = GetClassInfoBranch(TKInfoChild::StaticClass(), kciSubItems, true);
    templates->AddChild(TKDataBranch::NewNamed("Viewers"))
        ->AddChild(TKDataBranch::NewNamed("Standard Viewer"));
    RequestSubItems(TKInfoChild::StaticClass(), branch.get());
    ASSERT_EQ(branch->Count(), 1);
    EXPECT_NE(branch->GetChild(0), templates->GetChild(0));
    EXPECT_EQ(branch->DataChild(0)->Name(), "Viewers");
    EXPECT_EQ(branch->DataChild(0)->DataChild(0)->Name(), "Standard Viewer");
}

class PopupMenu : public ClassInfo {
protected:
    TOwned<TPopupMenu> menu{TPopupMenu::New(nullptr)};

    void Build(TObject* object, TObject* container)
    {
        TKObjectRequest request;
        request.Object = object;
        request.Container = container;
        request.Kind = korPopupMenu;
        request.Argument = reinterpret_cast<std::intptr_t>(menu.get());
        EXPECT_EQ(SendObjectRequest(object->ClassType(), request), 0);
    }
    void ClickCaption(const std::string& caption)
    {
        for (int i = 0; i < menu->Items()->Count(); ++i)
            if (menu->Items()->Item(i)->Caption() == caption) return menu->Items()->Item(i)->Click();
        ADD_FAILURE() << "no item " << caption;
    }
};

TEST_F(PopupMenu, HasFiveDefaultItemsAtTheTopAndOnlyOpenActs)
{
    TMenuItem* own = TMenuItem::New(menu.get());
    own->SetCaption("Own item");
    menu->Items()->Add(own);
    TOwned<TKTestLinked> object(TKTestLinked::New());
    Build(object.get(), nullptr);

    ASSERT_EQ(menu->Items()->Count(), 6);
    const std::pair<const char*, std::intptr_t> expected[] = {{"Open", -1}, {"-", 0},      {"Cut", -2},
                                                              {"Copy", -3}, {"Paste", -4}, {"Own item", 0}};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(menu->Items()->Item(i)->Caption(), expected[i].first);
        EXPECT_EQ(menu->Items()->Item(i)->Tag(), expected[i].second);
    }
    EXPECT_FALSE(menu->Items()->Item(1)->OnClick());
    for (const char* idle : {"Cut", "Copy", "Paste"}) ClickCaption(idle);
    EXPECT_TRUE(object->opened.empty());
    ClickCaption("Open");
    EXPECT_EQ(object->opened, std::vector<std::intptr_t>{reinterpret_cast<std::intptr_t>(object.get())});
}

TEST_F(PopupMenu, OpenAsksTheContainerWhenThereIsOne)
{
    TOwned<TKTestLinked> object(TKTestLinked::New()), container(TKTestLinked::New());
    Build(object.get(), container.get());
    ClickCaption("Open");
    EXPECT_TRUE(object->opened.empty());
    EXPECT_EQ(container->opened, std::vector<std::intptr_t>{reinterpret_cast<std::intptr_t>(object.get())});
}

TEST_F(PopupMenu, OpenDoesNothingOnceItsObjectIsGone)
{
    TOwned<TKTestLinked> container(TKTestLinked::New());
    TKTestLinked* object = TKTestLinked::New();
    Build(object, container.get());
    object->Free();
    ClickCaption("Open");
    EXPECT_TRUE(container->opened.empty());
    EXPECT_EQ(container->Events().Count(), 0);  // the click object no longer listens
}

TEST_F(ClassInfo, MainWindowsByHandleOrByComponent)
{
    EXPECT_EQ(RegisterMainWindow(nullptr, nullptr), nullptr);
    const HWND raw = reinterpret_cast<HWND>(std::intptr_t(0x4242));
    TKDataBranch* byHandle = RegisterMainWindow(nullptr, raw);
    ASSERT_NE(byHandle, nullptr);
    EXPECT_EQ(RegisterMainWindow(nullptr, raw), byHandle);
    TOwned<TComponent> form(TComponent::New(nullptr));
    form->SetName("AdministratorForm");
    TKDataBranch* byComponent = RegisterMainWindow(form.get(), nullptr);
    ASSERT_NE(byComponent, nullptr);
    EXPECT_EQ(byComponent->Name(), "AdministratorForm");

    EXPECT_EQ(GetMainWindowHandle(0), raw);
    EXPECT_EQ(GetMainWindowHandle(1), nullptr);  // no forms to make its window
    static TComponent* asked = nullptr;
    TKFormLinks links;
    links.componentWindow = [](TComponent* component) {
        asked = component;
        return reinterpret_cast<HWND>(std::intptr_t(0x77));
    };
    SetFormLinks(links);
    EXPECT_EQ(GetMainWindowHandle(1), reinterpret_cast<HWND>(std::intptr_t(0x77)));
    EXPECT_EQ(asked, form.get());
    EXPECT_EQ(GetMainWindowHandle(2), nullptr);

    UnregisterMainWindow(nullptr, raw);
    EXPECT_EQ(GetMainWindowHandle(0), reinterpret_cast<HWND>(std::intptr_t(0x77)));
    UnregisterMainWindow(form.get(), nullptr);
    EXPECT_EQ(GetMainWindowHandle(0), nullptr);
}

}  // namespace
