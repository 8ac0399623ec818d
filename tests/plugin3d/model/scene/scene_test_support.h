#pragma once

// Small concrete 3D classes for the scene library's tests: they record what the draw pass,
// the shadow test and the illumination ask of them.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "plugin3d/model/scene/k_custom3d.h"
#include "plugin3d/model/scene/k_custom3d_lists.h"
#include "plugin3d/model/scene/k_depository.h"
#include "tests/plugin3d/model/core/core_test_support.h"

namespace kelvora::test {

/// A construction with a box of its own; its draw pass records the thread's status text and
/// whether it had a drawing system; its shadow test takes shade from the transmission.
class TestConstruction : public TKCustomConstruction3D {
    DECLARE_TCLASS(TestConstruction)

    void GetMinCorner(TVector3D& out) override { out = minCorner; }
    void GetMaxCorner(TVector3D& out) override { out = maxCorner; }
    void Draw(TDrawContext3D* context) override;
    void OccludeSingle(TOcclusion3S* record) override;
    TKCustomConstruction3D* CreateSnapshot(TPersistent* owner) override;

    TVector3D minCorner{-1, -1, -1};
    TVector3D maxCorner{1, 1, 1};
    float shade = 0;
    bool snapshots = false;
    int occluded = 0;
    /// One entry per Draw: the status text (empty without a thread), "+" or "-" for a
    /// drawing system, e.g. "MakeImage.1.2+".
    std::vector<std::string> draws;

protected:
    TestConstruction() = default;
};

/// A camera that projects by doubling x and records what it projected.
class TestCamera : public TKCustomProjectionSystem3D {
    DECLARE_TCLASS(TestCamera)

    void ProjectSingle(const TVector3S& in, TVector3S& out) override;
    std::vector<TVector3S> projected;

protected:
    TestCamera() = default;
};

/// A drawing system that records its points.
class TestDrawSystem : public TKCustomDrawSystem3D {
    DECLARE_TCLASS(TestDrawSystem)

    void DrawPointSingle(const TVertex3S& v) override { points.push_back(v); }
    std::vector<TVertex3S> points;

protected:
    TestDrawSystem() = default;
};

/// A light that records the occluders it was given.
class TestLight : public TKCustomLightSystem3D {
    DECLARE_TCLASS(TestLight)

    void IlluminateSingle(TIllumination3S* record) override { occluders.push_back(record->Occluders); }
    std::vector<TKCustomConstruction3DList*> occluders;

protected:
    TestLight() = default;
};

/// A change-object list that counts its items' changes as it sees them.
class CountingList : public TKCustomChangeObjectList {
    DECLARE_TCLASS(CountingList)

    void ItemsChangeStarted(std::intptr_t) override { ++started; }
    void ItemsChangeFinished(std::intptr_t) override { ++finished; }
    int started = 0;
    int finished = 0;

protected:
    CountingList() = default;
};

/// Records the events a list passes on (event 11) as they come: sender and code of each.
class ItemEventLog {
public:
    void OnEvent(TObject*, int code, std::intptr_t param)
    {
        if (code != kevItemEvent) return;
        const auto* record = reinterpret_cast<const TItemEvent*>(param);
        senders.push_back(record->Sender);
        codes.push_back(record->Code);
    }
    TKEventHandler Handler() { return TKEventHandler::Of<&ItemEventLog::OnEvent>(this); }
    void Clear()
    {
        senders.clear();
        codes.clear();
    }
    std::vector<TObject*> senders;
    std::vector<int> codes;
};

/// A depository of one double per record; applying a record records it (and runs onApply).
class TestDepository : public TKDepositoryCustomConstruction3D {
    DECLARE_TCLASS(TestDepository)

    int RecordSize() const override { return 8; }
    void ApplyCurrentRecord() override;
    int OpenEditor(std::intptr_t param) override;

    double& ValueOf(int record) { return *static_cast<double*>(GetRecordData(record)); }

    /// The current record at each apply (-1 too).
    std::vector<int> applied;
    std::function<void()> onApply;
    std::vector<std::intptr_t> editorsOpened;

protected:
    TestDepository() = default;
};

/// The same with records of another size.
class WideDepository : public TestDepository {
    DECLARE_TCLASS(WideDepository)

    int RecordSize() const override { return 16; }

protected:
    WideDepository() = default;
};

}  // namespace kelvora::test
