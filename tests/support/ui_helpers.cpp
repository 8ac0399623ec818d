#include "tests/support/ui_helpers.h"

#include <filesystem>
#include <thread>

#include <QCoreApplication>
#include <QWidget>

#include "platform/window/cmd_target.h"

namespace tarvenix::test {

void PumpEvents()
{
    for (int round = 0; round < 3; ++round) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

bool PumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds bound)
{
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

bool ClickCommand(CWnd& target, UINT id, bool autoDisable)
{
    if (!platform::QueryCommandState(&target, id, autoDisable).enabled) return false;
    target.SendMessage(WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), 0), 0);
    return true;
}

QImage GrabWindow(CWnd& window)
{
    QWidget* widget = window.GetWidget();
    if (!widget) return {};
    return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

std::filesystem::path TestOutputDir()
{
    return std::filesystem::path(TARVENIX_SOURCE_DIR) / "test-output";
}

::testing::AssertionResult ImagesEqual(const QImage& actual, const QImage& expected, const std::string& name)
{
    auto saveActual = [&] {
        const std::filesystem::path folder = TestOutputDir();
        std::error_code ignored;
        std::filesystem::create_directories(folder, ignored);
        const std::filesystem::path file = folder / (name + ".png");
        actual.save(QString::fromStdString(file.string()));
        return file.string();
    };
    if (actual.size() != expected.size()) {
        return ::testing::AssertionFailure()
               << name << ": size " << actual.width() << "x" << actual.height() << ", expected "
               << expected.width() << "x" << expected.height() << "; actual image saved as " << saveActual();
    }
    const QImage a = actual.convertToFormat(QImage::Format_RGB32);
    const QImage e = expected.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < a.height(); ++y) {
        const auto* rowA = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* rowE = reinterpret_cast<const QRgb*>(e.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            if ((rowA[x] & 0xFFFFFF) != (rowE[x] & 0xFFFFFF)) {
                char text[128];
                std::snprintf(text, sizeof text, "first difference at (%d, %d): #%06X, expected #%06X", x, y,
                              rowA[x] & 0xFFFFFF, rowE[x] & 0xFFFFFF);
                return ::testing::AssertionFailure()
                       << name << ": " << text << "; actual image saved as " << saveActual();
            }
        }
    }
    return ::testing::AssertionSuccess();
}

}  // namespace tarvenix::test
