#include "app/SplitterBar.h"

#include <QMouseEvent>
#include <QPainter>

TSplitterBar::TSplitterBar(QWidget *parent) : QFrame(parent)
{
    setCursor(Qt::SplitHCursor);
    setMouseTracking(true);
}

void TSplitterBar::mouseMoveEvent(QMouseEvent *event)
{
    emit Dragged(qRound(event->position().x()), event->buttons(), event->modifiers());
}

void TSplitterBar::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    QPainter painter(this);
    QFont small = font();
    small.setPixelSize(qMax(6, width() - 2));
    while (small.pixelSize() > 6 && QFontMetrics(small).horizontalAdvance(text()) > width())
        small.setPixelSize(small.pixelSize() - 1);
    painter.setFont(small);
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    painter.drawText(rect(), Qt::AlignCenter, text());
}
