// Surfaces: sampling steps, resizing, what each drawing mode emits, normals at the edges,
// bounds, the grid bracket, persistence (stored nodes included), stops, and grids that cannot
// be had.

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/forms/exceptions.h"
#include "platform/kernel/row_bands.h"
#include "plugin3d/model/core/k_threads.h"
#include "plugin3d/model/scene/k_surface3d.h"
#include "tests/plugin3d/model/scene/scene_test_support.h"

namespace {

using namespace kelvora::test;

using Cell = std::pair<int, int>;

// A surface whose node (i, j) has the source position (i, j, height(i, j)) and the colour
// coefficients (1, 0.5, 0.25). Drawn through an identity camera at the origin, a vertex
// carries its node's column and row in x and y.
TOwned<TKSurface3D> MakeSurface(int width, int height, int step = 1, int mode = ksmTriangles,
                                const std::function<float(int, int)>& z = {})
{
    TOwned<TKSurface3D> s(TKSurface3D::New());
    s->SetSize(width, height);
    s->BeginGridUpdate(0);
    for (int j = 0; j < height; ++j)
        for (int i = 0; i < width; ++i) {
            TSurfaceNode& n = *s->Node(i, j);
            n.Values[kssX] = float(i);
            n.Values[kssY] = float(j);
            n.Values[kssZ] = z ? z(i, j) : 0.f;
            n.Values[kssRed] = 1;
            n.Values[kssGreen] = 0.5f;
            n.Values[kssBlue] = 0.25f;
        }
    s->EndGridUpdate(0);
    TSurfaceSettings settings;
    settings.Step = step;
    settings.Mode = mode;
    s->ApplySettings(settings);
    return s;
}

struct Scene {
    TOwned<TKCustomProjectionSystem3D> camera{TKCustomProjectionSystem3D::New()};
    TOwned<TestDrawSystem> ds{TestDrawSystem::New()};
    TDrawContext3D Context(TKThread* thread = nullptr)
    {
        TDrawContext3D c;
        c.Camera = camera.get();
        c.DrawSystem = ds.get();
        c.Thread = thread;
        return c;
    }
    void Draw(TKSurface3D& s)
    {
        ds->Clear();
        TDrawContext3D c = Context();
        s.Draw(&c);
    }
};

Cell CellOf(const TVertex3S& v)
{
    return {int(v.x), int(v.y)};
}

std::vector<std::vector<Cell>> CellsOf(const TestDrawSystem& ds)
{
    std::vector<std::vector<Cell>> out;
    for (const auto& p : ds.primitives) {
        std::vector<Cell> cells;
        for (const TVertex3S& v : p.v) cells.push_back(CellOf(v));
        out.push_back(cells);
    }
    return out;
}

TEST(Surface3D, SamplingStepsKeepAboutEightSamplesAcrossNarrowGrids)
{
    struct Case {
        int width, height, step, stepX, stepY;
    };
    const Case cases[] = {
        {10, 10, 5, 2, 2},                          // 8 x 5 > 10: (10 + 7) div 8
        {1000, 40, 20, 20, 5},                      // 160 is not above 1000
        {100, 100, 20, 13, 13}, {10, 10, 0, 1, 1},  // a Step below 1 counts as 1
        {10, 10, -7, 1, 1},     {1, 1, 9, 1, 1},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(std::to_string(k.width) + " x " + std::to_string(k.height) + " step " +
                     std::to_string(k.step));
        auto s = MakeSurface(k.width, k.height, k.step);
        EXPECT_EQ(s->StepX(), k.stepX);
        EXPECT_EQ(s->StepY(), k.stepY);
    }
    auto wide = MakeSurface(1000, 1000, 20);
    EXPECT_EQ(wide->RowsPerTick(), 20);   // 50 sampled columns: about 1000 nodes a tick
    EXPECT_EQ(wide->ProgressTicks(), 3);  // 1000 rows in ticks of 20 sampled rows of 20
}

TEST(Surface3D, TheMeshJoinsOnlySampledNodes)
{
    Scene scene;
    auto s = MakeSurface(10, 10, 5);
    scene.Draw(*s);
    // Quads start at rows and columns 0, 2, 4, 6 and reach 8: 16 quads, 32 triangles.
    std::set<Cell> corners, all;
    for (const auto& triangle : CellsOf(*scene.ds)) {
        Cell low{99, 99};
        for (Cell c : triangle) {
            all.insert(c);
            low = {std::min(low.first, c.first), std::min(low.second, c.second)};
        }
        corners.insert(low);
    }
    EXPECT_EQ(scene.ds->Kinds(), std::string(32, 't'));
    for (Cell c : all) {
        EXPECT_EQ(c.first % 2, 0);
        EXPECT_EQ(c.second % 2, 0);
        EXPECT_LE(std::max(c.first, c.second), 8);
    }
    EXPECT_EQ(corners.size(), 16u);

    auto wide = MakeSurface(1000, 2, 20);
    scene.Draw(*wide);
    EXPECT_EQ(scene.ds->primitives.size(), 98u);  // quads at columns 0, 20, ..., 960
    int lastQuad = 9999;
    for (const TVertex3S& v : scene.ds->primitives.back().v) lastQuad = std::min(lastQuad, CellOf(v).first);
    EXPECT_EQ(lastQuad, 960);
}

TEST(Surface3D, EachModeEmitsItsPrimitivesInRowOrder)
{
    using Cells = std::vector<std::vector<Cell>>;
    struct Case {
        const char* name;
        int width, height, mode;
        Cells expected;
    };
    const Case cases[] = {
        {"triangles with alternating diagonals",
         3,
         2,
         ksmTriangles,
         {{{0, 0}, {1, 0}, {0, 1}},
          {{1, 1}, {1, 0}, {0, 1}},
          {{1, 0}, {2, 0}, {2, 1}},
          {{1, 0}, {1, 1}, {2, 1}}}},
        {"the wire grid with its closing edges",
         3,
         3,
         ksmLines,
         {{{0, 0}, {1, 0}},
          {{0, 0}, {0, 1}},
          {{1, 0}, {2, 0}},
          {{1, 0}, {1, 1}},
          {{2, 0}, {2, 1}},
          {{0, 1}, {1, 1}},
          {{0, 1}, {0, 2}},
          {{1, 1}, {2, 1}},
          {{1, 1}, {1, 2}},
          {{2, 1}, {2, 2}},
          {{0, 2}, {1, 2}},
          {{1, 2}, {2, 2}}}},
        {"points", 2, 2, ksmPoints, {{{0, 0}}, {{1, 0}}, {{0, 1}}, {{1, 1}}}},
        {"one row of triangles draws nothing", 4, 1, ksmTriangles, {}},
        {"one row of lines is its horizontal edges", 3, 1, ksmLines, {{{0, 0}, {1, 0}}, {{1, 0}, {2, 0}}}},
        {"one column of lines is its vertical edges", 1, 3, ksmLines, {{{0, 0}, {0, 1}}, {{0, 1}, {0, 2}}}},
    };
    Scene scene;
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        auto s = MakeSurface(k.width, k.height, 1, k.mode);
        scene.Draw(*s);
        EXPECT_EQ(CellsOf(*scene.ds), k.expected);
    }
}

