#include "plugin3d/model/core/k_form_links.h"

#include <mutex>

namespace {

std::mutex g_mutex;
TKFormLinks g_links;

}  // namespace

void SetFormLinks(const TKFormLinks& links)
{
    std::lock_guard lock(g_mutex);
    g_links = links;
}

TKFormLinks FormLinks()
{
    std::lock_guard lock(g_mutex);
    return g_links;
}
