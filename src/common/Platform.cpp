#include "common/Platform.h"
#include "common/ColorSchemeReader.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QDBusUnixFileDescriptor>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHash>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QUrl>

namespace {

const QString NotificationsService = QStringLiteral("org.freedesktop.Notifications");
const QString NotificationsPath = QStringLiteral("/org/freedesktop/Notifications");

// The notifications shown and what their action does, until they close.
class TNotifications : public QObject {
    Q_OBJECT
public:
    void Show(const QString &summary, const QString &body, const QString &actionLabel,
              const std::function<void()> &onAction)
    {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected())
            return;
        if (!m_listening) {
            m_listening = true;
            bus.connect(NotificationsService, NotificationsPath, NotificationsService,
                        QStringLiteral("ActionInvoked"), this, SLOT(ActionInvoked(uint, QString)));
            bus.connect(NotificationsService, NotificationsPath, NotificationsService,
                        QStringLiteral("NotificationClosed"), this, SLOT(Closed(uint, uint)));
        }
        const QString entry = QGuiApplication::desktopFileName();
        QDBusMessage call = QDBusMessage::createMethodCall(NotificationsService, NotificationsPath,
                                                           NotificationsService, QStringLiteral("Notify"));
        QStringList actions;
        if (!actionLabel.isEmpty())
            actions << QStringLiteral("default") << actionLabel;
        QVariantMap hints;
        if (!entry.isEmpty())
            hints.insert(QStringLiteral("desktop-entry"), entry);
        call << QStringLiteral("Velvo") << uint(0) << (entry.isEmpty() ? QStringLiteral("velvo") : entry)
             << summary << body << actions << hints << int(-1);
        // Never waited for: without the service the answer is an error, dropped.
        auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, onAction] {
            const QDBusPendingReply<uint> reply = *watcher;
            if (!reply.isError() && onAction)
                m_actions.insert(reply.value(), onAction);
            watcher->deleteLater();
        });
    }

private slots:
    void ActionInvoked(uint id, const QString &)
    {
        const std::function<void()> action = m_actions.take(id);
        if (action)
            action();
    }
    void Closed(uint id, uint) { m_actions.remove(id); }

private:
    bool m_listening = false;
    QHash<uint, std::function<void()>> m_actions;
};

// 1 is a dark preference, 2 a light one, anything else none.
Platform::ColorScheme SchemeOf(const QVariant &value)
{
    QVariant inner = value;
    // The portal wraps the value in one or two variants.
    while (inner.canConvert<QDBusVariant>() && inner.userType() == qMetaTypeId<QDBusVariant>())
        inner = inner.value<QDBusVariant>().variant();
    switch (inner.toUInt()) {
    case 1: return Platform::ColorScheme::Dark;
    case 2: return Platform::ColorScheme::Light;
    default: return Platform::ColorScheme::NoPreference;
    }
}

} // namespace

const QString TColorSchemeReader::Namespace = QStringLiteral("org.freedesktop.appearance");
const QString TColorSchemeReader::Key = QStringLiteral("color-scheme");

void TColorSchemeReader::Watch(std::function<void(Platform::ColorScheme)> report)
{
    m_report = std::move(report);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    const QString service = QStringLiteral("org.freedesktop.portal.Desktop");
    const QString path = QStringLiteral("/org/freedesktop/portal/desktop");
    const QString interface = QStringLiteral("org.freedesktop.portal.Settings");
    if (!m_connected)
        m_connected = bus.connect(service, path, interface, QStringLiteral("SettingChanged"), this,
                                  SLOT(SettingChanged(QString, QString, QDBusVariant)));
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("Read"));
    call.setArguments({Namespace, Key});
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *done) {
        done->deleteLater();
        const QDBusMessage reply = done->reply();
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() && m_report)
            m_report(SchemeOf(reply.arguments().first()));
    });
}

void TColorSchemeReader::SettingChanged(const QString &space, const QString &key, const QDBusVariant &value)
{
    if (space == Namespace && key == Key && m_report)
        m_report(SchemeOf(value.variant()));
}

