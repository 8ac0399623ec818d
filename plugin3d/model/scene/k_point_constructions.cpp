#include "plugin3d/model/scene/k_point_constructions.h"

#include <algorithm>
#include <string>

#include "platform/forms/exceptions.h"
#include "platform/forms/format.h"
#include "plugin3d/model/render/canvas_planes.h"
#include "plugin3d/model/scene/k_diffuse_reflection.h"

IMPLEMENT_TCLASS(TKCustomPointConstruction3D, TKCustomConstruction3D)
IMPLEMENT_TCLASS(TKCustomTie3D, TPersistent)
IMPLEMENT_TCLASS(TKSimplePointTie3D, TKCustomTie3D)
IMPLEMENT_TCLASS(TKSimpleLineTie3D, TKCustomTie3D)
IMPLEMENT_TCLASS(TKSimpleTriangleTie3D, TKCustomTie3D)
IMPLEMENT_TCLASS(TKTiesConstruction3D, TKCustomPointConstruction3D)

namespace {

TKCustomTie3D* NewTieOfKind(std::int32_t kind)
{
    switch (kind) {
        case ktkPoint:
            return TKSimplePointTie3D::New();
        case ktkLine:
            return TKSimpleLineTie3D::New();
        case ktkTriangle:
            return TKSimpleTriangleTie3D::New();
        default:
            return nullptr;
    }
}

}  // namespace

// TKCustomPointConstruction3D

TKCustomPointConstruction3D::~TKCustomPointConstruction3D()
{
    Done();
    m_points.clear();
    m_count = 0;
    m_parts.Release();
}

void TKCustomPointConstruction3D::Init()
{
    TKCustomConstruction3D::Init();
    m_points.clear();
    m_count = 0;
    m_parts.Init();
}

void TKCustomPointConstruction3D::Assign(TPersistent* source)
{
    auto* other = ObjectAs<TKCustomPointConstruction3D>(source);
    if (!other) {
        TKCustomConstruction3D::Assign(source);
        return;
    }
    if (other == this) return;
    TKObjectLock lock(*this);
    WithinUpdate([&] {
        TKObjectLock theirs(*other);
        ResizePoints(other->m_count);
        std::copy_n(other->m_points.begin(), other->m_count, m_points.begin());
        UpdateBounds();
        if (Enabled()) ObjectChanged(0);
    });
}

void TKCustomPointConstruction3D::ReservePoints(std::int32_t count)
{
    const std::size_t capacity = (std::size_t(std::max<std::int32_t>(count, 0)) + 15) / 16 * 16;
    canvas_planes::CheckMachineCanHold(std::int64_t(capacity) * std::int64_t(sizeof(TPointRecord3D)));
    if (m_points.capacity() < capacity) m_points.reserve(capacity);
}

void TKCustomPointConstruction3D::ResizePoints(std::int32_t count)
{
    count = std::max<std::int32_t>(count, 0);
    ReservePoints(count);
    m_points.resize(std::size_t(count));
    m_count = count;
}

// In pieces through a small buffer: a model of millions of points is copied once, never
// cleared first (a buffer that stays in the cache copies faster than records taken one by
// one out of the file). The bounds of what was read are found on the way, while each piece
// is at hand, in the order a walk over the points would find them (a load's update uses them).
void TKCustomPointConstruction3D::ReadPoints(TKObjectsStream* stream, std::int32_t count)
{
    ReservePoints(count);
    m_points.clear();
    m_count = 0;
    m_readBounds.valid = false;
    constexpr std::int32_t kPiece = 512;
    TPointRecord3D piece[kPiece];
    TVector3D min, max;
    while (m_count < count) {
        const std::int32_t n = std::min(count - m_count, kPiece);
        stream->Read(piece, int(sizeof(TPointRecord3D)) * n);
        std::int32_t i = 0;
        if (m_count == 0) {
            VectorFromSingle(piece[0].Position, min);
            max = min;
            i = 1;
        }
        for (; i < n; ++i) ExpandBox(piece[i].Position, min, max);
        m_points.insert(m_points.end(), piece, piece + n);
        m_count += n;
    }
    m_readBounds.min = min;
    m_readBounds.max = max;
}
TPointRecord3D* TKCustomPointConstruction3D::GetPoint(std::int32_t n)
{
    return n >= 0 && n < m_count ? &m_points[std::size_t(n)] : nullptr;
}

