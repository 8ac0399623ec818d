#include "plugin3d/forms/k_surface3d_depository.h"

#include <algorithm>
#include <fstream>
#include <cstring>
#include <limits>

#include "platform/forms/exceptions.h"
#include "platform/kernel/row_bands.h"
#include "platform/window/ui_thread.h"
#include "plugin3d/forms/k_depository_component.h"
#include "plugin3d/forms/k_flat_caption.h"
#include "plugin3d/forms/k_load_report.h"
#include "plugin3d/forms/k_surface3d_form.h"
#include "plugin3d/forms/surface_fills.h"
#include "plugin3d/model/core/k_interfaces.h"
#include "plugin3d/model/core/k_rtd_registry.h"
#include "plugin3d/model/core/k_strings.h"
#include "plugin3d/model/core/k_threads.h"
#include "plugin3d/model/render/canvas_planes.h"
#include "plugin3d/model/render/k_layers.h"
#include "plugin3d/model/scene/k_diffuse_reflection.h"
#include "plugin3d/model/scene/k_project3d.h"
#include "plugin3d/model/scene/k_project_helpers.h"

IMPLEMENT_TCLASS(TKSurface3D_Depository, TKDepositoryCustomConstruction3D)

namespace {

// Layer files are only ever read here: shared for reading and writing by others, opened
// read-only ourselves.
constexpr std::uint32_t kShareReadWrite = 3;
constexpr std::uint32_t kNormalFile = 1;
constexpr std::uint32_t kSequentialScan = 128;
constexpr std::uint32_t kReadOnly = 1;

// The largest grid the surface takes: its node count must fit in 31 bits.
constexpr std::int64_t kMaxGridNodes = std::numeric_limits<std::int32_t>::max();

void Status(TKThread* thread, const TKSurface3D& surface, const std::string& text)
{
    if (thread) thread->SetStatusText(surface.Name() + text);
}

std::string SlotStatus(const char* what, int k)
{
    return std::string(" : ") + what + " ( Layer " + std::to_string(k) + " )";
}

/// Hands a band job's finished rows to the thread's progress as steps.
platform::BandProgress ProgressSteps(TKThread* thread, std::int64_t& reported)
{
    if (!thread) return {};
    return [thread, &reported](std::int64_t done) {
        thread->StepProgress(static_cast<int>(done - reported));
        reported = done;
    };
}

void StartSurfaceDepository()
{
    RegisterClassBranch(TKSurface3D_Depository::StaticClass());
    RegisterDepositoryClass(TKSurface3D_Depository::StaticClass(), TKSurface3D::StaticClass());
    RegisterClassGlyph("TKSurface3D_64", 64, TKSurface3D::StaticClass(), true);
}

void EndSurfaceDepository()
{
    UnregisterDepositoryClass(TKSurface3D_Depository::StaticClass(), TKSurface3D::StaticClass());
    UnregisterClassBranch(TKSurface3D_Depository::StaticClass());
}

// Whether bytes fit in the memory free now: what the system says is available, and the
// free swap. Unknown (no such figures) counts as fitting.
bool FitsInFreeMemory(std::int64_t bytes)
{
    std::ifstream meminfo("/proc/meminfo");
    std::string key;
    std::int64_t value = 0;
    std::string unit;
    std::int64_t available = -1, swapFree = 0;
    while (meminfo >> key >> value) {
        std::getline(meminfo, unit);
        if (key == "MemAvailable:")
            available = value;
        else if (key == "SwapFree:")
            swapFree = value;
    }
    if (available < 0) return true;
    return bytes / 1024 <= available + swapFree;
}

}  // namespace

const TUnitInfo kKSurface3DFormUnit{"KSurface3DForm", StartSurfaceDepository, EndSurfaceDepository};

bool TSurfaceLayerSlot::SameFill(const TSurfaceLayerSlot& other) const
{
    if (FromFile != other.FromFile || Max != other.Max || Min != other.Min) return false;
    if (FromFile && (Missing || other.Missing)) return false;
    return !FromFile || (FileName == other.FileName && LayerIndex == other.LayerIndex);
}

TKSurface3D_Depository::~TKSurface3D_Depository()
{
    // The editor goes first: it stops an apply job that still reads this depository.
    m_editor.Free();
    FreeAndNil(m_law);
}

void TKSurface3D_Depository::SetEditorForm(TKSurface3DForm* form, bool workingCopy)
{
    m_editor.Set(form, workingCopy);
}

