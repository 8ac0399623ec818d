#include "tests/app/plugin_log.h"

namespace {
std::vector<std::string>& Log()
{
    static std::vector<std::string> log;
    return log;
}
}  // namespace

int& HideAnswer()
{
    static int answer = 1;
    return answer;
}

int TakeHideAnswer()
{
    const int answer = HideAnswer();
    HideAnswer() = 1;
    return answer;
}

void SetHideAnswer(int answer)
{
    HideAnswer() = answer;
}

void RecordPluginEvent(const char* event)
{
    Log().emplace_back(event ? event : "");
}

__attribute__((visibility("default"))) std::vector<std::string> PluginLog()
{
    return Log();
}

__attribute__((visibility("default"))) void ClearPluginLog()
{
    Log().clear();
}