void TKCustomPointConstruction3D::BeginPointsUpdate(std::intptr_t param)
{
    m_parts.BeginEditing(param, [this](std::intptr_t p) { PointsChangeStarted(p); });
}

void TKCustomPointConstruction3D::EndPointsUpdate(std::intptr_t param)
{
    m_parts.EndEditing(
        param, [this] { UpdateBounds(); }, [this](std::intptr_t p) { PointsChangeFinished(p); });
}

void TKCustomPointConstruction3D::PointsChangeStarted(std::intptr_t param)
{
    FireEvent(kevObjectChangeStarted, param);
}

void TKCustomPointConstruction3D::PointsChangeFinished(std::intptr_t param)
{
    FireEvent(kevObjectChangeFinished, param);
}

void TKCustomPointConstruction3D::SetPointCount(std::int32_t count)
{
    count = std::max<std::int32_t>(count, 0);
    TKObjectLock lock(*this);
    if (count == m_count) return;
    BeginPointsUpdate(0);
    try {
        ResizePoints(count);
        UpdateBounds();
        if (Enabled() && !IsDestroying()) ObjectChanged(0);
    } catch (...) {
        EndPointsUpdate(0);
        throw;
    }
    EndPointsUpdate(0);
}

void TKCustomPointConstruction3D::SetLighting(std::int32_t lighting)
{
    m_parts.SetLighting(lighting);
}

void TKCustomPointConstruction3D::SetReflection(TKCustomReflectionLaw* law)
{
    m_parts.SetReflection(law);
}

void TKCustomPointConstruction3D::UpdateBounds()
{
    if (IsDestroying()) return;
    if (m_count == 0) {
        m_parts.ResetBounds();
        return;
    }
    if (m_readBounds.valid) {
        m_readBounds.valid = false;
        m_parts.SetBounds(m_readBounds.min, m_readBounds.max);
        return;
    }
    TVector3D min, max;
    VectorFromSingle(m_points[0].Position, min);
    max = min;
    for (std::int32_t i = 1; i < m_count; ++i) ExpandBox(m_points[std::size_t(i)].Position, min, max);
    m_parts.SetBounds(min, max);
}

void TKCustomPointConstruction3D::GetMinCorner(TVector3D& out)
{
    m_parts.GetMinCorner(out);
}

void TKCustomPointConstruction3D::GetMaxCorner(TVector3D& out)
{
    m_parts.GetMaxCorner(out);
}

void TKCustomPointConstruction3D::ChangeFinished()
{
    if (Enabled()) ObjectChanged(0);
    TKCustomConstruction3D::ChangeFinished();
}

void TKCustomPointConstruction3D::EnabledChanged()
{
    ObjectChanged(0);
}

void TKCustomPointConstruction3D::VisibleChanged()
{
    if (Enabled()) ObjectChanged(0);
}

void TKCustomPointConstruction3D::Draw(TDrawContext3D* context)
{
    if (!context || !Enabled() || !context->Camera) return;
    m_parts.BeginPass(*context);
    for (std::int32_t i = 0; i < m_count; ++i) PreparePoint(m_points[std::size_t(i)]);
    if (context->DrawSystem && Visible()) EmitPrimitives(context->DrawSystem);
}

void TKCustomPointConstruction3D::PreparePoint(TPointRecord3D& point)
{
    TKCustomProjectionSystem3D* camera = m_parts.Camera();
    if (!camera) return;
    TVector3S w;
    Basis()->DirectTransformSingle(point.Position, w);
    TVector3S projected;
    ProjectWorldPoint(camera, w, projected);
    double c[3];
    m_parts.GetAttenuation(c[0], c[1], c[2]);
    const TPointShader shader(camera, c, m_parts.Lighting() == 1 ? m_parts.Reflection() : nullptr);
    TVector3S n;
    if (shader.Lit()) {
        Basis()->DirectRotateSingle(point.Normal, n);
        VectorNormalizeSingle(n, n);
    }
    shader.Shade(w, n, point.Color, point.Vertex);
    point.Vertex.x = projected.x;
    point.Vertex.y = projected.y;
    point.Vertex.z = projected.z;
}

void TKCustomPointConstruction3D::EmitPrimitives(TKCustomDrawSystem3D* drawSystem)
{
    for (std::int32_t i = 0; i < m_count; ++i) drawSystem->DrawPointSingle(m_points[std::size_t(i)].Vertex);
}