int TKSurface3D_Depository::OpenEditor(std::intptr_t param)
{
    return m_editor.Open(this, param, [] { return TKSurface3DForm::New(nullptr); });
}

void TKSurface3D_Depository::ConstructionNotify(TObject*, int code, std::intptr_t)
{
    m_editor.ConstructionEvent(Construction(), code);
}

void TKSurface3D_Depository::DrawingNotify(TObject*, int code, std::intptr_t)
{
    m_editor.DrawingEvent(code);
}

void TKSurface3D_Depository::ApplyJob(TKThread* thread, TKThreadParams* params)
{
    TKSurface3D_Depository* copy = nullptr;
    if (!params || params->GetData(&copy, sizeof copy) != sizeof copy || !copy) return;
    ApplyEdited(thread, copy);
}

void TKSurface3D_Depository::Init()
{
    TKDepositoryCustomConstruction3D::Init();
    m_xCount = m_yCount = 0;
    m_slots = {};
    m_reflectionText.clear();
    FreeAndNil(m_law);
    SetAttenuation(1.0, 0.0, 0.0);
    m_place = {};
    SetBusy(false);
}

void TKSurface3D_Depository::Assign(TPersistent* source)
{
    auto* other = dynamic_cast<TKSurface3D_Depository*>(source);
    TKDepositoryCustomConstruction3D::Assign(source);
    if (!other || other == this) return;
    m_xCount = other->m_xCount;
    m_yCount = other->m_yCount;
    m_slots = other->m_slots;
    m_reflectionText = other->m_reflectionText;
    SetLaw(other->m_law ? static_cast<TKCustomReflectionLaw*>(other->m_law->Clone(nullptr)) : nullptr);
    std::copy(std::begin(other->m_attenuation), std::end(other->m_attenuation), m_attenuation);
    m_place = other->m_place;
}

void TKSurface3D_Depository::SetConstruction(TKCustomConstruction3D* construction)
{
    TKDepositoryCustomConstruction3D::SetConstruction(dynamic_cast<TKSurface3D*>(construction));
    if (m_editor.Get() && !m_editor.IsWorkingCopy())
        m_editor.Get()->KDepositoryComponent1->SetConstruction(Construction());
}

TKSurface3D* TKSurface3D_Depository::Surface() const
{
    return dynamic_cast<TKSurface3D*>(Construction());
}

void TKSurface3D_Depository::SetCounts(std::int32_t x, std::int32_t y)
{
    m_xCount = std::max(x, 0);
    m_yCount = std::max(y, 0);
}

void TKSurface3D_Depository::SetLaw(TKCustomReflectionLaw* law)
{
    if (law == m_law) return;
    FreeAndNil(m_law);
    m_law = law;
}

void TKSurface3D_Depository::GetAttenuation(double& c0, double& c1, double& c2) const
{
    c0 = m_attenuation[0];
    c1 = m_attenuation[1];
    c2 = m_attenuation[2];
}

void TKSurface3D_Depository::SetAttenuation(double c0, double c1, double c2)
{
    m_attenuation[0] = c0;
    m_attenuation[1] = c1;
    m_attenuation[2] = c2;
}

int TKSurface3D_Depository::RecordSize() const
{
    return static_cast<int>(sizeof(TSurfaceRecord));
}

void TKSurface3D_Depository::ClearRecordData(void* payload)
{
    if (payload) *static_cast<TSurfaceRecord*>(payload) = TSurfaceRecord{};
}

bool TKSurface3D_Depository::CopyRecordData(void* dest, const void* source)
{
    if (!dest || !source) return false;
    auto& to = *static_cast<TSurfaceRecord*>(dest);
    const auto& from = *static_cast<const TSurfaceRecord*>(source);
    const bool changed = to.Enabled != from.Enabled || to.Visible != from.Visible ||
                         to.Smooth != from.Smooth || to.Lighting != from.Lighting || to.Mode != from.Mode ||
                         to.Step != from.Step;
    if (changed) to = from;
    return changed;
}

void TKSurface3D_Depository::ApplyCurrentRecord()
{
    TKSurface3D* surface = Surface();
    const auto* record = static_cast<const TSurfaceRecord*>(GetRecordData(CurrentRecord()));
    if (!surface || !record) return;
    TSurfaceSettings settings;
    settings.Enabled = record->Enabled != 0;
    settings.Visible = record->Visible != 0;
    settings.SmoothShading = record->Smooth != 0;
    settings.Lighting = std::clamp(record->Lighting, 0, 1);
    settings.Mode = std::clamp(record->Mode, 1, 3);
    settings.Step = record->Step;
    surface->ApplySettings(settings);
}