TEST(Surface3D, MeshesHandTheirShadingToTheDrawingSystemAndModeZeroDrawsTheBasisPoint)
{
    Scene scene;
    auto s = MakeSurface(3, 3, 1, ksmTriangles);
    s->SetSmoothShading(1);
    scene.Draw(*s);
    ASSERT_FALSE(scene.ds->primitives.empty());
    for (const auto& p : scene.ds->primitives) EXPECT_EQ(p.smooth, 1);

    s->SetMode(ksmBasisPoint);
    scene.Draw(*s);
    ASSERT_EQ(scene.ds->Kinds(), "p");
    EXPECT_EQ(scene.ds->primitives[0].v[0].c1, 1.0f);

    s->SetMode(ksmTriangles);
    s->SetVisible(0);
    scene.Draw(*s);
    EXPECT_EQ(scene.ds->Kinds(), "");
}

TEST(Surface3D, UnlitColoursAreTheCoefficientsAttenuatedByDistance)
{
    Scene scene;
    auto s = MakeSurface(2, 1, 1, ksmPoints, [](int, int) { return 0.f; });
    s->SetLighting(0);
    scene.Draw(*s);
    ASSERT_EQ(scene.ds->primitives.size(), 2u);
    const TVertex3S& near = scene.ds->primitives[0].v[0];
    EXPECT_EQ(near.c1, 1.0f);
    EXPECT_EQ(near.c2, 0.5f);
    EXPECT_EQ(near.c3, 0.25f);
    // Node (1, 0) lies 1 away from the camera: 1 + 3 * 1 = 4 divides it.
    s->SetAttenuation(1, 3, 0);
    scene.Draw(*s);
    EXPECT_EQ(scene.ds->primitives[0].v[0].c2, 0.5f);  // at the camera: 1, not above 1
    EXPECT_FLOAT_EQ(scene.ds->primitives[1].v[0].c2, 0.125f);
}

