#include <gtest/gtest.h>

#include <ostream>

#include "platform/forms/format.h"
#include "plugin3d/model/core/k_change_object.h"
#include "tests/plugin3d/model/core/core_test_support.h"

using kelvora::test::EventLog;
using kelvora::test::MemoryStream;

namespace {

// A change object with one property set by the setter convention and an event of its own.
class TTestGauge : public TKCustomChangeObject {
    DECLARE_TCLASS(TTestGauge)

    static constexpr int kLevelChanged = 4100;
    int Level() const { return m_level; }
    void SetLevel(int level)
    {
        SetValue(m_level, level, [this] { FireEvent(kLevelChanged, m_level); });
    }

protected:
    TTestGauge() = default;

private:
    int m_level = 0;
};
IMPLEMENT_TCLASS(TTestGauge, TKCustomChangeObject)

struct Subscribed {
    EventLog log;  // outlives the object, which tells it of its end
    TOwned<TKCustomChangeObject> object{TKCustomChangeObject::New()};
    Subscribed() { object->Events().Add(log.Handler()); }
};

struct RenameCase {
    const char* what;
    const char* from;
    const char* to;
    bool insideUpdate;
    std::vector<int> codes;
};

void PrintTo(const RenameCase& c, std::ostream* out)
{
    *out << c.what;
}

class Rename : public ::testing::TestWithParam<RenameCase> {};

TEST_P(Rename, FiresTheNameEventInsideItsOwnUpdate)
{
    const RenameCase& c = GetParam();
    Subscribed s;
    s.object->SetName(c.from);
    if (c.insideUpdate) s.object->BeginUpdate();
    s.log.Clear();
    s.object->SetName(c.to);
    EXPECT_EQ(s.log.Codes(), c.codes);
    EXPECT_EQ(s.object->Name(), c.to);
    if (c.insideUpdate) s.object->EndUpdate();
}

INSTANTIATE_TEST_SUITE_P(ChangeObject, Rename,
                         ::testing::Values(RenameCase{"same name", "Cube", "Cube", false, {}},
                                           RenameCase{"other name", "Cube", "Sphere", false, {4, 8, 5}},
                                           RenameCase{"case only", "Cube", "cube", false, {4, 8, 5}},
                                           RenameCase{"inside an update", "Cube", "Sphere", true, {8}}),
                         [](const auto& info) {
                             std::string name = info.param.what;
                             for (char& ch : name)
                                 if (ch == ' ') ch = '_';
                             return name;
                         });

TEST(ChangeObject, NestedUpdatesFireBeginAndEndOnceWithTheirParams)
{
    Subscribed s;
    s.object->BeginUpdate(false, 11);
    s.object->BeginUpdate(false, 12);
    EXPECT_TRUE(s.object->IsUpdating());
    s.object->EndUpdate(false, 21);
    s.object->EndUpdate(false, 22);
    s.object->EndUpdate(false, 23);  // surplus: nothing
    EXPECT_FALSE(s.object->IsUpdating());
    EXPECT_EQ(s.log.Codes(), (std::vector<int>{4, 5}));
    EXPECT_EQ(s.log.Params(4), (std::vector<std::intptr_t>{11}));
    EXPECT_EQ(s.log.Params(5), (std::vector<std::intptr_t>{22}));
}

TEST(ChangeObject, SetterConventionBracketsTheStoreThenNotifies)
{
    EventLog log;
    TOwned<TTestGauge> gauge(TTestGauge::New());
    gauge->Events().Add(log.Handler());
    gauge->SetLevel(3);
    gauge->SetLevel(3);
    EXPECT_EQ(log.Codes(), (std::vector<int>{4, 5, TTestGauge::kLevelChanged}));
    EXPECT_EQ(log.Params(TTestGauge::kLevelChanged), (std::vector<std::intptr_t>{3}));
}

TEST(ChangeObject, SavingInsideAnUpdateFailsBusy)
{
    TOwned<TKCustomChangeObject> object(TKCustomChangeObject::New());
    MemoryStream stream;
    object->BeginUpdate();
    try {
        object->SaveToStream(&stream);
        ADD_FAILURE() << "saved while busy";
    } catch (const EInvalidOperation& e) {
        EXPECT_EQ(e.Message(), Format("Object [%p] ( Type - TKCustomChangeObject )\n\rCan't save : Busy",
                                      static_cast<const void*>(object.get())));
    }
    object->EndUpdate();
    object->SetName("Saved");
    EXPECT_EQ(object->SaveToStream(&stream), 4 + 5);
    stream.SetPosition(0);
    EventLog log;
    TOwned<TKCustomChangeObject> copy(TKCustomChangeObject::New());
    copy->Events().Add(log.Handler());
    EXPECT_EQ(copy->LoadFromStream(&stream), 9);
    EXPECT_EQ(copy->Name(), "Saved");
    EXPECT_TRUE(log.Codes().empty());  // a load stores the name without events
}

TEST(ChangeObject, NamesCountAcrossClassesAndCreationFlagIsGoneAfterInit)
{
    TOwned<TKCustomChangeObject> first(TKCustomChangeObject::New());
    TOwned<TTestGauge> second(TTestGauge::New());
    const std::string prefix = "TKCustomChangeObject ";
    ASSERT_EQ(first->Name().rfind(prefix, 0), 0u);
    const long n = std::stol(first->Name().substr(prefix.size()));
    EXPECT_EQ(second->Name(), "TTestGauge " + std::to_string(n + 1));
    EXPECT_EQ(second->Flags(), 0u);
}

TEST(ChangeObject, FreeAnnouncesTheEndOnceWhileTheObjectIsWhole)
{
    auto* object = TTestGauge::New();
    object->SetName("Gauge");
    struct Watcher {
        std::vector<std::string> seen;
        void OnEvent(TObject* sender, int code, std::intptr_t)
        {
            if (code == kevDestroyed) {
                auto* gauge = ObjectAs<TTestGauge>(sender);
                seen.push_back(gauge ? gauge->Name() : "?");
                gauge->SetName("Renamed while going");  // no events any more
            }
        }
    } watcher;
    EventLog log;
    object->Events().Add(TKEventHandler::Of<&Watcher::OnEvent>(&watcher));
    object->Events().Add(log.Handler());
    object->Free();
    EXPECT_EQ(watcher.seen, (std::vector<std::string>{"Gauge"}));
    EXPECT_EQ(log.Codes(), (std::vector<int>{3}));
}

}  // namespace
