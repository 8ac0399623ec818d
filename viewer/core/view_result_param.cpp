#include "viewer/core/view_result_param.h"

#include <new>

ViewMultiResultParam::~ViewMultiResultParam()
{
    Release();
}

void ViewMultiResultParam::Release()
{
    delete[] records;
    records = nullptr;
    count = 0;
}

int ViewMultiResultParam::MakeParam(int n)
{
    Release();
    // An absurd count would reserve and then construct gigabytes before failing, if it failed.
    if (n < 0 || n > kMaxRecords) return 0;
    if (n == 0) return 1;
    records = new (std::nothrow) ViewResultParam[static_cast<size_t>(n)];
    if (!records) return 0;
    count = n;
    return 1;
}

ViewResultParam* ViewMultiResultParam::operator[](int i)
{
    return i >= 0 && i < count ? &records[i] : nullptr;
}

const ViewResultParam* ViewMultiResultParam::operator[](int i) const
{
    return i >= 0 && i < count ? &records[i] : nullptr;
}
