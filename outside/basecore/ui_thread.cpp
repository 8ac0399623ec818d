#include "outside/basecore/ui_thread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

namespace basecore {

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
    QMetaObject::invokeMethod(app, std::move(fn), Qt::QueuedConnection);
}

void CallOnUiThread(const std::function<void()>& fn)
{
    if (IsUiThread()) {
        fn();
        return;
    }
    // Nested event loops (modal dialogs) on the user-interface thread keep serving these.
    QMetaObject::invokeMethod(QCoreApplication::instance(), [&fn] { fn(); }, Qt::BlockingQueuedConnection);
}

}  // namespace basecore
