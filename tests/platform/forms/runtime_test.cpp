#include <gtest/gtest.h>

#include <locale>
#include <string>
#include <vector>

#include "platform/forms/component.h"
#include "platform/forms/exceptions.h"
#include "platform/forms/format.h"
#include "platform/forms/method.h"
#include "platform/forms/string_list.h"
#include "platform/forms/units.h"
#include "platform/last_error.h"

namespace {

class TTestBase : public TPersistent {
    DECLARE_TCLASS(TTestBase)
    void Create(void* owner) override { createdWith = owner, madeBy = ClassName(); }
    virtual int Kind() const = 0;
    void* createdWith = nullptr;
    std::string madeBy;

protected:
    TTestBase() = default;
};
IMPLEMENT_TCLASS(TTestBase, TPersistent)

class TTestLeaf : public TTestBase {
    DECLARE_TCLASS(TTestLeaf)
    int Kind() const override { return 1; }

protected:
    TTestLeaf() = default;
};
IMPLEMENT_TCLASS(TTestLeaf, TTestBase)

TEST(Runtime, ObjectsAreMadeByClassAndKnowTheirAncestry)
{
    int owner = 0;
    TClass cls = TTestLeaf::StaticClass();
    TOwned<TObject> object(cls->Construct(&owner));
    auto* leaf = ObjectAs<TTestLeaf>(object.get());
    ASSERT_NE(leaf, nullptr);
    EXPECT_EQ(leaf->createdWith, &owner);
    EXPECT_EQ(leaf->madeBy, "TTestLeaf");  // Create reached the most derived class
    EXPECT_STREQ(object->ClassName(), "TTestLeaf");
    EXPECT_EQ(object->ClassParent(), TTestBase::StaticClass());
    EXPECT_EQ(object->ClassType(), cls);

    const std::pair<TClass, bool> ancestry[] = {
        {TTestLeaf::StaticClass(), true},    {TTestBase::StaticClass(), true},
        {TPersistent::StaticClass(), true},  {TObject::StaticClass(), true},
        {TStringList::StaticClass(), false}, {nullptr, false}};
    for (auto [ancestor, expected] : ancestry) EXPECT_EQ(object->InheritsFrom(ancestor), expected);
    EXPECT_EQ(ObjectAs<TStringList>(object.get()), nullptr);

    EXPECT_THROW(TTestBase::StaticClass()->Construct(nullptr), EInvalidOperation);
}

TEST(Runtime, PersistentWithoutACopyRuleCannotAssign)
{
    TOwned<TTestLeaf> a(TTestLeaf::New()), b(TTestLeaf::New());
    try {
        a->Assign(b.get());
        ADD_FAILURE();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "Cannot assign a TTestLeaf to a TTestLeaf");
    }
    EXPECT_THROW(a->Assign(nullptr), EConvertError);
}

struct Target {
    int calls = 0;
    void Click(TObject*) { ++calls; }
    void Other(TObject*) {}
};

TEST(Runtime, MethodPointersCompareByObjectAndMember)
{
    Target one, two;
    const TNotifyEvent click = TNotifyEvent::Of<&Target::Click>(&one);
    EXPECT_EQ(click, TNotifyEvent::Of<&Target::Click>(&one));
    EXPECT_NE(click, TNotifyEvent::Of<&Target::Click>(&two));
    EXPECT_NE(click, TNotifyEvent::Of<&Target::Other>(&one));
    EXPECT_FALSE(TNotifyEvent().IsAssigned());
    EXPECT_EQ(TNotifyEvent(), TNotifyEvent());
    click(nullptr);
    EXPECT_EQ(one.calls, 1);
}

struct FormatCase {
    std::string expected;
    std::string text;
};

TEST(Runtime, FormatWritesItsSpecifiers)
{
    int local = 0;
    const FormatCase cases[] = {
        {"Object [00000000] ( Type - TKBranch )", Format("Object [%p] ( Type - %s )", nullptr, "TKBranch")},
        {"{0000BEEF}", Format("{%p}", reinterpret_cast<const void*>(std::uintptr_t(0xBEEF)))},
        {"    3.14|-2.50", Format("%*.*f|%.2f", 8, 2, 3.14159, -2.5)},
        {"12.500000", Format("%*.*f", 0, 6, 12.5)},
        {"007 -42 4294967295 FF", Format("%.3d %d %u %x", 7, -42, 4294967295u, 255)},
        {"[ab  ] [  ab] [a]", Format("[%-4s] [%4s] [%.1s]", "ab", std::string("ab"), "abc")},
        {"100%", Format("%d%%", 100)},
    };
    for (const FormatCase& c : cases) EXPECT_EQ(c.text, c.expected);
    EXPECT_EQ(Format("%p", &local).size() >= 8, true);
    EXPECT_THROW(Format("%d", "text"), EConvertError);
    EXPECT_THROW(Format("%s %s", "one"), EConvertError);
    EXPECT_THROW(Format("%q", 1), EConvertError);
}

// A decimal comma, as a user's locale may have it.
struct CommaPunct : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};

