#include "outside/basecore/order_file.h"

UINT COrderFile::Read(void* buffer, UINT count)
{
    return CFile::Read(buffer, count);
}
