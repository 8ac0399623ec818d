#include "platform/shell/shell.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QLocalServer>
#include <QUrl>
#include <atomic>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/shell/clipboard.h"
#include "platform/shell/single_instance_channel.h"
#include "tests/support/descriptors_used_up.h"
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

/// The file of the channel `name`, where a start connects.
std::string ChannelPath(const CString& name)
{
    return platform::SingleInstanceChannel::ServerName(name).toStdString();
}

/// A raw connection to the channel, as a start (or anything else of this user) makes it.
int Connect(const CString& name)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = ChannelPath(name);
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return fd;
    if (fd >= 0) ::close(fd);
    return -1;
}

std::string LengthWord(std::uint32_t n)
{
    std::string w(4, '\0');
    for (int i = 0; i < 4; ++i) w[size_t(i)] = char((n >> (8 * i)) & 0xFF);
    return w;
}

/// True once the other end has closed the connection.
bool ClosedByPeer(int fd)
{
    char c;
    const ssize_t n = ::recv(fd, &c, 1, MSG_DONTWAIT);
    return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
}

/// A later start handing its command line over from its own thread; true when confirmed.
bool HandOver(const CString& name, const std::string& text)
{
    std::atomic<bool> done{false}, delivered{false};
    std::thread start([&] {
        delivered = platform::SingleInstanceChannel::SendToRunning(name, text.c_str(), 3000);
        done = true;
    });
    PumpUntil([&] { return done.load(); });
    start.join();
    return delivered;
}

// Connections that never send a whole message (a stuck client, a stray script) neither hold
// the first instance nor use up its descriptors: later starts still hand over, and each
// such connection is closed once its time is up.
TEST(SingleInstanceChannelTest, ConnectionsThatNeverFinishTheirMessageCannotShutLaterStartsOut)
{
    struct Case {
        const char* name;
        std::string sent;
    };
    const Case cases[] = {
        {"nothing", ""},
        {"part of a message", LengthWord(100) + "0123456789"},
        {"a length past the limit", LengthWord(0x7FFFFFFF)},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CString name = CString("tarvenix-held-") + CString(std::to_string(::getpid())) + "-" +
                             CString(std::to_string(n++));
        platform::SingleInstanceChannel first;
        std::vector<std::string> received;
        ASSERT_TRUE(first.Listen(
            name, [&](const CString& text) { received.push_back(text.str()); }, 400));
        std::vector<int> held;
        for (int i = 0; i < 40; ++i) {
            const int fd = Connect(name);
            ASSERT_GE(fd, 0);
            if (!c.sent.empty()) {
                ASSERT_EQ(::send(fd, c.sent.data(), c.sent.size(), MSG_NOSIGNAL), ssize_t(c.sent.size()));
            }
            held.push_back(fd);
        }
        QCoreApplication::processEvents();

        EXPECT_TRUE(HandOver(name, "{Open \"a.rdp\"}")) << "a later start hands over while they are held";
        EXPECT_EQ(received, std::vector<std::string>{"{Open \"a.rdp\"}"});
        EXPECT_TRUE(PumpUntil([&] {
            for (int fd : held)
                if (!ClosedByPeer(fd)) return false;
            return true;
        })) << "every one is closed once its time is up";
        EXPECT_TRUE(first.IsListening());
        for (int fd : held) ::close(fd);
        EXPECT_TRUE(HandOver(name, "{DisableView}"));
        EXPECT_EQ(received.size(), 2u);
    }
}

// A process without a descriptor free cannot take a connection; the listener waits for
// one instead of closing, and the start waiting in its queue is served afterwards.
TEST(SingleInstanceChannelTest, TheListenerKeepsListeningThroughAShortageOfDescriptors)
{
    const CString name = CString("tarvenix-shortage-") + CString(std::to_string(::getpid()));
    platform::SingleInstanceChannel first;
    std::vector<std::string> received;
    ASSERT_TRUE(first.Listen(name, [&](const CString& text) { received.push_back(text.str()); }));
    const int start = Connect(name);
    ASSERT_GE(start, 0);
    const std::string text = "{Open \"b.rdp\"}";
    const std::string frame = LengthWord(std::uint32_t(text.size())) + text;
    ASSERT_EQ(::send(start, frame.data(), frame.size(), MSG_NOSIGNAL), ssize_t(frame.size()));
    {
        tarvenix::test::DescriptorsUsedUp shortage;
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 300) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        EXPECT_TRUE(received.empty());
    }
    EXPECT_TRUE(first.IsListening());
    ASSERT_TRUE(PumpUntil([&] { return !received.empty(); }));
    EXPECT_EQ(received[0], text);
    char ack = 0;
    EXPECT_EQ(::recv(start, &ack, 1, 0), 1);
    EXPECT_EQ(ack, 0x06);
    ::close(start);
    EXPECT_TRUE(HandOver(name, "{DisableView}"));
}