void TKSurface3D_Depository::ApplyEdited(TKThread* thread, TKSurface3D_Depository* copy)
{
    TKSurface3D* surface = Surface();
    if (!surface || !copy || copy == this) return;
    surface->WithinUpdate([&] {
        const std::int32_t x = copy->m_xCount;
        const std::int32_t y = copy->m_yCount;
        const bool resize = x != surface->Width() || y != surface->Height();
        if (resize && std::int64_t(x) * std::int64_t(y) > kMaxGridNodes) {
            EOutOfMemory error;
            error.SetMessage("A surface of " + std::to_string(x) + " x " + std::to_string(y) +
                             " vertices is larger than a surface can be");
            throw error;
        }
        if (resize && x > 0 && y > 0) {
            // A grid the machine cannot hold fails here, before anything of the surface
            // changed: the surface keeps what it had and the user hears why.
            const std::int64_t bytes = (std::int64_t(x) + 15) / 16 * 16 * ((std::int64_t(y) + 15) / 16 * 16) *
                                       std::int64_t(sizeof(TSurfaceNode));
            try {
                // Memory the machine has free now, not only in all: a grid that would push
                // the machine into swapping itself to death is refused as well.
                if (!FitsInFreeMemory(bytes)) throw EOutOfMemory();
                canvas_planes::HeapBlock::Allocate(bytes);
            } catch (const EOutOfMemory&) {
                EOutOfMemory error;
                error.SetMessage("A surface of " + std::to_string(x) + " x " + std::to_string(y) +
                                 " nodes does not fit in memory");
                throw error;
            }
        }
        bool refill[kSurfaceSlots];
        bool rebuild = resize;
        for (int k = 0; k < kSurfaceSlots; ++k) {
            refill[k] = resize || !m_slots[std::size_t(k)].SameFill(copy->m_slots[std::size_t(k)]);
            rebuild = rebuild || refill[k];
        }
        if (rebuild) surface->BeginGridUpdate(0);
        try {
            if (resize) {
                Status(thread, *surface, " : Change dimentions...");
                surface->SetSize(x, y);
                m_xCount = x;
                m_yCount = y;
            }
            for (int k = 0; k < kSurfaceSlots; ++k) {
                if (!refill[k]) continue;
                m_slots[std::size_t(k)] = copy->m_slots[std::size_t(k)];
                FillSlot(thread, *surface, k);
            }
            Status(thread, *surface, " : Set Additional Settings...");
            m_reflectionText = copy->m_reflectionText;
            SetLaw(copy->m_law ? static_cast<TKCustomReflectionLaw*>(copy->m_law->Clone(nullptr)) : nullptr);
            surface->SetReflection(m_law);
            SetAttenuation(copy->m_attenuation[0], copy->m_attenuation[1], copy->m_attenuation[2]);
            surface->SetAttenuation(m_attenuation[0], m_attenuation[1], m_attenuation[2]);
            if (CopyFrom(copy) || rebuild) surface->ObjectChanged(0);
            m_place = copy->m_place;
        } catch (...) {
            if (rebuild) surface->EndGridUpdate(0);
            throw;
        }
        if (rebuild) surface->EndGridUpdate(0);
    });
}

bool TKSurface3D_Depository::RefreshLayerName(TSurfaceLayerSlot& slot)
{
    slot.LayerName = kNoLayerText;
    TOwned<TKFileLayerKeeper> keeper(CreateFileLayerKeeper(slot.FileName));
    if (!keeper) return false;
    keeper->Open(slot.FileName, kShareReadWrite, kNormalFile, kReadOnly);
    // A file without layers still leaves a valid index behind: 0, never -1.
    slot.LayerIndex = std::clamp(slot.LayerIndex, 0, std::max(keeper->Count() - 1, 0));
    TKLayer* layer = keeper->GetLayer(slot.LayerIndex);
    if (!layer) return false;
    slot.LayerName = layer->Name();
    return true;
}

