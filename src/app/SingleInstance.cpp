#include "app/SingleInstance.h"

#include "common/ProgramFolder.h"
#include "common/UserFolders.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QGuiApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QFile>
#include <QFileInfo>
#include <unistd.h>

namespace {

const quint32 RequestMagic = 0x56454c31; // "VEL1"
// A request is a few paths; anything larger is not one of ours.
const qint64 MaxRequestBytes = 16 * 1024 * 1024;
const int ConnectWaitMs = 1000;
const int AnswerWaitMs = 3000;

QByteArray EncodeRequest(const QString &folder, const QStringList &arguments)
{
    QByteArray body;
    QDataStream out(&body, QIODevice::WriteOnly);
    out << RequestMagic << folder << arguments;
    QByteArray framed;
    QDataStream frame(&framed, QIODevice::WriteOnly);
    frame << quint32(body.size());
    return framed + body;
}

// True once buffer holds a whole request; false while more is to come.
// A malformed request sets bad.
bool DecodeRequest(const QByteArray &buffer, QString &folder, QStringList &arguments, bool &bad)
{
    bad = false;
    if (buffer.size() < 4)
        return false;
    QDataStream frame(buffer);
    quint32 size = 0;
    frame >> size;
    if (size > MaxRequestBytes) {
        bad = true;
        return false;
    }
    if (buffer.size() < 4 + qint64(size))
        return false;
    QDataStream in(buffer.mid(4, size));
    quint32 magic = 0;
    in >> magic >> folder >> arguments;
    bad = magic != RequestMagic || in.status() != QDataStream::Ok;
    return !bad;
}

} // namespace

TInstanceServer::TInstanceServer(QObject *parent) : QObject(parent) {}

TInstanceServer::~TInstanceServer() = default;

QString TInstanceServer::SocketPath()
{
    // One per display: a start on another screen (or headless) gets its own
    // window. One per program folder too: another copy of the program has
    // other profiles and preferences.
    const QString platform = QGuiApplication::platformName();
    const QString display = qEnvironmentVariable(platform == QLatin1String("wayland") ? "WAYLAND_DISPLAY"
                                                                                      : "DISPLAY");
    const QString identity = platform + QLatin1Char('|') + display + QLatin1Char('|') +
                             ApplicationFolder();
    const QByteArray key =
        QCryptographicHash::hash(identity.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    // The runtime folder is the user's own (mode 0700); without one, a
    // folder of this user's under the temporary folder.
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        folder = QDir::tempPath() + QStringLiteral("/velvo-%1").arg(::getuid());
        if (!PrivateFolderOfOurs(folder))
            return QString();
    }
    return folder + QStringLiteral("/velvo-") + QString::fromLatin1(key) + QStringLiteral(".socket");
}

bool TInstanceServer::HandOverOrListen(const QStringList &arguments)
{
    const QString path = SocketPath();
    if (path.isEmpty())
        return false;
    // Two starts at once: the second waits until the first listens.
    QLockFile lock(path + QStringLiteral(".lock"));
    lock.setStaleLockTime(0);
    lock.tryLock(5000); // without the lock, carry on: a lost race costs a second window only
    if (HandOver(path, arguments))
        return true;
    Listen(path);
    return false;
}

bool TInstanceServer::HandOver(const QString &path, const QStringList &arguments)
{
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(ConnectWaitMs))
        return false; // nobody listens: a file left by a crash, or no file at all
    socket.write(EncodeRequest(QDir::currentPath(), arguments));
    if (!socket.waitForBytesWritten(ConnectWaitMs))
        return false;
    // The answer says the window took the request. Once written, the request
    // stays readable for the window even if this process ends first, so a
    // busy window (measuring a file) still gets it.
    socket.waitForReadyRead(AnswerWaitMs);
    socket.disconnectFromServer();
    return true;
}

void TInstanceServer::Listen(const QString &path)
{
    QLocalServer::removeServer(path); // left by a program that crashed; nobody answered on it
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(path)) {
        delete m_server;
        m_server = nullptr;
        return;
    }
    connect(m_server, &QLocalServer::newConnection, this, &TInstanceServer::TakeConnection);
}

bool TInstanceServer::IsListening() const
{
    return m_server && m_server->isListening();
}

void TInstanceServer::TakeConnection()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            QByteArray buffer = socket->property("request").toByteArray() + socket->readAll();
            QString folder;
            QStringList arguments;
            bool bad = false;
            const bool complete = DecodeRequest(buffer, folder, arguments, bad);
            if (bad) {
                socket->abort();
                return;
            }
            if (!complete) {
                socket->setProperty("request", buffer);
                return;
            }
            socket->setProperty("request", QByteArray());
            // Answered before the files are added: adding measures every
            // file, and the other start should not wait for that.
            socket->write("1");
            socket->flush();
            // From the event loop, not from inside this socket's signal.
            QMetaObject::invokeMethod(
                this, [this, folder, arguments] { Deliver(folder, arguments); }, Qt::QueuedConnection);
        });
    }
}

void TInstanceServer::SetReceiver(Receiver receiver)
{
    m_receiver = std::move(receiver);
    const auto pending = std::exchange(m_pending, {});
    for (const auto &request : pending)
        Deliver(request.first, request.second);
}

void TInstanceServer::Deliver(const QString &folder, const QStringList &arguments)
{
    if (m_receiver)
        m_receiver(folder, arguments);
    else
        m_pending.append({folder, arguments});
}