int TKCustomPointConstruction3D::SaveToStream(TKObjectsStream* stream)
{
    if (!stream) return -1;
    if (m_parts.EditDepth() > 0)
        throw EInvalidOperation(ObjectErrorText(this, ktext::kCantSave, ktext::kBusy));
    int bytes = TKCustomConstruction3D::SaveToStream(stream);
    bytes += WriteValue(stream, m_count);
    const int recordBytes = int(sizeof(TPointRecord3D)) * m_count;
    if (m_count > 0) stream->Write(m_points.data(), recordBytes);
    bytes += recordBytes;
    bytes += WriteValue(stream, m_parts.Lighting());
    return bytes + m_parts.SaveTail(stream);
}

int TKCustomPointConstruction3D::LoadFromStream(TKObjectsStream* stream)
{
    if (!stream) return -1;
    m_parts.DropLawQuietly();
    int bytes = TKCustomConstruction3D::LoadFromStream(stream);
    const std::int32_t count = ReadCount(stream, this, int(sizeof(TPointRecord3D)));
    bytes += 4;
    // One points update: its end finds the bounds, once.
    TKObjectLock lock(*this);
    const bool resized = count != m_count;
    BeginPointsUpdate(0);
    // The bounds the read found are for the update's end only.
    struct ReadBoundsEnd {
        bool& valid;
        ~ReadBoundsEnd() { valid = false; }
    } readBoundsEnd{m_readBounds.valid};
    try {
        ReadPoints(stream, count);
        m_readBounds.valid = count > 0;
        if (resized && Enabled() && !IsDestroying()) ObjectChanged(0);
    } catch (...) {
        m_readBounds.valid = false;
        EndPointsUpdate(0);
        throw;
    }
    EndPointsUpdate(0);
    bytes += int(sizeof(TPointRecord3D)) * count;
    std::int32_t lighting = 1;
    bytes += ReadValue(stream, lighting);
    m_parts.StoreLighting(lighting);
    bytes += m_parts.LoadTail(stream, TKSimpleDiffuseReflection::StaticClass());
    return bytes;
}

int TKCustomPointConstruction3D::LinkObjects(TKObjectsStream* stream)
{
    if (!stream) return -1;
    return m_parts.LinkObjects(stream, TKCustomConstruction3D::LinkObjects(stream));
}

// Ties

int TKCustomTie3D::IndexCount() const
{
    switch (m_kind) {
        case ktkPoint:
            return 1;
        case ktkLine:
            return 2;
        case ktkTriangle:
            return 3;
        default:
            return 0;
    }
}

void TKCustomTie3D::Draw(TKCustomDrawSystem3D*) {}

const TVertex3S* TKCustomTie3D::VertexOf(std::int32_t index) const
{
    const TPointRecord3D* point = m_owner ? m_owner->GetPoint(index) : nullptr;
    return point ? &point->Vertex : nullptr;
}

void TKSimplePointTie3D::Draw(TKCustomDrawSystem3D* drawSystem)
{
    if (const TVertex3S* a = VertexOf(Index(0))) drawSystem->DrawPointSingle(*a);
}

void TKSimpleLineTie3D::Draw(TKCustomDrawSystem3D* drawSystem)
{
    const TVertex3S* a = VertexOf(Index(0));
    const TVertex3S* b = VertexOf(Index(1));
    if (a && b) drawSystem->DrawLineSingle(*a, *b);
}

void TKSimpleTriangleTie3D::Draw(TKCustomDrawSystem3D* drawSystem)
{
    const TVertex3S* a = VertexOf(Index(0));
    const TVertex3S* b = VertexOf(Index(1));
    const TVertex3S* c = VertexOf(Index(2));
    if (a && b && c) drawSystem->DrawTriangleSingle(*a, *b, *c);
}

// TKTiesConstruction3D

TKTiesConstruction3D::~TKTiesConstruction3D()
{
    Done();
    FreeTies();
}

void TKTiesConstruction3D::FreeTies()
{
    std::vector<TKCustomTie3D*> ties;
    ties.swap(m_ties);
    for (TKCustomTie3D* tie : ties) FreeObject(tie);
}

void TKTiesConstruction3D::Init()
{
    TKCustomPointConstruction3D::Init();
    m_ties.clear();
    m_smooth = 0;
    m_tieMask = 7;
}