// A name whose listener no longer takes connections (its queue full, its process stuck)
// is no live instance: the next start takes the name over and later starts reach it.
TEST(SingleInstanceChannelTest, ANameNobodyTakesConnectionsOnIsTakenOver)
{
    const CString name = CString("tarvenix-stuck-") + CString(std::to_string(::getpid()));
    const std::string path = ChannelPath(name);
    const int stuck = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    ::unlink(path.c_str());
    ASSERT_EQ(::bind(stuck, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(stuck, 0), 0);
    std::vector<int> queued;  // fill its queue; it never accepts
    for (int i = 0; i < 8; ++i) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            ::close(fd);
            break;
        }
        queued.push_back(fd);
    }
    EXPECT_FALSE(platform::SingleInstanceChannel::SendToRunning(name, "{DisableView}", 500));

    platform::SingleInstanceChannel next;
    std::vector<std::string> received;
    ASSERT_TRUE(next.Listen(name, [&](const CString& text) { received.push_back(text.str()); }));
    EXPECT_TRUE(HandOver(name, "{Open \"c.rdp\"}"));
    EXPECT_EQ(received, std::vector<std::string>{"{Open \"c.rdp\"}"});
    next.Close();
    for (int fd : queued) ::close(fd);
    ::close(stuck);
}

// The socket lies in a folder of the user's alone, and a start hands its command line
// (the paths the user opens) only to a listener of the same user: a socket another user
// planted under the name and that answers every message hears nothing, and the start
// becomes the first instance.
TEST(SingleInstanceChannelTest, ASocketOfAnotherUserIsNeverHandedTheCommandLine)
{
    const CString name = CString("tarvenix-planted-") + CString(std::to_string(::getpid()));
    const std::string path = ChannelPath(name);
    ASSERT_FALSE(path.empty());
    struct stat folder {};
    ASSERT_EQ(::lstat(std::filesystem::path(path).parent_path().c_str(), &folder), 0);
    EXPECT_TRUE(S_ISDIR(folder.st_mode));
    EXPECT_EQ(folder.st_uid, ::geteuid());
    EXPECT_EQ(folder.st_mode & 077, 0u) << "nobody else can enter the socket's folder";
    if (::geteuid() != 0) GTEST_SKIP() << "acting as another user needs root";

    // The other user's listener, in a process of its own: it answers every message with the
    // acknowledgement and reports what it heard through a pipe.
    int ready[2], heard[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(heard), 0);
    ::unlink(path.c_str());
    const pid_t other = ::fork();
    ASSERT_GE(other, 0);
    if (other == 0) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
            ::chown(path.c_str(), 65534, 65534) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0 ||
            ::listen(fd, 8) != 0)
            ::_exit(1);
        (void)!::write(ready[1], "r", 1);
        for (int served = 0; served < 16; ++served) {
            pollfd wait{fd, POLLIN, 0};
            if (::poll(&wait, 1, 20000) <= 0) break;
            const int c = ::accept(fd, nullptr, nullptr);
            if (c < 0) continue;
            char buffer[4096];
            const ssize_t n = ::recv(c, buffer, sizeof buffer, 0);
            if (n > 0) (void)!::write(heard[1], buffer, size_t(n));
            const char ack = 0x06;
            (void)::send(c, &ack, 1, MSG_NOSIGNAL);
            ::close(c);
        }
        ::_exit(0);
    }
    ::close(ready[1]);
    ::close(heard[1]);
    char r = 0;
    ASSERT_EQ(::read(ready[0], &r, 1), 1) << "the other user's listener could not start";
    struct stat planted {};
    ASSERT_EQ(::lstat(path.c_str(), &planted), 0);
    EXPECT_EQ(planted.st_uid, 65534u);

    EXPECT_FALSE(
        platform::SingleInstanceChannel::SendToRunning(name, "{Open \"/home/victim/scene.rdp\"}", 2000))
        << "no hand-over to another user";
    platform::SingleInstanceChannel first;
    std::vector<std::string> received;
    ASSERT_TRUE(first.Listen(name, [&](const CString& text) { received.push_back(text.str()); }))
        << "the start becomes the first instance";
    ASSERT_EQ(::lstat(path.c_str(), &planted), 0);
    EXPECT_EQ(planted.st_uid, ::geteuid());
    EXPECT_TRUE(HandOver(name, "{DisableView}"));
    EXPECT_EQ(received, std::vector<std::string>{"{DisableView}"});
    first.Close();

    ::kill(other, SIGKILL);
    int status = 0;
    ::waitpid(other, &status, 0);
    std::string leaked;
    char buffer[256];
    for (ssize_t n; (n = ::read(heard[0], buffer, sizeof buffer)) > 0;) leaked.append(buffer, size_t(n));
    ::close(heard[0]);
    ::close(ready[0]);
    EXPECT_EQ(leaked, "") << "the other user heard nothing";
}

}  // namespace
