#include "platform/window/ui_thread.h"

#include <condition_variable>
#include <cstdio>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QThread>

namespace platform {
namespace {

// The work itself travels through queues of our own under a standard mutex; Qt's event
// only wakes the user-interface thread and says which queue holds the next call. The
// hand-over is then plain to see for the thread sanitizer, which cannot see through Qt's
// own locks. One event per call keeps the order Qt's priorities give.
struct CallQueues {
    std::mutex lock;
    std::deque<std::function<void()>> urgent;  // blocking calls
    std::deque<std::function<void()>> posted;
};

CallQueues& Queues()
{
    static CallQueues queues;
    return queues;
}

const QEvent::Type kCallEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

class CallEvent : public QEvent {
public:
    explicit CallEvent(bool urgent) : QEvent(kCallEvent), m_urgent(urgent) {}

    std::function<void()> Take() const
    {
        CallQueues& q = Queues();
        std::lock_guard lock(q.lock);
        auto& items = m_urgent ? q.urgent : q.posted;
        if (items.empty()) return {};
        std::function<void()> fn = std::move(items.front());
        items.pop_front();
        return fn;
    }

private:
    bool m_urgent;
};

// Lives on the user-interface thread and runs what other threads hand over. Every event
// loop of that thread delivers its events, modal loops and message boxes included.
class UiDispatcher : public QObject {
protected:
    bool event(QEvent* e) override
    {
        if (e->type() != kCallEvent) return QObject::event(e);
        std::function<void()> fn = static_cast<CallEvent*>(e)->Take();
        if (!fn) return true;
        try {
            fn();
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

void Hand(std::function<void()> fn, bool urgent)
{
    {
        CallQueues& q = Queues();
        std::lock_guard lock(q.lock);
        (urgent ? q.urgent : q.posted).push_back(std::move(fn));
    }
    // Ahead of ordinary posted messages, as the system answers sent messages first.
    QCoreApplication::postEvent(Dispatcher(), new CallEvent(urgent),
                                urgent ? Qt::HighEventPriority : Qt::NormalEventPriority);
}

}  // namespace

bool HasWindows()
{
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

bool IsUiThread()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}

void PostToUiThread(std::function<void()> fn)
{
    if (!QCoreApplication::instance()) {
        fn();  // nothing would ever deliver it
        return;
    }
    Hand(std::move(fn), false);
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
    Hand(
        [state, &fn] {
            try {
                fn();
            } catch (...) {
                state->error = std::current_exception();
            }
            std::lock_guard lock(state->mutex);
            state->finished = true;
            state->done.notify_all();
        },
        true);
    std::unique_lock lock(state->mutex);
    state->done.wait(lock, [&] { return state->finished; });
    if (state->error) std::rethrow_exception(state->error);
}

}  // namespace platform
