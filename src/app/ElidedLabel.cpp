#include "app/ElidedLabel.h"

#include <QPainter>
#include <QStyle>

void TElidedLabel::setText(const QString &text)
{
    QLabel::setText(text);
    setToolTip(text);
}

void TElidedLabel::clear()
{
    setText(QString());
}

void TElidedLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRect area = contentsRect();
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideMiddle, area.width());
    style()->drawItemText(&painter, area, int(alignment()), palette(), isEnabled(), shown, foregroundRole());
}
