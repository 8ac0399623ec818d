#include "outside/basecore/rdp_filter.h"

CString GetRDPFilter()
{
    return "Tarvenix data files(*.rdp)|*.rdp|All Files (*.*)|*.*||";
}
