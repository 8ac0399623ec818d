#include "plugin3d/model/render/intensity_transformer.h"

#include <algorithm>

#include "platform/forms/exceptions.h"
#include "plugin3d/model/core/k_general.h"
#include "plugin3d/model/core/k_object.h"
#include "plugin3d/model/render/span_fill.h"

IMPLEMENT_TCLASS(TKCnv3DIITransformer, TPersistent)

TKCnv3DIITransformer::TKCnv3DIITransformer()
{
    InitializeCriticalSection(&m_lock);
}

TKCnv3DIITransformer::~TKCnv3DIITransformer()
{
    DeleteCriticalSection(&m_lock);
}

void TKCnv3DIITransformer::Resize(int n)
{
    try {
        // New pairs copy the one before them; the first of an empty curve is (0, 0).
        while (int(m_pairs.size()) < 2 * n) {
            const std::int32_t x = m_pairs.empty() ? 0 : m_pairs[m_pairs.size() - 2];
            const std::int32_t y = m_pairs.empty() ? 0 : m_pairs.back();
            m_pairs.push_back(x);
            m_pairs.push_back(y);
        }
        m_pairs.resize(std::size_t(2 * n));
    } catch (...) {
        // A curve that could not grow is left empty rather than half made.
        std::vector<std::int32_t>().swap(m_pairs);
        throw;
    }
}

void TKCnv3DIITransformer::Assign(TPersistent* source)
{
    auto* other = ObjectAs<TKCnv3DIITransformer>(source);
    if (source && !other) return TPersistent::Assign(source);
    if (other == this) return;
    // The other curve is copied under its own lock first, so two curves assigned to each
    // other on two threads never wait on each other.
    std::vector<std::int32_t> pairs = other ? other->Pairs() : std::vector<std::int32_t>{};
    TKSectionGuard guard(m_lock);
    m_pairs.swap(pairs);
}

void TKCnv3DIITransformer::Clear()
{
    TKSectionGuard guard(m_lock);
    Resize(0);
}

void TKCnv3DIITransformer::SetCount(int n)
{
    TKSectionGuard guard(m_lock);
    n = std::max(n, 0);
    if (n > kMaxCount || n == Count()) return;
    Resize(n);
}

int TKCnv3DIITransformer::Count() const
{
    TKSectionGuard guard(m_lock);
    return int(m_pairs.size() / 2);
}

int TKCnv3DIITransformer::FindPositionLocked(std::int32_t x) const
{
    const int count = int(m_pairs.size() / 2);
    if (count == 0 || x <= m_pairs[0]) return 0;
    const std::int32_t last = m_pairs[std::size_t(2 * (count - 1))];
    if (x == last) return count - 1;
    if (x > last) return count;
    int lo = 1, hi = count - 1;
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (m_pairs[std::size_t(2 * mid)] < x)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

int TKCnv3DIITransformer::FindPosition(std::int32_t x) const
{
    TKSectionGuard guard(m_lock);
    return FindPositionLocked(x);
}

int TKCnv3DIITransformer::AddPoint(std::int32_t x, std::int32_t y)
{
    TKSectionGuard guard(m_lock);
    const int count = int(m_pairs.size() / 2);
    if (count >= kMaxCount) return -1;
    int p = FindPositionLocked(x);
    if (p == 0 && count > 0 && x == m_pairs[0]) p = 1;
    Resize(count + 1);
    std::copy_backward(m_pairs.begin() + 2 * p, m_pairs.end() - 2, m_pairs.end());
    m_pairs[std::size_t(2 * p)] = x;
    m_pairs[std::size_t(2 * p + 1)] = y;
    return p;
}

void TKCnv3DIITransformer::DeletePoint(int i)
{
    TKSectionGuard guard(m_lock);
    const int count = int(m_pairs.size() / 2);
    if (i < 0 || i >= count) return;
    m_pairs.erase(m_pairs.begin() + 2 * i, m_pairs.begin() + 2 * i + 2);
    Resize(count - 1);
}

int TKCnv3DIITransformer::SetPoint(int i, std::int32_t x, std::int32_t y)
{
    TKSectionGuard guard(m_lock);
    const int count = int(m_pairs.size() / 2);
    if (i < 0 || i >= count) return -1;
    if (m_pairs[std::size_t(2 * i)] == x) {
        m_pairs[std::size_t(2 * i + 1)] = y;
        return i;
    }
    // Take the pair out, find its place among the others and put it back there.
    m_pairs.erase(m_pairs.begin() + 2 * i, m_pairs.begin() + 2 * i + 2);
    const int p = FindPositionLocked(x);
    const std::int32_t pair[2] = {x, y};
    m_pairs.insert(m_pairs.begin() + 2 * p, pair, pair + 2);
    return p;
}

std::int32_t TKCnv3DIITransformer::GetInput(int i) const
{
    TKSectionGuard guard(m_lock);
    const int count = int(m_pairs.size() / 2);
    if (count == 0) return 0;
    return m_pairs[std::size_t(2 * std::clamp(i, 0, count - 1))];
}

std::int32_t TKCnv3DIITransformer::GetOutput(int i) const
{
    TKSectionGuard guard(m_lock);
    const int count = int(m_pairs.size() / 2);
    if (count == 0) return 0;
    return m_pairs[std::size_t(2 * std::clamp(i, 0, count - 1) + 1)];
}

std::int32_t TKCnv3DIITransformer::Evaluate(std::int32_t x) const
{
    TKSectionGuard guard(m_lock);
    return BreakpointLookup(x, m_pairs.data(), int(m_pairs.size() / 2));
}

std::vector<std::int32_t> TKCnv3DIITransformer::Pairs() const
{
    TKSectionGuard guard(m_lock);
    return m_pairs;
}

int TKCnv3DIITransformer::SaveToStream(TKObjectsStream* stream) const
{
    const std::vector<std::int32_t> pairs = Pairs();
    const auto count = std::int32_t(pairs.size() / 2);
    WriteValue(stream, count);
    if (stream && count > 0) stream->Write(pairs.data(), int(pairs.size() * sizeof(std::int32_t)));
    return 4 + 8 * count;
}

int TKCnv3DIITransformer::LoadFromStream(TKObjectsStream* stream)
{
    if (!stream) return 0;
    // A count the record cannot hold is refused before anything is allocated or read.
    const std::int32_t count = ReadCount(stream, this, 8);
    if (count > kMaxCount) throw EStreamError(ObjectErrorText(this, ktext::kCantLoad, ktext::kInvalidValue));
    std::vector<std::int32_t> pairs(std::size_t(count) * 2);
    if (count > 0) stream->Read(pairs.data(), int(pairs.size() * sizeof(std::int32_t)));
    TKSectionGuard guard(m_lock);
    m_pairs.swap(pairs);
    return 4 + 8 * count;
}
