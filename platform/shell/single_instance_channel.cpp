#include "platform/shell/single_instance_channel.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDir>
#include <QLocalSocket>
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <list>
#include <cstdlib>
#include <string>

#include "platform/kernel/user_cache_folder.h"

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;

constexpr char kAck = 0x06;
// A command line is short; a longer announcement is not from our program.
constexpr quint32 kMaxText = 1 << 20;
// Connections served at once: a later one puts the oldest out, so connections that never
// finish their message can neither hold the listener nor use up its descriptors.
constexpr std::size_t kMaxConnections = 16;
// Connections taken per wake-up, so that those already open are read in between.
constexpr int kAcceptsPerWakeUp = 64;
// How soon accepting is tried again after the process ran out of descriptors.
constexpr int kAcceptRetryMs = 100;

QByteArray Frame(const CString& text)
{
    const auto length = static_cast<quint32>(text.GetLength());
    QByteArray frame;
    frame.reserve(static_cast<qsizetype>(4 + length));
    for (int i = 0; i < 4; ++i) frame.append(static_cast<char>((length >> (8 * i)) & 0xFF));
    frame.append(text.c_str(), text.GetLength());
    return frame;
}

/// `path` as a folder of this user that nobody else can enter; made when missing (with
/// `make`). A link, a file or another user's folder of that name is not taken.
bool OwnFolder(const std::string& path, bool make)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        if (!make || errno != ENOENT || (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) ||
            ::lstat(path.c_str(), &st) != 0)
            return false;
    }
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) return false;
    if ((st.st_mode & 077) == 0) return true;
    // Ours but open to others: closed now; a socket planted in it before is caught by the
    // owner check of every connection.
    return make && ::chmod(path.c_str(), 0700) == 0;
}

/// The folder the sockets lie in: the user's runtime folder, else a folder of the user's
/// own in the temporary folder, else the user's cache folder; never a folder others can
/// write to, so that nobody else can take the name. Empty when there is none.
std::string ChannelFolder()
{
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        runtime && *runtime == '/' && OwnFolder(runtime, false))
        return runtime;
    const std::string temp = QDir::tempPath().toStdString() + "/tarvenix-" + std::to_string(::geteuid());
    if (OwnFolder(temp, true)) return temp;
    return UserCacheFolder().str();
}

/// True when the process at the other end of the local socket `fd` runs as this user.
bool PeerIsThisUser(int fd)
{
    ucred peer{};
    socklen_t length = sizeof peer;
    return fd >= 0 && ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0 &&
           length == sizeof peer && peer.uid == ::geteuid();
}

}  // namespace

// The listener is a socket of our own rather than QLocalServer, which closes itself for good
// (and removes its file) the first time accepting fails, as it does when the process has
// no descriptor free. This one waits and accepts again.
struct SingleInstanceChannel::Impl {
    struct Connection {
        int fd = -1;
        QSocketNotifier* notifier = nullptr;  // a child of `context`
        QByteArray received;
        Clock::time_point deadline;
    };

    std::function<void(const CString&)> callback;
    int timeoutMs = SingleInstanceChannel::kConnectionTimeoutMs;
    int listenFd = -1;
    std::string path;
    dev_t device = 0;
    ino_t inode = 0;
    std::unique_ptr<QObject> context;  // owns the notifiers and timers
    QSocketNotifier* acceptNotifier = nullptr;
    QTimer* retry = nullptr;
    QTimer* expiry = nullptr;
    std::list<Connection> connections;  // oldest first
    int dispatching = 0;                // > 0 while one of our handlers runs

    struct Dispatch {
        explicit Dispatch(Impl& impl) : m_impl(impl) { ++m_impl.dispatching; }
        ~Dispatch() { --m_impl.dispatching; }
        Impl& m_impl;
    };