TEST(Surface3D, TallSurfacesOfManyBandsGiveEveryNodeItsOwnPositionAndColour)
{
    // Bands of 8 sampled rows: with steps of 1 and 3 their starts fall on many node rows. Each
    // point must come from its own node alone, whatever band it lies in and however many
    // threads share the bands.
    const auto height = [](int i, int j) { return float((i * 7 + j * 13) % 11) - 40.f; };
    for (const int step : {1, 3})
        for (const int threads : {1, 8}) {
            SCOPED_TRACE(::testing::Message() << "step " << step << " threads " << threads);
            platform::ScopedRowDriverThreads scoped(threads);
            Scene scene;
            auto s = MakeSurface(7, 1031, step, ksmPoints, height);
            s->SetLighting(0);
            s->SetAttenuation(1, 0.01, 0.0001);
            scene.Draw(*s);
            const double c[3] = {1, 0.01, 0.0001};
            std::size_t next = 0;
            for (int j = 0; j < 1031; j += s->StepY())
                for (int i = 0; i < 7; i += s->StepX()) {
                    ASSERT_LT(next, scene.ds->primitives.size());
                    const TVertex3S& v = scene.ds->primitives[next++].v[0];
                    ASSERT_EQ(CellOf(v), Cell(i, j)) << "point " << next - 1;
                    TVector3S unit;
                    const float d = VectorNormalizeSingle(TVector3S{float(i), float(j), height(i, j)}, unit);
                    const double f = AttenuationFactor(c, d);
                    ASSERT_FLOAT_EQ(v.c1, float(f * 1.0)) << i << "," << j;
                    ASSERT_FLOAT_EQ(v.c2, float(f * 0.5)) << i << "," << j;
                    ASSERT_FLOAT_EQ(v.c3, float(f * 0.25)) << i << "," << j;
                }
            EXPECT_EQ(next, scene.ds->primitives.size());
        }
}

TEST(Surface3D, ResizingKeepsTheNodesBothGridsHaveAndZeroesTheRest)
{
    auto s = MakeSurface(5, 5);
    const auto value = [](int i, int j) { return float(100 * i + j + 1); };
    for (int j = 0; j < 5; ++j)
        for (int i = 0; i < 5; ++i) *s->NodeSlot(i, j, kssBlue) = value(i, j);
    const auto expectGrid = [&](int width, int height, int keptWidth, int keptHeight) {
        ASSERT_EQ(s->Width(), width);
        ASSERT_EQ(s->Height(), height);
        for (int j = 0; j < height; ++j)
            for (int i = 0; i < width; ++i) {
                const bool kept = i < keptWidth && j < keptHeight;
                EXPECT_EQ(*s->NodeSlot(i, j, kssBlue), kept ? value(i, j) : 0.f) << i << ", " << j;
                if (!kept) {
                    EXPECT_EQ(*s->NodeSlot(i, j, kssX), 0.f);
                }
            }
    };
    s->SetSize(20, 3);  // a wider stride: a new block
    expectGrid(20, 3, 5, 3);
    for (int i = 5; i < 20; ++i) *s->NodeSlot(i, 0, kssBlue) = 7;
    s->SetSize(5, 5);
    expectGrid(5, 5, 5, 3);
    // Within the same multiples of 16 the block stays, and what a smaller grid dropped comes
    // back zeroed, not with its old values.
    for (int i = 0; i < 5; ++i) *s->NodeSlot(i, 4, kssBlue) = 9;
    s->SetSize(5, 3);
    s->SetSize(5, 5);
    expectGrid(5, 5, 5, 3);
    EXPECT_EQ(s->RowStride(), 16 * 48);
    EXPECT_EQ(s->BufferSize(), 16 * 16 * 48);
}

