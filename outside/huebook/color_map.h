#pragma once

// A colour map: a value range, a name, a GUID identity and a list of colour stops. A stop
// sits at a position of the range (0 at the minimum, 1 at the maximum), so changing the
// range with SetMinMax stretches the whole map over the new values. Between two stops the
// colour is blended linearly; below the first stop and above the last the end colours hold.
//
// Serial form (tags 501 to 504 of layer files), little-endian, 48 + 20 x N bytes:
//   +0  uint32  byte size of the whole record (48 + 20 x N)
//   +4  uint32  byte size of this head (48)
//   +8  uint32  1 (the format)
//   +12 uint32  N, the number of stops (2 to 65536)
//   +16 double  minimum of the range
//   +24 double  maximum of the range
//   +32 16 bytes identity: Data1 (uint32), Data2 (uint16), Data3 (uint16), Data4 (8 bytes)
// then N entries of 20 bytes, stops in ascending order:
//   +0  double  the stop's value (in the range's units)
//   +8  uint32  its colour (COLORREF: red in the low byte)
//   +12 8 bytes reserved, written as zeros and not read
// The name is not stored; a standard map gets its name back from its identity.

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/cstring.h"
#include "platform/types.h"

/// Byte size of the head of the serial form, and of one entry.
inline constexpr int kColorMapHeadBytes = 48;
inline constexpr int kColorMapEntryBytes = 20;
/// The most stops a map holds (its serial form stays far below 2 GiB).
inline constexpr std::uint32_t kMaxColorMapEntries = 65536;

/// One stop of a colour map.
struct ColorMapEntry {
    double position;  ///< 0 at the map's minimum, 1 at its maximum (may lie outside 0..1)
    COLORREF color;
};

class CColorMap {
public:
    /// A grey ramp from black to white over 0..1, nil identity, no name.
    CColorMap();
    /// The same ramp over minimum..maximum.
    CColorMap(double minimum, double maximum);
    CColorMap(const CColorMap&) = default;
    CColorMap& operator=(const CColorMap&) = default;
    virtual ~CColorMap();

    /// minimum + (maximum - minimum) x t, kept within the finite doubles (a range as wide
    /// as the doubles themselves is computed in halves, so it never overflows).
    double NormToValue(double t) const;
    /// (v - minimum) / (maximum - minimum), also for ranges wider than the largest double;
    /// no clamping; 0 when the range is empty.
    double ValueToNorm(double v) const;

    void SetName(const char* name) { m_name = name; }
    CString GetName() const { return m_name; }
    /// The identity (16 bytes).
    const GUID* GetID() const { return &m_id; }
    void SetID(const GUID* id)
    {
        if (id) std::memcpy(&m_id, id, sizeof(GUID));
    }

    double GetMin() const { return m_min; }
    double GetMax() const { return m_max; }
    /// Moves the map to minimum..maximum; the stops keep their positions.
    void SetMinMax(double minimum, double maximum)
    {
        m_min = minimum;
        m_max = maximum;
    }

    /// Makes a two-stop ramp from colorLow at low to colorHigh at high with a new identity
    /// (the name is kept). `flags` is reserved (0). FALSE for a range that is not finite.
    BOOL CreateSimpleColorMap(double low, double high, COLORREF colorLow, COLORREF colorHigh, int flags);

    /// Replaces the stops: 2 to kMaxColorMapEntries, finite positions in ascending order.
    /// FALSE (and the map unchanged) otherwise.
    BOOL SetEntries(const std::vector<ColorMapEntry>& entries);
    const std::vector<ColorMapEntry>& GetEntries() const { return m_entries; }
    int GetEntryCount() const { return static_cast<int>(m_entries.size()); }
    /// The value of stop i in the map's units (NormToValue of its position).
    double GetEntryValue(int i) const { return NormToValue(m_entries.at(std::size_t(i)).position); }

    /// The colour the map gives value v (NaN: the first stop's colour).
    COLORREF GetColor(double v) const;
    /// 256 red-green-blue byte triples for the display levels of low..high: level i shows
    /// the colour of low + (high - low) x i / 255. FALSE for a null buffer.
    BOOL CreatePseudoPalette(BYTE* rgb, double low, double high) const;
    /// `count` red-green-blue byte triples spread over the map's own range (the first at
    /// the minimum, the last at the maximum). FALSE for a null buffer or a count below 1.
    BOOL CreatePalette(BYTE* rgb, int count) const;

    /// Bytes of the serial form.
    int GetSizeToSave() const;
    /// Writes the serial form into buffer (size bytes); FALSE when it does not fit.
    BOOL SaveColorMapToPtr(void* buffer, int size) const;
    /// Reads a serial form of exactly `size` bytes. A record whose format word is not 1,
    /// whose count is below 2, whose sizes do not agree with `size`, whose values are not
    /// finite or whose stops are out of order is refused, and the map is left unchanged.
    BOOL LoadColorMapFromPtr(const void* data, int size);

private:
    double m_min = 0.0;
    double m_max = 1.0;
    CString m_name;
    GUID m_id{};
    std::vector<ColorMapEntry> m_entries;
};
