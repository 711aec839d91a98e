#pragma once
// One running Velvo per user and display. The first start listens on a local
// socket in the user's runtime folder; a later start hands its command line,
// with its working folder, to that window and ends ("Open With" from a file
// manager while Velvo runs).

#include <QObject>
#include <QStringList>
#include <functional>

class QLocalServer;

class TInstanceServer : public QObject {
    Q_OBJECT
public:
    // The files a later start named, as (its working folder, its arguments).
    using Receiver = std::function<void(const QString &folder, const QStringList &arguments)>;

    explicit TInstanceServer(QObject *parent = nullptr);
    ~TInstanceServer() override;

    // The socket of this user, display and program folder (needs the
    // application object); empty when there is no safe place for it.
    static QString SocketPath();

    // Either hands arguments to the Velvo already running (true: this start
    // should end now) or starts listening as the running one (false). A
    // start that can do neither runs on its own.
    bool HandOverOrListen(const QStringList &arguments);

    bool IsListening() const;
    // Requests that arrive before a receiver is set wait for it.
    void SetReceiver(Receiver receiver);

private:
    static bool HandOver(const QString &path, const QStringList &arguments);
    void Listen(const QString &path);
    void TakeConnection();
    void Deliver(const QString &folder, const QStringList &arguments);

    QLocalServer *m_server = nullptr;
    Receiver m_receiver;
    QList<QPair<QString, QStringList>> m_pending;
};