TEST(Surface3D, GridsThatCannotBeHadFailCleanlyAndLeaveTheSurfaceEmpty)
{
    auto s = MakeSurface(4, 4);
    EventLog log;
    s->Events().Add(log.Handler());
    try {
        s->SetSize(100000, 100000);
        FAIL() << "no error";
    } catch (const EOutOfMemory& e) {
        EXPECT_NE(e.Message().find("100000 x 100000"), std::string::npos) << e.Message();
    }
    EXPECT_TRUE(s->IsEmpty());
    EXPECT_EQ(s->Width(), 0);
    EXPECT_EQ(s->BufferSize(), 0);
    EXPECT_EQ(s->UpdateCount(), 0);
    EXPECT_EQ(log.Codes().front(), kevChangeBegins);
    EXPECT_EQ(log.Codes().back(), kevChangeEnds);
    Scene scene;
    scene.Draw(*s);
    EXPECT_TRUE(scene.ds->primitives.empty());
    s->SetSize(4, 4);
    EXPECT_NE(s->Node(3, 3), nullptr);
    EXPECT_EQ(s->Node(4, 3), nullptr);
    EXPECT_EQ(s->NodeSlot(0, 0, kSurfaceSlots), nullptr);
    EXPECT_EQ(s->NodeRow(-1), nullptr);
    s->Events().Remove(log.Handler());
}

TEST(Surface3D, NormalsComeFromSampledNeighboursAndAreOneSidedAtTheEdges)
{
    // World positions (i, j, i^2) on a 3 x 3 grid.
    auto s = MakeSurface(3, 3);
    TSurfaceGridView grid = s->GridView();
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 3; ++i) grid.At(i, j).Vertex = {float(i), float(j), float(i * i), 0, 0, 0};
    struct Case {
        int i, j;
        TVector3S normal;  // before normalising
    };
    const Case cases[] = {
        {0, 1, {-2, 0, 2}},  // dx = node 1 - node 0 (one-sided): (1, 0, 1); dy = (0, 2, 0)
        {1, 1, {-8, 0, 4}},  // dx = node 2 - node 0: (2, 0, 4)
        {2, 1, {-6, 0, 2}},  // dx = node 2 - node 1 (one-sided): (1, 0, 3)
        {1, 0, {-4, 0, 2}},  // dy = node (1, 1) - itself: (0, 1, 0)
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(std::to_string(k.i) + ", " + std::to_string(k.j));
        TVector3S expected;
        VectorNormalizeSingle(k.normal, expected);
        const TVector3S n = SurfaceNormal(grid, k.i, k.j);
        EXPECT_FLOAT_EQ(n.x, expected.x);
        EXPECT_FLOAT_EQ(n.y, expected.y);
        EXPECT_FLOAT_EQ(n.z, expected.z);
    }
    // With a sampling step the neighbours are the sampled nodes.
    auto big = MakeSurface(10, 10, 5);
    grid = big->GridView();
    for (int j = 0; j < 10; ++j)
        for (int i = 0; i < 10; ++i)
            grid.At(i, j).Vertex = {float(i), float(j), i == 3 ? 100.f : 0.f, 0, 0, 0};
    const TVector3S flat = SurfaceNormal(grid, 2, 2);  // neighbours 0 and 4: node 3 is not one
    EXPECT_EQ(flat.z, 1.0f);
    // All neighbours in one place give no normal.
    for (int j = 0; j < 10; ++j)
        for (int i = 0; i < 10; ++i) grid.At(i, j).Vertex = {};
    const TVector3S none = SurfaceNormal(grid, 4, 4);
    EXPECT_EQ(none.x, 0.f);
    EXPECT_EQ(none.z, 0.f);
}

