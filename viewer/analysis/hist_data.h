#pragma once

// What the histogram window and its view share: counts, ranges, palettes and modes of the
// single band or of the three channels of an RGB composite.

#include <cstdint>
#include <vector>

#include "platform/gdi/gdi_types.h"
#include "platform/types.h"

class CColorMap;

/// Largest number of bins a histogram accepts (the counts of a complex layer take four
/// blocks of this many).
inline constexpr int kMaxHistBins = 1 << 20;

/// Status of the counts: ready, or why nothing can be drawn.
enum HistStatus : int {
    kHistReady = 1,
    kHistFlat = 0,         ///< maximum equals minimum
    kHistBadMaximum = -5,  ///< a maximum is not finite
    kHistBadMinimum = -7,  ///< a minimum is not finite
    kHistComputing = -10,
};

/// Counts and ranges of one channel (the single band, or red, green or blue).
struct HistChannel {
    std::vector<std::uint32_t> counts;  ///< bins counters (four blocks for a complex single band)
    std::vector<BYTE> palette;          ///< bins red-green-blue triples
    int bins = 256;
    std::uint32_t largest = 0;
    std::uint32_t smallest = 0;  ///< smallest non-zero count
    double countScale = 0.0;     ///< the count drawn at the top of the plot
    double dataMin = 0.0, dataMax = 0.0;
    double displayMin = 0.0, displayMax = 0.0;  ///< PseudoMin, PseudoMax
    double shownLo = 0.0, shownHi = 0.0;
    double offset = 0.0;      ///< last scroll position
    double gridFactor = 1.0;  ///< counts to count-axis units
    double verticalScale = 1.0;
    bool counted = false;

    /// The counts of the shown component block (a complex single band has four).
    const std::uint32_t* Block(int component) const;
};

class CHistData {
public:
    CHistData();
    virtual ~CHistData();
    CHistData(const CHistData&) = delete;
    CHistData& operator=(const CHistData&) = delete;

    /// Channel record by channel number: 1 (or 0..2 meaning single band) single band, 3 red, 4 green, 5 blue.
    HistChannel& Channel(int number);
    const HistChannel& Channel(int number) const;
    /// The channel the view shows: the single band, or the current RGB channel (red when all are shown).
    HistChannel& Shown() { return Channel(m_nMode == 2 ? (m_nChannel ? m_nChannel : 3) : 1); }
    const HistChannel& Shown() const { return const_cast<CHistData*>(this)->Shown(); }
    /// True when one channel (not all three of an RGB composite) is shown.
    bool OneChannelShown() const { return m_nMode == 1 || m_nChannel != 0; }
    /// The counts of the shown channel's shown component.
    const std::uint32_t* ShownCounts() const;

    /// Bin counts back to 256 for the current data mode.
    void ResetBins();
    /// 0 or 1 only; any other value is refused with 0.
    int SetSwitch(int value);
    int GetSwitch() const { return m_nSwitch; }

    /// Grid factor of code 4 (none: 0), 5 (normal: 1) or 6 (density: count x factor is the
    /// probability density of the value; the total is that of the counts, so regions come out right).
    double GridFactor(int code, int channel) const;

    HistChannel m_single, m_red, m_green, m_blue;
    CColorMap* m_pColorMap = nullptr;  ///< the viewer's, borrowed
    int m_nMode = 1;                   ///< 1 single band, 2 RGB
    int m_nChannel = 0;                ///< 0 all channels, 3 red, 4 green, 5 blue
    int m_nComponent = 0;              ///< complex component 0..3
    int m_bComplex = 0;
    int m_nWidth = 0, m_nHeight = 0;
    int m_bLoaded = 0;
    int m_nStatus = kHistReady;
    int m_nDragMode = 1;  ///< 1 zoom, 0 selection
    int m_nGridCode = 5;

private:
    int m_nSwitch = 0;
};

/// Largest and smallest non-zero count of bins first .. last-1 (clamped to the buffer); the
/// largest starts at the count of bin first. False when the interval is empty.
bool MinMaxCountOf(const std::uint32_t* counts, int bins, int first, int last, std::uint32_t& largest,
                   std::uint32_t& smallest);

/// Bin of v among bins equal bins of min..max, the rule the counts are taken by.
int HistBinOf(double v, double min, double max, int bins);

/// The range check: ready, or the status that says why the range cannot be drawn.
int HistRangeStatus(const CHistData& data);

/// The round step nearest a raw step (1, 2, 2.5, 5 or 10 times a power of ten); -1 for a
/// step that is 0 or not finite.
double HistRoundStep(double raw);
