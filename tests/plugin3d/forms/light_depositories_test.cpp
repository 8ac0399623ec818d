// The light editors' depositories: new records, what counts as a change, what a record does
// to each light class, the hand-back of an editor's copy and the editor's place on file.

#include <gtest/gtest.h>

#include "plugin3d/forms/k_light_depositories.h"
#include "plugin3d/model/scene/k_custom3d.h"
#include "plugin3d/model/scene/k_lights3d.h"
#include "tests/plugin3d/model/core/core_test_support.h"

namespace {

using kelvora::test::MemoryStream;

TPointLightRecord& PointRecord(TKDepositoryCustomConstruction3D& d, int index)
{
    return *static_cast<TPointLightRecord*>(d.GetRecordData(index));
}

TEST(LightDepositories, ANewPointRecordIsAWhiteUnattenuatedEnabledLight)
{
    TOwned<TKPointSpringLight3D_Depository> d(TKPointSpringLight3D_Depository::New());
    EXPECT_EQ(d->RecordSize(), 68);
    d->SetRecordCount(1);
    const TPointLightRecord& r = PointRecord(*d, 0);
    EXPECT_EQ(r.Red + r.Green + r.Blue, 3.0);
    EXPECT_EQ(r.Constant, 1.0);
    EXPECT_EQ(r.Linear + r.Quadratic, 0.0);
    EXPECT_EQ(r.SpotExponent, 0.0);
    EXPECT_EQ(r.SpotCutOff, -1.0);
    EXPECT_EQ(r.Enabled, -1);

    // The switch compares as a boolean: -1 and 1 are the same; any number differing is a
    // change, and only a change copies.
    TPointLightRecord a, b;
    b.Enabled = 1;
    b.Red = 7;  // not compared alone below
    TPointLightRecord same = a;
    same.Enabled = 1;
    EXPECT_FALSE(d->CopyRecordData(&a, &same));
    EXPECT_EQ(a.Enabled, -1);
    EXPECT_TRUE(d->CopyRecordData(&a, &b));
    EXPECT_EQ(a.Red, 7.0);
    EXPECT_EQ(a.Enabled, 1);
    TPointLightRecord off = a;
    off.Enabled = 0;
    EXPECT_TRUE(d->CopyRecordData(&a, &off));
}

TEST(LightDepositories, RecordsReachTheirLightAndOnlyTheirs)
{
    TOwned<TKPointSpringLight3D> point(TKPointSpringLight3D::New());
    TOwned<TKAmbientLight3D> ambient(TKAmbientLight3D::New());
    TOwned<TKFlatSpringLight3D> flat(TKFlatSpringLight3D::New());

    TOwned<TKPointSpringLight3D_Depository> p(TKPointSpringLight3D_Depository::New());
    p->SetConstruction(ambient.get());  // a wrong class becomes none
    EXPECT_EQ(p->Construction(), nullptr);
    p->SetConstruction(point.get());
    p->SetRecordCount(2);
    PointRecord(*p, 1) = {0.5, 0.25, 0.125, 2, 0.5, 0.25, 3, 0.75, 0};
    p->SetCurrentRecord(1);
    EXPECT_EQ(point->Color().y, 0.25);
    EXPECT_EQ(point->Attenuation().x, 2.0);
    EXPECT_EQ(point->SpotExponent(), 3.0);
    EXPECT_EQ(point->SpotCutOff(), 0.75);
    EXPECT_EQ(point->Enabled(), 0);

    TOwned<TKAmbientLight3D_Depository> a(TKAmbientLight3D_Depository::New());
    a->SetConstruction(point.get());
    EXPECT_EQ(a->Construction(), nullptr);
    EXPECT_EQ(a->RecordSize(), 28);
    for (TKCustomConstruction3D* light : {static_cast<TKCustomConstruction3D*>(flat.get()),
                                          static_cast<TKCustomConstruction3D*>(ambient.get())}) {
        a->SetConstruction(light);
        ASSERT_EQ(a->Construction(), light);
        a->SetRecordCount(0);
        a->SetRecordCount(1);
        auto& r = *static_cast<TAmbientLightRecord*>(a->GetRecordData(0));
        r = {0.25, 0.5, 0.75, -1};
        a->SetCurrentRecord(-1);
        a->SetCurrentRecord(0);
    }
    EXPECT_EQ(flat->Color().x, 0.25);  // through the flat light's own setter
    EXPECT_EQ(flat->Color().z, 0.75);
    EXPECT_EQ(ambient->Color().y, 0.5);
}

struct Events {
    std::vector<int> codes;
    void OnEvent(TObject*, int code, std::intptr_t) { codes.push_back(code); }
    TKEventHandler Handler() { return TKEventHandler::Of<&Events::OnEvent>(this); }
};

TEST(LightDepositories, ApplyHandsTheCopyBackAndThePlaceIsSaved)
{
    TOwned<TKPointSpringLight3D> point(TKPointSpringLight3D::New());
    TOwned<TKPointSpringLight3D_Depository> d(TKPointSpringLight3D_Depository::New());
    d->SetConstruction(point.get());
    d->SetRecordCount(1);
    TOwned<TKPointSpringLight3D_Depository> copy(TKPointSpringLight3D_Depository::New());
    copy->Assign(d.get());
    PointRecord(*copy, 0).Green = 0.5;
    copy->Place() = {12, 34, 1, 0, 0, 3};
    Events events;
    point->Events().Add(events.Handler());
    d->ApplyEdited(copy.get());
    point->Events().Remove(events.Handler());
    EXPECT_EQ(PointRecord(*d, 0).Green, 0.5);
    EXPECT_EQ(std::count(events.codes.begin(), events.codes.end(), kevPictureChanged), 1);
    EXPECT_EQ(d->Place().Left, 12);

    // Reset: the editor takes the depository's values again.
    PointRecord(*copy, 0).Green = 0.125;
    copy->Assign(d.get());
    EXPECT_EQ(PointRecord(*copy, 0).Green, 0.5);

    MemoryStream stream;
    const int written = d->SaveToStream(&stream);
    TOwned<TKPointSpringLight3D_Depository> bare(TKPointSpringLight3D_Depository::New());
    MemoryStream bareStream;
    // One record more: its 68 bytes and its (empty) name; both carry the 24 bytes of the place.
    EXPECT_EQ(written - bare->SaveToStream(&bareStream), 68 + 4);
    stream.SetPosition(0);
    TOwned<TKPointSpringLight3D_Depository> loaded(TKPointSpringLight3D_Depository::New());
    EXPECT_EQ(loaded->LoadFromStream(&stream), written);
    EXPECT_EQ(loaded->Place().Top, 34);
    EXPECT_EQ(loaded->Place().KeepOnTop, 1);
    EXPECT_EQ(loaded->Place().Depth, 0);  // no editor was open
    EXPECT_EQ(PointRecord(*loaded, 0).Green, 0.5);
}

}  // namespace