TEST(Surface3D, TheGridBracketFiresOnceAndBoundsCoverEveryNode)
{
    auto s = MakeSurface(10, 10, 5);
    EventLog log;
    s->Events().Add(log.Handler());
    s->BeginGridUpdate(7);
    s->BeginGridUpdate(8);
    *s->NodeSlot(3, 7, kssZ) = 50;  // a node the sampling skips still counts
    *s->NodeSlot(9, 9, kssX) = -4;
    s->EndGridUpdate(9);
    TVector3D max;
    s->GetMaxCorner(max);
    EXPECT_EQ(max.z, 0);  // bounds wait for the last level
    s->EndGridUpdate(10);
    EXPECT_EQ(log.Codes(), (std::vector<int>{kevChangeBegins, kevObjectChangeStarted, kevObjectChangeFinished,
                                             kevChangeEnds}));
    EXPECT_EQ(log.Params(kevObjectChangeStarted), (std::vector<std::intptr_t>{7}));
    EXPECT_EQ(log.Params(kevObjectChangeFinished), (std::vector<std::intptr_t>{10}));
    TVector3D min;
    s->GetMinCorner(min);
    s->GetMaxCorner(max);
    EXPECT_EQ(min.x, -4);
    EXPECT_EQ(max.x, 9);
    EXPECT_EQ(max.y, 9);
    EXPECT_EQ(max.z, 50);
    TVector3D centre;
    s->CenterPoint()->GetOrigin(centre);
    EXPECT_EQ(centre.x, 2.5);
    EXPECT_EQ(centre.z, 25);

    log.Clear();
    s->SetSize(4, 4);
    EXPECT_EQ(log.Codes(), (std::vector<int>{kevChangeBegins, kevObjectChangeStarted, kevPictureChanged,
                                             kevObjectChangeFinished, kevChangeEnds}));
    s->ClearGrid();
    EXPECT_TRUE(s->IsEmpty());
    s->GetMaxCorner(max);
    EXPECT_EQ(max.x, 1);
    s->Events().Remove(log.Handler());
}

TEST(Surface3D, ApplyingSettingsClampsThemAndSamplesAnew)
{
    auto s = MakeSurface(100, 100);
    TSurfaceSettings settings;
    settings.Enabled = 255;
    settings.Visible = 0;
    settings.SmoothShading = 4;
    settings.Lighting = 7;
    settings.Mode = 9;
    settings.Step = 20;
    s->ApplySettings(settings);
    EXPECT_EQ(s->Enabled(), 1);
    EXPECT_EQ(s->Visible(), 0);
    EXPECT_EQ(s->SmoothShading(), 1);
    EXPECT_EQ(s->Lighting(), 1);
    EXPECT_EQ(s->Mode(), ksmTriangles);
    EXPECT_EQ(s->StepX(), 13);
    settings.Mode = -2;
    settings.Lighting = -1;
    s->ApplySettings(settings);
    EXPECT_EQ(s->Mode(), ksmPoints);
    EXPECT_EQ(s->Lighting(), 0);
    s->SetMode(5);  // above 3: ignored
    EXPECT_EQ(s->Mode(), ksmPoints);
    s->SetMode(-1);
    EXPECT_EQ(s->Mode(), ksmBasisPoint);
}

// A camera that asks the running job to stop when it projects its first point, and counts
// what it projected (from any thread).
class StoppingCamera : public TKCustomProjectionSystem3D {
    DECLARE_TCLASS(StoppingCamera)