void TKTiesConstruction3D::SetTieCount(std::int32_t count)
{
    count = std::max<std::int32_t>(count, 0);
    TKObjectLock lock(*this);
    if (count == TieCount()) return;
    WithinUpdate([&] {
        while (TieCount() > count) {
            TKCustomTie3D* tie = m_ties.back();
            m_ties.pop_back();
            try {
                FreeObject(tie);
            } catch (...) {
                // A tie that fails to go is gone from the construction all the same.
            }
        }
        const std::size_t capacity = (std::size_t(count) + 15) / 16 * 16;
        canvas_planes::CheckMachineCanHold(std::int64_t(capacity) * std::int64_t(sizeof(TKCustomTie3D*)));
        if (m_ties.capacity() < capacity) m_ties.reserve(capacity);
        m_ties.resize(std::size_t(count), nullptr);
        if (Enabled()) ObjectChanged(0);
    });
}

void TKTiesConstruction3D::SetSmoothShading(std::uint8_t smooth)
{
    TKObjectLock lock(*this);
    if (smooth == m_smooth) return;
    WithinUpdate([&] {
        m_smooth = smooth;
        if (Enabled() && Visible() && !IsDestroying()) ObjectChanged(0);
    });
}

void TKTiesConstruction3D::SetTieMask(std::int32_t mask)
{
    TKObjectLock lock(*this);
    if (mask == m_tieMask) return;
    WithinUpdate([&] {
        m_tieMask = mask;
        if (Enabled() && Visible() && !IsDestroying()) ObjectChanged(0);
    });
}

std::int32_t TKTiesConstruction3D::IndexOfTie(const TKCustomTie3D* tie) const
{
    for (std::int32_t i = TieCount() - 1; i >= 0; --i)
        if (m_ties[std::size_t(i)] == tie) return i;
    return -1;
}

TKCustomTie3D* TKTiesConstruction3D::GetTie(std::int32_t n) const
{
    return n >= 0 && n < TieCount() ? m_ties[std::size_t(n)] : nullptr;
}

std::int32_t TKTiesConstruction3D::AddTie(TKCustomTie3D* tie)
{
    if (!tie) return -1;
    if (tie->m_owner == this) return IndexOfTie(tie);
    if (tie->m_owner) return -1;
    TKObjectLock lock(*this);
    std::int32_t index = -1;
    WithinUpdate([&] {
        if (m_ties.size() == m_ties.capacity()) m_ties.reserve((m_ties.size() + 16) / 16 * 16);
        m_ties.push_back(tie);
        tie->m_owner = this;
        index = TieCount() - 1;
    });
    return index;
}

void TKTiesConstruction3D::EmitPrimitives(TKCustomDrawSystem3D* drawSystem)
{
    if (m_tieMask == 0) {
        TKCustomPointConstruction3D::EmitPrimitives(drawSystem);
        return;
    }
    drawSystem->SetShadeMode(m_smooth);
    for (TKCustomTie3D* tie : m_ties)
        if (tie && (tie->Kind() & m_tieMask) != 0) tie->Draw(drawSystem);
}

int TKTiesConstruction3D::SaveToStream(TKObjectsStream* stream)
{
    if (!stream) return -1;
    int bytes = TKCustomPointConstruction3D::SaveToStream(stream);
    bytes += WriteValue(stream, std::int32_t(m_smooth));
    bytes += WriteValue(stream, m_tieMask);
    bytes += WriteValue(stream, TieCount());
    for (TKCustomTie3D* tie : m_ties) {
        bytes += WriteValue(stream, tie ? tie->Kind() : std::int32_t(0));
        if (!tie) continue;
        for (int k = 0; k < tie->IndexCount(); ++k) bytes += WriteValue(stream, tie->Index(k));
    }
    return bytes;
}

int TKTiesConstruction3D::LoadFromStream(TKObjectsStream* stream)
{
    if (!stream) return -1;
    FreeTies();
    int bytes = TKCustomPointConstruction3D::LoadFromStream(stream);
    std::int32_t smooth = 0;
    bytes += ReadValue(stream, smooth);
    m_smooth = smooth ? 1 : 0;
    bytes += ReadValue(stream, m_tieMask);
    const std::int32_t count = ReadCount(stream, this, 4);
    bytes += 4;
    SetTieCount(count);
    for (std::int32_t i = 0; i < count; ++i) {
        std::int32_t kind = 0;
        bytes += ReadValue(stream, kind);
        TKCustomTie3D* tie = NewTieOfKind(kind);
        if (!tie) continue;
        tie->m_owner = this;
        m_ties[std::size_t(i)] = tie;
        for (int k = 0; k < tie->IndexCount(); ++k) {
            std::int32_t index = -1;
            bytes += ReadValue(stream, index);
            tie->SetIndex(k, index);
        }
    }
    return bytes;
}

