#include "platform/shell/clipboard.h"

#include <QByteArray>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QThread>
#include <memory>
#include <mutex>

namespace {

struct PendingChange {
    bool open = false;
    bool emptied = false;
    bool hasText = false;
    QString text;
    QImage image;
    QByteArray drawing;
};

std::mutex& ChangeMutex()
{
    static std::mutex mutex;
    return mutex;
}

PendingChange& Change()
{
    static PendingChange change;
    return change;
}

bool OnGuiThread()
{
    return QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread();
}

// Runs on the user-interface thread: builds the new clipboard contents from the change
// and, unless it was emptied, from what the clipboard held.
void Publish(const PendingChange& change)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) return;
    auto data = std::make_unique<QMimeData>();
    const QMimeData* current = change.emptied ? nullptr : clipboard->mimeData();
    if (current) {
        for (const QString& format : current->formats())
            if (format != "application/x-qt-image") data->setData(format, current->data(format));
        if (current->hasImage()) data->setImageData(current->imageData());
    }
    if (change.hasText) data->setText(change.text);
    if (!change.image.isNull()) data->setImageData(change.image);
    if (!change.drawing.isNull()) data->setData(platform::kClipboardDrawingMime, change.drawing);
    clipboard->setMimeData(data.release());
}

}  // namespace

BOOL OpenClipboard(HWND)
{
    std::lock_guard lock(ChangeMutex());
    if (Change().open) return FALSE;
    Change() = PendingChange{};
    Change().open = true;
    return TRUE;
}

BOOL EmptyClipboard()
{
    std::lock_guard lock(ChangeMutex());
    if (!Change().open) return FALSE;
    Change() = PendingChange{};
    Change().open = true;
    Change().emptied = true;
    return TRUE;
}

BOOL CloseClipboard()
{
    PendingChange change;
    {
        std::lock_guard lock(ChangeMutex());
        if (!Change().open) return FALSE;
        change = Change();
        Change() = PendingChange{};
    }
    if (OnGuiThread())
        Publish(change);
    else if (QCoreApplication::instance())
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [change] { Publish(change); }, Qt::QueuedConnection);
    else
        return FALSE;
    return TRUE;
}

namespace platform {

bool SetClipboardText(const CString& text)
{
    std::lock_guard lock(ChangeMutex());
    if (!Change().open) return false;
    Change().hasText = true;
    Change().text = QString::fromUtf8(text.c_str(), text.GetLength());
    return true;
}

bool SetClipboardImage(const QImage& image)
{
    std::lock_guard lock(ChangeMutex());
    if (!Change().open || image.isNull()) return false;
    Change().image = image;
    return true;
}

bool SetClipboardDrawing(const QByteArray& svg)
{
    std::lock_guard lock(ChangeMutex());
    if (!Change().open || svg.isEmpty()) return false;
    Change().drawing = svg;
    return true;
}

CString ClipboardText()
{
    const QClipboard* clipboard = QGuiApplication::clipboard();
    const QMimeData* data = clipboard ? clipboard->mimeData() : nullptr;
    return data && data->hasText() ? CString(data->text().toStdString()) : CString();
}

QImage ClipboardImage()
{
    const QClipboard* clipboard = QGuiApplication::clipboard();
    const QMimeData* data = clipboard ? clipboard->mimeData() : nullptr;
    return data && data->hasImage() ? qvariant_cast<QImage>(data->imageData()) : QImage();
}

QByteArray ClipboardDrawing()
{
    const QClipboard* clipboard = QGuiApplication::clipboard();
    const QMimeData* data = clipboard ? clipboard->mimeData() : nullptr;
    return data ? data->data(kClipboardDrawingMime) : QByteArray();
}

}  // namespace platform