    bool Start(const std::string& socketPath)
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (socketPath.size() >= sizeof address.sun_path) return false;
        std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0) return false;
        // Only this user may connect; the mode is set before anyone can (before listen()).
        struct stat st {};
        if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
            ::chmod(socketPath.c_str(), 0600) != 0 || ::lstat(socketPath.c_str(), &st) != 0 ||
            ::listen(fd, 64) != 0) {
            ::close(fd);
            return false;
        }
        listenFd = fd;
        path = socketPath;
        device = st.st_dev;
        inode = st.st_ino;
        context = std::make_unique<QObject>();
        acceptNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, context.get());
        acceptNotifier->setEnabled(true);
        QObject::connect(acceptNotifier, &QSocketNotifier::activated, context.get(), [this] { Accept(); });
        retry = new QTimer(context.get());
        retry->setSingleShot(true);
        QObject::connect(retry, &QTimer::timeout, context.get(), [this] {
            acceptNotifier->setEnabled(true);
            Accept();
        });
        expiry = new QTimer(context.get());
        QObject::connect(expiry, &QTimer::timeout, context.get(), [this] { Expire(); });
        return true;
    }

    void Stop()
    {
        if (!context) return;
        for (Connection& c : connections) {
            c.notifier->setEnabled(false);
            ::close(c.fd);
        }
        connections.clear();
        acceptNotifier->setEnabled(false);
        ::close(listenFd);
        listenFd = -1;
        // The file goes only while it is still ours: a later instance may have taken the name.
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0 && st.st_dev == device && st.st_ino == inode)
            ::unlink(path.c_str());
        // Inside one of the handlers the objects go once it has returned.
        if (dispatching)
            context.release()->deleteLater();
        else
            context.reset();
        acceptNotifier = nullptr;
        retry = expiry = nullptr;
        callback = nullptr;
    }

    void Accept()
    {
        Dispatch busy(*this);
        for (int n = 0; n < kAcceptsPerWakeUp && listenFd >= 0; ++n) {
            const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (fd < 0) {
                if (errno == EINTR || errno == ECONNABORTED) continue;
                if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                    // The connection waits in the socket's queue until a descriptor is free.
                    acceptNotifier->setEnabled(false);
                    retry->start(kAcceptRetryMs);
                }
                return;
            }
            // Only this user's own starts are heard.
            if (!PeerIsThisUser(fd)) {
                ::close(fd);
                continue;
            }
            if (connections.size() >= kMaxConnections) Drop(connections.begin());
            connections.push_back({fd, nullptr, {}, Clock::now() + std::chrono::milliseconds(timeoutMs)});
            auto it = std::prev(connections.end());
            it->notifier = new QSocketNotifier(fd, QSocketNotifier::Read, context.get());
            QObject::connect(it->notifier, &QSocketNotifier::activated, context.get(),
                             [this, fd] { ReadFrom(fd); });
            if (!expiry->isActive()) expiry->start(std::max(10, timeoutMs / 4));
            ReadFrom(fd);  // a start writes at once: its message is often here already
        }
    }

    void Drop(std::list<Connection>::iterator it)
    {
        it->notifier->setEnabled(false);
        it->notifier->deleteLater();
        ::close(it->fd);
        connections.erase(it);
    }

    void Expire()
    {
        Dispatch busy(*this);
        const auto now = Clock::now();
        while (!connections.empty() && connections.front().deadline <= now) Drop(connections.begin());
        if (connections.empty()) expiry->stop();
    }

    void ReadFrom(int fd)
    {
        Dispatch busy(*this);
        auto it = connections.begin();
        while (it != connections.end() && it->fd != fd) ++it;
        if (it == connections.end()) return;
        for (;;) {
            // Nothing is read past the message: its length word says how much that is.
            qint64 want = 4;
            if (it->received.size() >= 4) {
                quint32 length = 0;
                for (int i = 0; i < 4; ++i)
                    length |= static_cast<quint32>(static_cast<unsigned char>(it->received[i])) << (8 * i);
                if (length > kMaxText) return Drop(it);
                want = 4 + qint64(length);
            }
            if (it->received.size() >= want) break;
            char buffer[4096];
            const auto chunk =
                static_cast<std::size_t>(std::min<qint64>(want - it->received.size(), sizeof buffer));
            const ssize_t got = ::recv(fd, buffer, chunk, 0);
            if (got > 0) {
                it->received.append(buffer, static_cast<qsizetype>(got));
                continue;
            }
            if (got < 0 && errno == EINTR) continue;
            if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;  // more comes later
            return Drop(it);  // closed or failed before the whole message
        }
        const QByteArray body = it->received.mid(4);
        (void)::send(fd, &kAck, 1, MSG_NOSIGNAL);
        Drop(it);
        // The callback may close the channel: nothing of it is used after.
        if (auto deliver = callback) deliver(CString(body.constData(), static_cast<int>(body.size())));
    }
};

SingleInstanceChannel::SingleInstanceChannel() : m_impl(std::make_unique<Impl>()) {}
SingleInstanceChannel::~SingleInstanceChannel()
{
    Close();
}

QString SingleInstanceChannel::ServerName(const CString& name)
{
    const std::string folder = ChannelFolder();
    if (folder.empty() || name.IsEmpty()) return QString();
    return QString::fromStdString(folder) + '/' + QString::fromUtf8(name.c_str());
}

bool SingleInstanceChannel::Listen(const CString& name, std::function<void(const CString&)> callback,
                                   int connectionTimeoutMs)
{
    Close();
    const QString serverName = ServerName(name);
    if (serverName.isEmpty()) return false;
    // This user's instance answering on the name means it runs. A name nobody answers on (a
    // crashed instance's file, one whose queue is full or that no longer accepts) or one
    // another user answers on is taken over: the starts after this one reach this instance.
    {
        QLocalSocket probe;
        probe.connectToServer(serverName);
        if (probe.waitForConnected(1000) && PeerIsThisUser(int(probe.socketDescriptor()))) return false;
    }
    const std::string path = serverName.toStdString();
    ::unlink(path.c_str());
    if (!m_impl->Start(path)) return false;
    m_impl->callback = std::move(callback);
    m_impl->timeoutMs = std::max(1, connectionTimeoutMs);
    return true;
}

void SingleInstanceChannel::Close()
{
    m_impl->Stop();
}

bool SingleInstanceChannel::IsListening() const
{
    return m_impl->listenFd >= 0;
}

bool SingleInstanceChannel::SendToRunning(const CString& name, const CString& text, int timeoutMs)
{
    if (static_cast<quint32>(text.GetLength()) > kMaxText) return false;
    const QString serverName = ServerName(name);
    if (serverName.isEmpty()) return false;
    QLocalSocket socket;
    socket.connectToServer(serverName);
    if (!socket.waitForConnected(timeoutMs)) return false;
    // The command line names the user's files: it goes to the user's own instance only.
    if (!PeerIsThisUser(int(socket.socketDescriptor()))) return false;
    socket.write(Frame(text));
    while (socket.bytesToWrite() > 0)
        if (!socket.waitForBytesWritten(timeoutMs)) return false;
    while (socket.bytesAvailable() < 1)
        if (!socket.waitForReadyRead(timeoutMs)) return false;
    char answer = 0;
    return socket.read(&answer, 1) == 1 && answer == kAck;
}

}  // namespace platform
