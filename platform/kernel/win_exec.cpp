#include "platform/kernel/win_exec.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <mutex>

#include "platform/last_error.h"

namespace {

std::mutex& HookMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::function<UINT(const std::vector<std::string>&, UINT)>& Hook()
{
    static std::function<UINT(const std::vector<std::string>&, UINT)> hook;
    return hook;
}

constexpr UINT kStarted = 33;

}  // namespace

namespace platform {

std::vector<std::string> SplitCommandLine(const char* commandLine)
{
    std::vector<std::string> parts;
    if (!commandLine) return parts;
    std::string part;
    bool inPart = false, quoted = false;
    for (const char* c = commandLine; *c; ++c) {
        if (*c == '"') {
            quoted = !quoted;
            inPart = true;  // "" is an empty argument
        } else if ((*c == ' ' || *c == '\t') && !quoted) {
            if (inPart) parts.push_back(std::move(part));
            part.clear();
            inPart = false;
        } else {
            part += *c;
            inPart = true;
        }
    }
    if (inPart) parts.push_back(std::move(part));
    return parts;
}

void SetWinExecHook(std::function<UINT(const std::vector<std::string>&, UINT)> hook)
{
    std::lock_guard lock(HookMutex());
    Hook() = std::move(hook);
}

}  // namespace platform

UINT WinExec(LPCSTR commandLine, UINT show)
{
    const std::vector<std::string> parts = platform::SplitCommandLine(commandLine);
    std::function<UINT(const std::vector<std::string>&, UINT)> hook;
    {
        std::lock_guard lock(HookMutex());
        hook = Hook();
    }
    if (hook) return hook(parts, show);
    if (parts.empty() || parts[0].empty()) return ERROR_FILE_NOT_FOUND;

    const QString name = QString::fromStdString(parts[0]);
    const QString program = name.contains('/') ? (QFileInfo(name).isFile() ? name : QString())
                                               : QStandardPaths::findExecutable(name);
    if (program.isEmpty()) return ERROR_FILE_NOT_FOUND;
    QStringList arguments;
    for (std::size_t i = 1; i < parts.size(); ++i) arguments << QString::fromStdString(parts[i]);
    // Detached: the program outlives this process and leaves no child to reap.
    return QProcess::startDetached(program, arguments) ? kStarted : ERROR_BAD_FORMAT;
}
