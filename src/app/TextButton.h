#pragma once
// A push button of a designed width (75 pixels) that grows only as far as
// its text needs; the style's own minimum of 80 does not apply.
#include <QPushButton>

class TTextButton : public QPushButton {
    Q_OBJECT
public:
    TTextButton(const QString &text, QWidget *parent, int designedWidth = 75)
        : QPushButton(text, parent), m_designed(designedWidth)
    {
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    }

    QSize sizeHint() const override
    {
        QString shown = text();
        shown.remove(QLatin1Char('&'));
        // The text with room for the style's frame and margins on both sides.
        const int needed = fontMetrics().horizontalAdvance(shown) + 4 * fontMetrics().averageCharWidth();
        return QSize(qMax(m_designed, needed), qMax(24, QPushButton::sizeHint().height()));
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

private:
    int m_designed;
};
