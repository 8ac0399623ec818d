#include "platform/shell/single_instance_channel.h"

#include <unistd.h>

#include <QLocalServer>
#include <QLocalSocket>
#include <QString>
#include <QVariant>
#include <cstring>

namespace platform {
namespace {

constexpr char kAck = 0x06;
// A command line is short; a longer announcement is not from our program.
constexpr quint32 kMaxText = 1 << 20;

QByteArray Frame(const CString& text)
{
    const auto length = static_cast<quint32>(text.GetLength());
    QByteArray frame;
    frame.reserve(static_cast<qsizetype>(4 + length));
    for (int i = 0; i < 4; ++i) frame.append(static_cast<char>((length >> (8 * i)) & 0xFF));
    frame.append(text.c_str(), text.GetLength());
    return frame;
}

}  // namespace

struct SingleInstanceChannel::Impl {
    std::unique_ptr<QLocalServer> server;
    std::function<void(const CString&)> callback;

    void Accept()
    {
        while (QLocalSocket* socket = server->nextPendingConnection()) {
            QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket] { Read(socket); });
            if (socket->bytesAvailable() > 0) Read(socket);
        }
    }

    void Read(QLocalSocket* socket)
    {
        if (socket->property("tvxDone").toBool()) return;
        if (socket->bytesAvailable() < 4) return;
        const QByteArray head = socket->peek(4);
        quint32 length = 0;
        for (int i = 0; i < 4; ++i)
            length |= static_cast<quint32>(static_cast<unsigned char>(head[i])) << (8 * i);
        if (length > kMaxText) {
            socket->abort();
            return;
        }
        if (socket->bytesAvailable() < static_cast<qint64>(4 + length)) return;
        socket->read(4);
        const QByteArray body = socket->read(length);
        socket->setProperty("tvxDone", true);
        socket->write(&kAck, 1);
        socket->flush();
        socket->disconnectFromServer();
        if (callback) callback(CString(body.constData(), static_cast<int>(body.size())));
    }
};

SingleInstanceChannel::SingleInstanceChannel() : m_impl(std::make_unique<Impl>()) {}
SingleInstanceChannel::~SingleInstanceChannel()
{
    Close();
}

QString SingleInstanceChannel::ServerName(const CString& name)
{
    return QString::fromUtf8(name.c_str()) + QStringLiteral("-") + QString::number(::getuid());
}

bool SingleInstanceChannel::Listen(const CString& name, std::function<void(const CString&)> callback)
{
    Close();
    const QString serverName = ServerName(name);
    // Someone answering on the name means an instance runs. Ask before listening: Qt
    // would put a new socket in place of a live one without telling.
    {
        QLocalSocket probe;
        probe.connectToServer(serverName);
        if (probe.waitForConnected(1000)) return false;
    }
    // Nobody answers: what is left there is a crashed instance's socket.
    QLocalServer::removeServer(serverName);
    auto server = std::make_unique<QLocalServer>();
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(serverName)) return false;
    m_impl->callback = std::move(callback);
    m_impl->server = std::move(server);
    Impl* impl = m_impl.get();
    QObject::connect(impl->server.get(), &QLocalServer::newConnection, impl->server.get(),
                     [impl] { impl->Accept(); });
    return true;
}

void SingleInstanceChannel::Close()
{
    if (m_impl->server) {
        m_impl->server->close();
        m_impl->server.reset();
    }
    m_impl->callback = nullptr;
}

bool SingleInstanceChannel::IsListening() const
{
    return m_impl->server && m_impl->server->isListening();
}

bool SingleInstanceChannel::SendToRunning(const CString& name, const CString& text, int timeoutMs)
{
    if (static_cast<quint32>(text.GetLength()) > kMaxText) return false;
    QLocalSocket socket;
    socket.connectToServer(ServerName(name));
    if (!socket.waitForConnected(timeoutMs)) return false;
    socket.write(Frame(text));
    while (socket.bytesToWrite() > 0)
        if (!socket.waitForBytesWritten(timeoutMs)) return false;
    while (socket.bytesAvailable() < 1)
        if (!socket.waitForReadyRead(timeoutMs)) return false;
    char answer = 0;
    return socket.read(&answer, 1) == 1 && answer == kAck;
}

}  // namespace platform
