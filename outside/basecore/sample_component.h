#pragma once

// The value of one component of a sample: a real sample is its own value; a complex one
// gives its amplitude, phase, real or imaginary part (the real part for any other number).

#include "outside/basecore/data_type.h"
#include "outside/basecore/math_helpers.h"
#include "outside/basecore/rdp_layer.h"

template <class T>
inline double SampleComponent(const T& s, int component)
{
    if constexpr (!IsComplex<T>) {
        (void)component;
        return double(s);
    } else {
        const double r = double(re(s)), i = double(im(s));
        switch (component) {
            case kAmplitude:
                return Amplitude(r, i);
            case kPhase:
                return Arg(r, i);
            case kImaginary:
                return i;
            default:
                return r;
        }
    }
}
