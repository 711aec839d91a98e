#include "app/Application.h"
#include "app/Theme.h"

#include "app/Forms.h"
#include "app/MainForm.h"
#include "app/SingleInstance.h"
#include "app/StartupReport.h"
#include "common/Platform.h"
#include "ini/NewInifiles.h"

#include <QFont>
#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int g_signalPipe[2] = {-1, -1};

void OnTerminationSignal(int)
{
    const char byte = 1;
    // Only async-signal-safe work here; the window closes on the event loop.
    [[maybe_unused]] ssize_t written = ::write(g_signalPipe[0], &byte, 1);
}
} // namespace

TApplication::TApplication(int &argc, char **argv) : QApplication(argc, argv)
{
    setApplicationName("Velvo");
    setApplicationVersion(VELVO_VERSION);
    setDesktopFileName(VELVO_APP_ID);
}

bool TApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &e) {
        ShowErrorMessage(QString::fromUtf8(e.what()));
    } catch (...) {
        ShowErrorMessage("An unexpected error occurred.");
    }
    return false;
}

void ShowErrorMessage(const QString &text)
{
    Platform::Instance().MessageBox(MainForm, text, "Velvo", Platform::Icon::Error);
}

void RunGuarded(const std::function<void()> &handler)
{
    try {
        handler();
    } catch (const EFileError &e) {
        ShowErrorMessage(e.message());
    } catch (const std::exception &e) {
        ShowErrorMessage(QString::fromUtf8(e.what()));
    } catch (...) {
        ShowErrorMessage(QStringLiteral("An unexpected error occurred."));
    }
}

void InstallTerminationHandlers()
{
    if (g_signalPipe[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(g_signalPipe[1], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [] {
        char byte;
        [[maybe_unused]] ssize_t got = ::read(g_signalPipe[1], &byte, 1);
        if (MainForm)
            MainForm->EndSession();
        else
            QApplication::quit();
    });
    struct sigaction action = {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

int RunVelvo(int argc, char **argv)
{
    TApplication app(argc, argv);
    UseDesktopFont();
    InstallTerminationHandlers();
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    // A second start gives its files to the window already open, and ends.
    TInstanceServer instance;
    if (instance.HandOverOrListen(arguments))
        return 0;
    TMainForm *main = nullptr;
    try {
        main = CreateForms(arguments);
    } catch (const std::exception &e) {
        ShowErrorMessage(QString::fromUtf8(e.what()));
        return 1;
    }
    InstallStartupReport(main);
    main->show();
    // A signal taken while a start-up question was open has ended the
    // session before the event loop ran: its quit would be lost.
    if (Platform::SessionEnding()) {
        DestroyForms();
        return 0;
    }
    instance.SetReceiver([main](const QString &folder, const QStringList &handed) {
        main->TakeHandedArguments(folder, handed);
    });
    const int result = app.exec();
    instance.SetReceiver(nullptr);
    DestroyForms();
    return result;
}
