#pragma once
// The window that counts down before the computer is turned off at the end of
// a run, so that a user still at the machine can cancel.

#include <QDialog>
#include <QTimer>

class QLabel;
class QPushButton;

// "The computer will be turned off in N seconds."
QString PowerOffCountdownText(int seconds);

// Accepted at zero or on "Turn Off Now"; rejected on "Cancel", Escape or the
// close box.
class TPowerOffCountdown : public QDialog {
    Q_OBJECT
public:
    // tickMs is one second of the countdown (tests shorten it).
    TPowerOffCountdown(QWidget *owner, int seconds, int tickMs = 1000);

    QLabel *labCountdown = nullptr;
    QPushButton *btnTurnOffNow = nullptr, *btnCancel = nullptr;

    int Remaining() const { return m_remaining; }
    // One second has passed.
    void Tick();

private:
    QTimer m_timer;
    int m_remaining;
};