namespace {

class DesktopPlatform : public Platform {
public:
    static QMessageBox::Icon BoxIcon(Icon icon)
    {
        switch (icon) {
        case Icon::Information: return QMessageBox::Information;
        case Icon::Question: return QMessageBox::Question;
        case Icon::Warning: return QMessageBox::Warning;
        case Icon::Error: return QMessageBox::Critical;
        }
        return QMessageBox::Information;
    }

    int MessageBox(QWidget *owner, const QString &text, const QString &caption, Icon icon,
                   Buttons buttons) override
    {
        if (SessionEnding())
            return buttons == Buttons::YesNo ? No : Ok;
        const QMessageBox::Icon qicon = BoxIcon(icon);
        QMessageBox box(qicon, caption, text,
                        buttons == Buttons::YesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok,
                        owner);
        const int result = box.exec();
        if (result == QMessageBox::Yes)
            return Yes;
        if (result == QMessageBox::No)
            return No;
        return Ok;
    }

    QString Ask(QWidget *owner, const QString &text, const QString &caption, Icon icon,
                const QStringList &buttons, const QString &defaultButton) override
    {
        if (SessionEnding())
            return QString();
        QMessageBox box(BoxIcon(icon), caption, text, QMessageBox::NoButton, owner);
        QAbstractButton *chosenDefault = nullptr;
        for (const QString &name : buttons) {
            QPushButton *button = box.addButton(name, QMessageBox::ActionRole);
            if (name == defaultButton)
                chosenDefault = button;
        }
        if (auto *preferred = qobject_cast<QPushButton *>(chosenDefault))
            box.setDefaultButton(preferred);
        box.exec();
        const QAbstractButton *clicked = box.clickedButton();
        return clicked ? clicked->text() : QString();
    }

    void ShowNotice(QWidget *owner, const QString &text, const QString &caption, Icon icon) override
    {
        auto *box = new QMessageBox(BoxIcon(icon), caption, text, QMessageBox::Ok, owner);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setModal(false);
        box->show();
    }

    QStringList OpenFiles(QWidget *owner, const QString &filter) override
    {
        QFileDialog dialog(owner);
        dialog.setFileMode(QFileDialog::ExistingFiles);
        dialog.setNameFilter(QtFilterFromPairs(filter));
        dialog.setOption(QFileDialog::ReadOnly, false);
        if (dialog.exec() != QDialog::Accepted)
            return {};
        return dialog.selectedFiles();
    }

    QString SaveFile(QWidget *owner, const QString &filter, const QString &defaultExt,
                     const QString &folder) override
    {
        QFileDialog dialog(owner, QString(), folder);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setNameFilter(QtFilterFromPairs(filter));
        QString ext = defaultExt;
        if (ext.startsWith('.'))
            ext.remove(0, 1);
        dialog.setDefaultSuffix(ext);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return {};
        return dialog.selectedFiles().first();
    }

    bool SelectFolder(QWidget *owner, const QString &caption, QString &folder) override
    {
        if (!folder.isEmpty() && !QFileInfo(folder).isDir())
            folder.clear();
        const QString chosen = QFileDialog::getExistingDirectory(owner, caption, folder);
        if (chosen.isEmpty())
            return false;
        folder = chosen;
        return true;
    }

    bool OpenDocument(const QString &path) override
    {
        return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    }

    bool PowerOff(QString &reason) override
    {
        // interactive=true: a desktop that wants the user's authorisation asks
        // for it instead of refusing outright.
        const QDBusMessage reply = CallLogind(QStringLiteral("PowerOff"), {true}, PowerOffWaitMs);
        if (reply.type() == QDBusMessage::ReplyMessage)
            return true;
        reason = reply.errorMessage().isEmpty() ? reply.errorName() : reply.errorMessage();
        if (reason.isEmpty())
            reason = QStringLiteral("logind could not be reached");
        return false;
    }

    bool BeginSleepInhibit(const QString &why) override
    {
        EndSleepInhibit();
        const QDBusMessage reply =
            CallLogind(QStringLiteral("Inhibit"),
                       {QStringLiteral("sleep:idle"), QStringLiteral("Velvo"), why, QStringLiteral("block")},
                       InhibitWaitMs);
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            return false;
        // The lock lasts as long as this descriptor stays open.
        m_inhibit = qdbus_cast<QDBusUnixFileDescriptor>(reply.arguments().first());
        return m_inhibit.isValid();
    }

