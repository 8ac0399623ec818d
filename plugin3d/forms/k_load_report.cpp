#include "plugin3d/forms/k_load_report.h"

#include <algorithm>
#include <mutex>
#include <utility>

namespace {

std::mutex g_mutex;
std::vector<std::string> g_missing;

}  // namespace

void NoteMissingLayerFile(const std::string& path)
{
    std::lock_guard lock(g_mutex);
    if (std::find(g_missing.begin(), g_missing.end(), path) == g_missing.end()) g_missing.push_back(path);
}

std::vector<std::string> TakeMissingLayerFiles()
{
    std::lock_guard lock(g_mutex);
    return std::exchange(g_missing, {});
}