    void ProjectSingle(const TVector3S& in, TVector3S& out) override
    {
        if (projected.fetch_add(1) == 0 && thread) thread->Stop();
        out = in;
    }
    TKThread* thread = nullptr;
    std::atomic<int> projected{0};

protected:
    StoppingCamera() = default;
};
IMPLEMENT_TCLASS(StoppingCamera, TKCustomProjectionSystem3D)

struct DrawJob {
    TKSurface3D* surface = nullptr;
    TDrawContext3D context;
    void Run(TKThread*, TKThreadParams*) { surface->Draw(&context); }
};

TEST(Surface3D, AStopEndsThePassWithinOneSampledRow)
{
    auto s = MakeSurface(64, 64);
    TOwned<TKThread> thread(TKThread::New());
    TOwned<StoppingCamera> camera(StoppingCamera::New());
    TOwned<TestDrawSystem> ds(TestDrawSystem::New());
    camera->thread = thread.get();
    DrawJob job{s.get(), {}};
    job.context.Camera = camera.get();
    job.context.DrawSystem = ds.get();
    job.context.Thread = thread.get();
    thread->ExecuteSync(nullptr, TKJob::Of<&DrawJob::Run>(&job));
    EXPECT_EQ(thread->State(), ktsCancelled);
    EXPECT_GE(camera->projected.load(), 64);
    EXPECT_LE(camera->projected.load(), 64 * 8);  // at most one row on each thread
    EXPECT_TRUE(ds->primitives.empty());

    // Unstopped, the pass reports its progress to the end.
    camera->thread = nullptr;
    camera->projected = 0;
    thread->ExecuteSync(nullptr, TKJob::Of<&DrawJob::Run>(&job));
    EXPECT_EQ(thread->State(), ktsDone);
    EXPECT_EQ(ds->primitives.size(), 63u * 63u * 2u);
    EXPECT_EQ(thread->ProgressPos(), s->ProgressTicks());
}

// Persistence

struct SavedSurface {
    MemoryStream stream;
    int bytes = 0;
};

TEST(Surface3D, ARoundTripKeepsSettingsAndRebuildsTheGridEmpty)
{
    auto s = MakeSurface(30, 20, 4, ksmLines);
    s->SetSmoothShading(1);
    s->SetLighting(0);
    s->SetAttenuation(2, 0.5, 0.25);
    s->SetName("Hill");
    MemoryStream stream;
    const int bytes = s->SaveToStream(&stream);
    ASSERT_EQ(bytes, int(stream.bytes.size()));

    TOwned<TKSurface3D> copy(TKSurface3D::New());
    stream.SetPosition(0);
    EXPECT_EQ(copy->LoadFromStream(&stream), bytes);
    EXPECT_GT(copy->LinkObjects(&stream), 0);
    EXPECT_EQ(copy->Name(), "Hill");
    EXPECT_EQ(copy->Width(), 30);
    EXPECT_EQ(copy->Height(), 20);
    EXPECT_EQ(copy->Step(), 4);
    EXPECT_EQ(copy->StepY(), 3);
    EXPECT_EQ(copy->Mode(), ksmLines);
    EXPECT_EQ(copy->SmoothShading(), 1);
    EXPECT_EQ(copy->Lighting(), 0);
    EXPECT_FALSE(copy->StoreNodes());
    double c0, c1, c2;
    copy->GetAttenuation(c0, c1, c2);
    EXPECT_EQ(c2, 0.25);
    EXPECT_EQ(copy->Reflection(), nullptr);
    EXPECT_EQ(copy->CenterPoint()->Name(), "Center Point");
    EXPECT_EQ(copy->Basis()->IndexOfChild(copy->CenterPoint()), 0);
    EXPECT_EQ(*copy->NodeSlot(29, 19, kssX), 0.f);  // nodes are rebuilt by the editor
}

