#include "modules/convolution/derivative_job.h"

#include <memory>

int DerivativeOutputType(int, int)
{
    return 0;
}

bool IsDerivableInput(int, int, int)
{
    return false;
}

double UsablePixelStep(double step)
{
    return step;
}

void CalcDerivative(const SGradientParams&, CMeterInfoBase*, int, const void* const*, void* const*, int, int,
                    int)
{
}

int CalcDerivativeJob(void* record, CMeterInfo*)
{
    std::unique_ptr<SGradientParams> job(static_cast<SGradientParams*>(record));
    return 0;
}
