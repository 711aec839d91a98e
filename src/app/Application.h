#pragma once
#include <QApplication>
#include <functional>

// An error that escapes an event handler is shown in a message box with its
// text; the handler stops there and the program keeps running.
class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;
};

// Shows an escaped error the way the application reports it.
void ShowErrorMessage(const QString &text);

// Runs a handler so that nothing it throws crosses Qt's signal code: an error
// is shown here, and the handler stops there.
void RunGuarded(const std::function<void()> &handler);
template <class Handler>
auto Guarded(Handler handler)
{
    return [handler] { RunGuarded(handler); };
}

// Makes SIGTERM, SIGINT, SIGHUP and SIGQUIT end the program: a running conversion is stopped
// as by Stop, open boxes are closed, the preferences saved.
void InstallTerminationHandlers();

// The program entry: the windows, then the message loop.
int RunVelvo(int argc, char **argv);