// The surface's record written by hand, so that a test can say what a file says: the
// construction's part of a fresh surface, then the surface's fields; with storedNodes the
// node block follows (its size first).
std::vector<std::uint8_t> SurfaceRecord(MemoryStream& stream, std::int32_t width, std::int32_t height,
                                        std::int32_t step, const std::vector<std::uint8_t>* storedNodes,
                                        bool withCentre = true)
{
    TOwned<TKCustomConstruction3D> head(TKCustomConstruction3D::New());
    head->TKCustomConstruction3D::SaveToStream(&stream);
    const std::int32_t fields[] = {width, height, step, 1, ksmTriangles, storedNodes ? 2 : 0};
    stream.Write(fields, sizeof fields);
    const double attenuation[] = {1, 0, 0};
    stream.Write(attenuation, sizeof attenuation);
    stream.WriteObject(nullptr);
    TOwned<TKBasis3D> centre(TKBasis3D::New());
    stream.WriteObject(withCentre ? centre.get() : nullptr);
    if (storedNodes) {
        const auto size = std::int32_t(storedNodes->size());
        stream.Write(&size, 4);
        stream.Write(storedNodes->data(), size);
    }
    return stream.bytes;
}

std::vector<std::uint8_t> NodeBytes(TKSurface3D& s)
{
    const auto* begin = reinterpret_cast<const std::uint8_t*>(s.NodeRow(0));
    return {begin, begin + s.BufferSize()};
}

TEST(Surface3D, StoredNodesReadBackAndABlockLargerThanTheGridIsSkipped)
{
    auto big = MakeSurface(20, 20, 1, ksmTriangles, [](int i, int j) { return float(i * j); });
    const std::vector<std::uint8_t> bigNodes = NodeBytes(*big);

    struct Case {
        const char* name;
        int width, height;
    };
    for (const Case& k : {Case{"the same grid", 20, 20}, Case{"a smaller grid", 5, 5}}) {
        SCOPED_TRACE(k.name);
        MemoryStream stream;
        SurfaceRecord(stream, k.width, k.height, 1, &bigNodes);
        const std::int32_t sentinel = 0x5EA1ED;
        stream.Write(&sentinel, 4);
        stream.SetPosition(0);
        TOwned<TKSurface3D> s(TKSurface3D::New());
        const int bytes = s->LoadFromStream(&stream);
        EXPECT_EQ(bytes, int(stream.bytes.size()) - 4);
        std::int32_t next = 0;
        stream.Read(&next, 4);  // the stream goes on right after the stored block
        EXPECT_EQ(next, sentinel);
        EXPECT_TRUE(s->StoreNodes());
        // Row 0 starts both blocks; a grid of the same size reads every node back.
        for (int i = 0; i < k.width; ++i) EXPECT_EQ(*s->NodeSlot(i, 0, kssX), float(i));
        if (k.width == 20) {
            EXPECT_EQ(NodeBytes(*s), bigNodes);
            MemoryStream again;
            EXPECT_EQ(s->SaveToStream(&again), bytes);  // and stores them again
        }
    }
}

// A load's bounds are those of the nodes it leaves: zeros for a record without nodes read
// into a new surface (a fresh grid, not read), the nodes' for a record with them, and the
// nodes the surface kept for a record of its own size read into a surface that has a grid.
TEST(Surface3D, ALoadedSurfaceHasTheBoundsOfTheNodesItHolds)
{
    using Corners = std::vector<double>;
    auto corners = [](TKSurface3D& s) {
        TVector3D lo, hi;
        s.GetMinCorner(lo);
        s.GetMaxCorner(hi);
        return Corners{lo.x, lo.y, lo.z, hi.x, hi.y, hi.z};
    };
    // The bounds as a walk over every node finds them.
    auto walked = [&](TKSurface3D& s) {
        s.BeginGridUpdate(0);
        s.EndGridUpdate(0);
        return corners(s);
    };
    auto hill = MakeSurface(37, 29, 1, ksmTriangles, [](int i, int j) { return float(i * j) - 100; });
    MemoryStream withoutNodes;
    hill->SaveToStream(&withoutNodes);

    TOwned<TKSurface3D> fresh(TKSurface3D::New());
    withoutNodes.SetPosition(0);
    fresh->LoadFromStream(&withoutNodes);
    const Corners zeros(6, 0.0);
    EXPECT_EQ(corners(*fresh), zeros);
    EXPECT_EQ(walked(*fresh), zeros);

    MemoryStream withNodes;
    const std::vector<std::uint8_t> nodes = NodeBytes(*hill);
    SurfaceRecord(withNodes, 37, 29, 1, &nodes);
    withNodes.SetPosition(0);
    TOwned<TKSurface3D> stored(TKSurface3D::New());
    stored->LoadFromStream(&withNodes);
    EXPECT_EQ(corners(*stored), (Corners{0, 0, -100, 36, 28, 36 * 28 - 100}));
    EXPECT_EQ(corners(*stored), walked(*stored));

    auto kept = MakeSurface(37, 29, 1, ksmTriangles, [](int i, int j) { return float(i + j); });
    withoutNodes.SetPosition(0);
    kept->LoadFromStream(&withoutNodes);
    EXPECT_EQ(corners(*kept), (Corners{0, 0, 0, 36, 28, 64}));
    EXPECT_EQ(corners(*kept), walked(*kept));
}

