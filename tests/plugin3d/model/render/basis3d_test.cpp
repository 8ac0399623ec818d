// Bases: their trees, placements that carry sub-bases along, transform brackets and their
// persistence, including files whose child references are damaged.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

#include "platform/forms/exceptions.h"
#include "plugin3d/model/core/k_objects_list.h"
#include "plugin3d/model/render/k_basis3d.h"
#include "tests/plugin3d/model/core/core_test_support.h"

namespace {

using kelvora::test::EventLog;
using kelvora::test::MemoryStream;

TOwned<TKBasis3D> NewBasis()
{
    return TOwned<TKBasis3D>(TKBasis3D::New());
}

/// A sub-basis that cannot follow its parent.
class StuckBasis : public TKBasis3D {
    DECLARE_TCLASS(StuckBasis)
    void ApplyTransform(const TMatrix3D&, const TVector3D&) override { throw EInvalidOperation("stuck"); }

protected:
    StuckBasis() = default;
};
IMPLEMENT_TCLASS(StuckBasis, TKBasis3D)

// A placement: a rotation about axis, scaled, at origin.
void Place(TKBasis3D& basis, TVector3D axis, double angle, double scale, TVector3D origin)
{
    TMatrix3D r;
    RotationMatrix(axis, angle, r);
    MatrixScale(r, scale, r);
    basis.SetPlacement(r, origin);
}

// The placement of child relative to parent: parent^-1 * child, parent^-1 (o_c - o_p).
struct Relative {
    TMatrix3D m;
    TVector3D o;
};
Relative RelativeTo(const TKBasis3D& parent, const TKBasis3D& child)
{
    Relative rel;
    TVector3D po, co, d;
    parent.GetOrigin(po);
    child.GetOrigin(co);
    MatrixMul(parent.Inverse(), child.Matrix(), rel.m);
    VectorSub(co, po, d);
    MatrixMulVector(parent.Inverse(), d, rel.o);
    return rel;
}

void ExpectNear(const Relative& a, const Relative& b, double tolerance)
{
    for (int i = 0; i < 9; ++i) EXPECT_NEAR(a.m.m[i], b.m.m[i], tolerance) << "entry " << i;
    EXPECT_NEAR(a.o.x, b.o.x, tolerance);
    EXPECT_NEAR(a.o.y, b.o.y, tolerance);
    EXPECT_NEAR(a.o.z, b.o.z, tolerance);
}

bool AtIdentity(const TKBasis3D& basis)
{
    TVector3D o;
    basis.GetOrigin(o);
    const TMatrix3D identity;
    return VectorEqual(o, {0, 0, 0}) && std::memcmp(&basis.Matrix(), &identity, sizeof identity) == 0 &&
           std::memcmp(&basis.Inverse(), &identity, sizeof identity) == 0;
}

TEST(Basis3D, TreeEditsKeepOneParentPerBasisAndNoCycles)
{
    auto a = NewBasis(), b = NewBasis(), c = NewBasis(), d = NewBasis();
    EXPECT_EQ(a->AddChild(b.get()), 0);
    EXPECT_EQ(b->AddChild(c.get()), 0);

    // A basis never joins its own subtree.
    EXPECT_EQ(c->AddChild(a.get()), -1);
    EXPECT_EQ(b->AddChild(b.get()), -1);
    c->SetParent(a.get());  // a is c's ancestor already: a move, allowed
    EXPECT_EQ(c->Parent(), a.get());
    a->SetParent(c.get());  // c is below a: refused
    EXPECT_EQ(a->Parent(), nullptr);
    EXPECT_EQ(c->ChildCount(), 0);
    EXPECT_TRUE(c->IsDescendantOf(a.get()));
    EXPECT_FALSE(a->IsDescendantOf(c.get()));
    EXPECT_FALSE(a->IsDescendantOf(a.get()));

    // A present child keeps its place; another parent takes a basis away.
    EXPECT_EQ(a->AddChild(b.get()), 0);
    EXPECT_EQ(a->ChildCount(), 2);
    EXPECT_EQ(d->AddChild(b.get()), 0);
    EXPECT_EQ(b->Parent(), d.get());
    EXPECT_EQ(a->ChildCount(), 1);
    EXPECT_EQ(a->IndexOfChild(b.get()), -1);

    // Placeholders, moves and exchanges.
    EXPECT_EQ(a->AddChild(nullptr), 1);
    a->AddChild(b.get());
    a->Move(2, 0);
    EXPECT_EQ(a->GetChild(0), b.get());
    EXPECT_EQ(a->GetChild(1), c.get());
    EXPECT_EQ(a->GetChild(2), nullptr);
    a->Exchange(0, 1);
    EXPECT_EQ(a->GetChild(0), c.get());
    a->Exchange(0, 7);  // out of range: nothing
    EXPECT_EQ(a->RemoveChild(7), nullptr);
    EXPECT_EQ(a->RemoveChild(0), c.get());
    EXPECT_EQ(c->Parent(), nullptr);
    a->SetChildCount(-1);
    EXPECT_EQ(a->ChildCount(), 2);

    // Freeing a basis takes it out of its parent and lets its children go.
    b->AddChild(c.get());
    b.reset();
    EXPECT_EQ(a->ChildCount(), 1);
    EXPECT_EQ(a->GetChild(0), nullptr);
    EXPECT_EQ(c->Parent(), nullptr);
}

TEST(Basis3D, PlacementCarriesEverySubBasisRigidly)
{
    EventLog log;  // outlives the bases, which tell it their end
    auto top = NewBasis(), left = NewBasis(), right = NewBasis(), below = NewBasis();
    Place(*top, {1, 2, 3}, 0.4, 1.0, {5, -1, 2});
    Place(*left, {0, 1, 0}, -1.2, 2.0, {0, 3, 0});
    Place(*right, {1, 0, 0}, 2.0, 0.5, {-4, 0, 1});
    Place(*below, {1, 1, 0}, 0.3, 1.5, {1, 1, 1});
    top->AddChild(left.get());
    top->AddChild(nullptr);
    top->AddChild(right.get());
    left->AddChild(below.get());
    const Relative l = RelativeTo(*top, *left), r = RelativeTo(*top, *right), b = RelativeTo(*left, *below);

    below->Events().Add(log.Handler());
    TMatrix3D target;
    RotationMatrix({-2, 0, 1}, 2.2, target);
    MatrixScale(target, 3.0, target);
    top->SetPlacement(target, {10, 20, -30});

    TVector3D origin;
    top->GetOrigin(origin);
    for (int i = 0; i < 9; ++i) EXPECT_NEAR(top->Matrix().m[i], target.m[i], 1e-13);
    EXPECT_NEAR(origin.x, 10, 1e-12);
    EXPECT_NEAR(origin.y, 20, 1e-12);
    EXPECT_NEAR(origin.z, -30, 1e-12);
    ExpectNear(RelativeTo(*top, *left), l, 1e-12);
    ExpectNear(RelativeTo(*top, *right), r, 1e-12);
    ExpectNear(RelativeTo(*left, *below), b, 1e-12);
    EXPECT_EQ(log.Codes(), (std::vector<int>{kevTransformStarted, kevTransformFinished}));

    // Turning in place keeps the origin; the sub-bases still follow.
    TMatrix3D turn;
    RotationMatrix({0, 0, 1}, 1.0, turn);
    top->RotateInPlace(turn);
    top->GetOrigin(origin);
    EXPECT_NEAR(origin.x, 10, 1e-12);
    EXPECT_NEAR(origin.z, -30, 1e-12);
    ExpectNear(RelativeTo(*top, *right), r, 1e-12);

    // Assign takes a placement; from anything else the identity at the origin.
    right->SetParent(nullptr);
    right->Assign(top.get());
    for (int i = 0; i < 9; ++i) EXPECT_NEAR(right->Matrix().m[i], top->Matrix().m[i], 1e-12);
    right->Assign(nullptr);
    TVector3D o;
    right->GetOrigin(o);
    EXPECT_NEAR(VectorLength(o), 0, 1e-12);
    for (int i = 0; i < 9; ++i) EXPECT_NEAR(right->Matrix().m[i], i % 4 == 0 ? 1 : 0, 1e-12);
}

TEST(Basis3D, ASingularTransformLeavesTheIdentityAtTheOriginAndRaises)
{
    EventLog log;
    auto top = NewBasis(), child = NewBasis();
    Place(*top, {1, 0, 0}, 0.5, 2.0, {1, 2, 3});
    Place(*child, {0, 1, 0}, 0.5, 1.0, {4, 5, 6});
    top->AddChild(child.get());
    const TMatrix3D childBefore = child->Matrix();
    top->Events().Add(log.Handler());

    const TMatrix3D flat{{1, 0, 0, 0, 1, 0, 0, 0, 0}};
    EXPECT_THROW(top->ApplyTransform(flat, {1, 1, 1}), EZeroDivide);
    EXPECT_TRUE(AtIdentity(*top));
    EXPECT_EQ(std::memcmp(&child->Matrix(), &childBefore, sizeof childBefore), 0);
    EXPECT_EQ(log.Codes(), (std::vector<int>{kevTransformStarted, kevTransformFinished}));
    EXPECT_EQ(top->TransformDepth(), 0);

    Place(*top, {1, 0, 0}, 0.5, 2.0, {1, 2, 3});
    EXPECT_THROW(top->SetPlacement(flat, {0, 0, 0}), EZeroDivide);
    EXPECT_TRUE(AtIdentity(*top));
}

TEST(Basis3D, ASubBasisThatFailsDoesNotStopTheOthers)
{
    auto top = NewBasis(), after = NewBasis();
    TOwned<StuckBasis> stuck(StuckBasis::New());
    top->AddChild(stuck.get());
    top->AddChild(after.get());
    EXPECT_NO_THROW(top->ApplyTransform(TMatrix3D{}, {1, 2, 3}));
    TVector3D o;
    after->GetOrigin(o);
    EXPECT_TRUE(VectorEqual(o, {1, 2, 3}));
}

TEST(Basis3D, TransformBracketsNestAndASaveInsideOneIsBusy)
{
    EventLog log;
    auto basis = NewBasis();
    basis->Events().Add(log.Handler());
    basis->EndTransform();  // surplus: nothing
    basis->BeginTransform();
    basis->BeginTransform();
    MemoryStream stream;
    try {
        basis->SaveToStream(&stream);
        ADD_FAILURE() << "saved inside a transform";
    } catch (const EInvalidOperation& e) {
        EXPECT_NE(std::string(e.what()).find("Can't save : Busy"), std::string::npos) << e.what();
    }
    basis->EndTransform();
    basis->EndTransform();
    EXPECT_EQ(log.Codes(), (std::vector<int>{kevTransformStarted, kevTransformFinished}));
    EXPECT_GT(basis->SaveToStream(&stream), 0);
}

// A basis record as SaveToStream writes it: name, origin, matrix, inverse, count, children.
std::vector<std::uint8_t> BasisRecord(std::int32_t objectId, const std::vector<std::int32_t>& children,
                                      std::int32_t count)
{
    std::vector<std::uint8_t> payload;
    auto put = [&](const void* p, std::size_t n) {
        payload.insert(payload.end(), static_cast<const std::uint8_t*>(p),
                       static_cast<const std::uint8_t*>(p) + n);
    };
    const std::string name = "B" + std::to_string(objectId);
    const std::int32_t length = std::int32_t(name.size());
    put(&length, 4);
    put(name.data(), name.size());
    const double origin[3] = {double(objectId), 0, 0};
    const TMatrix3D identity;
    put(origin, sizeof origin);
    put(identity.m, sizeof identity.m);
    put(identity.m, sizeof identity.m);
    put(&count, 4);
    for (std::int32_t id : children) put(&id, 4);
    const std::int32_t head[3] = {1, objectId, std::int32_t(payload.size())};
    std::vector<std::uint8_t> record(reinterpret_cast<const std::uint8_t*>(head),
                                     reinterpret_cast<const std::uint8_t*>(head) + sizeof head);
    record.insert(record.end(), payload.begin(), payload.end());
    return record;
}

// Reads the records of bytes (of class TKBasis3D) and links them.
std::vector<TOwned<TKBasis3D>> LoadBases(const std::vector<std::vector<std::uint8_t>>& records)
{
    MemoryStream stream;
    stream.ClassReference(TKBasis3D::StaticClass());
    for (const auto& r : records) stream.bytes.insert(stream.bytes.end(), r.begin(), r.end());
    std::vector<TOwned<TKBasis3D>> bases;
    for (std::size_t i = 0; i < records.size(); ++i) {
        TKObject* object = nullptr;
        stream.ReadObject(object, TKBasis3D::StaticClass());
        bases.emplace_back(static_cast<TKBasis3D*>(object));
    }
    for (auto& basis : bases) basis->LinkObjects(&stream);
    return bases;
}

TEST(Basis3D, PlaceholdersAreSavedAsZeroReferences)
{
    auto basis = NewBasis();
    basis->SetName("P");
    basis->SetChildCount(3);
    EXPECT_EQ(basis->ChildCount(), 3);
    MemoryStream stream;
    const int bytes = basis->SaveToStream(&stream);
    EXPECT_EQ(bytes, 5 + 172 + 12);
    ASSERT_EQ(stream.bytes.size(), std::size_t(bytes));
    std::int32_t tail[4];
    std::memcpy(tail, stream.bytes.data() + bytes - 16, 16);
    EXPECT_EQ(tail[0], 3);
    EXPECT_EQ(tail[1] | tail[2] | tail[3], 0);
    EXPECT_EQ(basis->SaveToStream(nullptr), -1);
    EXPECT_EQ(basis->LoadFromStream(nullptr), -1);
    EXPECT_EQ(basis->LinkObjects(nullptr), -1);
}

TEST(Basis3D, ATreeComesBackFromItsRecordsAfterLinking)
{
    auto top = NewBasis(), child = NewBasis(), other = NewBasis();
    Place(*top, {1, 2, 3}, 0.7, 2.0, {1, 2, 3});
    Place(*child, {3, 2, 1}, -0.2, 0.5, {-1, 0, 4});
    top->AddChild(child.get());
    top->AddChild(nullptr);
    top->AddChild(other.get());
    MemoryStream out;
    for (TKBasis3D* b : {top.get(), child.get(), other.get()}) out.WriteObject(b);

    MemoryStream in;
    in.bytes = out.bytes;
    in.ClassReference(TKBasis3D::StaticClass());
    std::vector<TOwned<TKBasis3D>> loaded;
    for (int i = 0; i < 3; ++i) {
        TKObject* object = nullptr;
        in.ReadObject(object, TKBasis3D::StaticClass());
        loaded.emplace_back(static_cast<TKBasis3D*>(object));
    }
    // Before linking the children are placeholders holding nothing.
    EXPECT_EQ(loaded[0]->ChildCount(), 3);
    EXPECT_EQ(loaded[0]->GetChild(0), nullptr);
    EXPECT_EQ(loaded[1]->Parent(), nullptr);
    for (auto& b : loaded) b->LinkObjects(&in);

    EXPECT_EQ(loaded[0]->GetChild(0), loaded[1].get());
    EXPECT_EQ(loaded[0]->GetChild(1), nullptr);
    EXPECT_EQ(loaded[0]->GetChild(2), loaded[2].get());
    EXPECT_EQ(loaded[1]->Parent(), loaded[0].get());
    EXPECT_EQ(loaded[0]->Name(), top->Name());
    EXPECT_EQ(std::memcmp(&loaded[0]->Matrix(), &top->Matrix(), sizeof(TMatrix3D)), 0);
    EXPECT_EQ(std::memcmp(&loaded[1]->Inverse(), &child->Inverse(), sizeof(TMatrix3D)), 0);
}

TEST(Basis3D, DamagedChildReferencesLinkWithoutCyclesOrSharedChildren)
{
    // 1 lists 2 twice and 3; 2 lists 1 (a cycle) and 3 (3 has a parent by then); 3 lists
    // itself and an unknown id.
    auto bases =
        LoadBases({BasisRecord(1, {2, 2, 3}, 3), BasisRecord(2, {1, 3}, 2), BasisRecord(3, {3, 99}, 2)});
    TKBasis3D *b1 = bases[0].get(), *b2 = bases[1].get(), *b3 = bases[2].get();
    EXPECT_EQ(b1->GetChild(0), b2);
    EXPECT_EQ(b1->GetChild(1), nullptr);
    EXPECT_EQ(b1->GetChild(2), b3);
    EXPECT_EQ(b2->GetChild(0), nullptr);
    EXPECT_EQ(b2->GetChild(1), nullptr);
    EXPECT_EQ(b3->GetChild(0), nullptr);
    EXPECT_EQ(b3->GetChild(1), nullptr);
    EXPECT_EQ(b1->Parent(), nullptr);
    EXPECT_FALSE(b1->IsDescendantOf(b2));
    // The walks of the tree end.
    b1->ApplyTransform(TMatrix3D{}, {1, 0, 0});
    TVector3D o;
    b3->GetOrigin(o);
    EXPECT_EQ(o.x, 4);
}

TEST(Basis3D, BadChildCountsAreRefusedBeforeAnythingIsMade)
{
    for (std::int32_t count : {-1, 3, 1 << 30}) {
        SCOPED_TRACE(count);
        MemoryStream stream;
        stream.ClassReference(TKBasis3D::StaticClass());
        stream.bytes = BasisRecord(1, {}, count);
        TKObject* object = nullptr;
        try {
            stream.ReadObject(object, TKBasis3D::StaticClass());
            ADD_FAILURE() << "loaded";
        } catch (const EStreamError& e) {
            EXPECT_NE(std::string(e.what()).find("Can't load : Invalid Value"), std::string::npos)
                << e.what();
        }
        EXPECT_EQ(object, nullptr);
    }
}

TEST(Basis3D, ALoadThatStopsBeforeLinkingFreesCleanly)
{
    MemoryStream stream;
    stream.ClassReference(TKBasis3D::StaticClass());
    stream.bytes = BasisRecord(5, {6, 7, 8}, 3);
    TKObject* object = nullptr;
    stream.ReadObject(object, TKBasis3D::StaticClass());
    ASSERT_NE(object, nullptr);
    auto* basis = static_cast<TKBasis3D*>(object);
    EXPECT_EQ(basis->ChildCount(), 3);
    basis->Free();  // the stored references were never resolved: nothing is touched
}

TEST(Basis3D, EveryBasisIsInTheGlobalListWhileItLives)
{
    TKObjectsList* list = Basis3DGlobalList();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->Name(), "Global List of KBasis3D");
    TKBasis3D* basis = TKBasis3D::New();
    EXPECT_GE(list->IndexOf(basis), 0);
    basis->Free();
    EXPECT_EQ(list->IndexOf(basis), -1);
}

}  // namespace
