#pragma once

// A colour map: a value range, a name and a GUID identity. The members here are those the
// viewer's code reaches directly; the rest of the colour-map library builds on them.

#include <cstring>

#include "platform/cstring.h"
#include "platform/types.h"

class CColorMap {
public:
    CColorMap() = default;
    CColorMap(double minimum, double maximum) : m_min(minimum), m_max(maximum) {}
    virtual ~CColorMap();

    /// minimum + (maximum - minimum) x t; no clamping.
    double NormToValue(double t) const { return m_min + (m_max - m_min) * t; }
    /// (v - minimum) / (maximum - minimum); no clamping; 0 when the range is empty.
    double ValueToNorm(double v) const { return m_max == m_min ? 0.0 : (v - m_min) / (m_max - m_min); }

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
    void SetMinMax(double minimum, double maximum)
    {
        m_min = minimum;
        m_max = maximum;
    }

private:
    double m_min = 0.0;
    double m_max = 1.0;
    CString m_name;
    GUID m_id{};
};