TEST(Surface3D, DamagedRecordsAreRefusedWithTheLoadErrors)
{
    const std::vector<std::uint8_t> tooFew(100, 0);
    struct Case {
        const char* name;
        std::function<void(MemoryStream&)> write;
        const char* reason;
    };
    const Case cases[] = {
        {"negative width", [](MemoryStream& m) { SurfaceRecord(m, -1, 4, 1, nullptr); },
         ktext::kInvalidValue},
        {"negative height", [](MemoryStream& m) { SurfaceRecord(m, 4, -1, 1, nullptr); },
         ktext::kInvalidValue},
        {"no centre point", [](MemoryStream& m) { SurfaceRecord(m, 4, 4, 1, nullptr, false); },
         ktext::kInvalidObject},
        {"a node block longer than the record",
         [&](MemoryStream& m) {
             SurfaceRecord(m, 4, 4, 1, &tooFew);
             m.bytes.resize(m.bytes.size() - 1);
         },
         ktext::kInvalidValue},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        MemoryStream stream;
        k.write(stream);
        stream.SetPosition(0);
        TOwned<TKSurface3D> s(TKSurface3D::New());
        try {
            s->LoadFromStream(&stream);
            ADD_FAILURE() << "loaded";
        } catch (const EStreamError& e) {
            EXPECT_NE(e.Message().find(k.reason), std::string::npos) << e.Message();
        }
    }

    // A grid no surface holds is refused before anything is allocated; the record still loads,
    // its surface empty.
    MemoryStream huge;
    SurfaceRecord(huge, 100000, 100000, 1, nullptr);
    huge.SetPosition(0);
    TOwned<TKSurface3D> s(TKSurface3D::New());
    EXPECT_NO_THROW(s->LoadFromStream(&huge));
    EXPECT_TRUE(s->IsEmpty());
}

TEST(Surface3D, AStepOfZeroFromAFileDrawsEveryNode)
{
    MemoryStream stream;
    SurfaceRecord(stream, 3, 3, 0, nullptr);
    stream.SetPosition(0);
    TOwned<TKSurface3D> s(TKSurface3D::New());
    s->LoadFromStream(&stream);
    EXPECT_EQ(s->Step(), 0);
    EXPECT_EQ(s->StepX(), 1);
    Scene scene;
    scene.Draw(*s);
    EXPECT_EQ(scene.ds->primitives.size(), 8u);
}

TEST(Surface3D, SavingInsideAGridUpdateIsRefused)
{
    auto s = MakeSurface(2, 2);
    MemoryStream stream;
    s->BeginGridUpdate(0);
    EXPECT_THROW(s->SaveToStream(&stream), EInvalidOperation);
    s->EndGridUpdate(0);
    EXPECT_GT(s->SaveToStream(&stream), 0);
    EXPECT_EQ(s->SaveToStream(nullptr), -1);
    EXPECT_EQ(s->LoadFromStream(nullptr), -1);
    EXPECT_EQ(s->LinkObjects(nullptr), -1);
}

}  // namespace
