#include "platform/shell/shell.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QLocalServer>
#include <QUrl>
#include <atomic>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/shell/clipboard.h"
#include "platform/shell/single_instance_channel.h"
#include "tests/support/test_environment.h"

namespace {

int Code(HINSTANCE result)
{
    return static_cast<int>(reinterpret_cast<std::intptr_t>(result));
}

// Pumps the event loop until `done` holds, for at most ten seconds.
template <class Condition>
bool PumpUntil(Condition done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 10000) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

TEST(ShellExecuteTest, OpensDocumentsAndLinksThroughTheDesktopHandler)
{
    tarvenix::test::TempDir dir;
    const std::string document = dir.File("profile.txt");
    std::ofstream(document) << "1 2 3\n";
    std::vector<QUrl> opened;
    platform::SetShellOpenHook([&](const QUrl& url) {
        opened.push_back(url);
        return true;
    });

    EXPECT_GT(Code(ShellExecuteA(nullptr, "open", document.c_str(), nullptr, nullptr, 1)), 32);
    EXPECT_GT(Code(ShellExecute(nullptr, nullptr, "http://www.example.org/help", nullptr, nullptr, 1)), 32);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0], QUrl::fromLocalFile(QString::fromStdString(document)));
    EXPECT_EQ(opened[1].toString(), QStringLiteral("http://www.example.org/help"));

    EXPECT_EQ(Code(ShellExecute(nullptr, "open", dir.File("missing.txt").c_str(), nullptr, nullptr, 1)),
              SE_ERR_FNF);
    EXPECT_EQ(Code(ShellExecute(nullptr, "open", dir.File("none/missing.txt").c_str(), nullptr, nullptr, 1)),
              SE_ERR_PNF);
    EXPECT_EQ(Code(ShellExecute(nullptr, "print", document.c_str(), nullptr, nullptr, 1)), SE_ERR_NOASSOC);
    EXPECT_EQ(opened.size(), 2u);

    platform::SetShellOpenHook([](const QUrl&) { return false; });
    EXPECT_EQ(Code(ShellExecute(nullptr, "open", document.c_str(), nullptr, nullptr, 1)), SE_ERR_NOASSOC);
    platform::SetShellOpenHook(nullptr);
}

TEST(ClipboardTest, BitmapAndDrawingSetByTwoChangesBothStay)
{
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(qRgb(10, 200, 30));
    const QByteArray svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"4\" height=\"3\"/>";

    ASSERT_TRUE(OpenClipboard(nullptr));
    EXPECT_FALSE(OpenClipboard(nullptr));  // one change at a time
    ASSERT_TRUE(EmptyClipboard());
    EXPECT_TRUE(platform::SetClipboardImage(image));
    ASSERT_TRUE(CloseClipboard());

    ASSERT_TRUE(OpenClipboard(nullptr));  // added without emptying: the bitmap stays
    EXPECT_TRUE(platform::SetClipboardDrawing(svg));
    ASSERT_TRUE(CloseClipboard());
    EXPECT_EQ(platform::ClipboardDrawing(), svg);
    const QImage pasted = platform::ClipboardImage();
    ASSERT_EQ(pasted.size(), image.size());
    EXPECT_EQ(pasted.pixel(2, 1), image.pixel(2, 1));

    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    EXPECT_TRUE(platform::SetClipboardText("1.5\t2.5\r\n"));
    CloseClipboard();
    EXPECT_EQ(platform::ClipboardText(), CString("1.5\t2.5\r\n"));
    EXPECT_TRUE(platform::ClipboardImage().isNull());
    EXPECT_TRUE(platform::ClipboardDrawing().isEmpty());

    EXPECT_FALSE(platform::SetClipboardText("not open"));
    EXPECT_FALSE(CloseClipboard());
}

TEST(SingleInstanceChannelTest, SecondStartHandsItsCommandLineToTheFirst)
{
    const CString name = CString("tarvenix-test-") + CString(std::to_string(::getpid()));
    platform::SingleInstanceChannel first;
    std::vector<std::string> received;
    ASSERT_TRUE(first.Listen(name, [&](const CString& text) { received.push_back(text.str()); }));

    platform::SingleInstanceChannel second;
    EXPECT_FALSE(second.Listen(name, [](const CString&) {}));  // the name is taken

    // The second start runs in its own thread here, as it would in its own process, while
    // this (user-interface) thread serves the first instance's event loop.
    const std::string commandLine = "/opt/tarvenix/Tarvenix {Open \"/data/a b.rdp\"} {DisableView}";
    std::atomic<int> results{0};
    std::atomic<bool> delivered{false};
    std::thread sender([&] {
        delivered = platform::SingleInstanceChannel::SendToRunning(name, commandLine.c_str());
        ++results;
    });
    EXPECT_TRUE(PumpUntil([&] { return results.load() == 1; }));
    sender.join();
    EXPECT_TRUE(delivered.load());
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0], commandLine);

    first.Close();
    EXPECT_FALSE(platform::SingleInstanceChannel::SendToRunning(name, "{Open \"x.rdp\"}", 1000));
    // After the first instance is gone the name can be taken again.
    EXPECT_TRUE(second.Listen(name, [](const CString&) {}));
}

TEST(SingleInstanceChannelTest, SocketLeftByACrashedInstanceIsTakenOver)
{
    const CString name = CString("tarvenix-stale-") + CString(std::to_string(::getpid()));
    // What a crashed instance leaves: the socket file with nobody listening on it.
    QLocalServer crashed;
    ASSERT_TRUE(crashed.listen(platform::SingleInstanceChannel::ServerName(name)));
    const QString path = crashed.fullServerName();
    crashed.close();
    std::ofstream(path.toStdString()) << "";
    platform::SingleInstanceChannel channel;
    EXPECT_TRUE(channel.Listen(name, [](const CString&) {}));
    EXPECT_TRUE(channel.IsListening());
}

}  // namespace
