#pragma once

// The fill loops of span_fill.h in the forms the canvas uses: every present channel filled
// in one pass (the later channels would take the same depth decisions as the first), and
// lines and edge ramps restricted to a window of their rows, entered by computing the
// ramps' state at the window's first step instead of walking to it. A primitive drawn band
// by band therefore writes exactly what it writes drawn whole.

#include <cstddef>
#include <cstdint>

#include "plugin3d/model/render/span_fill.h"

namespace canvas_tables {
struct TableForm;
}

namespace canvas_kernels {

/// p moved by a number of bytes (rows and spans are laid out in bytes).
template <class T>
T* Advance(T* p, std::ptrdiff_t bytes)
{
    return reinterpret_cast<T*>(reinterpret_cast<std::uint8_t*>(p) + bytes);
}
template <class T>
const T* Advance(const T* p, std::ptrdiff_t bytes)
{
    return reinterpret_cast<const T*>(reinterpret_cast<const std::uint8_t*>(p) + bytes);
}

/// The state of one integer ramp (see span_fill.h) from a0 to a1 over L >= 1 steps with
/// error start e0 >= 1, at any step. Values wrap in 32 bits, so a step past the end is harmless.
class Ramp {
public:
    Ramp() = default;
    Ramp(std::int32_t a0, std::int32_t a1, std::int64_t steps, std::int64_t errorStart, std::int64_t at = 0)
        : m_steps(steps)
    {
        const std::int64_t diff = std::int64_t(a1) - a0;
        // |a1 - a0| and the steps are below 2^32: one 32-bit division
        // gives quotient and remainder (most edges of a fine mesh span a row or two).
        const auto d = std::uint32_t(diff < 0 ? -diff : diff);
        std::uint32_t q = d, r = 0;
        if (steps != 1) {
            q = d / std::uint32_t(steps);
            r = d % std::uint32_t(steps);
        }
        m_remainder = r;
        m_sign = diff < 0 ? 0xFFFFFFFFu : 1u;
        m_step = q * m_sign;
        m_error = errorStart;
        m_value = std::uint32_t(a0);
        if (at > 0) {
            // After k steps the term has lost r*k and has had L put back c times, c the
            // least count that leaves it above 0: it stays within (0, L] throughout.
            const std::int64_t carries = (m_remainder * at - errorStart + steps) / steps;
            m_error = errorStart - m_remainder * at + carries * steps;
            m_value += (q * std::uint32_t(at) + std::uint32_t(carries)) * m_sign;
        }
    }
    std::int32_t Value() const { return std::int32_t(m_value); }
    void Step()
    {
        m_value += m_step;
        m_error -= m_remainder;
        if (m_error <= 0) {
            m_value += m_sign;
            m_error += m_steps;
        }
    }

    /// The state, for the vector fill's lanes (each lane is this ramp some steps on), and the
    /// state the lanes reached, to carry on from.
    std::uint32_t RawValue() const { return m_value; }
    std::uint32_t StepValue() const { return m_step; }
    std::uint32_t Sign() const { return m_sign; }
    std::int64_t Error() const { return m_error; }
    std::int64_t Remainder() const { return m_remainder; }
    std::int64_t Steps() const { return m_steps; }
    void Resume(std::uint32_t value, std::int64_t error)
    {
        m_value = value;
        m_error = error;
    }

private:
    std::uint32_t m_value = 0;
    std::uint32_t m_step = 0;
    std::uint32_t m_sign = 1;
    std::int64_t m_error = 0;
    std::int64_t m_remainder = 0;
    std::int64_t m_steps = 1;
};

/// The error start of span, line and edge ramps.
inline std::int64_t SpanErrorStart(std::int64_t steps)
{
    return (steps + 1) >> 1;
}

/// The present channel planes a fill writes, each with its pair offset in the span records.
struct ChannelRows {
    int count = 0;
    std::uint16_t* row[3] = {nullptr, nullptr, nullptr};  ///< first row's column 0
    std::ptrdiff_t stride[3] = {0, 0, 0};
    int pairOffset[3] = {0, 8, 16};
};

/// Fills `rowCount` rows from their span records into the depth row and every channel of
/// `channels` in one pass.
void FillSpanRows(bool smooth, std::int32_t* depthRow, std::ptrdiff_t depthStride,
                  const ChannelRows& channels, int rowCount, const TCanvasSpan* span);

/// Draws the line of the span record over `rowCount` rows (pointers at its first row), but
/// only its pixels on rows firstRow..lastRow (counted from the line's first row); each
/// channel takes the pair at its offset.
void DrawLineRows(bool smooth, std::int32_t* depthRow, std::ptrdiff_t depthStride,
                  const ChannelRows& channels, int rowCount, const TCanvasSpan& line, int firstRow,
                  int lastRow);

/// FillEdgeRamp's ramp over n records, writing only elements first..last of it.
void FillEdgeRampPart(std::int32_t* firstField, int n, std::int32_t a0, std::int32_t a1, int first, int last);

/// Packs `rowCount` rows of `width` pixels: each pixel becomes the OR of table[c][value] over
/// the channels given, stored in `bytesPerPixel` bytes (1..4; the 3-byte form leaves the byte
/// after each pixel alone). With no channel the pixels become 0. `forms` (null, or one per
/// channel, null where a table has none) are the tables' arithmetic forms: when every
/// channel has one, the drawn levels are computed instead of looked up, to the same bytes.
void PackChannelRows(int channelCount, const std::uint16_t* const* channelRows,
                     const std::ptrdiff_t* channelStrides, const std::int32_t* const* tables,
                     const canvas_tables::TableForm* const* forms, void* pixels, std::ptrdiff_t pixelStride,
                     int bytesPerPixel, int rowCount, int width);

}  // namespace canvas_kernels
