#pragma once

// The value of one component of a sample: a real sample is its own value; a complex one
// gives its phase, real or imaginary part for components 1, 2 and 3, and its amplitude for
// component 0 and any other. Component 4 (both parts) has no one value: like the display,
// which knows only the four components, it shows the amplitude.

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
            case kPhase:
                return Arg(r, i);
            case kReal:
                return r;
            case kImaginary:
                return i;
            default:
                return Amplitude(r, i);
        }
    }
}
