#include "outside/basecore/ui_thread.h"

#include <condition_variable>
#include <deque>
#include <mutex>

#include <QApplication>
#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

namespace basecore {
namespace {

// The work itself travels through a queue of our own under a standard mutex; Qt's event
// only wakes the user-interface thread. The hand-over is then plain to see for the
// thread sanitizer, which cannot see through Qt's own locks.
struct UiQueue {
    std::mutex lock;
    std::deque<std::function<void()>> items;
};

UiQueue& Queue()
{
    static UiQueue queue;
    return queue;
}

void Drain()
{
    UiQueue& q = Queue();
    for (;;) {
        std::function<void()> fn;
        {
            std::lock_guard lock(q.lock);
            if (q.items.empty()) return;
            fn = std::move(q.items.front());
            q.items.pop_front();
        }
        fn();
    }
}

}  // namespace

bool HasWindows()
{
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

bool IsUiThread()
{
    auto* app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}

void PostToUiThread(std::function<void()> fn)
{
    auto* app = QCoreApplication::instance();
    if (!app) {
        fn();
        return;
    }
    {
        std::lock_guard lock(Queue().lock);
        Queue().items.push_back(std::move(fn));
    }
    QMetaObject::invokeMethod(app, &Drain, Qt::QueuedConnection);
}

void CallOnUiThread(const std::function<void()>& fn)
{
    if (IsUiThread()) {
        fn();
        return;
    }
    // Nested event loops (modal dialogs) on the user-interface thread keep serving these.
    std::mutex lock;
    std::condition_variable wake;
    bool done = false;
    PostToUiThread([&] {
        fn();
        std::lock_guard guard(lock);
        done = true;
        wake.notify_one();
    });
    std::unique_lock guard(lock);
    wake.wait(guard, [&] { return done; });
}

}  // namespace basecore