void TKSurface3D_Depository::FillSlot(TKThread* thread, TKSurface3D& surface, int k)
{
    if (surface.IsEmpty()) return;
    const TSurfaceLayerSlot& slot = m_slots[std::size_t(k)];
    if (!slot.FromFile || slot.LayerIndex < 0 || slot.Missing) return FillLinear(thread, surface, k);
    TOwned<TKFileLayerKeeper> keeper(CreateFileLayerKeeper(slot.FileName));
    if (!keeper) return FillLinear(thread, surface, k);
    keeper->Open(slot.FileName, kShareReadWrite, kNormalFile | kSequentialScan, kReadOnly);
    TKLayer* layer = keeper->GetLayer(slot.LayerIndex);
    if (!layer) return;
    layer->BeginAccess();
    const std::int32_t width = layer->Width();
    const std::int32_t height = layer->Height();
    Status(thread, surface, SlotStatus("Translation", k));
    const TSurfaceGridView grid = surface.GridView();
    if (thread) thread->SetProgressRange(0, grid.height, 0);
    std::int64_t reported = 0;
    // The reader refuses rows past those it holds; a row it cannot give ends the walk.
    surface_fills::ResampleLayer(
        grid, k, width, height,
        [layer, height, width](std::int32_t row, float* dest) {
            if (row < 0 || row >= height) return false;
            layer->ReadRowAs<float>(row, dest, width);
            return true;
        },
        ProgressSteps(thread, reported));
    Stretch(thread, surface, k);
}

void TKSurface3D_Depository::FillLinear(TKThread* thread, TKSurface3D& surface, int k)
{
    const TSurfaceLayerSlot& slot = m_slots[std::size_t(k)];
    Status(thread, surface, SlotStatus("Linear fill", k));
    const TSurfaceGridView grid = surface.GridView();
    if (thread) thread->SetProgressRange(0, grid.height, 0);
    std::int64_t reported = 0;
    platform::ForEachRow(
        grid.height,
        [&](std::int64_t j, int) {
            surface_fills::FillLinearRow(grid, static_cast<std::int32_t>(j), k, slot.Min, slot.Max);
        },
        ProgressSteps(thread, reported));
}

void TKSurface3D_Depository::Stretch(TKThread* thread, TKSurface3D& surface, int k)
{
    const TSurfaceLayerSlot& slot = m_slots[std::size_t(k)];
    Status(thread, surface, SlotStatus("MinMax correction", k));
    const TSurfaceGridView grid = surface.GridView();
    if (thread) thread->SetProgressRange(0, 2 * grid.height, 0);
    float lowest = 0;
    float highest = 0;
    surface_fills::SlotRange(grid, k, lowest, highest);
    if (thread) thread->StepProgress(grid.height);
    std::int64_t reported = 0;
    platform::ForEachRow(
        grid.height,
        [&](std::int64_t j, int) {
            surface_fills::StretchRow(grid, static_cast<std::int32_t>(j), k, lowest, highest, slot.Min,
                                      slot.Max);
        },
        ProgressSteps(thread, reported));
}

int TKSurface3D_Depository::SaveToStream(TKObjectsStream* stream)
{
    if (!stream) return -1;
    if (IsBusy()) throw EInvalidOperation(ObjectErrorText(this, ktext::kCantSave, ktext::kBusy));
    // A project saved with the editor open reopens it as it is seen now. A save's job writes
    // what the editor took of itself on its own thread before the job started.
    if (platform::IsUiThread()) {
        if (m_editor.Get() && !m_editor.IsWorkingCopy()) m_editor.Get()->KeepView(m_place);
        if (const std::int32_t depth = m_editor.SavedDepth(); depth >= 0) m_place.Depth = depth;
    }
    int bytes = TKDepositoryCustomConstruction3D::SaveToStream(stream);
    bytes += WriteValue(stream, m_xCount);
    bytes += WriteValue(stream, m_yCount);
    for (const TSurfaceLayerSlot& slot : m_slots) {
        bytes += WriteValue(stream, slot.FromFile);
        bytes += WriteValue(stream, slot.Max);
        bytes += WriteValue(stream, slot.Min);
        bytes += WriteValue(stream, slot.LayerIndex);
        bytes += WriteStringTo(stream, slot.FileName);
    }
    bytes += WriteStringTo(stream, m_reflectionText);
    bytes += stream->WriteObject(m_law);
    for (double c : m_attenuation) bytes += WriteValue(stream, c);
    bytes += WriteValue(stream, m_place.Left);
    bytes += WriteValue(stream, m_place.Top);
    bytes += WriteValue(stream, std::int32_t(m_place.KeepOnTop));
    bytes += WriteValue(stream, m_place.Page);
    bytes += WriteValue(stream, m_place.Slot);
    bytes += WriteValue(stream, m_place.Drawing);
    bytes += WriteValue(stream, m_place.Record);
    bytes += WriteValue(stream, m_place.Depth);
    return bytes;
}

