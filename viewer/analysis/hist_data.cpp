#include "viewer/analysis/hist_data.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>

#include "outside/basecore/layer_statistics.h"
#include "outside/basecore/nearest_step.h"

const std::uint32_t* HistChannel::Block(int component) const
{
    const std::size_t start = std::size_t(std::max(component, 0)) * std::size_t(std::max(bins, 0));
    if (bins <= 0 || counts.size() < start + std::size_t(bins)) return nullptr;
    return counts.data() + start;
}

CHistData::CHistData() = default;
CHistData::~CHistData() = default;

HistChannel& CHistData::Channel(int number)
{
    switch (number) {
        case 3:
            return m_red;
        case 4:
            return m_green;
        case 5:
            return m_blue;
        default:
            return m_single;
    }
}

const HistChannel& CHistData::Channel(int number) const
{
    return const_cast<CHistData*>(this)->Channel(number);
}

const std::uint32_t* CHistData::ShownCounts() const
{
    const HistChannel& c = Shown();
    return c.Block(m_nMode == 1 && m_bComplex ? m_nComponent : 0);
}

void CHistData::ResetBins()
{
    if (m_nMode == 1)
        m_single.bins = 256;
    else if (m_nMode == 2)
        m_red.bins = m_green.bins = m_blue.bins = 256;
}

int CHistData::SetSwitch(int value)
{
    if (value != 0 && value != 1) return 0;
    m_nSwitch = value;
    return 1;
}

double CHistData::GridFactor(int code, int channel) const
{
    if (code == 4) return 0.0;
    if (code != 6) return 1.0;
    const HistChannel& c = Channel(channel);
    const std::uint32_t* counts = c.Block(m_nMode == 1 && m_bComplex ? m_nComponent : 0);
    double total = 0.0;
    if (counts)
        for (int i = 0; i < c.bins; ++i) total += counts[i];
    const double width = c.dataMax - c.dataMin;
    if (!(total > 0.0) || !(width > 0.0) || !std::isfinite(width)) return 0.0;
    return double(c.bins) / (width * total);
}

bool MinMaxCountOf(const std::uint32_t* counts, int bins, int first, int last, std::uint32_t& largest,
                   std::uint32_t& smallest)
{
    if (!counts || bins <= 0) return false;
    first = std::clamp(first, 0, bins);
    last = std::clamp(last, 0, bins);
    if (first >= last) return false;
    largest = counts[first];
    for (int i = first; i < last; ++i) largest = std::max(largest, counts[i]);
    smallest = largest;
    for (int i = first; i < last; ++i)
        if (counts[i] != 0 && counts[i] < smallest) smallest = counts[i];
    return true;
}

int HistBinOf(double v, double min, double max, int bins)
{
    return BinOf(v, min, max, bins);
}

int HistRangeStatus(const CHistData& data)
{
    const auto flat = [](const HistChannel& c) { return std::fabs(c.dataMax - c.dataMin) < FLT_EPSILON; };
    if (data.m_nMode == 1) {
        const HistChannel& c = data.m_single;
        if (!std::isfinite(c.dataMax)) return kHistBadMaximum;
        if (!std::isfinite(c.dataMin)) return kHistBadMinimum;
        return flat(c) ? kHistFlat : kHistReady;
    }
    const HistChannel* rgb[3] = {&data.m_red, &data.m_green, &data.m_blue};
    for (const HistChannel* c : rgb)
        if (!std::isfinite(c->dataMax)) return kHistBadMaximum;
    for (const HistChannel* c : rgb)
        if (!std::isfinite(c->dataMin)) return kHistBadMinimum;
    for (const HistChannel* c : rgb)
        if (flat(*c)) return kHistFlat;
    return kHistReady;
}

double HistRoundStep(double raw)
{
    if (!std::isfinite(raw) || raw == 0.0) return -1.0;
    return GetNearestStep(std::fabs(raw));
}