// Tie-model texts

namespace tietext {

namespace {

bool IsSeparator(char c)
{
    const auto code = static_cast<unsigned char>(c);
    return code <= 32 || code >= 128;
}

std::string_view NextToken(std::string_view text, std::size_t& pos)
{
    while (pos < text.size() && IsSeparator(text[pos])) ++pos;
    const std::size_t start = pos;
    while (pos < text.size() && !IsSeparator(text[pos])) ++pos;
    return text.substr(start, pos - start);
}

}  // namespace

bool FindTextKeyword(std::string_view text, std::size_t& pos, std::string_view keyword)
{
    if (keyword.empty() || keyword.size() > text.size()) return false;
    for (std::size_t at = pos; at <= text.size() - keyword.size(); ++at)
        if (text.compare(at, keyword.size(), keyword) == 0) {
            pos = at;
            return true;
        }
    return false;
}

std::int32_t ReadTextInt(std::string_view text, std::size_t& pos)
{
    const std::string_view token = NextToken(text, pos);
    return token.empty() ? 0 : StrToInt(token);
}

double ReadTextFloat(std::string_view text, std::size_t& pos)
{
    const std::string_view token = NextToken(text, pos);
    return token.empty() ? 0 : StrToFloat(token);
}

}  // namespace tietext

void TKTiesConstruction3D::LoadFromText(TKTiesConstruction3D* construction, std::string_view text)
{
    using namespace tietext;
    if (!construction) return;
    construction->SetPointCount(0);
    construction->SetTieCount(0);
    std::size_t pos = 0;
    const auto skipTo = [&](std::string_view keyword) {
        if (!FindTextKeyword(text, pos, keyword)) return false;
        pos += keyword.size();
        return true;
    };
    const auto readVector = [&](TVector3S& v) {
        v.x = float(ReadTextFloat(text, pos));
        v.y = float(ReadTextFloat(text, pos));
        v.z = float(ReadTextFloat(text, pos));
    };
    if (!skipTo("Points Count :")) return;
    const std::int32_t points = ReadTextInt(text, pos);
    // Every point takes its four keywords ("Point", "p :", "n :", "i :"): a count the rest of
    // the text cannot hold is refused before the points are allocated.
    constexpr std::size_t kLeastPointText = 14;
    const std::size_t holds = (text.size() - std::min(pos, text.size())) / kLeastPointText;
    if (points > 0 && std::size_t(points) > holds)
        throw EStreamError(
            "Tie text of \"" + construction->Name() + "\": \"Points Count : " + std::to_string(points) +
            "\" asks for more points than the text holds (" + std::to_string(holds) + " at most)");
    construction->SetPointCount(points);
    for (std::int32_t i = 0; i < points; ++i) {
        TPointRecord3D* point = construction->GetPoint(i);
        if (!skipTo("Point") || !skipTo("p :")) return;
        readVector(point->Position);
        if (!skipTo("n :")) return;
        readVector(point->Normal);
        if (!skipTo("i :")) return;
        readVector(point->Color);
    }
    if (!skipTo("Ties Count :")) return;
    const std::int32_t ties = ReadTextInt(text, pos);
    for (std::int32_t t = 0; t < ties; ++t) {
        if (!skipTo("Tie") || !skipTo("\r\n")) return;
        while (pos < text.size() && static_cast<unsigned char>(text[pos]) <= 32) ++pos;
        if (pos >= text.size()) return;
        const char letter = text[pos];
        pos = std::min(text.size(), pos + 3);
        TKCustomTie3D* tie = letter == 'p'   ? NewTieOfKind(ktkPoint)
                             : letter == 'l' ? NewTieOfKind(ktkLine)
                             : letter == 't' ? NewTieOfKind(ktkTriangle)
                                             : nullptr;
        if (!tie) continue;
        try {
            for (int k = 0; k < tie->IndexCount(); ++k) tie->SetIndex(k, ReadTextInt(text, pos));
        } catch (...) {
            FreeObject(tie);
            throw;
        }
        if (construction->AddTie(tie) < 0) FreeObject(tie);
    }
}