int TKSurface3D_Depository::LoadFromStream(TKObjectsStream* stream)
{
    if (!stream) return -1;
    if (IsBusy()) throw EStreamError(ObjectErrorText(this, ktext::kCantLoad, ktext::kBusy));
    // The editor shows what is about to be replaced.
    m_editor.Free();
    const auto invalid = [this] {
        return EStreamError(ObjectErrorText(this, ktext::kCantLoad, ktext::kInvalidValue));
    };
    int bytes = TKDepositoryCustomConstruction3D::LoadFromStream(stream);
    bytes += ReadValue(stream, m_xCount);
    bytes += ReadValue(stream, m_yCount);
    if (m_xCount < 0 || m_yCount < 0) throw invalid();
    for (TSurfaceLayerSlot& slot : m_slots) {
        bytes += ReadValue(stream, slot.FromFile);
        slot.FromFile = slot.FromFile ? -1 : 0;
        bytes += ReadValue(stream, slot.Max);
        bytes += ReadValue(stream, slot.Min);
        bytes += ReadValue(stream, slot.LayerIndex);
        if (slot.LayerIndex < 0) throw invalid();
        bytes += ReadStringFrom(stream, slot.FileName);
        slot.LayerName.clear();
    }
    bytes += ReadStringFrom(stream, m_reflectionText);
    FreeAndNil(m_law);
    TKObject* law = nullptr;
    bytes += stream->ReadObject(law, TKSimpleDiffuseReflection::StaticClass());
    m_law = dynamic_cast<TKCustomReflectionLaw*>(law);
    for (double& c : m_attenuation) bytes += ReadValue(stream, c);
    std::int32_t keepOnTop = 0;
    bytes += ReadValue(stream, m_place.Left);
    bytes += ReadValue(stream, m_place.Top);
    bytes += ReadValue(stream, keepOnTop);
    m_place.KeepOnTop = keepOnTop ? 1 : 0;
    bytes += ReadValue(stream, m_place.Page);
    bytes += ReadValue(stream, m_place.Slot);
    bytes += ReadValue(stream, m_place.Drawing);
    bytes += ReadValue(stream, m_place.Record);
    bytes += ReadValue(stream, m_place.Depth);
    return bytes;
}

int TKSurface3D_Depository::LinkObjects(TKObjectsStream* stream)
{
    if (!stream) return -1;
    int result = TKDepositoryCustomConstruction3D::LinkObjects(stream);
    if (m_law) result += std::max(0, m_law->Operation(kopLink, reinterpret_cast<std::intptr_t>(stream)));
    if (auto* project = dynamic_cast<TKelvora3DProject*>(stream->GetProject())) {
        for (TSurfaceLayerSlot& slot : m_slots) {
            if (slot.FileName.empty() && !slot.FromFile) continue;
            bool found = false;
            try {
                found = project->FindFile(slot.FileName) && RefreshLayerName(slot);
            } catch (const Exception&) {
                found = false;
            }
            slot.Missing = false;
            if (found) continue;
            slot.LayerName = kNoLayerText;
            if (!slot.FromFile) continue;
            if (slot.FileName.empty()) {
                slot.FromFile = 0;
                continue;
            }
            // The path stays, so that a save keeps it and the file can come back (or be
            // chosen again in the editor); the user hears which file is missing.
            slot.Missing = true;
            NoteMissingLayerFile(slot.FileName);
        }
    }
    TKSurface3D* surface = Surface();
    if (!surface) return result;
    TKThread* thread = stream->GetThread();
    Status(thread, *surface, " : Change dimentions...");
    const bool wasMuted = surface->Events().IsMuted();
    surface->Events().SetMuted(true);
    try {
        surface->BeginGridUpdate(0);
        try {
            // The grid the editor asks for is held to what the machine can give the load; a
            // refused one leaves the surface empty until the user applies a size.
            if (surface->GrantLoadedGrid(stream, m_xCount, m_yCount, -1, "its editor")) {
                surface->SetSize(m_xCount, m_yCount);
                for (int k = 0; k < kSurfaceSlots; ++k) FillSlot(thread, *surface, k);
            } else {
                surface->SetSize(0, 0);
            }
            surface->SetReflection(m_law);
            surface->SetAttenuation(m_attenuation[0], m_attenuation[1], m_attenuation[2]);
        } catch (...) {
            surface->EndGridUpdate(0);
            throw;
        }
        surface->EndGridUpdate(0);
    } catch (...) {
        surface->Events().SetMuted(wasMuted);
        throw;
    }
    surface->Events().SetMuted(wasMuted);
    m_editor.Reopen(this, stream, m_place.Depth, [] { return TKSurface3DForm::New(nullptr); });
    return result;
}
