#include "app/startup_guard.h"

#include <csignal>
#include <cstring>
#include <unistd.h>

#include "app/app_resources.h"
#include "platform/app/win_app.h"
#include "platform/window/modal.h"
#include "platform/window/wnd.h"
#include "viewer/core/fault_names.h"

namespace {

// The handler may only use what is async-signal-safe: the texts are copied into these
// buffers before the handlers are installed.
char g_prefix[256];
char g_suffix[256];
// The handler's own stack, so that a stack overflow is reported too.
alignas(16) char g_faultStack[64 * 1024];

constexpr int kGuardedSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE};

unsigned FaultCodeOf(int signal, const siginfo_t* info)
{
    switch (signal) {
        case SIGSEGV:
        case SIGBUS:
            return kFaultAccessViolation;
        case SIGILL:
            return kFaultIllegalInstruction;
        case SIGFPE:
            switch (info ? info->si_code : 0) {
                case FPE_INTDIV:
                    return kFaultIntDivideByZero;
                case FPE_INTOVF:
                    return kFaultIntOverflow;
                case FPE_FLTDIV:
                    return kFaultFltDivideByZero;
                case FPE_FLTOVF:
                    return kFaultFltOverflow;
                case FPE_FLTUND:
                    return kFaultFltUnderflow;
                case FPE_FLTRES:
                    return kFaultFltInexactResult;
                case FPE_FLTINV:
                    return kFaultFltInvalidOperation;
                default:
                    return 0;
            }
        default:
            return 0;
    }
}

void WriteAll(const char* text)
{
    std::size_t left = std::strlen(text);
    while (left > 0) {
        const ssize_t written = ::write(STDERR_FILENO, text, left);
        if (written <= 0) return;
        text += written;
        left -= static_cast<std::size_t>(written);
    }
}

void OnFault(int signal, siginfo_t* info, void*)
{
    WriteAll(g_prefix);
    WriteAll(FaultName(FaultCodeOf(signal, info)));
    WriteAll(g_suffix);
    WriteAll("\n");
    ::_exit(1);
}

// Installs the fault handlers for its lifetime and puts the previous ones back afterwards.
class FaultHandlers {
public:
    FaultHandlers()
    {
        m_stack.ss_sp = g_faultStack;
        m_stack.ss_size = sizeof(g_faultStack);
        m_stack.ss_flags = 0;
        m_haveStack = ::sigaltstack(&m_stack, &m_previousStack) == 0;
        struct sigaction action {};
        action.sa_sigaction = OnFault;
        action.sa_flags = SA_SIGINFO | SA_ONSTACK;
        sigemptyset(&action.sa_mask);
        for (std::size_t i = 0; i < std::size(kGuardedSignals); ++i)
            ::sigaction(kGuardedSignals[i], &action, &m_previous[i]);
    }
    ~FaultHandlers()
    {
        for (std::size_t i = 0; i < std::size(kGuardedSignals); ++i)
            ::sigaction(kGuardedSignals[i], &m_previous[i], nullptr);
        if (m_haveStack) ::sigaltstack(&m_previousStack, nullptr);
    }
    FaultHandlers(const FaultHandlers&) = delete;
    FaultHandlers& operator=(const FaultHandlers&) = delete;

private:
    struct sigaction m_previous[std::size(kGuardedSignals)]{};
    stack_t m_stack{};
    stack_t m_previousStack{};
    bool m_haveStack = false;
};

void CopyText(char (&buffer)[256], const CString& text)
{
    std::strncpy(buffer, text.c_str(), sizeof(buffer) - 1);
    buffer[sizeof(buffer) - 1] = '\0';
}

}  // namespace

CString StartupErrorText(const CString& prefix, unsigned faultCode)
{
    CString suffix;
    suffix.LoadString(IDS_STARTUP_CLOSE);
    return prefix + FaultName(faultCode) + suffix;
}

BOOL RunStartupGuarded(const CString& prefix, const std::function<BOOL()>& steps)
{
    CString suffix;
    suffix.LoadString(IDS_STARTUP_CLOSE);
    CopyText(g_prefix, prefix);
    CopyText(g_suffix, suffix);
    try {
        FaultHandlers handlers;
        return steps();
    } catch (...) {
        // A language exception has no fault code, so its message names none.
        CWnd* owner = AfxGetMainWnd();
        ::MessageBox(SafeHwnd(owner), StartupErrorText(prefix, 0), "Tarvenix", MB_OK | MB_TOPMOST);
        return FALSE;
    }
}