TEST(Runtime, NumbersKeepThePointUnderAnyLocale)
{
    const std::locale previous = std::locale::global(std::locale(std::locale::classic(), new CommaPunct));
    EXPECT_EQ(FloatToStr(2.5), "2.5");
    EXPECT_EQ(FloatToStr(-1234567.25), "-1234567.25");
    EXPECT_EQ(FloatToStr(0.1), "0.1");
    EXPECT_EQ(Format("%*.*f", 12, 6, 1234.5), " 1234.500000");
    EXPECT_EQ(IntToStr(-1234567), "-1234567");
    EXPECT_DOUBLE_EQ(StrToFloat(" 2.75 "), 2.75);
    EXPECT_EQ(StrToInt("-17"), -17);
    double value = 9.0;
    EXPECT_FALSE(TryStrToFloat("2,75", value));
    EXPECT_DOUBLE_EQ(value, 9.0);
    std::locale::global(previous);
    try {
        StrToInt("12a");
        ADD_FAILURE();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "'12a' is not a valid integer value");
    }
}

TEST(Runtime, StringListTextAndValues)
{
    TStringList list;
    list.SetText("Surface=a.rdp\r\nLight=b.rdp\nlast\r");
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Text(), "Surface=a.rdp\r\nLight=b.rdp\r\nlast\r\n");
    EXPECT_EQ(list.Name(1), "Light");
    EXPECT_EQ(list.Value("surface"), "a.rdp");
    EXPECT_EQ(list.IndexOfName("LIGHT"), 1);
    list.SetValue("Light", "c.rdp");
    list.SetValue("Camera", "d.rdp");
    list.SetValue("Surface", "");
    EXPECT_EQ(list.Text(), "Light=c.rdp\r\nlast\r\nCamera=d.rdp\r\n");
    EXPECT_EQ(list.IndexOf("LAST"), 1);
    EXPECT_THROW(list.Get(3), EInvalidOperation);

    TStringList copy;
    copy.Assign(&list);
    EXPECT_EQ(copy.Lines(), list.Lines());
}

class TTestPart : public TComponent {
    DECLARE_TCLASS(TTestPart)
    static inline std::vector<std::string> log;
    void Notification(TComponent* component, TOperation operation) override
    {
        log.push_back(Name() + (operation == opInsert ? " +" : " -") + component->Name());
    }

protected:
    TTestPart() = default;
    ~TTestPart() override { log.push_back(Name() + " freed"); }
};
IMPLEMENT_TCLASS(TTestPart, TComponent)

TTestPart* Part(const std::string& name, TComponent* owner)
{
    TTestPart* part = TTestPart::New(owner);
    part->SetName(name);
    return part;
}

TEST(Runtime, ComponentsFreeWhatTheyOwnAndTellWhoAsked)
{
    TTestPart::log.clear();
    TTestPart* form = Part("form", nullptr);
    TTestPart* button = Part("button", form);
    TTestPart* menu = Part("menu", form);
    TTestPart* watcher = Part("watcher", nullptr);
    EXPECT_EQ(form->ComponentCount(), 2);
    EXPECT_EQ(button->Owner(), form);
    button->FreeNotification(watcher);
    TTestPart::log.clear();

    form->Free();
    EXPECT_EQ(TTestPart::log, (std::vector<std::string>{"form -menu", "menu freed", "form -button",
                                                        "watcher -button", "button freed", "form freed"}));
    EXPECT_EQ(watcher->ComponentCount(), 0);
    (void)menu;

    // Either side going ends the notice: here the watcher goes first.
    TTestPart* other = Part("other", nullptr);
    other->FreeNotification(watcher);
    watcher->Free();
    TTestPart::log.clear();
    other->Free();
    EXPECT_EQ(TTestPart::log, (std::vector<std::string>{"other freed"}));
}

std::vector<std::string> g_unitLog;
void StartA()
{
    g_unitLog.push_back("start A");
}
void EndA()
{
    g_unitLog.push_back("end A");
}
void StartB()
{
    g_unitLog.push_back("start B");
}
void EndB()
{
    g_unitLog.push_back("end B");
}
void StartFailing()
{
    throw Exception("unit failed");
}

TEST(Runtime, UnitsStartInOrderOnceAndFinishInReverse)
{
    g_unitLog.clear();
    const TUnitInfo units[] = {{"A", StartA, EndA}, {"B", StartB, EndB}};
    InitializeUnits(units);
    InitializeUnits(units);
    FinalizeUnits(units);
    EXPECT_EQ(g_unitLog, (std::vector<std::string>{"start A", "start B"}));
    FinalizeUnits(units);
    EXPECT_EQ(g_unitLog, (std::vector<std::string>{"start A", "start B", "end B", "end A"}));

    g_unitLog.clear();
    const TUnitInfo failing[] = {{"A", StartA, EndA}, {"F", StartFailing, nullptr}, {"B", StartB, EndB}};
    EXPECT_THROW(InitializeUnits(failing), Exception);
    EXPECT_EQ(g_unitLog, (std::vector<std::string>{"start A", "end A"}));
    FinalizeUnits(failing);  // nothing was left started
    EXPECT_EQ(g_unitLog.size(), 2u);
}

TEST(Runtime, SystemErrorsCarryTheLastErrorText)
{
    SetLastError(ERROR_FILE_NOT_FOUND);
    try {
        RaiseLastOSError();
    } catch (const EOSError& e) {
        EXPECT_EQ(e.ErrorCode(), ERROR_FILE_NOT_FOUND);
        EXPECT_EQ(e.Message(), ErrorText(ERROR_FILE_NOT_FOUND).str());
    }
    EXPECT_THROW(Abort(), EAbort);
}

}  // namespace
