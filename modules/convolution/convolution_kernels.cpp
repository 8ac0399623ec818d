#include "modules/convolution/convolution_kernels.h"

double MaskDivisor(const double*, std::size_t)
{
    return 1.0;
}

WorkingMask PrepareMask(const char*, int, int, float)
{
    return {};
}

int ConvolutionOutputType(int)
{
    return 0;
}

void ConvolveImage(int, const RowSource&, const WorkingMask&, void* const*, const BandProgress&, int) {}
