#include "app/SplitterBar.h"

#include <QMouseEvent>

TSplitterBar::TSplitterBar(QWidget *parent) : QLabel("<>", parent)
{
    setAlignment(Qt::AlignCenter);
    setCursor(Qt::SplitHCursor);
    setMouseTracking(true);
}

void TSplitterBar::mouseMoveEvent(QMouseEvent *event)
{
    emit Dragged(qRound(event->position().x()), event->buttons(), event->modifiers());
}
