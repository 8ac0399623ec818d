#include "platform/window/ui_thread.h"

#include <condition_variable>
#include <cstdio>
#include <exception>
#include <memory>
#include <mutex>

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QThread>

namespace platform {
namespace {

const QEvent::Type kCallEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

class CallEvent : public QEvent {
public:
    explicit CallEvent(std::function<void()> fn) : QEvent(kCallEvent), m_fn(std::move(fn)) {}
    void Run() { m_fn(); }

private:
    std::function<void()> m_fn;
};

// Lives on the user-interface thread and runs what other threads hand over. Every event
// loop of that thread delivers its events, modal loops and message boxes included.
class UiDispatcher : public QObject {
protected:
    bool event(QEvent* e) override
    {
        if (e->type() != kCallEvent) return QObject::event(e);
        try {
            static_cast<CallEvent*>(e)->Run();
        } catch (const std::exception& error) {
            std::fprintf(stderr, "tarvenix: a queued call failed: %s\n", error.what());
        } catch (...) {
            std::fprintf(stderr, "tarvenix: a queued call failed\n");
        }
        return true;
    }
};

UiDispatcher* Dispatcher()
{
    static UiDispatcher* dispatcher = [] {
        auto* d = new UiDispatcher;
        if (QCoreApplication::instance()) d->moveToThread(QCoreApplication::instance()->thread());
        return d;
    }();
    return dispatcher;
}

}  // namespace

bool IsUiThread()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}

void PostToUiThread(std::function<void()> fn)
{
    QCoreApplication::postEvent(Dispatcher(), new CallEvent(std::move(fn)));
}

void RunOnUiThread(const std::function<void()>& fn)
{
    if (IsUiThread()) {
        fn();
        return;
    }
    struct State {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        std::exception_ptr error;
    };
    auto state = std::make_shared<State>();
    // The caller waits below, so fn outlives the call.
    auto call = [state, &fn] {
        try {
            fn();
        } catch (...) {
            state->error = std::current_exception();
        }
        std::lock_guard lock(state->mutex);
        state->finished = true;
        state->done.notify_all();
    };
    // Ahead of ordinary posted messages, as the system answers sent messages first.
    QCoreApplication::postEvent(Dispatcher(), new CallEvent(call), Qt::HighEventPriority);
    std::unique_lock lock(state->mutex);
    state->done.wait(lock, [&] { return state->finished; });
    if (state->error) std::rethrow_exception(state->error);
}

}  // namespace platform
