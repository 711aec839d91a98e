#include "app/BalloonTip.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QTimer>

TBalloonTip::TBalloonTip(QWidget *owner) : QFrame(owner, Qt::ToolTip | Qt::FramelessWindowHint)
{
    setObjectName("BalloonTip");
    setFrameShape(QFrame::Box);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::ToolTipBase));
    pal.setColor(QPalette::WindowText, pal.color(QPalette::ToolTipText));
    setPalette(pal);
    labIcon = new QLabel(this);
    labIcon->setObjectName("labBalloonIcon");
    labText = new QLabel(this);
    labText->setObjectName("labBalloonText");
    labText->setTextFormat(Qt::RichText);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(6, 6, 8, 6);
    row->addWidget(labIcon, 0, Qt::AlignTop);
    row->addWidget(labText);
    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &QWidget::hide);
}

void TBalloonTip::ShowAt(QWidget *window, int icon, const QString &title, const QString &text)
{
    QStyle::StandardPixmap pixmap = QStyle::SP_CustomBase;
    switch (icon) {
    case 1: pixmap = QStyle::SP_MessageBoxInformation; break;
    case 2: pixmap = QStyle::SP_MessageBoxWarning; break;
    case 3: pixmap = QStyle::SP_MessageBoxCritical; break;
    default: break;
    }
    labIcon->setPixmap(pixmap == QStyle::SP_CustomBase ? QPixmap()
                                                       : style()->standardIcon(pixmap).pixmap(16, 16));
    labIcon->setVisible(pixmap != QStyle::SP_CustomBase);
    labText->setText("<b>" + title.toHtmlEscaped() + "</b><br>" + text.toHtmlEscaped());
    setAccessibleName(title);
    setAccessibleDescription(text);
    adjustSize();
    move(window->mapToGlobal(window->rect().center()));
    show();
    raise();
    m_timer->start(TimeoutMs);
}
