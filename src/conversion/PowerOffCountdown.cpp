#include "conversion/PowerOffCountdown.h"

#include "app/MainForm.h"
#include "common/Platform.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

QString PowerOffCountdownText(int seconds)
{
    return seconds == 1 ? QStringLiteral("The computer will be turned off in 1 second.")
                        : QStringLiteral("The computer will be turned off in %1 seconds.").arg(seconds);
}

TPowerOffCountdown::TPowerOffCountdown(QWidget *owner, int seconds, int tickMs)
    : QDialog(owner), m_remaining(seconds)
{
    setObjectName("PowerOffCountdown");
    setWindowTitle("Turn Off");
    auto *column = new QVBoxLayout(this);
    labCountdown = new QLabel(PowerOffCountdownText(seconds), this);
    labCountdown->setObjectName("labCountdown");
    column->addWidget(labCountdown);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    btnTurnOffNow = new QPushButton("Turn Off Now", this);
    btnTurnOffNow->setObjectName("btnTurnOffNow");
    btnCancel = new QPushButton("Cancel", this);
    btnCancel->setObjectName("btnCancel");
    // Return or a stray key press keeps the computer on.
    btnTurnOffNow->setAutoDefault(false);
    btnCancel->setDefault(true);
    btnCancel->setFocus();
    buttons->addWidget(btnTurnOffNow);
    buttons->addWidget(btnCancel);
    column->addLayout(buttons);
    connect(btnTurnOffNow, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    m_timer.setInterval(tickMs);
    connect(&m_timer, &QTimer::timeout, this, &TPowerOffCountdown::Tick);
    m_timer.start();
}

void TPowerOffCountdown::Tick()
{
    if (m_remaining <= 0)
        return;
    --m_remaining;
    if (m_remaining == 0) {
        m_timer.stop();
        accept();
        return;
    }
    labCountdown->setText(PowerOffCountdownText(m_remaining));
}

void TMainForm::PowerOffComputer()
{
    QString reason;
    if (!Platform::Instance().PowerOff(reason))
        Platform::Instance().MessageBox(this, QStringLiteral("The computer could not be turned off: %1").arg(reason),
                                        QStringLiteral("Velvo"), Platform::Icon::Warning);
}
