#include "platform/shell/shell.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>
#include <mutex>
#include <strings.h>

#include <cstring>

namespace {

std::mutex& HookMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::function<bool(const QUrl&)>& Hook()
{
    static std::function<bool(const QUrl&)> hook;
    return hook;
}

HINSTANCE Result(int code)
{
    return reinterpret_cast<HINSTANCE>(static_cast<std::intptr_t>(code));
}

// Text with a scheme ("http:", "mailto:", ...) of two letters or more (so "C:" is not one),
// or a "www." name, is a link; anything else is a path.
bool IsLink(const QString& text)
{
    if (text.startsWith("www.", Qt::CaseInsensitive)) return true;
    const int colon = text.indexOf(':');
    if (colon < 2) return false;
    for (int i = 0; i < colon; ++i) {
        const QChar c = text[i];
        if (!(c.isLetterOrNumber() || c == '+' || c == '-' || c == '.')) return false;
    }
    return true;
}

/// Hands `url` to the desktop: its services, else its standard opener (xdg-open), which
/// starts the user's browser or viewer for the kind of file. Only where a desktop shows
/// windows: without a display nothing could appear.
bool OpenOnDesktop(const QUrl& url)
{
    if (QDesktopServices::openUrl(url)) return true;
    const QString platform = QGuiApplication::platformName();
    const bool display = qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
    if (!display || platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
        return false;
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    return !opener.isEmpty() && QProcess::startDetached(opener, {url.toString(QUrl::FullyEncoded)});
}

}  // namespace

BOOL PathAddExtension(LPSTR path, LPCSTR extension)
{
    if (!path) return FALSE;
    const std::size_t length = std::strlen(path);
    const char* name = std::strrchr(path, '/');
    name = name ? name + 1 : path;
    const char* dot = std::strrchr(name, '.');
    if (dot && dot != name) return FALSE;  // has one (a leading dot only hides the file)
    if (!extension || !*extension) return FALSE;
    const char* ext = extension;
    if (length + std::strlen(ext) + 1 > std::size_t(MAX_PATH)) return FALSE;
    std::strcat(path, ext);
    return TRUE;
}

HINSTANCE ShellExecute(HWND, LPCSTR verb, LPCSTR file, LPCSTR, LPCSTR, int)
{
    if (!file || !*file) return Result(SE_ERR_FNF);
    if (verb && *verb && strcasecmp(verb, "open") != 0 && strcasecmp(verb, "explore") != 0)
        return Result(SE_ERR_NOASSOC);
    const QString text = QString::fromUtf8(file);
    QUrl url;
    if (IsLink(text)) {
        url = QUrl::fromUserInput(text);
        if (!url.isValid()) return Result(SE_ERR_FNF);
    } else {
        const QFileInfo info(text);
        if (!info.exists()) return Result(info.dir().exists() ? SE_ERR_FNF : SE_ERR_PNF);
        url = QUrl::fromLocalFile(info.absoluteFilePath());
    }
    std::function<bool(const QUrl&)> hook;
    {
        std::lock_guard lock(HookMutex());
        hook = Hook();
    }
    const bool opened = hook ? hook(url) : OpenOnDesktop(url);
    // The shell answers success with any value above 32.
    return Result(opened ? 42 : SE_ERR_NOASSOC);
}

namespace platform {
void SetShellOpenHook(std::function<bool(const QUrl&)> hook)
{
    std::lock_guard lock(HookMutex());
    Hook() = std::move(hook);
}
}  // namespace platform