    void EndSleepInhibit() override { m_inhibit = QDBusUnixFileDescriptor(); }

    void ShowTaskbarProgress(double progress, int count) override
    {
        SendLauncherUpdate({{QStringLiteral("progress"), progress},
                            {QStringLiteral("progress-visible"), true},
                            {QStringLiteral("count"), qint64(count)},
                            {QStringLiteral("count-visible"), count > 0}});
    }

    void ClearTaskbarProgress() override
    {
        SendLauncherUpdate({{QStringLiteral("progress-visible"), false}, {QStringLiteral("count-visible"), false}});
    }

    void Notify(const QString &summary, const QString &body, const QString &actionLabel,
                const std::function<void()> &onAction) override
    {
        if (!m_notifications)
            m_notifications = new TNotifications;
        m_notifications->Show(summary, body, actionLabel, onAction);
    }

    void WatchColorScheme(std::function<void(ColorScheme)> report) override
    {
        m_scheme.Watch(std::move(report));
    }

private:
    // The wait for a reply: power-off may wait for the user's authorisation.
    static constexpr int PowerOffWaitMs = 120000;
    static constexpr int InhibitWaitMs = 5000;

    // A call to logind's manager; an error reply when there is no system bus.
    static QDBusMessage CallLogind(const QString &method, const QVariantList &arguments, int waitMs)
    {
        QDBusConnection bus = QDBusConnection::systemBus();
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
            QStringLiteral("org.freedesktop.login1.Manager"), method);
        if (!bus.isConnected())
            return call.createErrorReply(QDBusError::Disconnected, QStringLiteral("The system bus is not available."));
        call.setArguments(arguments);
        call.setInteractiveAuthorizationAllowed(true);
        return bus.call(call, QDBus::Block, waitMs);
    }

    // A signal docks listen for; sent to nobody in particular, so nothing
    // waits and nothing fails where no dock runs.
    static void SendLauncherUpdate(const QVariantMap &properties)
    {
        QDBusConnection bus = QDBusConnection::sessionBus();
        const QString entry = QGuiApplication::desktopFileName();
        if (!bus.isConnected() || entry.isEmpty())
            return;
        const QString uri = QStringLiteral("application://") + entry + QStringLiteral(".desktop");
        QDBusMessage signal = QDBusMessage::createSignal(
            QStringLiteral("/com/canonical/unity/launcherentry/") + QString::number(qHash(uri)),
            QStringLiteral("com.canonical.Unity.LauncherEntry"), QStringLiteral("Update"));
        signal << uri << properties;
        bus.send(signal);
    }

    QDBusUnixFileDescriptor m_inhibit;
    TNotifications *m_notifications = nullptr; // made on first use, lives as long as the program
    TColorSchemeReader m_scheme;
};

DesktopPlatform &Desktop()
{
    static DesktopPlatform platform;
    return platform;
}

Platform *g_platform = nullptr;

} // namespace

Platform &Platform::Instance()
{
    return g_platform ? *g_platform : Desktop();
}

void Platform::SetInstance(Platform *platform)
{
    g_platform = platform;
}

namespace {
bool g_sessionEnding = false;
}

void Platform::SetSessionEnding(bool ending)
{
    g_sessionEnding = ending;
}

bool Platform::SessionEnding()
{
    return g_sessionEnding;
}

QString QtFilterFromPairs(const QString &filter)
{
    const QStringList parts = filter.split('|');
    QStringList result;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QStringList patterns = parts[i + 1].split(';', Qt::SkipEmptyParts);
        QString label = parts[i].trimmed();
        // A label that already ends in its own patterns ("Profiles (*.vpf)",
        // "All Support Files(*.avi;*.mpg;)") shows them once: the dialog reads
        // the patterns from the last parentheses, separated by blanks.
        const int open = label.lastIndexOf('(');
        if (open >= 0 && label.endsWith(')')) {
            const QString inside = label.mid(open + 1, label.size() - open - 2);
            if (inside.split(QRegularExpression(QStringLiteral("[; ]")), Qt::SkipEmptyParts) == patterns)
                label = label.left(open).trimmed();
        }
        result << label + " (" + patterns.join(' ') + ")";
    }
    return result.join(";;");
}

#include "Platform.moc"
