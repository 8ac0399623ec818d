#pragma once

// Turns the kernels' AVX2 or AVX-512 paths off (or back on) for the life of a scope, so one
// test can hold the vector and the scalar code to the same reference.

#include "platform/kernel/cpu_features.h"

namespace tarvenix::test {

class ScopedAvx2Paths {
public:
    explicit ScopedAvx2Paths(bool enabled) : m_before(platform::UseAvx2())
    {
        // Never on where the process was started with them off.
        platform::SetAvx2Paths(enabled && m_before);
    }
    ~ScopedAvx2Paths() { platform::SetAvx2Paths(m_before); }
    ScopedAvx2Paths(const ScopedAvx2Paths&) = delete;
    ScopedAvx2Paths& operator=(const ScopedAvx2Paths&) = delete;

private:
    bool m_before;
};

/// The same for the AVX-512 paths alone: the AVX2 paths stay as they are.
class ScopedAvx512Paths {
public:
    explicit ScopedAvx512Paths(bool enabled) : m_before(platform::UseAvx512())
    {
        platform::SetAvx512Paths(enabled && m_before);
    }
    ~ScopedAvx512Paths() { platform::SetAvx512Paths(m_before || !platform::UseAvx2()); }
    ScopedAvx512Paths(const ScopedAvx512Paths&) = delete;
    ScopedAvx512Paths& operator=(const ScopedAvx512Paths&) = delete;

private:
    bool m_before;
};

}  // namespace tarvenix::test
